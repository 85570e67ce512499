// Uniformly partitioned FFT convolution (overlap-save, delay line on the
// output side) of a stream of doubles with a long single-precision kernel.
//
// M = block length of the block manager (a power of two), N = 2M = the size of
// the one TFastFourierTransform that the manager's users share; the caller
// creates the transform and frees it after them. The kernel is cut into
// partitions of M samples, each held as an N-point spectrum in a block of the
// manager (TFFTResponse). The convolver transforms each complete input block
// once, multiplies it by every partition spectrum into a ring of accumulators
// (one per partition) and inverse-transforms one accumulator per output block.
// The products of a block are spread over the next M input samples, so the
// cost of a call is proportional to the samples it handles.
//
// Destruction order: convolver, response, then the manager (whose chunks hold
// every block) and the transform.
#pragma once

#include "fft.h"
#include "fftconvfn.h"
#include "sync.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ravelin {

// Header of one spectrum block; the store area follows in the same memory.
struct TFFTBlock {
  TFFTBlock* Next; // next block of whatever chain holds it (nil at the end)
  void* Data;      // store area: 8M + 16 bytes, 16-byte aligned, past the header
  int32_t Empty;   // 1 = accumulator holds nothing (used by the convolver only)
};

// Blocks linked through Next; Last->Next is nil. Count = blocks on the chain.
struct TBlockChain {
  TFFTBlock* First = nullptr;
  TFFTBlock* Last = nullptr;
  int32_t Count = 0;
};

// Pool of equal-sized spectrum blocks, obtained from the system in chunks and
// never returned before destruction; released blocks are reused first-in
// first-out. All blocks use one store layout (Kernels()). AllocBlocks and
// ReleaseBlocks may be called from several threads.
class TFFTBlockManager {
public:
  static constexpr int MinBlockOrder = 2;
  static constexpr int MaxBlockOrder = TFastFourierTransform::MaxOrder - 1;

  // blockOrder = log2 M. chunkLimit caps the number of chunks ever obtained
  // (0 = no cap); beyond it requests are served short, as when the system has
  // no memory left. Obtains no memory yet. Throws TRavelinError for a block
  // order outside MinBlockOrder .. MaxBlockOrder, no blocks per chunk or an
  // unavailable variant.
  TFFTBlockManager(int blockOrder, uint32_t blocksPerChunk, TStoreVariant variant = DefaultStoreVariant(),
                   uint32_t chunkLimit = 0);
  // Frees every chunk: blocks still held by others become invalid.
  ~TFFTBlockManager();
  TFFTBlockManager(const TFFTBlockManager&) = delete;
  TFFTBlockManager& operator=(const TFFTBlockManager&) = delete;

  int BlockOrder() const { return FBlockOrder; }
  uint32_t BlocksPerChunk() const { return FBlocksPerChunk; }
  int32_t BlockLength() const { return FBlockLength; }
  // Bytes per block: (M + 2) * 8 + 32.
  int32_t BlockStride() const { return FBlockStride; }
  int32_t ChunkCount() const;
  const TSpectrumKernels& Kernels() const { return *FKernels; }

  // A chain of up to count blocks (count >= 1); an empty chain when not even
  // one block could be had. Contents and Empty flags are left as they were.
  TBlockChain AllocBlocks(int32_t count);
  // Appends the chain starting at first (followed to its nil Next) to the
  // free list.
  void ReleaseBlocks(TFFTBlock* first);
  // Brings chain to count blocks (count >= 0), appending new blocks or
  // releasing the ones beyond the count-th; the manager may deliver fewer than
  // asked. Returns the first block appended (nil when none).
  TFFTBlock* ResizeChain(TBlockChain& chain, int32_t count);

private:
  struct TChunk;

  TFFTBlock* TakeBlock();
  bool Grow();

  mutable TSyncObject FLock; // guards the chunk list and the free list
  const TSpectrumKernels* FKernels;
  int FBlockOrder;
  uint32_t FBlocksPerChunk;
  uint32_t FChunkLimit;      // 0 = unlimited
  int32_t FBlockLength;      // M
  int32_t FBlockStride;      // bytes from one block to the next
  TChunk* FChunks = nullptr; // newest first
  int32_t FChunkCount = 0;
  TFFTBlock* FFreeFirst = nullptr;
  TFFTBlock* FFreeLast = nullptr;
};

// Doubles on a 16-byte boundary, zero-filled, owned.
class TAlignedDoubles {
public:
  explicit TAlignedDoubles(size_t count);
  double* Data() const { return FData.get(); }

private:
  struct TFree {
    void operator()(double* data) const;
  };
  std::unique_ptr<double[], TFree> FData;
};

