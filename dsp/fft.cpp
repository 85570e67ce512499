// Tables and dispatch; the transform itself is in fftkernels.h, compiled
// once per instruction set.
#include "fft.h"

#include "errors.h"
#include "fftsimd.h"
#include "workerTeam.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>

namespace ravelin {

TSimdPath BestSimdPath() {
#if defined(__x86_64__) || defined(_M_X64)
  // The processor and the operating system (saved register state) both.
  static const TSimdPath best = [] {
    __builtin_cpu_init();
    if (Avx512FftKernels() && __builtin_cpu_supports("avx512f"))
      return TSimdPath::Avx512;
    if (Avx2FftKernels() && __builtin_cpu_supports("avx2"))
      return TSimdPath::Avx2;
    return TSimdPath::Sse2;
  }();
  return best;
#else
  return TSimdPath::Sse2;
#endif
}

TSimdPath DefaultSimdPath() {
  static const TSimdPath path = [] {
    const char* name = std::getenv("RAVELIN_SIMD");
    if (name == nullptr)
      return BestSimdPath();
    for (const TSimdPath p : {TSimdPath::Sse2, TSimdPath::Avx2, TSimdPath::Avx512})
      if (std::strcmp(name, SimdPathName(p)) == 0)
        return p <= BestSimdPath() ? p : BestSimdPath();
    return BestSimdPath();
  }();
  return path;
}

const char* SimdPathName(TSimdPath path) {
  switch (path) {
  case TSimdPath::Sse2: return "sse2";
  case TSimdPath::Avx2: return "avx2";
  case TSimdPath::Avx512: return "avx512";
  }
  return "sse2";
}

namespace {

const TFftKernels* KernelsOf(TSimdPath path) {
  switch (path) {
  case TSimdPath::Avx512: return Avx512FftKernels();
  case TSimdPath::Avx2: return Avx2FftKernels();
  case TSimdPath::Sse2: break;
  }
  return Sse2FftKernels();
}

void RunOnSharedTeam(int count, void (*part)(void* context, int i), void* context) {
  TWorkerTeam::Shared().Run(count, part, context);
}

} // namespace

TFastFourierTransform::TFastFourierTransform(int order, TSimdPath path, bool parallel) {
  if (order < MinOrder || order > MaxOrder)
    throw TRavelinError("FFT order " + std::to_string(order) + " lies outside " + std::to_string(MinOrder) +
                        " .. " + std::to_string(MaxOrder));
  FOrder = order;
  FSize = int32_t{1} << order;
  FInverseScale = 2.0 / static_cast<double>(FSize);
  FFirstSize = (order - 1) % 2 == 1 ? 2 : 4;
  FSimdPath = path <= BestSimdPath() ? path : BestSimdPath();
  FKernels = KernelsOf(FSimdPath);
  FParallel = parallel && order >= ParallelOrder;
  BuildRoots();
}

namespace {

// exp(i angle) in extended precision.
struct TExactRoot {
  long double Re, Im;
};

std::vector<TExactRoot> ExactRoots(std::size_t count, std::size_t step, std::size_t size) {
  const long double unit = 2 * std::numbers::pi_v<long double> / static_cast<long double>(size);
  std::vector<TExactRoot> roots(count);
  for (std::size_t j = 0; j < count; ++j) {
    const long double angle = unit * static_cast<long double>(j * step);
    roots[j] = {std::cos(angle), std::sin(angle)};
  }
  return roots;
}

void AppendRounded(std::vector<double>& table, TExactRoot w) {
  table.push_back(static_cast<double>(w.Re));
  table.push_back(static_cast<double>(w.Im));
}

} // namespace

// The two-level table holds W^j = exp(2*pi*i*j/N) for the low and the high
// bits of j, each rounded once from extended precision; the stored stages
// take their products in extended precision, rounded once too.
void TFastFourierTransform::BuildRoots() {
  const std::size_t N = static_cast<std::size_t>(FSize);
  FRootShift = (FOrder + 1) / 2;
  FRootMask = (std::size_t{1} << FRootShift) - 1;
  const std::vector<TExactRoot> low = ExactRoots(FRootMask + 1, 1, N);
  const std::vector<TExactRoot> high = ExactRoots(N >> FRootShift, FRootMask + 1, N);
  for (const TExactRoot& w : low)
    AppendRounded(FRootLow, w);
  for (const TExactRoot& w : high)
    AppendRounded(FRootHigh, w);

  const std::size_t n = N / 2;
  std::size_t stage = 0;
  for (std::size_t q = FFirstSize; q < n && q <= StoredPowersLimit; q *= 4) {
    FStageOffset[stage++] = FStage.size();
    const std::size_t stride = N / (4 * q); // exp(2*pi*i*k/(4q)) = W^(k*stride)
    const std::size_t group = StoredGroup(q);
    for (std::size_t k0 = 0; k0 < q; k0 += group)
      for (std::size_t p = 1; p <= 3; ++p) {
        double re[4], im[4];
        for (std::size_t l = 0; l < group; ++l) {
          const std::size_t j = (k0 + l) * p * stride;
          const TExactRoot a = high[j >> FRootShift], b = low[j & FRootMask];
          re[l] = static_cast<double>(a.Re * b.Re - a.Im * b.Im);
          im[l] = static_cast<double>(a.Re * b.Im + a.Im * b.Re);
        }
        for (std::size_t l = 0; l < group; ++l)
          FStage.insert(FStage.end(), {re[l], re[l]});
        for (std::size_t l = 0; l < group; ++l)
          FStage.insert(FStage.end(), {-im[l], im[l]});
      }
  }

  // Copies of the low parts for the streamed stages, in the order their k
  // use them (fftsimd.h).
  stage = 0;
  for (std::size_t q = FFirstSize; q < n; q *= 4, ++stage) {
    const std::size_t stride = N / (4 * q);
    if (q <= StoredPowersLimit || !HasStreamedRoots(stride, FRootMask))
      continue;
    FStreamedOffset[stage] = FStreamed.size();
    const std::size_t period = (FRootMask + 1) / stride;
    for (std::size_t p = 1; p <= 3; ++p)
      for (std::size_t k = 0; k < (p == 2 ? period / 2 : period); ++k) {
        const std::size_t j = (k * p * stride) & FRootMask;
        FStreamed.insert(FStreamed.end(), {FRootLow[2 * j], FRootLow[2 * j + 1]});
      }
  }
}

TFftPlan TFastFourierTransform::Plan() const {
  return {FOrder,
          FFirstSize,
          FRootLow.data(),
          FRootHigh.data(),
          FRootShift,
          FRootMask,
          FStage.data(),
          FStageOffset,
          FStreamed.data(),
          FStreamedOffset,
          FParallel ? RunOnSharedTeam : nullptr};
}

void TFastFourierTransform::Forward(double* data) const {
  FKernels->Forward(Plan(), data);
}

void TFastFourierTransform::Inverse(double* data) const {
  FKernels->Inverse(Plan(), data);
}

void TFastFourierTransform::Multiply(double* a, const double* b) const {
  FKernels->Multiply(a, b, static_cast<std::size_t>(FSize));
}

void TFastFourierTransform::Divide(double* a, const double* b) const {
  FKernels->Divide(a, b, static_cast<std::size_t>(FSize));
}

void TFastFourierTransform::Scale(double* data, double factor) const {
  FKernels->Scale(data, factor, static_cast<std::size_t>(FSize));
}

} // namespace ravelin
