#include "resultExport.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "curves.h"
#include "errors.h"
#include "paths.h"
#include "wavReader.h"

namespace ravelin {

namespace {

// The name of a response's curves file: its name without extension, and a
// number when another response of the command had the same name.
std::string CurvesName(const std::string& responsePath, std::set<std::string>& used) {
  std::string stem = FileNameOf(responsePath);
  stem = stem.substr(0, stem.rfind('.'));
  std::string name = stem + "_curves.csv";
  for (int n = 2; !used.insert(name).second; ++n)
    name = stem + "_" + std::to_string(n) + "_curves.csv";
  return name;
}

} // namespace

bool ParseExportOption(const std::string& name, TArgumentList& list, TExportOptions& options) {
  if (name == "--report") {
    options.ReportPath = list.Value(name);
    if (!ReportFormatOf(options.ReportPath))
      throw TUsageError("invalid value '" + options.ReportPath +
                        "' for --report (a .csv or .json file, or -)");
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
  if (!FOptions.ReportPath.empty() && FOptions.ReportPath != "-") {
    FReport.open(FOptions.ReportPath, std::ios::binary | std::ios::trunc);
    if (!FReport)
      throw TRavelinError("cannot create the report '" + FOptions.ReportPath + "'");
  }
  if (!FOptions.CurvesDir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(FOptions.CurvesDir, error);
    if (!std::filesystem::is_directory(FOptions.CurvesDir, error))
      throw TRavelinError("cannot create the curves folder '" + FOptions.CurvesDir + "'");
  }
}

void TResultExport::FileDone(const TFileResult& result) {
  if (result.Outcome == TFileOutcome::Processed) {
    const std::vector<TReportRow> rows = FileRows(result.OutputPath, result.Channels, result.Recording);
    FRows.insert(FRows.end(), rows.begin(), rows.end());
  } else if (result.Outcome == TFileOutcome::Failed) {
    FRows.push_back(FailedRow(result.RecordingPath, ConsoleText(result.Message)));
  }
  FConsole.FileDone(result);
  if (result.Outcome == TFileOutcome::Processed && !FOptions.CurvesDir.empty())
    WriteCurvesFile(result.OutputPath);
}

void TResultExport::WriteCurvesFile(const std::string& responsePath) {
  const std::string path = WithSlash(FOptions.CurvesDir) + CurvesName(responsePath, FCurvesNames);
  try {
    int32_t sampleRate = 0;
    std::vector<TResponseCurves> curves;
    for (const std::vector<float>& channel : ReadResponse(responsePath, sampleRate))
      curves.push_back(ResponseCurves(channel.data(), static_cast<int32_t>(channel.size()), sampleRate,
                                      FOptions.Smoothing));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    WriteCurves(out, curves);
    out.close();
    if (!out)
      throw TRavelinError("write error");
  } catch (const std::exception& error) {
    FConsole.ShowMessage("cannot write the curves '" + path + "': " + error.what());
  }
}

void TResultExport::Finish() {
  if (FOptions.ReportPath.empty())
    return;
  std::ostream& out = FOptions.ReportPath == "-" ? std::cout : FReport;
  WriteReport(out, FRows, *ReportFormatOf(FOptions.ReportPath));
  out.flush();
  if (FReport.is_open())
    FReport.close();
  if (!out)
    throw TRavelinError("cannot write the report '" + FOptions.ReportPath + "'");
}

} // namespace ravelin
