#include "fftconv.h"

#include "buffers.h"
#include "errors.h"

#include <algorithm>
#include <new>

namespace ravelin {

// ---- TFFTBlockManager ----

// Chunk header: link to the previously obtained chunk. Padded to 16 bytes so
// that the blocks after it, and with them their store areas, stay 16-byte
// aligned (the stride is a multiple of 16).
struct alignas(16) TFFTBlockManager::TChunk {
  TChunk* Previous;
};

namespace {

constexpr std::align_val_t BlockAlignment{16};
constexpr int32_t BlockHeaderBytes = 32;
static_assert(sizeof(TFFTBlock) <= BlockHeaderBytes);

} // namespace

TFFTBlockManager::TFFTBlockManager(int blockOrder, uint32_t blocksPerChunk, TStoreVariant variant,
                                   uint32_t chunkLimit) :
    FKernels(&SpectrumKernels(variant)),
    FBlockOrder(blockOrder), FBlocksPerChunk(blocksPerChunk), FChunkLimit(chunkLimit) {
  if (blockOrder < MinBlockOrder || blockOrder > MaxBlockOrder)
    throw TRavelinError("FFT block order out of range");
  if (blocksPerChunk == 0)
    throw TRavelinError("FFT block manager needs at least one block per chunk");
  FBlockLength = int32_t{1} << blockOrder;
  FBlockStride = (FBlockLength + 2) * 8 + BlockHeaderBytes;
}

TFFTBlockManager::~TFFTBlockManager() {
  while (FChunks) {
    TChunk* previous = FChunks->Previous;
    ::operator delete(FChunks, BlockAlignment);
    FChunks = previous;
  }
}

int32_t TFFTBlockManager::ChunkCount() const {
  TSyncLock lock(FLock);
  return FChunkCount;
}

bool TFFTBlockManager::Grow() {
  if (FChunkLimit != 0 && static_cast<uint32_t>(FChunkCount) >= FChunkLimit)
    return false;
  const size_t stride = static_cast<size_t>(FBlockStride);
  void* memory = ::operator new(sizeof(TChunk) + FBlocksPerChunk * stride, BlockAlignment, std::nothrow);
  if (!memory)
    return false;
  FChunks = new (memory) TChunk{FChunks};
  ++FChunkCount;
  char* base = static_cast<char*>(memory) + sizeof(TChunk);
  TFFTBlock* next = nullptr;
  for (uint32_t i = FBlocksPerChunk; i-- > 0;) {
    char* at = base + i * stride;
    next = new (at) TFFTBlock{next, at + BlockHeaderBytes, 0};
  }
  ReleaseBlocks(next);
  return true;
}

TFFTBlock* TFFTBlockManager::TakeBlock() {
  if (!FFreeFirst && !Grow())
    return nullptr;
  TFFTBlock* block = FFreeFirst;
  FFreeFirst = block->Next;
  if (!FFreeFirst)
    FFreeLast = nullptr;
  block->Next = nullptr;
  return block;
}

TBlockChain TFFTBlockManager::AllocBlocks(int32_t count) {
  TSyncLock lock(FLock);
  TBlockChain chain;
  while (chain.Count < count) {
    TFFTBlock* block = TakeBlock();
    if (!block)
      break;
    if (chain.Last)
      chain.Last->Next = block;
    else
      chain.First = block;
    chain.Last = block;
    ++chain.Count;
  }
  return chain;
}

void TFFTBlockManager::ReleaseBlocks(TFFTBlock* first) {
  if (!first)
    return;
  TSyncLock lock(FLock);
  TFFTBlock* last = first;
  while (last->Next)
    last = last->Next;
  if (FFreeFirst)
    FFreeLast->Next = first;
  else
    FFreeFirst = first;
  FFreeLast = last;
}

TFFTBlock* TFFTBlockManager::ResizeChain(TBlockChain& chain, int32_t count) {
  if (chain.Count < count) {
    const TBlockChain added = AllocBlocks(count - chain.Count);
    if (!added.First)
      return nullptr;
    if (chain.Last)
      chain.Last->Next = added.First;
    else
      chain.First = added.First;
    chain.Last = added.Last;
    chain.Count += added.Count;
    return added.First;
  }
  if (chain.Count > count) {
    if (count == 0) {
      ReleaseBlocks(chain.First);
      chain = TBlockChain{};
      return nullptr;
    }
    TFFTBlock* last = chain.First;
    for (int32_t i = 1; i < count; ++i)
      last = last->Next;
    ReleaseBlocks(last->Next);
    last->Next = nullptr;
    chain.Last = last;
    chain.Count = count;
  }
  return nullptr;
}

// ---- TAlignedDoubles ----

TAlignedDoubles::TAlignedDoubles(size_t count) :
    FData(static_cast<double*>(::operator new(std::max<size_t>(count, 1) * sizeof(double), BlockAlignment))) {
  std::fill_n(FData.get(), count, 0.0);
}

void TAlignedDoubles::TFree::operator()(double* data) const {
  ::operator delete(data, BlockAlignment);
}

// ---- TFFTResponse ----

namespace {

void CheckTransformSize(const TFFTBlockManager& manager, const TFastFourierTransform& fft) {
  if (fft.Size() != 2 * manager.BlockLength())
    throw TRavelinError("FFT size does not match the convolver block length");
}

} // namespace

TFFTResponse::TFFTResponse(TFFTBlockManager& manager, const TFastFourierTransform& fft) :
    FManager(manager), FFFT(fft), FPartitionLength(manager.BlockLength()),
    FWorkBuffer(2 * static_cast<size_t>(manager.BlockLength())) {
  CheckTransformSize(manager, fft);
}

TFFTResponse::~TFFTResponse() {
  FManager.ReleaseBlocks(FPartitions.First);
}

void TFFTResponse::SetKernel(const float* kernel, uint32_t length) {
  const uint32_t m = static_cast<uint32_t>(FPartitionLength);
  const int32_t wanted = length == 0 ? 1 : static_cast<int32_t>((uint64_t{length} + m - 1) / m);
  FManager.ResizeChain(FPartitions, wanted);
  FLength = length;
  double* work = FWorkBuffer.Data();
  uint32_t offset = 0;
  for (TFFTBlock* block = FPartitions.First; block; block = block->Next) {
    const uint32_t n = std::min(m, length - std::min(length, offset));
    FloatsToDoubles(kernel + offset, work, n);
    ZeroDoubles(work + n, 2 * m - n);
    FFFT.Forward(work);
    FManager.Kernels().PackToStore(work, FPartitionLength, block->Data);
    offset += n;
  }
  TSyncLock lock(FLock);
  FChanged = true;
}

bool TFFTResponse::TakeChanged() {
  TSyncLock lock(FLock);
  const bool changed = FChanged;
  FChanged = false;
  return changed;
}

// ---- TFFTConvolver ----

TFFTConvolver::TFFTConvolver(TFFTBlockManager& manager, TFFTResponse& response,
                             const TFastFourierTransform& fft) :
    FManager(manager),
    FResponse(response), FFFT(fft), FKernels(manager.Kernels()), FBlockLength(manager.BlockLength()),
    FLatency(FBlockLength + FBlockLength / 16), FInputGain(static_cast<float>(fft.InverseScale())),
    FArrays(6 * static_cast<size_t>(FBlockLength) + 2) {
  CheckTransformSize(manager, fft);
  if (response.PartitionLength() != FBlockLength)
    throw TRavelinError("Filter response and convolver use different block lengths");
  FHistory = FArrays.Data();
  FFFTBuffer = FHistory + FBlockLength;
  FInputSpectrum = FFFTBuffer + 2 * FBlockLength;
  FOutputBuffer = FInputSpectrum + FBlockLength + 2;
  Reset();
}

TFFTConvolver::~TFFTConvolver() {
  FManager.ReleaseBlocks(FAccumulators.First);
}

void TFFTConvolver::Reset() {
  for (TFFTBlock* block = FAccumulators.First; block; block = block->Next)
    block->Empty = 1;
  const uint32_t m = static_cast<uint32_t>(FBlockLength);
  ZeroDoubles(FHistory, m);
  ZeroDoubles(FOutputBuffer, m);
  FInputRemaining = FBlockLength;
  FOutputRemaining = FBlockLength / 16;
  FMacPending = false;
}

bool TFFTConvolver::Silent() const {
  return FResponse.Length() == 0 || FAccumulators.Count == 0;
}

void TFFTConvolver::SyncAccumulators() {
  for (TFFTBlock* block = FManager.ResizeChain(FAccumulators, FResponse.PartitionCount()); block;
       block = block->Next)
    block->Empty = 1;
  // A new kernel starts from silence: the old input would meet the new kernel.
  FMacPending = false;
  ZeroDoubles(FHistory, static_cast<uint32_t>(FBlockLength));
  ZeroDoubles(FFFTBuffer, 2 * static_cast<uint32_t>(FBlockLength));
}

void TFFTConvolver::CheckResponse() {
  if (FResponse.TakeChanged())
    SyncAccumulators();
  if (Silent())
    ZeroDoubles(FOutputBuffer, static_cast<uint32_t>(FBlockLength));
}

void TFFTConvolver::PassSilence(int32_t count, TConvolverSink sink, void* context) const {
  while (count > 0) {
    const int32_t n = std::min(count, FBlockLength);
    sink(nullptr, n, context);
    count -= n;
  }
}

void TFFTConvolver::Process(const double* input, int32_t count, TConvolverSink sink, void* context) {
  if (count <= 0)
    return;
  CheckResponse();
  if (Silent()) {
    PassSilence(count, sink, context);
    return;
  }
  while (count > 0) {
    const int32_t s = std::min({count, FInputRemaining, FOutputRemaining});
    const bool inputComplete = FInputRemaining <= count && FInputRemaining <= FOutputRemaining;
    const bool outputDue = FOutputRemaining <= std::min(count, FInputRemaining);
    TakeIn(input, s);
    if (s > 0)
      sink(FOutputBuffer + (FBlockLength - FOutputRemaining), s, context);
    if (FMacPending)
      MacAdvance(s);
    if (inputComplete)
      TransformInput();
    else
      FInputRemaining -= s;
    if (outputDue)
      EmitOutputBlock();
    else
      FOutputRemaining -= s;
    input += s;
    count -= s;
  }
}

void TFFTConvolver::TakeIn(const double* input, int32_t count) {
  const int32_t q = FBlockLength - FInputRemaining;
  double* current = FFFTBuffer + q;
  double* previous = FFFTBuffer + FBlockLength + q;
  double* history = FHistory + q;
  const double gain = static_cast<double>(FInputGain);
  for (int32_t t = 0; t < count; ++t) {
    previous[t] = history[t];
    const double v = input[t] * gain;
    history[t] = v;
    current[t] = v;
  }
}

void TFFTConvolver::TransformInput() {
  FFFT.Forward(FFFTBuffer);
  FKernels.PackToStore(FFFTBuffer, FBlockLength, FInputSpectrum);
  FMacTarget = FAccumulators.First;
  FMacPartition = FResponse.FirstPartition();
  FMacDone = 0;
  FMacSamples = 0;
  FMacPending = true;
  FInputRemaining = FBlockLength;
}

void TFFTConvolver::EmitOutputBlock() {
  if (FMacPending && FMacDone == 0) {
    MacStep();
    FMacDone = 1;
  }
  TFFTBlock* first = FAccumulators.First;
  if (first->Empty) {
    ZeroDoubles(FOutputBuffer, static_cast<uint32_t>(FBlockLength));
  } else {
    FKernels.StoreToPack(FOutputBuffer, FBlockLength, first->Data);
    FFFT.Inverse(FOutputBuffer);
    first->Empty = 1;
  }
  if (first != FAccumulators.Last) {
    FAccumulators.First = first->Next;
    FAccumulators.Last->Next = first;
    FAccumulators.Last = first;
    first->Next = nullptr;
  }
  FOutputRemaining = FBlockLength;
}

void TFFTConvolver::MacAdvance(int32_t count) {
  FMacSamples += count;
  const int32_t total = FAccumulators.Count;
  int32_t target = static_cast<int32_t>(int64_t{FMacSamples} * total / FBlockLength);
  if (target <= FMacDone)
    return;
  if (target >= total) {
    target = total;
    FMacPending = false;
  }
  for (; FMacDone < target; ++FMacDone)
    MacStep();
}

void TFFTConvolver::MacStep() {
  TFFTBlock* target = FMacTarget;
  if (target->Empty) {
    FKernels.StoreMul(FInputSpectrum, FMacPartition->Data, FBlockLength, target->Data);
    target->Empty = 0;
  } else {
    FKernels.StoreMulAdd(FInputSpectrum, FMacPartition->Data, FBlockLength, target->Data);
  }
  FMacTarget = target->Next;
  FMacPartition = FMacPartition->Next;
}

} // namespace ravelin
