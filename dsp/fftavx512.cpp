// Transform kernels for AVX-512F: four complex values per register. Built
// with -mavx512f (and only called when the processor has it).
#include "fftkernels.h"

namespace ravelin {

const TFftKernels* Avx512FftKernels() {
#if defined(__AVX512F__)
  static const TFftKernels kernels = MakeKernels<TCx4>("avx512");
  return &kernels;
#else
  return nullptr;
#endif
}

} // namespace ravelin
