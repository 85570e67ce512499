#include "outputStage.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "buffers.h"
#include "errors.h"
#include "paths.h"
#include "wavReader.h"
#include "wavWriter32.h"

namespace ravelin {

namespace fs = std::filesystem;

namespace {

void CreateFolders(const std::string& folder) {
  if (folder.empty())
    return;
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error))
    throw TRavelinError("Unable to create output folder!");
}

bool CarriesProductMarker(const std::string& path) {
  try {
    return TWAVReader(path).ProductTag() == ProductName;
  } catch (const std::exception&) {
    return false; // unreadable, a folder, or not audio: not ours
  }
}

// One gain for all channels, so that the balance between them is kept.
void ApplyGain(float peak, int32_t length, const TProcessOptions& options, TProcessWorkspace& workspace) {
  if (!options.ApplyVolume && !options.Normalize)
    return;
  const float gain = OutputGain(peak, options);
  for (int32_t c = 0; c < workspace.RecordChannels; ++c)
    ScaleFloats(workspace.Record[static_cast<size_t>(c)], static_cast<uint32_t>(length),
                static_cast<double>(gain));
}

// An infinite or NaN sample (a test tone spectrum with near-zero bins, a gain
// too high for single precision) would be written as success otherwise.
void CheckFinite(int32_t length, const TProcessWorkspace& workspace) {
  for (int32_t c = 0; c < workspace.RecordChannels; ++c) {
    const float* samples = workspace.Record[static_cast<size_t>(c)];
    if (!std::all_of(samples, samples + length, [](float x) { return std::isfinite(x); }))
      throw TRavelinError("Deconvolution result is not finite!");
  }
}

} // namespace

float OutputGain(float peak, const TProcessOptions& options) {
  float gain = 1.0f;
  if (options.ApplyVolume)
    gain = static_cast<float>(static_cast<double>(gain) * options.VolumeGain);
  if (options.Normalize)
    gain = static_cast<float>(0.966 * static_cast<double>(gain) / static_cast<double>(peak));
  return gain;
}

void RecordWritten(const std::string& target, const std::string& recordingPath, TProcessOptions& options) {
  options.Written.Record(target, recordingPath);
}

std::string MakeOutputName(const std::string& recordingPath, const TProcessOptions& options) {
  const std::string folder = FolderOf(recordingPath);
  const size_t skip = std::min(options.ScanFolder.size(), folder.size());
  std::string name = options.OutFolder + folder.substr(skip);
  const std::string fileName = FileNameOf(recordingPath);
  const size_t dot = fileName.rfind('.');
  name += dot == std::string::npos ? fileName : fileName.substr(0, dot);
  name += "_rv.wav";
  CreateFolders(FolderOf(name));
  return name;
}

std::string OutputTarget(const std::string& recordingPath, const std::string& outputPath,
                         const TProcessOptions& options) {
  if (!options.NoRename)
    return outputPath;
  const std::string outputFolder = FolderOf(outputPath);
  return outputFolder == FolderOf(recordingPath) ? recordingPath : outputFolder + FileNameOf(recordingPath);
}

void CheckTarget(const std::string& target, const std::string& recordingPath,
                 const TProcessOptions& options) {
  if (options.Written.WrittenByOther(target, recordingPath))
    throw TRavelinError("Output file already written by another recording of this run: " + target);
  const bool replacesRecording = options.NoRename && target == recordingPath;
  std::error_code error;
  if (replacesRecording || !fs::exists(fs::symlink_status(target, error)))
    return;
  if (!CarriesProductMarker(target))
    throw TRavelinError("Refusing to replace a file Ravelin did not write: " + target);
}

void ApplyOutputGain(float peak, int32_t length, const TProcessOptions& options,
                     TProcessWorkspace& workspace) {
  ApplyGain(peak, length, options, workspace);
  CheckFinite(length, workspace);
}

void DitherOutput(int32_t length, TOutputDither* dither, const TProcessOptions& options,
                  TProcessWorkspace& workspace) {
  if (dither != nullptr && !options.FloatOutput)
    dither->Process(workspace.Record.data(), workspace.RecordChannels, length);
}

void WriteOutput(TWAVReader& reader, int32_t length, const std::string& target, TProcessOptions& options,
                 TProcessWorkspace& workspace) {
  const int32_t channels = workspace.RecordChannels;
  reader.SetProductTag(ProductName);
  TWAVWriter writer;
  writer.FormatKind = options.FloatOutput ? 3 : 1;
  writer.Channels = channels;
  writer.SampleRate = reader.SampleRate();
  writer.BitsPerSample = options.OutBits;
  writer.BlockAlign = options.OutBits * channels / 8;
  writer.Source = &reader;
  writer.Open(target);
  writer.WriteFrames(workspace.Record.data(), length);
  reader.Close(); // the recording may be replaced by the close below
  writer.Close();
  RecordWritten(target, reader.FileName(), options);
}

} // namespace ravelin
