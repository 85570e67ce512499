#include "harmonicsStage.h"

#include <algorithm>

#include "outputStage.h"
#include "wavReader.h"
#include "wavWriter32.h"

namespace ravelin {

namespace {

// Order k's window of the full response, from the pre-silence ahead of its
// time zero (or the window's start, if later) to the window's end.
std::vector<float> OrderResponse(const double* full, int32_t size, int32_t zeroIndex,
                                 const THarmonicWindow& window) {
  const int64_t from = std::max(window.Begin, window.Zero - zeroIndex);
  std::vector<float> samples(static_cast<size_t>(window.End - (window.Zero - zeroIndex)), 0.0f);
  for (int64_t offset = from; offset < window.End; ++offset) {
    const int64_t index = ((zeroIndex + offset) % size + size) % size;
    samples[static_cast<size_t>(offset - (window.Zero - zeroIndex))] = static_cast<float>(full[index]);
  }
  return samples;
}

// Keeps the first count values of every curve.
void KeepCurves(THarmonicCurves& curves, size_t count) {
  curves.FrequencyHz.resize(count);
  curves.ThdPct.resize(count);
  for (std::vector<std::optional<double>>& order : curves.OrderDb)
    order.resize(count);
}

} // namespace

TChannelHarmonics ChannelHarmonics(const double* full, int32_t size, int32_t zeroIndex, int32_t sampleRate,
                                   const TSweepParameters& sweep, const TProcessOptions& options) {
  // One analysis over the curves' frequencies followed by the report's.
  std::vector<double> frequencies = HarmonicFrequencies(sweep, sampleRate);
  const size_t count = frequencies.size();
  frequencies.insert(frequencies.end(), ReportHarmonicHz.begin(), ReportHarmonicHz.end());
  TChannelHarmonics harmonics;
  harmonics.Curves = HarmonicDistortion(full, size, zeroIndex, sampleRate, sweep, options.Harmonics,
                                        frequencies, options.HarmonicSmoothing);
  std::copy_n(harmonics.Curves.ThdPct.begin() + static_cast<std::ptrdiff_t>(count), ReportHarmonicHz.size(),
              harmonics.ThdPct.begin());
  KeepCurves(harmonics.Curves, count);
  if (options.HarmonicFiles) {
    const std::vector<THarmonicWindow> windows = HarmonicWindows(sweep, options.Harmonics, sampleRate);
    for (size_t k = 1; k < windows.size(); ++k)
      harmonics.Orders.push_back(OrderResponse(full, size, zeroIndex, windows[k]));
  }
  return harmonics;
}

std::string HarmonicFilePath(const std::string& target, int order) {
  const size_t dot = target.rfind('.');
  const size_t slash = target.find_last_of("/\\");
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (extension ? target.substr(0, dot) : target) + "_h" + std::to_string(order) + ".wav";
}

void CheckHarmonicTargets(const std::string& target, const std::string& recordingPath,
                          const TProcessOptions& options) {
  for (int k = MinHarmonicOrder; options.HarmonicFiles && k <= options.Harmonics; ++k)
    CheckTarget(HarmonicFilePath(target, k), recordingPath, options);
}

void WriteHarmonicFiles(const std::vector<TChannelHarmonics>& channels, float gain, const std::string& target,
                        const TWAVReader& source, TProcessOptions& options) {
  if (channels.empty())
    return;
  for (size_t i = 0; i < channels.front().Orders.size(); ++i) {
    std::vector<std::vector<float>> samples;
    samples.reserve(channels.size()); // the pointers stay valid
    std::vector<const float*> pointers;
    for (const TChannelHarmonics& channel : channels) {
      samples.push_back(channel.Orders[i]);
      for (float& x : samples.back())
        x *= gain;
      pointers.push_back(samples.back().data());
    }
    const std::string path = HarmonicFilePath(target, static_cast<int>(i) + MinHarmonicOrder);
    TWAVWriter writer;
    writer.FormatKind = 3;
    writer.Channels = static_cast<int32_t>(channels.size());
    writer.SampleRate = source.SampleRate();
    writer.BitsPerSample = 32;
    writer.BlockAlign = 4 * writer.Channels;
    writer.Source = &source;
    writer.Open(path);
    writer.WriteFrames(pointers.data(), static_cast<int32_t>(samples.front().size()));
    writer.Close();
    RecordWritten(path, source.FileName(), options);
  }
}

} // namespace ravelin
