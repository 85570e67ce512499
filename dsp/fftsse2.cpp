// Transform kernels for the baseline instruction set: one complex value per
// register.
#include "fftkernels.h"

namespace ravelin {

const TFftKernels* Sse2FftKernels() {
  static const TFftKernels kernels = MakeKernels<TCx1>("sse2");
  return &kernels;
}

} // namespace ravelin