// The kernel as partition spectra (unscaled N-point transforms of M samples
// each, zero-padded). Partition blocks come from the manager and go back to it
// on destruction or when a shorter kernel is loaded.
class TFFTResponse {
public:
  // fft must have size 2 * manager.BlockLength() (else TRavelinError).
  TFFTResponse(TFFTBlockManager& manager, const TFastFourierTransform& fft);
  ~TFFTResponse();
  TFFTResponse(const TFFTResponse&) = delete;
  TFFTResponse& operator=(const TFFTResponse&) = delete;

  // (Re)builds the partition spectra of kernel[0 .. length-1] and flags the
  // change for the convolver. When the manager delivers fewer blocks than
  // needed the kernel is truncated to the partitions held. Not synchronised
  // with Process on another thread.
  void SetKernel(const float* kernel, uint32_t length);

  int32_t PartitionLength() const { return FPartitionLength; }
  int32_t PartitionCount() const { return FPartitions.Count; }
  // Kernel length as last loaded (samples).
  uint32_t Length() const { return FLength; }
  const TFFTBlock* FirstPartition() const { return FPartitions.First; }
  // Reads and clears the change flag under the lock.
  bool TakeChanged();

private:
  TSyncObject FLock; // guards FChanged
  TFFTBlockManager& FManager;
  const TFastFourierTransform& FFFT;
  int32_t FPartitionLength;    // M
  TAlignedDoubles FWorkBuffer; // N doubles: one partition transform
  TBlockChain FPartitions;     // spectrum of partition k in the k-th block
  uint32_t FLength = 0;
  bool FChanged = false;
};

// Receives output: count samples at output, or count zeros when output is nil.
// The pointer is valid only during the call; context is passed through.
using TConvolverSink = void (*)(const double* output, int32_t count, void* context);

// Streaming convolution with the kernel of a TFFTResponse. Output trails the
// input by Latency() = M + M div 16 samples; the first Latency() samples after
// Reset are zeros. Input may be split into calls of any size with identical
// output. Process allocates only when a changed kernel needs more accumulator
// blocks, and never throws.
class TFFTConvolver {
public:
  // fft must have size 2 * manager.BlockLength() and the response must use
  // the same manager (else TRavelinError). The object starts reset.
  TFFTConvolver(TFFTBlockManager& manager, TFFTResponse& response, const TFastFourierTransform& fft);
  ~TFFTConvolver();
  TFFTConvolver(const TFFTConvolver&) = delete;
  TFFTConvolver& operator=(const TFFTConvolver&) = delete;

  int32_t Latency() const { return FLatency; }
  // Back to the start of a stream: silence before, no pending output.
  void Reset();
  // Consumes count input samples and hands exactly count output samples to
  // sink, in one or more calls, each reaching at most to the next block
  // boundary. With an empty kernel, or no accumulator blocks to be had, the
  // output is silence (nil output, at most M samples per call).
  void Process(const double* input, int32_t count, TConvolverSink sink, void* context);

private:
  bool Silent() const;
  void CheckResponse();
  void SyncAccumulators();
  void PassSilence(int32_t count, TConvolverSink sink, void* context) const;
  void TakeIn(const double* input, int32_t count);
  void TransformInput();
  void EmitOutputBlock();
  void MacAdvance(int32_t count);
  void MacStep();

  TFFTBlockManager& FManager;
  TFFTResponse& FResponse;
  const TFastFourierTransform& FFFT;
  const TSpectrumKernels& FKernels;
  int32_t FBlockLength;                     // M
  int32_t FLatency;                         // M + M div 16
  float FInputGain;                         // 1/M: cancels the N/2 factor of Inverse
  TAlignedDoubles FArrays;                  // the four arrays below, in one allocation
  double* FHistory;                         // M: the current input block (scaled)
  double* FFFTBuffer;                       // 2M: [current block | previous block]
  double* FInputSpectrum;                   // M + 2: store area of the last input block
  double* FOutputBuffer;                    // 2M: last inverse transform; first M = output
  int32_t FInputRemaining = 0;              // samples missing from the current input block
  int32_t FOutputRemaining = 0;             // samples of the output block not yet delivered
  TBlockChain FAccumulators;                // first = next output block, k-th = k blocks later
  bool FMacPending = false;                 // products of the last input block outstanding
  int32_t FMacDone = 0;                     // products accumulated for the last input block
  int32_t FMacSamples = 0;                  // input samples since the last block transform
  TFFTBlock* FMacTarget = nullptr;          // next accumulator to combine
  const TFFTBlock* FMacPartition = nullptr; // next partition to combine
};

} // namespace ravelin
