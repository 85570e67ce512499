// What the deconvolve and analyze commands keep of their results: the report
// (one row per file and channel, written when the command ends), the room
// report (one row per file, channel and band, likewise), a curves file per
// response and, with the harmonics, a harmonics curves file per channel. Sits between the batch driver and
// the console.
#pragma once

#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "argumentList.h"
#include "consoleFrontEnd.h"
#include "harmonicsStage.h"
#include "report.h"
#include "roomParameters.h"

namespace ravelin {

struct TExportOptions {
  std::string ReportPath;                // empty: no report; "-": standard output
  std::string CurvesDir;                 // empty: no curves
  int Smoothing = 0;                     // curves' smoothing, 1/n octave (0: none)
  std::string RoomReportPath;            // empty: no room report; "-": standard output
  TBandWidth Bands = TBandWidth::Octave; // the room report's bands
  bool Harmonics = false;                // THD columns in the report, harmonics curves (deconvolve)
};

// Handles --report, --curves, --smoothing, --room-report and --bands; false
// for any other option.
bool ParseExportOption(const std::string& name, TArgumentList& list, TExportOptions& options);

// The planar channels of an audio file (any file the reader reads).
std::vector<std::vector<float>> ReadResponse(const std::string& path, int32_t& sampleRate);

class TResultExport : public TBatchFrontEnd {
public:
  // Opens the report file and creates the curves folder, so that a run never
  // ends unable to keep its results (TRavelinError).
  TResultExport(TConsoleFrontEnd& console, TExportOptions options);

  void RunStarted(int count) override { FConsole.RunStarted(count); }
  void RunEnded() override { FConsole.RunEnded(); }
  void ShowProgress(const std::string& fileName, int position, int count) override {
    FConsole.ShowProgress(fileName, position, count);
  }
  bool AskYesNo(const std::string& text) override { return FConsole.AskYesNo(text); }
  void ShowMessage(const std::string& text) override { FConsole.ShowMessage(text); }
  void ShowNotice(const std::string& text) override { FConsole.ShowNotice(text); }
  // Keeps the file's rows (a processed file's by its output, a failed one's by
  // its recording; skipped files have none), writes its curves, then prints.
  void FileDone(const TFileResult& result) override;

  // Writes the report (TRavelinError when that fails).
  void Finish();

private:
  void WriteCurvesFile(const std::string& responsePath);
  void WriteHarmonicsFiles(const std::string& responsePath, const std::vector<TChannelHarmonics>& channels);
  void AddRoomRows(const std::string& responsePath);
  void FinishReport(const std::string& path, std::ofstream& file,
                    const std::function<void(std::ostream&, TReportFormat)>& write);

  TConsoleFrontEnd& FConsole;
  TExportOptions FOptions;
  std::ofstream FReport;
  std::vector<TReportRow> FRows;
  std::ofstream FRoomReport;
  std::vector<TRoomRow> FRoomRows;
  std::set<std::string> FCurvesNames; // written by this command
};

} // namespace ravelin
