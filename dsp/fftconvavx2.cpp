// Built with -mavx2. A register holds the real parts (or imaginary parts) of
// two consecutive groups, gathered from the two groups' halves by lane
// permutes; the arithmetic is that of the SSE2 kernels lane by lane.
#include "fftconvavx2.h"

#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace ravelin {

#if defined(__AVX2__)
namespace {

// Real and imaginary parts of groups g and g + 1 at p (8g floats in).
struct TParts {
  __m256 Re, Im;
};

TParts LoadParts(const float* p) {
  const __m256 first = _mm256_loadu_ps(p), second = _mm256_loadu_ps(p + 8);
  return {_mm256_permute2f128_ps(first, second, 0x20), _mm256_permute2f128_ps(first, second, 0x31)};
}

// x * h bin by bin, as in the SSE2 kernels.
TParts Product(const float* x, const float* h) {
  const TParts a = LoadParts(x), b = LoadParts(h);
  return {_mm256_sub_ps(_mm256_mul_ps(a.Re, b.Re), _mm256_mul_ps(a.Im, b.Im)),
          _mm256_add_ps(_mm256_mul_ps(a.Re, b.Im), _mm256_mul_ps(a.Im, b.Re))};
}

// The same for a single group (an odd group count).
void SingleGroup(const float* x, const float* h, float* a, bool add) {
  const __m128 xr = _mm_load_ps(x), xi = _mm_load_ps(x + 4);
  const __m128 hr = _mm_load_ps(h), hi = _mm_load_ps(h + 4);
  const __m128 re = _mm_sub_ps(_mm_mul_ps(xr, hr), _mm_mul_ps(xi, hi));
  const __m128 im = _mm_add_ps(_mm_mul_ps(xr, hi), _mm_mul_ps(xi, hr));
  _mm_store_ps(a, add ? _mm_add_ps(_mm_load_ps(a), re) : re);
  _mm_store_ps(a + 4, add ? _mm_add_ps(_mm_load_ps(a + 4), im) : im);
}

// a := x h, or a += x h with Add, over m complex values.
template <bool Add> void StoreProducts(const void* x, const void* h, int32_t m, void* a) {
  const auto* xb = static_cast<const float*>(x);
  const auto* hb = static_cast<const float*>(h);
  auto* ab = static_cast<float*>(a);
  int32_t i = 0;
  for (; i + 16 <= 2 * m; i += 16) {
    const TParts p = Product(xb + i, hb + i);
    __m256 low = _mm256_permute2f128_ps(p.Re, p.Im, 0x20);
    __m256 high = _mm256_permute2f128_ps(p.Re, p.Im, 0x31);
    if constexpr (Add) {
      low = _mm256_add_ps(_mm256_loadu_ps(ab + i), low);
      high = _mm256_add_ps(_mm256_loadu_ps(ab + i + 8), high);
    }
    _mm256_storeu_ps(ab + i, low);
    _mm256_storeu_ps(ab + i + 8, high);
  }
  if (i < 2 * m)
    SingleGroup(xb + i, hb + i, ab + i, Add);
}

void StoreMul(const void* x, const void* h, int32_t m, void* a) {
  StoreProducts<false>(x, h, m, a);
}

void StoreMulAdd(const void* x, const void* h, int32_t m, void* a) {
  StoreProducts<true>(x, h, m, a);
}

} // namespace

TQuadProducts QuadProductsAvx2() {
  return {StoreMul, StoreMulAdd};
}
#else
TQuadProducts QuadProductsAvx2() {
  return {nullptr, nullptr};
}
#endif

} // namespace ravelin
