#include "fftconvfn.h"

#include "buffers.h"
#include "errors.h"
#include "fftconvavx2.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define RAVELIN_QUAD_STORE 1
#endif

namespace ravelin {
namespace {

struct TEnds {
  double Z;
  double Y;
};

TEnds LoadEnds(const void* at) {
  TEnds ends;
  std::memcpy(&ends, at, sizeof ends);
  return ends;
}

void StoreEnds(void* at, TEnds ends) {
  std::memcpy(at, &ends, sizeof ends);
}

TEnds MulEnds(TEnds x, TEnds h) {
  return {x.Z * h.Z, x.Y * h.Y};
}

TEnds MulAddEnds(TEnds a, TEnds x, TEnds h) {
  return {a.Z + x.Z * h.Z, a.Y + x.Y * h.Y};
}

// ---- Plain: Z, Y, then interleaved single-precision bins 1 .. M-1 ----

float* PlainBins(void* store) {
  return static_cast<float*>(store) + 4;
}
const float* PlainBins(const void* store) {
  return static_cast<const float*>(store) + 4;
}

// Complex product of two single-precision bins (re, im), formed in double.
struct TBin {
  double Re, Im;
};

TBin MulBin(const float* x, const float* h) {
  const double xr = static_cast<double>(x[0]), xi = static_cast<double>(x[1]);
  const double hr = static_cast<double>(h[0]), hi = static_cast<double>(h[1]);
  return {xr * hr - xi * hi, xr * hi + xi * hr};
}

void PlainPackToStore(const double* packed, int32_t m, void* store) {
  StoreEnds(store, {packed[0], packed[1]});
  float* bins = PlainBins(store);
  for (int32_t i = 2; i < 2 * m; ++i)
    bins[i - 2] = static_cast<float>(packed[i]);
}

void PlainStoreToPack(double* packed, int32_t m, const void* store) {
  const TEnds ends = LoadEnds(store);
  packed[0] = ends.Z;
  packed[1] = ends.Y;
  const float* bins = PlainBins(store);
  for (int32_t i = 2; i < 2 * m; ++i)
    packed[i] = static_cast<double>(bins[i - 2]);
}

void PlainStoreMul(const void* x, const void* h, int32_t m, void* a) {
  StoreEnds(a, MulEnds(LoadEnds(x), LoadEnds(h)));
  const float* xb = PlainBins(x);
  const float* hb = PlainBins(h);
  float* ab = PlainBins(a);
  for (int32_t i = 0; i < 2 * (m - 1); i += 2) {
    const TBin p = MulBin(xb + i, hb + i);
    ab[i] = static_cast<float>(p.Re);
    ab[i + 1] = static_cast<float>(p.Im);
  }
}

void PlainStoreMulAdd(const void* x, const void* h, int32_t m, void* a) {
  StoreEnds(a, MulAddEnds(LoadEnds(a), LoadEnds(x), LoadEnds(h)));
  const float* xb = PlainBins(x);
  const float* hb = PlainBins(h);
  float* ab = PlainBins(a);
  for (int32_t i = 0; i < 2 * (m - 1); i += 2) {
    const TBin p = MulBin(xb + i, hb + i);
    ab[i] = static_cast<float>(static_cast<double>(ab[i]) + p.Re);
    ab[i + 1] = static_cast<float>(static_cast<double>(ab[i + 1]) + p.Im);
  }
}

constexpr TSpectrumKernels PlainKernels{TStoreVariant::Plain, PlainPackToStore, PlainStoreToPack,
                                        PlainStoreMul, PlainStoreMulAdd};

#if defined(RAVELIN_QUAD_STORE)

// ---- Quad: groups of four real parts then four imaginary parts ----

float* QuadBins(void* store) {
  return static_cast<float*>(store);
}
const float* QuadBins(const void* store) {
  return static_cast<const float*>(store);
}
char* QuadEnds(void* store, int32_t m) {
  return static_cast<char*>(store) + 8 * m;
}
const char* QuadEnds(const void* store, int32_t m) {
  return static_cast<const char*>(store) + 8 * m;
}

void QuadPackToStore(const double* packed, int32_t m, void* store) {
  float* bins = QuadBins(store);
  for (int32_t g = 0; g < m / 4; ++g) {
    const double* p = packed + 8 * g;
    const __m128 lo = _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(p)), _mm_cvtpd_ps(_mm_loadu_pd(p + 2)));
    const __m128 hi = _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(p + 4)), _mm_cvtpd_ps(_mm_loadu_pd(p + 6)));
    _mm_store_ps(bins + 8 * g, _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)));
    _mm_store_ps(bins + 8 * g + 4, _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1)));
  }
  StoreEnds(QuadEnds(store, m), {packed[0], packed[1]});
}

void QuadStoreToPack(double* packed, int32_t m, const void* store) {
  const float* bins = QuadBins(store);
  for (int32_t g = 0; g < m / 4; ++g) {
    const __m128 re = _mm_load_ps(bins + 8 * g);
    const __m128 im = _mm_load_ps(bins + 8 * g + 4);
    const __m128 lo = _mm_unpacklo_ps(re, im);
    const __m128 hi = _mm_unpackhi_ps(re, im);
    double* p = packed + 8 * g;
    _mm_storeu_pd(p, _mm_cvtps_pd(lo));
    _mm_storeu_pd(p + 2, _mm_cvtps_pd(_mm_movehl_ps(lo, lo)));
    _mm_storeu_pd(p + 4, _mm_cvtps_pd(hi));
    _mm_storeu_pd(p + 6, _mm_cvtps_pd(_mm_movehl_ps(hi, hi)));
  }
  const TEnds ends = LoadEnds(QuadEnds(store, m));
  packed[0] = ends.Z;
  packed[1] = ends.Y;
}

