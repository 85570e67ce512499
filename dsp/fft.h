// Real FFT of one power-of-two size N = 2^Order, in place on the caller's array.
//
// Packed spectrum (N doubles, the same array as the signal):
//   [0] X[0] (zero frequency, real)   [1] X[N/2] (Nyquist, real)
//   [2k], [2k+1] real and imaginary part of X[k], 1 <= k < N/2
// with the POSITIVE exponent: X[k] = sum_j x[j] * exp(+2*pi*i*j*k/N), i.e.
// the complex conjugate of the more common exp(-...) convention.
// Inverse returns N/2 times the signal; multiply by InverseScale() = 2/N
// (or fold it into another gain) to undo Forward exactly.
//
// The object is immutable after construction and holds only tables of about
// 9 sqrt(N) + 66000 doubles: Forward and Inverse never allocate and touch
// nothing but the caller's array.
//
// The kernels come in one version per instruction set (TSimdPath), chosen
// when the transform is built; every version gives bit-identical results.
// From ParallelOrder on, a transform shares its work with the process's
// worker team (one thread per core) when the team is free, with results
// bit-identical to one thread's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ravelin {

struct TFftKernels;
struct TFftPlan;

// Instruction sets the transform kernels exist for, narrowest first.
enum class TSimdPath { Sse2, Avx2, Avx512 };

// The widest path this processor (and its operating system) runs.
TSimdPath BestSimdPath();
// The path new transforms use unless told otherwise: the one the environment
// variable RAVELIN_SIMD names (sse2, avx2 or avx512; read once), or
// BestSimdPath() when it is unset, unknown or names a path beyond it.
TSimdPath DefaultSimdPath();
// "sse2", "avx2" or "avx512".
const char* SimdPathName(TSimdPath path);

class TFastFourierTransform {
public:
  static constexpr int MinOrder = 2;
  static constexpr int MaxOrder = 27;
  static constexpr int ParallelOrder = 19;

  // Throws TRavelinError when order lies outside MinOrder .. MaxOrder. A path
  // beyond BestSimdPath() gives way to BestSimdPath(). parallel = false keeps
  // every size on the caller's thread.
  explicit TFastFourierTransform(int order, TSimdPath path = DefaultSimdPath(), bool parallel = true);

  int Order() const { return FOrder; }
  int32_t Size() const { return FSize; }
  double InverseScale() const { return FInverseScale; }
  // The instruction set the kernels of this transform use.
  TSimdPath SimdPath() const { return FSimdPath; }

  // Real signal -> packed spectrum, unscaled.
  void Forward(double* data) const;
  // Packed spectrum -> N/2 times the real signal.
  void Inverse(double* data) const;
  // a := a * b bin by bin; [0] and [1] are two independent reals.
  void Multiply(double* a, const double* b) const;
  // a := a / b bin by bin, without any guard: a zero bin gives inf or NaN.
  void Divide(double* a, const double* b) const;
  // Every one of the N values times factor.
  void Scale(double* data, double factor) const;

private:
  void BuildRoots();
  TFftPlan Plan() const;

  int FOrder;
  int32_t FSize;
  double FInverseScale;
  // exp(2*pi*i*j/N) for 0 <= j < N as the product of two short tables of
  // (cos, sin) pairs: FRootLow[j & FRootMask] * FRootHigh[j >> FRootShift].
  // About 2 sqrt(N) pairs in all; they serve the split step and the stages
  // that stream the whole array, where the extra multiplication is free.
  std::vector<double> FRootLow;
  std::vector<double> FRootHigh;
  int FRootShift;
  std::size_t FRootMask;
  // Roots of the radix-4 stages of up to 4 x 4096 values of the half-size
  // complex transform (at most 65520 doubles whatever N), in groups of up to
  // four k as the wide kernels load them (fftsimd.h).
  std::vector<double> FStage;
  // Start of each stage's roots in FStage (at most 13 stages for order 27).
  std::size_t FStageOffset[13] = {};
  // The low parts of the roots of the stages beyond those, repeated in the
  // order their k use them (at most about 5 sqrt(N) doubles in all), and
  // the start of each stage's in FStreamed (by the same stage numbers).
  std::vector<double> FStreamed;
  std::size_t FStreamedOffset[13] = {};
  // Values per block of the first complex stage: 2 or 4.
  std::size_t FFirstSize;
  TSimdPath FSimdPath;
  const TFftKernels* FKernels;
  bool FParallel;
};

} // namespace ravelin
