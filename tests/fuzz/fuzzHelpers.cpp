#include "fuzzHelpers.h"

#include "errors.h"

#include <algorithm>

namespace ravelin::fuzz {

std::vector<std::vector<float>> ReadAllFrames(TWAVReader& reader) {
  constexpr int64_t kStep = 4096;
  const auto frames = static_cast<std::size_t>(reader.FrameCount());
  std::vector<std::vector<float>> planes(static_cast<std::size_t>(reader.Channels()),
                                         std::vector<float>(frames));
  std::vector<float*> pointers(planes.size());
  for (int64_t done = 0; done < reader.FrameCount(); done += kStep) {
    for (std::size_t c = 0; c < planes.size(); ++c)
      pointers[c] = planes[c].data() + done;
    reader.ReadFrames(pointers.data(), static_cast<int32_t>(std::min(kStep, reader.FrameCount() - done)));
  }
  return planes;
}

void ReadForced(const uint8_t* data, std::size_t size, std::span<const TForcedBytes> forced) {
  std::vector<uint8_t> bytes(data, data + size);
  for (const TForcedBytes& f : forced) {
    if (f.Offset + f.Bytes.size() > bytes.size())
      return;
    std::copy(f.Bytes.begin(), f.Bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(f.Offset));
  }
  try {
    TWAVReader reader(MemorySource(std::move(bytes)));
    ReadAllFrames(reader);
  } catch (const TRavelinError&) {
    // A numbered refusal.
  }
}

} // namespace ravelin::fuzz
