#include "engineTestSupport.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <random>

#include "sweep.h"
#include "wavReader.h"
#include "wavWriter32.h"

namespace ravelin::test {

namespace fs = std::filesystem;

TTempFolder::TTempFolder() {
  std::random_device device;
  const fs::path path = fs::temp_directory_path() / ("ravelin-test-" + std::to_string(device()));
  fs::create_directories(path);
  FPath = path.string() + "/";
}

TTempFolder::~TTempFolder() {
  std::error_code error;
  fs::remove_all(FPath, error);
}

void WriteFloatWav(const std::string& path, const TChannels& channels, int32_t sampleRate,
                   const std::string& productTag) {
  // The writer takes the tag from a source file: the untagged file itself.
  std::unique_ptr<TWAVReader> source;
  if (!productTag.empty()) {
    WriteFloatWav(path, channels, sampleRate);
    source = std::make_unique<TWAVReader>(path);
    source->SetProductTag(productTag);
    source->Close();
  }
  TWAVWriter writer;
  writer.FormatKind = 3;
  writer.Channels = static_cast<int32_t>(channels.size());
  writer.SampleRate = sampleRate;
  writer.BitsPerSample = 32;
  writer.BlockAlign = 4 * writer.Channels;
  writer.Source = source.get();
  writer.Open(path);
  std::vector<const float*> table;
  for (const auto& channel : channels)
    table.push_back(channel.data());
  writer.WriteFrames(table.data(), static_cast<int32_t>(channels[0].size()));
  writer.Close();
}

namespace {

void PutBigEndian(std::vector<uint8_t>& bytes, uint32_t value, int width) {
  for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
    bytes.push_back(static_cast<uint8_t>(value >> shift));
}

// 80-bit IEEE extended of a positive integer rate.
void PutExtended(std::vector<uint8_t>& bytes, uint32_t rate) {
  int exponent = 31;
  uint64_t mantissa = rate;
  while ((mantissa & (uint64_t{1} << 63)) == 0) {
    mantissa <<= 1;
    --exponent;
  }
  PutBigEndian(bytes, static_cast<uint32_t>(16383 + exponent + 32), 2);
  PutBigEndian(bytes, static_cast<uint32_t>(mantissa >> 32), 4);
  PutBigEndian(bytes, static_cast<uint32_t>(mantissa), 4);
}

} // namespace

void WriteAiff16(const std::string& path, const std::vector<float>& samples, int32_t sampleRate) {
  const auto frames = static_cast<uint32_t>(samples.size());
  std::vector<uint8_t> bytes;
  bytes.insert(bytes.end(), {'F', 'O', 'R', 'M'});
  PutBigEndian(bytes, 4 + 26 + 16 + 2 * frames, 4);
  bytes.insert(bytes.end(), {'A', 'I', 'F', 'F', 'C', 'O', 'M', 'M'});
  PutBigEndian(bytes, 18, 4);
  PutBigEndian(bytes, 1, 2);
  PutBigEndian(bytes, frames, 4);
  PutBigEndian(bytes, 16, 2);
  PutExtended(bytes, static_cast<uint32_t>(sampleRate));
  bytes.insert(bytes.end(), {'S', 'S', 'N', 'D'});
  PutBigEndian(bytes, 8 + 2 * frames, 4);
  PutBigEndian(bytes, 0, 4);
  PutBigEndian(bytes, 0, 4);
  for (const float sample : samples)
    PutBigEndian(bytes, static_cast<uint16_t>(static_cast<int16_t>(std::lround(sample * 32767.0f))), 2);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

TChannels ReadAudio(const std::string& path) {
  TWAVReader reader(path);
  const auto frames = static_cast<int32_t>(reader.FrameCount());
  TChannels channels(static_cast<size_t>(reader.Channels()), std::vector<float>(static_cast<size_t>(frames)));
  std::vector<float*> table;
  for (auto& channel : channels)
    table.push_back(channel.data());
  reader.ReadFrames(table.data(), frames);
  return channels;
}

std::string ReadProductTag(const std::string& path) {
  return TWAVReader(path).ProductTag();
}

std::vector<int32_t> ReadPcm32Codes(const std::string& path) {
  const TWAVReader reader(path);
  if (reader.FormatKind() != 1 || reader.BitsPerSample() != 32)
    return {};
  std::ifstream file(path, std::ios::binary);
  file.seekg(reader.DataStart());
  std::vector<int32_t> codes(static_cast<size_t>(reader.FrameCount() * reader.Channels()));
  for (int32_t& code : codes) {
    unsigned char bytes[4] = {};
    file.read(reinterpret_cast<char*>(bytes), 4);
    code = static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                                uint32_t{bytes[3]} << 24);
  }
  return codes;
}

std::vector<float> MakeTestTone(const std::string& path, int32_t sampleRate, int32_t frames) {
  TSweepSettings settings;
  settings.SampleRate = sampleRate;
  settings.Duration = static_cast<double>(frames) / sampleRate;
  settings.FloatOutput = true;
  settings.Fades = true;
  GenerateSweep(path, settings);
  return ReadAudio(path)[0];
}

std::vector<float> Convolve(const std::vector<float>& signal, const std::vector<double>& response,
                            size_t length) {
  std::vector<float> result(length);
  for (size_t n = 0; n < length; ++n) {
    double sum = 0.0;
    for (size_t k = 0; k < response.size() && k <= n; ++k)
      if (n - k < signal.size())
        sum += response[k] * static_cast<double>(signal[n - k]);
    result[n] = static_cast<float>(sum);
  }
  return result;
}

double ErrorDecibels(const std::vector<float>& got, const std::vector<double>& want) {
  double error = 0.0;
  double energy = 0.0;
  for (size_t i = 0; i < want.size(); ++i) {
    const double difference = (i < got.size() ? static_cast<double>(got[i]) : 0.0) - want[i];
    error += difference * difference;
    energy += want[i] * want[i];
  }
  return 10.0 * std::log10(error / energy);
}

double LevelAt(const std::vector<float>& samples, double frequency, int32_t sampleRate) {
  const long double step =
      2.0L * std::numbers::pi_v<long double> * static_cast<long double>(frequency) / sampleRate;
  long double re = 0.0L, im = 0.0L;
  for (size_t n = 0; n < samples.size(); ++n) {
    const auto sample = static_cast<long double>(samples[n]);
    re += sample * std::cos(step * static_cast<long double>(n));
    im += sample * std::sin(step * static_cast<long double>(n));
  }
  return static_cast<double>(10.0L * std::log10(re * re + im * im));
}

void TScriptFrontEnd::ShowProgress(const std::string& fileName, int position, int) {
  if (position == CancelAt)
    Cancel.Request();
  Shown.push_back(fileName);
}

bool TScriptFrontEnd::AskYesNo(const std::string& text) {
  Questions.push_back(text);
  if (Answers.empty())
    return true;
  const bool answer = Answers.front();
  Answers.pop_front();
  return answer;
}

void TScriptFrontEnd::FileDone(const TFileResult& result) {
  Done.push_back(result.RecordingPath);
  Outcomes.push_back(result.Outcome);
  Written.push_back(result.OutputPath);
  Results.push_back(result);
}

} // namespace ravelin::test
