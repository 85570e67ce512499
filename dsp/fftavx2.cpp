// Transform kernels for AVX2: two complex values per register. Built with
// -mavx2 (and only called when the processor has it).
#include "fftkernels.h"

namespace ravelin {

const TFftKernels* Avx2FftKernels() {
#if defined(__AVX2__)
  static const TFftKernels kernels = MakeKernels<TCx2>("avx2");
  return &kernels;
#else
  return nullptr;
#endif
}

} // namespace ravelin
