#include "resultExport.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <system_error>

#include "curves.h"
#include "errors.h"
#include "paths.h"
#include "wavReader.h"

namespace ravelin {

namespace {

// The name of a response's curves file: its name without extension, and a
// number when another response of the command had the same name, then the
// suffix ("_curves.csv").
std::string CurvesName(const std::string& responsePath, std::set<std::string>& used,
                       const std::string& suffix) {
  std::string stem = FileNameOf(responsePath);
  stem = stem.substr(0, stem.rfind('.'));
  std::string name = stem + suffix;
  for (int n = 2; !used.insert(name).second; ++n)
    name = stem + "_" + std::to_string(n) + suffix;
  return name;
}

// Writes a curves file; a failure is shown, and the command goes on.
void WriteCsvFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                  TConsoleFrontEnd& console) {
  try {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    write(out);
    out.close();
    if (!out)
      throw TRavelinError("write error");
  } catch (const std::exception& error) {
    console.ShowMessage("cannot write the curves '" + path + "': " + error.what());
  }
}

// Opens a report file (not "-", standard output) before the run.
void OpenReport(const std::string& path, std::ofstream& file) {
  if (!path.empty() && path != "-") {
    file.open(path, std::ios::binary | std::ios::trunc);
    if (!file)
      throw TRavelinError("cannot create the report '" + path + "'");
  }
}

// The report's path as a value of option name: .csv, .json or -.
std::string ReportPathValue(const std::string& name, TArgumentList& list) {
  const std::string path = list.Value(name);
  if (!ReportFormatOf(path))
    throw TUsageError("invalid value '" + path + "' for " + name + " (a .csv or .json file, or -)");
  return path;
}

} // namespace

bool ParseExportOption(const std::string& name, TArgumentList& list, TExportOptions& options) {
  if (name == "--report") {
    options.ReportPath = ReportPathValue(name, list);
  } else if (name == "--room-report") {
    options.RoomReportPath = ReportPathValue(name, list);
  } else if (name == "--bands") {
    const std::string value = list.Value(name);
    if (value != "octave" && value != "third")
      throw TUsageError("invalid value '" + value + "' for --bands (octave or third)");
    options.Bands = value == "third" ? TBandWidth::Third : TBandWidth::Octave;
  } else if (name == "--curves") {
    options.CurvesDir = list.Value(name);
  } else if (name == "--smoothing") {
    const std::string value = list.Value(name);
    options.Smoothing = ParseIntegerOption(name, value, 0, 48);
    if (!IsSmoothingFraction(options.Smoothing))
      throw TUsageError("invalid value '" + value + "' for --smoothing");
  } else {
    return false;
  }
  return true;
}

std::vector<std::vector<float>> ReadResponse(const std::string& path, int32_t& sampleRate) {
  TWAVReader reader(path);
  if (reader.FrameCount() > INT32_MAX)
    throw TRavelinError("Response too long");
  const auto frames = static_cast<int32_t>(reader.FrameCount());
  std::vector<std::vector<float>> channels(static_cast<size_t>(reader.Channels()),
                                           std::vector<float>(static_cast<size_t>(frames)));
  std::vector<float*> pointers;
  for (std::vector<float>& channel : channels)
    pointers.push_back(channel.data());
  reader.ReadFrames(pointers.data(), frames);
  sampleRate = reader.SampleRate();
  return channels;
}

TResultExport::TResultExport(TConsoleFrontEnd& console, TExportOptions options) :
    FConsole(console), FOptions(std::move(options)) {
  OpenReport(FOptions.ReportPath, FReport);
  OpenReport(FOptions.RoomReportPath, FRoomReport);
  if (!FOptions.CurvesDir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(FOptions.CurvesDir, error);
    if (!std::filesystem::is_directory(FOptions.CurvesDir, error))
      throw TRavelinError("cannot create the curves folder '" + FOptions.CurvesDir + "'");
  }
}

