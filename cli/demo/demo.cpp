// ravelin-demo synth DIR: reads DIR/tone.wav and writes a measurement set made
//   from known responses: DIR/rec/*.wav (the recordings, with a little noise)
//   and DIR/known/*.wav (the responses they were made from).
// ravelin-demo compare DIR: prints, for each recording, the impulse response
//   written in DIR/out and its error against the known response in dB.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "buffers.h"
#include "fft.h"
#include "wavReader.h"
#include "wavWriter32.h"

namespace {

using namespace ravelin;
using TChannels = std::vector<std::vector<float>>;

constexpr int32_t Rate = 48000;

TChannels ReadAudio(const std::string& path, int32_t* sampleRate = nullptr) {
  TWAVReader reader(path);
  const auto frames = static_cast<int32_t>(reader.FrameCount());
  TChannels channels(static_cast<size_t>(reader.Channels()), std::vector<float>(static_cast<size_t>(frames)));
  std::vector<float*> table;
  for (auto& channel : channels)
    table.push_back(channel.data());
  reader.ReadFrames(table.data(), frames);
  if (sampleRate != nullptr)
    *sampleRate = reader.SampleRate();
  return channels;
}

void WriteFloatWav(const std::string& path, const TChannels& channels) {
  TWAVWriter writer;
  writer.FormatKind = 3;
  writer.Channels = static_cast<int32_t>(channels.size());
  writer.SampleRate = Rate;
  writer.BitsPerSample = 32;
  writer.BlockAlign = 4 * writer.Channels;
  writer.Open(path);
  std::vector<const float*> table;
  for (const auto& channel : channels)
    table.push_back(channel.data());
  writer.WriteFrames(table.data(), static_cast<int32_t>(channels[0].size()));
  writer.Close();
}

// Linear convolution through the FFT, cut to length samples.
std::vector<float> Convolve(const std::vector<float>& x, const std::vector<float>& h, size_t length) {
  const TFastFourierTransform fft(BitLength(static_cast<uint32_t>(x.size() + h.size())));
  const auto n = static_cast<size_t>(fft.Size());
  std::vector<double> a(n, 0.0), b(n, 0.0);
  for (size_t i = 0; i < x.size(); ++i)
    a[i] = static_cast<double>(x[i]);
  for (size_t i = 0; i < h.size(); ++i)
    b[i] = static_cast<double>(h[i]);
  fft.Forward(a.data());
  fft.Forward(b.data());
  fft.Multiply(a.data(), b.data());
  fft.Inverse(a.data());
  std::vector<float> y(length);
  for (size_t i = 0; i < length && i < n; ++i)
    y[i] = static_cast<float>(a[i] * fft.InverseScale());
  return y;
}

// Direct sound, a few early reflections and an exponentially decaying tail.
std::vector<float> Room(std::mt19937& random, size_t delay, double decaySeconds, double level) {
  const size_t length = delay + static_cast<size_t>(decaySeconds * Rate);
  std::vector<float> h(length, 0.0f);
  std::normal_distribution<double> noise(0.0, 1.0);
  h[delay] = static_cast<float>(level);
  for (const auto& [offset, gain] : {std::pair{173, 0.45}, {311, -0.3}, {547, 0.25}, {890, 0.18}})
    h[delay + static_cast<size_t>(offset)] = static_cast<float>(level * gain);
  const double tau = decaySeconds * Rate / 6.9; // -60 dB at the end
  for (size_t n = delay + 1000; n < length; ++n)
    h[n] +=
        static_cast<float>(level * 0.05 * noise(random) * std::exp(-static_cast<double>(n - delay) / tau));
  return h;
}

// A delayed, ringing loudspeaker-like response.
std::vector<float> Loudspeaker(size_t delay) {
  std::vector<float> h(delay + 2400, 0.0f);
  for (size_t n = 0; n < 2400; ++n) {
    const double t = static_cast<double>(n) / Rate;
    h[delay + n] = static_cast<float>(0.6 * std::exp(-t * 900.0) * std::cos(2.0 * 3.14159265 * 2500.0 * t) +
                                      0.15 * std::exp(-t * 150.0) * std::sin(2.0 * 3.14159265 * 80.0 * t));
  }
  return h;
}

void Scale(std::vector<float>& samples, double gain) {
  ScaleFloats(samples.data(), static_cast<uint32_t>(samples.size()), gain);
}

void Synthesise(const std::string& dir) {
  int32_t rate = 0;
  const std::vector<float> tone = ReadAudio(dir + "tone.wav", &rate)[0];
  if (rate != Rate)
    throw std::runtime_error("the demonstration expects a 48000 Hz test tone");
  std::mt19937 random(2024);
  std::normal_distribution<double> noise(0.0, 1e-5); // about -100 dBFS
  struct TCase {
    const char* Name;
    std::vector<std::vector<float>> Responses;
  };
  std::vector<TCase> cases = {
      {"room", {Room(random, 240, 0.5, 0.5)}},
      {"stereo", {Room(random, 140, 0.3, 0.4), Room(random, 230, 0.35, 0.3)}},
      {"loudspeaker", {Loudspeaker(480)}},
  };
  std::filesystem::create_directories(dir + "rec");
  std::filesystem::create_directories(dir + "known");
  for (TCase& c : cases) {
    TChannels recording;
    for (const auto& h : c.Responses)
      recording.push_back(Convolve(tone, h, tone.size() + h.size() + Rate / 2));
    // A measurement's level is set to stay clear of full scale: the loudest
    // channel peaks at -6 dBFS, and the known responses take the same gain.
    float peak = 1e-30f;
    for (const auto& channel : recording)
      peak = PeakAbsFloats(channel.data(), static_cast<uint32_t>(channel.size()), peak);
    const double gain = 0.5 / static_cast<double>(peak);
    for (auto& h : c.Responses)
      Scale(h, gain);
    for (auto& channel : recording) {
      Scale(channel, gain);
      for (float& sample : channel)
        sample += static_cast<float>(noise(random));
    }
    WriteFloatWav(dir + "rec/" + c.Name + ".wav", recording);
    WriteFloatWav(dir + "known/" + c.Name + ".wav", c.Responses);
    std::printf("  %-16s %zu channel(s), %.2f s\n", (std::string(c.Name) + ".wav").c_str(), recording.size(),
                static_cast<double>(recording[0].size()) / Rate);
  }
}

int Compare(const std::string& dir) {
  int worse = 0;
  for (const char* name : {"loudspeaker", "room", "stereo"}) {
    const std::string output = dir + "out/" + name + "_rv.wav";
    const TChannels got = ReadAudio(output);
    const TChannels want = ReadAudio(dir + "known/" + name + ".wav");
    std::printf("  %-16s -> %s\n", (std::string(name) + ".wav").c_str(), output.c_str());
    for (size_t c = 0; c < want.size(); ++c) {
      double error = 0.0, energy = 0.0;
      for (size_t i = 0; i < want[c].size(); ++i) {
        const double d = static_cast<double>(got[c][i]) - static_cast<double>(want[c][i]);
        error += d * d;
        energy += static_cast<double>(want[c][i]) * static_cast<double>(want[c][i]);
      }
      const double decibels = 10.0 * std::log10(error / energy);
      std::printf("      channel %zu: error against the known response %.1f dB\n", c + 1, decibels);
      worse += decibels > -40.0;
    }
  }
  return worse == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
  const ravelin::TFPUModeGuard fpuMode;
  if (argc != 3) {
    std::fprintf(stderr, "usage: ravelin-demo synth|compare DIR\n");
    return 2;
  }
  try {
    std::string dir = argv[2];
    if (dir.back() != '/')
      dir += '/';
    if (std::string(argv[1]) == "synth") {
      Synthesise(dir);
      return 0;
    }
    return Compare(dir);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ravelin-demo: %s\n", error.what());
    return 1;
  }
}
