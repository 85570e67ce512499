#include "workspace.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "errors.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace ravelin {

namespace {

constexpr size_t PageSize = 4096;
constexpr size_t HugePageSize = size_t{2} << 20;

size_t RoundUp(size_t bytes, size_t unit) {
  return (bytes + unit - 1) / unit * unit;
}

// The reader delivers 1 to 16 channels; the tables hold 32.
void CheckChannelCount(int32_t channels) {
  if (channels < 0 || channels > TProcessWorkspace::MaxChannelTable)
    throw TRavelinError("Unsupported number of channels!");
}

} // namespace

TGrowBlock::~TGrowBlock() {
  std::free(FData);
}

void TGrowBlock::Grow(size_t bytes) {
  if (bytes <= FCapacity)
    return;
  std::free(FData);
  FData = nullptr;
  FCapacity = 0;
  // Blocks of a huge page or more are aligned to huge pages so that the
  // kernel can back them with huge pages from the first touch on.
  const size_t alignment = bytes >= HugePageSize ? HugePageSize : PageSize;
  const size_t size = RoundUp(bytes, alignment);
  void* data = std::aligned_alloc(alignment, size);
  if (data == nullptr)
    throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (alignment == HugePageSize)
    madvise(data, size, MADV_HUGEPAGE); // a hint: failure only costs speed
#endif
  FData = data;
  FCapacity = size;
}

TProcessWorkspace::TProcessWorkspace() = default;
TProcessWorkspace::~TProcessWorkspace() = default;

void TProcessWorkspace::PrepareTestTone(int32_t channels, int32_t length) {
  CheckChannelCount(channels);
  const size_t stride = static_cast<size_t>(length);
  FTestToneBlock.Grow(static_cast<size_t>(channels) * stride * sizeof(float));
  auto* start = static_cast<float*>(FTestToneBlock.Data());
  TestTone.fill(nullptr);
  for (int32_t k = 0; k < channels; ++k)
    TestTone[static_cast<size_t>(k)] = start + static_cast<size_t>(k) * stride;
  TestToneChannels = channels;
  TestToneLength = length;
  Divisor = {};
  for (size_t c = 0; c < ToneChannelFor.size(); ++c)
    ToneChannelFor[c] = std::min(static_cast<int32_t>(c), channels - 1);
}

void TProcessWorkspace::CopyTestTone(const TProcessWorkspace& source) {
  PrepareTestTone(source.TestToneChannels, source.TestToneLength);
  for (int32_t k = 0; k < source.TestToneChannels; ++k)
    std::copy_n(source.TestTone[static_cast<size_t>(k)], source.TestToneLength,
                TestTone[static_cast<size_t>(k)]);
  TestToneRate = source.TestToneRate;
  Sweep = source.Sweep;
  ToneChannelFor = source.ToneChannelFor;
}

void TProcessWorkspace::PrepareRecording(int32_t channels, int32_t length, int32_t stride) {
  CheckChannelCount(channels);
  const size_t floats = static_cast<size_t>(stride);
  FRecordBlock.Grow(static_cast<size_t>(channels) * floats * sizeof(float));
  auto* start = static_cast<float*>(FRecordBlock.Data());
  Record.fill(nullptr);
  for (int32_t c = 0; c < channels; ++c)
    Record[static_cast<size_t>(c)] = start + static_cast<size_t>(c) * floats;
  RecordChannels = channels;
  RecordLength = length;
  ChannelStride = stride;
}

void TProcessWorkspace::PrepareSpectra(uint32_t count) {
  const size_t bytes = size_t{count} * sizeof(double);
  FSpectrumA.Grow(bytes);
  if (FSpectrumB.Capacity() < bytes)
    Divisor = {};
  FSpectrumB.Grow(bytes);
}

TCutFilter& TProcessWorkspace::CutFilter(int32_t sampleRate, double lowCut, double highCut, int slopeIndex) {
  if (!FCutFilter || !FCutFilter->Matches(sampleRate, lowCut, highCut, slopeIndex)) {
    FCutFilter.reset();
    FCutFilter = std::make_unique<TCutFilter>(sampleRate, lowCut, highCut, slopeIndex);
  }
  return *FCutFilter;
}

const TFastFourierTransform& TProcessWorkspace::Transform(int order) {
  if (!FTransform || FTransform->Order() != order) {
    FTransform.reset();
    FTransform = std::make_unique<TFastFourierTransform>(order);
  }
  return *FTransform;
}

} // namespace ravelin
