#include "sweep.h"

#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "dither.h"
#include "errors.h"
#include "wavWriter32.h"

namespace ravelin {

namespace {

constexpr int32_t BlockFrames = 4096;
constexpr double StartFrequency = 32.0; // Hz
constexpr double PeakLevel = 0.98;
constexpr double FadeShare = 0.0125; // of the samples, at each end

// Raised-cosine fade-in over the first 1.25 % and fade-out over the last.
double Envelope(int32_t i, int32_t total) {
  const double t = static_cast<double>(i) / static_cast<double>(total);
  if (t < FadeShare)
    return 0.5 * std::sin(std::numbers::pi * t / FadeShare - std::numbers::pi / 2) + 0.5;
  if (t <= 1.0 - FadeShare)
    return 1.0;
  return 0.5 * std::cos(std::numbers::pi * (t - (1.0 - FadeShare)) / FadeShare) + 0.5;
}

int32_t FrameTotal(const TSweepSettings& settings) {
  const double total = std::nearbyint(static_cast<double>(settings.SampleRate) * settings.Duration);
  if (!(total >= 0.0 && total <= static_cast<double>(std::numeric_limits<int32_t>::max())))
    throw TRavelinError("Sweep duration is out of range!");
  return static_cast<int32_t>(total);
}

// The writer and, for integer output, the dither of one sweep file.
struct TSweepOutput {
  std::unique_ptr<TOutputDither> Dither;
  TWAVWriter Writer;

  TSweepOutput(const std::string& fileName, const TSweepSettings& settings) {
    if (settings.FloatOutput) {
      Writer.FormatKind = 3;
    } else {
      Dither = std::make_unique<TOutputDither>();
      Dither->SetOutputBits(settings.BitDepth);
      Writer.FormatKind = 1;
    }
    Writer.Channels = settings.ChannelCount;
    Writer.SampleRate = settings.SampleRate;
    Writer.BitsPerSample = settings.FloatOutput ? 32 : settings.BitDepth;
    Writer.BlockAlign = settings.ChannelCount * Writer.BitsPerSample / 8;
    Writer.Open(fileName);
  }

  void WriteBlock(float* const* channels, int32_t channelCount, int32_t frames) {
    if (Dither)
      Dither->Process(channels, channelCount, frames);
    Writer.WriteFrames(channels, frames);
  }
};

} // namespace

void GenerateSweep(const std::string& fileName, const TSweepSettings& settings) {
  const int32_t total = FrameTotal(settings);
  const double sampleRate = settings.SampleRate;
  const double nyquist = sampleRate * 0.5;
  TSweepOutput output(fileName, settings);
  std::vector<float> left(BlockFrames);
  std::vector<float> right(BlockFrames);
  float* const channels[2] = {left.data(), right.data()};

  // The frequency of sample k is 32 Hz x ratio^k: Nyquist at the last sample.
  const double ratio =
      total > 1 ? std::pow(nyquist / StartFrequency, 1.0 / static_cast<double>(total - 1)) : 1.0;
  double phase = 0.0;
  double frequency = StartFrequency;
  int32_t framesLeft = BlockFrames;
  int32_t blockStart = 0;
  for (int32_t i = 0; i != total; ++i) {
    const double envelope = settings.Fades ? Envelope(i, total) : 1.0;
    const auto sample = static_cast<float>(std::sin(phase) * envelope * PeakLevel);
    const auto position = static_cast<size_t>(i - blockStart);
    left[position] = settings.LeftOn ? sample : 0.0f;
    right[position] = settings.RightOn ? sample : 0.0f;
    phase += 2.0 * std::numbers::pi * frequency / sampleRate;
    frequency *= ratio;
    if (--framesLeft == 0) {
      output.WriteBlock(channels, settings.ChannelCount, BlockFrames);
      framesLeft = BlockFrames;
      blockStart += BlockFrames;
    }
  }
  output.WriteBlock(channels, settings.ChannelCount, BlockFrames - framesLeft);
  output.Writer.Close();
}

} // namespace ravelin
