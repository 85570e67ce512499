// AVX2 forms of the Quad store products (fftconvfn.h): two groups of four
// bins per register, the same single-precision operations on every bin as the
// SSE2 forms, so both give identical results. Only called when the processor
// has AVX2; nil pointers when the unit was built without it.
#pragma once

#include <cstdint>

namespace ravelin {

struct TQuadProducts {
  void (*StoreMul)(const void* x, const void* h, int32_t m, void* a);
  void (*StoreMulAdd)(const void* x, const void* h, int32_t m, void* a);
};

// Bins only: the callers handle the zero-frequency and Nyquist terms.
TQuadProducts QuadProductsAvx2();

} // namespace ravelin
