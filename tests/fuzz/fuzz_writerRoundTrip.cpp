// Fuzz target for the writer: a file that reads is written with TWAVWriter and
// read back. The copy must hold the same format, the same samples (floats bit
// for bit, integers as the same codes at the same depth; 8-bit ones as 16-bit
// codes), the same INFO texts and the same product tag. A difference aborts.
#include "errors.h"
#include "fuzzHelpers.h"
#include "wavWriter32.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using namespace ravelin;

void Require(bool condition) {
  if (!condition)
    std::abort();
}

// The output file of this process, removed after each input.
const std::string& OutputPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("ravelin-fuzz-" + std::to_string(getpid()) + ".wav"))
          .string();
  return path;
}

// Samples as the writer takes them: IEEE singles as they are, integers as
// right-aligned codes of `bits` bits (a full-scale +1 clips to the top code).
void ToWords(std::vector<std::vector<float>>& planes, int32_t kind, int32_t bits) {
  if (kind == 3)
    return;
  const double scale = std::ldexp(1.0, bits - 1);
  for (auto& plane : planes) {
    for (float& x : plane) {
      const auto code = static_cast<int32_t>(std::min(static_cast<double>(x) * scale, scale - 1));
      std::memcpy(&x, &code, sizeof x);
    }
  }
}

void Write(const TWAVReader& source, std::vector<std::vector<float>> planes) {
  TWAVWriter writer;
  writer.FormatKind = source.FormatKind();
  writer.Channels = source.Channels();
  writer.SampleRate = source.SampleRate();
  writer.BitsPerSample = source.FormatKind() == 3 ? 32 : std::max(source.BitsPerSample(), 16);
  writer.BlockAlign = writer.Channels * writer.BitsPerSample / 8;
  writer.Source = &source;
  ToWords(planes, writer.FormatKind, writer.BitsPerSample);
  std::vector<const float*> pointers;
  for (const auto& plane : planes)
    pointers.push_back(plane.data());
  writer.Open(OutputPath());
  Require(writer.WriteFrames(pointers.data(), static_cast<int32_t>(source.FrameCount())));
  writer.Close();
}

void CompareCopy(const TWAVReader& source, const std::vector<std::vector<float>>& planes) {
  TWAVReader copy(OutputPath());
  Require(copy.FormatKind() == source.FormatKind() && copy.Channels() == source.Channels() &&
          copy.SampleRate() == source.SampleRate() && copy.FrameCount() == source.FrameCount() &&
          copy.ChannelMask() == source.ChannelMask());
  Require(copy.InfoName() == source.InfoName() && copy.InfoCopyright() == source.InfoCopyright() &&
          copy.InfoEngineer() == source.InfoEngineer() && copy.InfoComment() == source.InfoComment() &&
          copy.ProductTag() == source.ProductTag());
  const auto again = fuzz::ReadAllFrames(copy);
  const auto sameBits = [](float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
  };
  for (std::size_t c = 0; c < planes.size(); ++c)
    Require(std::equal(planes[c].begin(), planes[c].end(), again[c].begin(), again[c].end(), sameBits));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::vector<float>> planes;
  std::unique_ptr<TWAVReader> source;
  try {
    source = std::make_unique<TWAVReader>(MemorySource(std::vector<uint8_t>(data, data + size)));
    planes = fuzz::ReadAllFrames(*source);
  } catch (const TRavelinError&) {
    return 0; // not a readable file: nothing to copy
  }
  // From here on a file that read must be written and read back without an error.
  try {
    Write(*source, planes);
    CompareCopy(*source, planes);
  } catch (const TRavelinError&) {
    Require(false);
  }
  std::filesystem::remove(OutputPath());
  return 0;
}
