// The grow-only work buffers of the processing runs, owned by the front end
// for its whole life: the test tone, the recording/result channels and the two
// spectrum buffers. Blocks are reallocated only when a larger size is needed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "cutfilter.h"
#include "fft.h"
#include "harmonics.h"

namespace ravelin {

// One page-aligned allocation that only grows; its contents are not kept when
// it grows. Large blocks are marked for transparent huge pages on Linux, which
// makes the first touch of their pages far cheaper.
class TGrowBlock {
public:
  TGrowBlock() = default;
  ~TGrowBlock();
  TGrowBlock(const TGrowBlock&) = delete;
  TGrowBlock& operator=(const TGrowBlock&) = delete;

  // Makes the block at least bytes long; throws std::bad_alloc on failure
  // (the old block is then already released).
  void Grow(size_t bytes);
  void* Data() const { return FData; }
  size_t Capacity() const { return FCapacity; }

private:
  void* FData = nullptr;
  size_t FCapacity = 0; // bytes
};

class TProcessWorkspace {
public:
  static constexpr int MaxChannelTable = 32;

  TProcessWorkspace();
  ~TProcessWorkspace();
  TProcessWorkspace(const TProcessWorkspace&) = delete;
  TProcessWorkspace& operator=(const TProcessWorkspace&) = delete;

  // Sizes the test tone block for channels x length floats and points the
  // channel table at its planar channels.
  void PrepareTestTone(int32_t channels, int32_t length);
  // Gives this workspace source's test tone: its samples, rate, channel
  // mapping and sweep parameters (for a parallel run's own workspaces).
  void CopyTestTone(const TProcessWorkspace& source);
  // Sizes the recording block for channels x stride floats (stride >= the
  // longer of the recording and the result) and points the channel table.
  void PrepareRecording(int32_t channels, int32_t length, int32_t stride);
  // Makes A and B hold at least count doubles each.
  void PrepareSpectra(uint32_t count);

  std::array<float*, MaxChannelTable> TestTone{}; // planar test tone channels
  int32_t TestToneChannels = 0;                   // Ct
  int32_t TestToneLength = 0;                     // T, frames
  int32_t TestToneRate = 0;                       // Hz, as the test tone file gives it
  TSweepParameters Sweep;                         // estimated from the tone for the harmonics (else zero)
  // The test tone channel that deconvolves each recording channel;
  // PrepareTestTone sets min(c, Ct - 1), MapToneChannels refines it.
  std::array<int32_t, MaxChannelTable> ToneChannelFor{};
  std::array<float*, MaxChannelTable> Record{}; // recording, later results
  int32_t RecordChannels = 0;                   // Cr
  int32_t RecordLength = 0;                     // R, frames
  int32_t ChannelStride = 0;                    // floats per recording channel

  double* A() const { return static_cast<double*>(FSpectrumA.Data()); }
  double* B() const { return static_cast<double*>(FSpectrumB.Data()); }

  // What B holds when it holds a ready divisor spectrum: the test tone
  // channel, the transform order and the technique it was made for. Files of
  // one transform size then share it, channel after channel and file after
  // file. PrepareTestTone and a growing B clear it; whoever uses B as scratch
  // must clear it too.
  struct TDivisorKey {
    int32_t ToneChannel = -1; // -1: B holds no divisor
    int Order = 0;
    bool Reversed = false;
    bool operator==(const TDivisorKey&) const = default;
  };
  TDivisorKey Divisor;
  // The cut filter of the given setting; designed once and kept while the
  // setting (rate, corners, slope) stays the same across channels and files.
  TCutFilter& CutFilter(int32_t sampleRate, double lowCut, double highCut, int slopeIndex);
  // The transform of the given order (its tables), kept while files share
  // the order.
  const TFastFourierTransform& Transform(int order);

  // Capacity of A and B, in doubles.
  size_t SpectrumCapacity() const { return FSpectrumA.Capacity() / sizeof(double); }

private:
  TGrowBlock FTestToneBlock;
  TGrowBlock FRecordBlock;
  TGrowBlock FSpectrumA;
  TGrowBlock FSpectrumB;
  std::unique_ptr<TCutFilter> FCutFilter;
  std::unique_ptr<TFastFourierTransform> FTransform;
};

} // namespace ravelin
