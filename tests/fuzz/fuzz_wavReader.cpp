// Fuzz target for the audio reader: opens the input through a memory source
// and reads every frame it announces, in bounded steps.
#include "errors.h"
#include "wavReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  using namespace ravelin;
  try {
    TWAVReader reader(MemorySource(std::vector<uint8_t>(data, data + size)));
    constexpr int32_t kStep = 4096;
    std::vector<std::vector<float>> planes(static_cast<size_t>(reader.Channels()), std::vector<float>(kStep));
    std::vector<float*> pointers;
    for (auto& p : planes)
      pointers.push_back(p.data());
    for (int64_t left = reader.FrameCount(); left > 0; left -= kStep)
      reader.ReadFrames(pointers.data(), static_cast<int32_t>(std::min<int64_t>(left, kStep)));
  } catch (const TRavelinError&) {
    // Every refusal is a numbered message; anything else escapes and is a finding.
  }
  return 0;
}