void TResultExport::FileDone(const TFileResult& result) {
  if (result.Outcome == TFileOutcome::Processed) {
    std::vector<TReportRow> rows = FileRows(result.OutputPath, result.Channels, result.Recording);
    for (size_t c = 0; c < rows.size() && c < result.Harmonics.size(); ++c)
      rows[c].ThdPct = result.Harmonics[c].ThdPct;
    FRows.insert(FRows.end(), rows.begin(), rows.end());
  } else if (result.Outcome == TFileOutcome::Failed) {
    FRows.push_back(FailedRow(result.RecordingPath, ConsoleText(result.Message)));
    FRoomRows.push_back({result.RecordingPath, 0, std::nullopt, {ConsoleText(result.Message)}});
  }
  FConsole.FileDone(result);
  if (result.Outcome == TFileOutcome::Processed && !FOptions.CurvesDir.empty())
    WriteCurvesFile(result.OutputPath);
  if (result.Outcome == TFileOutcome::Processed && !FOptions.CurvesDir.empty())
    WriteHarmonicsFiles(result.OutputPath, result.Harmonics);
  if (result.Outcome == TFileOutcome::Processed && !FOptions.RoomReportPath.empty())
    AddRoomRows(result.OutputPath);
}

void TResultExport::AddRoomRows(const std::string& responsePath) {
  try {
    int32_t sampleRate = 0;
    std::vector<std::vector<TBandParameters>> channels;
    for (const std::vector<float>& channel : ReadResponse(responsePath, sampleRate))
      channels.push_back(
          RoomParameters(channel.data(), static_cast<int32_t>(channel.size()), sampleRate, FOptions.Bands));
    const std::vector<TRoomRow> rows = RoomRows(responsePath, channels);
    FRoomRows.insert(FRoomRows.end(), rows.begin(), rows.end());
  } catch (const std::exception& error) {
    FRoomRows.push_back({responsePath, 0, std::nullopt, {error.what()}});
  }
}

void TResultExport::WriteCurvesFile(const std::string& responsePath) {
  const std::string path =
      WithSlash(FOptions.CurvesDir) + CurvesName(responsePath, FCurvesNames, "_curves.csv");
  WriteCsvFile(
      path,
      [&](std::ostream& out) {
        int32_t sampleRate = 0;
        std::vector<TResponseCurves> curves;
        for (const std::vector<float>& channel : ReadResponse(responsePath, sampleRate))
          curves.push_back(ResponseCurves(channel.data(), static_cast<int32_t>(channel.size()), sampleRate,
                                          FOptions.Smoothing));
        WriteCurves(out, curves);
      },
      FConsole);
}

// Channel 1 in NAME_harmonics.csv, channel c > 1 in NAME_ch<c>_harmonics.csv.
void TResultExport::WriteHarmonicsFiles(const std::string& responsePath,
                                        const std::vector<TChannelHarmonics>& channels) {
  for (size_t c = 0; c < channels.size(); ++c) {
    const std::string suffix = (c > 0 ? "_ch" + std::to_string(c + 1) : "") + "_harmonics.csv";
    WriteCsvFile(
        WithSlash(FOptions.CurvesDir) + CurvesName(responsePath, FCurvesNames, suffix),
        [&](std::ostream& out) { WriteHarmonicCurves(out, channels[c].Curves); }, FConsole);
  }
}

void TResultExport::Finish() {
  FinishReport(FOptions.ReportPath, FReport, [this](std::ostream& out, TReportFormat format) {
    WriteReport(out, FRows, format, FOptions.Harmonics);
  });
  FinishReport(FOptions.RoomReportPath, FRoomReport,
               [this](std::ostream& out, TReportFormat format) { WriteRoomReport(out, FRoomRows, format); });
}

void TResultExport::FinishReport(const std::string& path, std::ofstream& file,
                                 const std::function<void(std::ostream&, TReportFormat)>& write) {
  if (path.empty())
    return;
  std::ostream& out = path == "-" ? std::cout : file;
  write(out, *ReportFormatOf(path));
  out.flush();
  if (file.is_open())
    file.close();
  if (!out)
    throw TRavelinError("cannot write the report '" + path + "'");
}

} // namespace ravelin
