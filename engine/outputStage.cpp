#include "outputStage.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "buffers.h"
#include "errors.h"
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

// Fixed gain and/or normalisation to 0.966 of full scale by the common peak,
// so that the balance between channels is kept.
void ApplyGain(float peak, int32_t length, const TProcessOptions& options,
               TProcessWorkspace& workspace) {
  if (!options.ApplyVolume && !options.Normalize)
    return;
  float gain = 1.0f;
  if (options.ApplyVolume)
    gain = static_cast<float>(static_cast<double>(gain) * options.VolumeGain);
  if (options.Normalize)
    gain = static_cast<float>(0.966 * static_cast<double>(gain) / static_cast<double>(peak));
  for (int32_t c = 0; c < workspace.RecordChannels; ++c)
    ScaleFloats(workspace.Record[static_cast<size_t>(c)], static_cast<uint32_t>(length),
                static_cast<double>(gain));
}

// Gives the output the recording's file name in the output's folder. rename
// replaces an existing file in one step, so either the old file or the new
// one is always there.
std::string ReplaceRecording(const std::string& recordingPath, const std::string& outputPath) {
  const std::string outputFolder = FolderOf(outputPath);
  const std::string target = outputFolder == FolderOf(recordingPath)
                                 ? recordingPath
                                 : outputFolder + FileNameOf(recordingPath);
  std::error_code error;
  fs::rename(outputPath, target, error);
  if (error)
    throw TRavelinError("Unable to remove original file!");
  return target;
}

} // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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

std::string WriteOutput(TWAVReader& reader, float peak, int32_t length,
                        const std::string& outputPath, const TProcessOptions& options,
                        TProcessWorkspace& workspace) {
  ApplyGain(peak, length, options, workspace);
  const int32_t channels = workspace.RecordChannels;
  reader.SetProductTag("Ravelin");
  TWAVWriter writer;
  writer.FormatKind = options.FloatOutput ? 3 : 1;
  writer.Channels = channels;
  writer.SampleRate = reader.SampleRate();
  writer.BitsPerSample = options.OutBits;
  writer.BlockAlign = options.OutBits * channels / 8;
  writer.Source = &reader;
  writer.Open(outputPath);
  if (options.Dither && !options.FloatOutput)
    options.Dither->Process(workspace.Record.data(), channels, length);
  writer.WriteFrames(workspace.Record.data(), length);
  reader.Close();  // the recording may be replaced below
  writer.Close();
  return options.NoRename ? ReplaceRecording(reader.FileName(), outputPath) : outputPath;
}

} // namespace ravelin
