// Internal interface between TFastFourierTransform and its per-instruction-set
// kernels (fftsse2.cpp, fftavx2.cpp, fftavx512.cpp, each compiled with its
// own target flags). Every kernel set performs the same operations in the
// same order on every value, so all of them give bit-identical results.
#pragma once

#include <cstddef>

namespace ravelin {

// Runs part(context, i) for every i in 0 .. count-1, several at a time on
// other threads where it can, and returns when all are done.
using TPartRunner = void (*)(int count, void (*part)(void* context, int i), void* context);

// Read-only view of a transform's tables (see fft.h for their meaning).
struct TFftPlan {
  int Order;                         // log2 N
  std::size_t FirstSize;             // values per block of the first complex stage: 2 or 4
  const double* RootLow;             // W^j for the low FRootShift bits of j, (cos, sin) pairs
  const double* RootHigh;            // W^j for the high bits
  int RootShift;                     // bits of j in RootLow
  std::size_t RootMask;              // (1 << RootShift) - 1
  const double* Stage;               // stored roots of the stages with q <= StoredPowersLimit
  const std::size_t* StageOffset;    // start of each stored stage in Stage
  const double* Streamed;            // low parts of the streamed stages' roots (see below)
  const std::size_t* StreamedOffset; // start of each streamed stage's roots in Streamed
  TPartRunner RunParts;              // nil: the kernels do all their work on the caller's thread
};

// Stages with q up to this size keep root^k, root^2k and root^3k in a table
// of their own; larger ones form them from the two-level root table.
constexpr std::size_t StoredPowersLimit = 4096;

// Layout of a stored stage: the k are taken in groups of StoredGroup(q)
// consecutive values; a group holds, for root^k, root^2k and root^3k in turn,
// the real parts of its roots each twice (re, re) and then their imaginary
// parts as (-im, im), so that a register of up to four complex values finds
// its roots in two contiguous loads. 12 doubles per k in all.
constexpr std::size_t StoredGroup(std::size_t q) {
  return q < 4 ? q : 4;
}

// A streamed stage (q > StoredPowersLimit) with root^k = W^(k stride) keeps
// the low parts (FRootLow in fft.h) of W^(p k stride) for p = 1, 2, 3 in
// turn, for k = 0 .. P_p - 1: they repeat after P_1 = (RootMask + 1) / stride
// values of k for p = 1 and 3, after P_2 = P_1 / 2 for p = 2. Consecutive k
// thus find theirs side by side; 5 P_1 doubles per stage. Only for the stages
// with 16 stride <= RootMask + 1 (all four lanes of a register then share
// the high part of W^(k stride) and of W^(2 k stride)).
constexpr bool HasStreamedRoots(std::size_t stride, std::size_t rootMask) {
  return 16 * stride <= rootMask + 1;
}

struct TFftKernels {
  const char* Name;
  void (*Forward)(const TFftPlan& plan, double* data);
  void (*Inverse)(const TFftPlan& plan, double* data);
  // size = N doubles of packed spectra.
  void (*Multiply)(double* a, const double* b, std::size_t size);
  void (*Divide)(double* a, const double* b, std::size_t size);
  void (*Scale)(double* data, double factor, std::size_t size);
};

// SSE2 (or plain scalar code off x86); always present.
const TFftKernels* Sse2FftKernels();
// Nil when the unit was built without the instruction set (not x86-64).
const TFftKernels* Avx2FftKernels();
const TFftKernels* Avx512FftKernels();

} // namespace ravelin