void QuadStoreMul(const void* x, const void* h, int32_t m, void* a) {
  const float* xb = QuadBins(x);
  const float* hb = QuadBins(h);
  float* ab = QuadBins(a);
  for (int32_t i = 0; i < 2 * m; i += 8) {
    const __m128 xr = _mm_load_ps(xb + i), xi = _mm_load_ps(xb + i + 4);
    const __m128 hr = _mm_load_ps(hb + i), hi = _mm_load_ps(hb + i + 4);
    _mm_store_ps(ab + i, _mm_sub_ps(_mm_mul_ps(xr, hr), _mm_mul_ps(xi, hi)));
    _mm_store_ps(ab + i + 4, _mm_add_ps(_mm_mul_ps(xr, hi), _mm_mul_ps(xi, hr)));
  }
  StoreEnds(QuadEnds(a, m), MulEnds(LoadEnds(QuadEnds(x, m)), LoadEnds(QuadEnds(h, m))));
}

void QuadStoreMulAdd(const void* x, const void* h, int32_t m, void* a) {
  const float* xb = QuadBins(x);
  const float* hb = QuadBins(h);
  float* ab = QuadBins(a);
  for (int32_t i = 0; i < 2 * m; i += 8) {
    const __m128 xr = _mm_load_ps(xb + i), xi = _mm_load_ps(xb + i + 4);
    const __m128 hr = _mm_load_ps(hb + i), hi = _mm_load_ps(hb + i + 4);
    const __m128 re = _mm_sub_ps(_mm_mul_ps(xr, hr), _mm_mul_ps(xi, hi));
    const __m128 im = _mm_add_ps(_mm_mul_ps(xr, hi), _mm_mul_ps(xi, hr));
    _mm_store_ps(ab + i, _mm_add_ps(_mm_load_ps(ab + i), re));
    _mm_store_ps(ab + i + 4, _mm_add_ps(_mm_load_ps(ab + i + 4), im));
  }
  StoreEnds(QuadEnds(a, m),
            MulAddEnds(LoadEnds(QuadEnds(a, m)), LoadEnds(QuadEnds(x, m)), LoadEnds(QuadEnds(h, m))));
}

constexpr TSpectrumKernels QuadKernels{TStoreVariant::Quad, QuadPackToStore, QuadStoreToPack, QuadStoreMul,
                                       QuadStoreMulAdd};

// The same with the bins' products on two groups per AVX2 register.
const TQuadProducts& WideProducts() {
  static const TQuadProducts products = QuadProductsAvx2();
  return products;
}

void QuadWideStoreMul(const void* x, const void* h, int32_t m, void* a) {
  WideProducts().StoreMul(x, h, m, a);
  StoreEnds(QuadEnds(a, m), MulEnds(LoadEnds(QuadEnds(x, m)), LoadEnds(QuadEnds(h, m))));
}

void QuadWideStoreMulAdd(const void* x, const void* h, int32_t m, void* a) {
  WideProducts().StoreMulAdd(x, h, m, a);
  StoreEnds(QuadEnds(a, m),
            MulAddEnds(LoadEnds(QuadEnds(a, m)), LoadEnds(QuadEnds(x, m)), LoadEnds(QuadEnds(h, m))));
}

constexpr TSpectrumKernels QuadWideKernels{TStoreVariant::Quad, QuadPackToStore, QuadStoreToPack,
                                           QuadWideStoreMul, QuadWideStoreMulAdd};

#endif

} // namespace

bool StoreVariantAvailable(TStoreVariant variant) {
#if defined(RAVELIN_QUAD_STORE)
  if (variant == TStoreVariant::Quad)
    return HasSSE;
#endif
  return variant == TStoreVariant::Plain;
}

const TSpectrumKernels& SpectrumKernels(TStoreVariant variant) {
  return SpectrumKernels(variant, DefaultSimdPath());
}

const TSpectrumKernels& SpectrumKernels(TStoreVariant variant, TSimdPath path) {
  if (!StoreVariantAvailable(variant))
    throw TRavelinError("Spectrum store variant not available on this processor");
#if defined(RAVELIN_QUAD_STORE)
  if (variant == TStoreVariant::Quad) {
    if (path >= TSimdPath::Avx2 && BestSimdPath() >= TSimdPath::Avx2 && WideProducts().StoreMul != nullptr)
      return QuadWideKernels;
    return QuadKernels;
  }
#endif
  return PlainKernels;
}

TStoreVariant DefaultStoreVariant() {
  // HasSSE is set during static initialisation of another unit; reading it
  // lazily here avoids depending on the order of initialisation.
  static const TStoreVariant Chosen =
      StoreVariantAvailable(TStoreVariant::Quad) ? TStoreVariant::Quad : TStoreVariant::Plain;
  return Chosen;
}

} // namespace ravelin
