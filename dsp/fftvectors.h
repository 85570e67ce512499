// Vectors of complex doubles for the transform kernels: TCx1 holds one
// complex value (SSE2, or two scalars elsewhere), TCx2 two (AVX, in units
// compiled with -mavx2) and TCx4 four (AVX-512F). Each value sits as (re, im)
// in consecutive lanes, the same order as in memory.
//
// Every type offers the same lanewise operations, so an algorithm written
// once over them performs the same roundings on every value whatever the
// width. Everything lives in an anonymous namespace: each unit that includes
// this header gets copies of its own, compiled with that unit's instruction
// set, and the linker can never hand one unit's AVX code to another.
#pragma once

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__AVX2__) || defined(__AVX512F__)
#include <immintrin.h>
#endif

namespace ravelin {
namespace {

#if defined(__SSE2__)
struct TCx1 {
  static constexpr std::size_t Width = 1;
  using TNarrow = TCx1;
  __m128d V;

  static TCx1 Load(const double* p) { return {_mm_loadu_pd(p)}; }
  static void Store(double* p, TCx1 a) { _mm_storeu_pd(p, a.V); }
  static TCx1 Splat(double v) { return {_mm_set1_pd(v)}; }
  friend TCx1 operator+(TCx1 a, TCx1 b) { return {_mm_add_pd(a.V, b.V)}; }
  friend TCx1 operator-(TCx1 a, TCx1 b) { return {_mm_sub_pd(a.V, b.V)}; }
  // Lanewise product.
  friend TCx1 operator*(TCx1 a, TCx1 b) { return {_mm_mul_pd(a.V, b.V)}; }
  friend TCx1 operator/(TCx1 a, TCx1 b) { return {_mm_div_pd(a.V, b.V)}; }
  // (im, re) of every value.
  static TCx1 Swap(TCx1 a) { return {_mm_shuffle_pd(a.V, a.V, 1)}; }
  // Negated imaginary parts (conjugate), negated real parts.
  static TCx1 Conj(TCx1 a) { return {_mm_xor_pd(a.V, _mm_set_pd(-0.0, 0.0))}; }
  static TCx1 NegateRe(TCx1 a) { return {_mm_xor_pd(a.V, _mm_set_pd(0.0, -0.0))}; }
  // a + NegateRe(b) and a + Conj(b) in one, with the same roundings.
  static TCx1 AddSub(TCx1 a, TCx1 b) { return a + NegateRe(b); }
  static TCx1 SubAdd(TCx1 a, TCx1 b) { return a + Conj(b); }
  // (re, re) and (im, im) of every value.
  static TCx1 DupRe(TCx1 a) { return {_mm_unpacklo_pd(a.V, a.V)}; }
  static TCx1 DupIm(TCx1 a) { return {_mm_unpackhi_pd(a.V, a.V)}; }
  // The values in the opposite order.
  static TCx1 Reverse(TCx1 a) { return a; }
  // Value l from base + 2 index[l].
  static TCx1 Gather(const double* base, const std::size_t* index) { return Load(base + 2 * index[0]); }
  // The value at p in every place.
  static TCx1 Broadcast(const double* p) { return Load(p); }
  // Transposes the Width x Width matrix of values in rows[0 .. Width-1]:
  // value l of rows[r] trades places with value r of rows[l].
  static void Transpose(TCx1*) {}
};
#else
struct TCx1 {
  static constexpr std::size_t Width = 1;
  using TNarrow = TCx1;
  double Re, Im;

  static TCx1 Load(const double* p) { return {p[0], p[1]}; }
  static void Store(double* p, TCx1 a) {
    p[0] = a.Re;
    p[1] = a.Im;
  }
  static TCx1 Splat(double v) { return {v, v}; }
  friend TCx1 operator+(TCx1 a, TCx1 b) { return {a.Re + b.Re, a.Im + b.Im}; }
  friend TCx1 operator-(TCx1 a, TCx1 b) { return {a.Re - b.Re, a.Im - b.Im}; }
  friend TCx1 operator*(TCx1 a, TCx1 b) { return {a.Re * b.Re, a.Im * b.Im}; }
  friend TCx1 operator/(TCx1 a, TCx1 b) { return {a.Re / b.Re, a.Im / b.Im}; }
  static TCx1 Swap(TCx1 a) { return {a.Im, a.Re}; }
  static TCx1 Conj(TCx1 a) { return {a.Re, -a.Im}; }
  static TCx1 NegateRe(TCx1 a) { return {-a.Re, a.Im}; }
  static TCx1 AddSub(TCx1 a, TCx1 b) { return {a.Re - b.Re, a.Im + b.Im}; }
  static TCx1 SubAdd(TCx1 a, TCx1 b) { return {a.Re + b.Re, a.Im - b.Im}; }
  static TCx1 DupRe(TCx1 a) { return {a.Re, a.Re}; }
  static TCx1 DupIm(TCx1 a) { return {a.Im, a.Im}; }
  static TCx1 Reverse(TCx1 a) { return a; }
  static TCx1 Gather(const double* base, const std::size_t* index) { return Load(base + 2 * index[0]); }
  static TCx1 Broadcast(const double* p) { return Load(p); }
  static void Transpose(TCx1*) {}
};
#endif

#if defined(__AVX2__)
struct TCx2 {
  static constexpr std::size_t Width = 2;
  using TNarrow = TCx1;
  __m256d V;

  static TCx2 Load(const double* p) { return {_mm256_loadu_pd(p)}; }
  static void Store(double* p, TCx2 a) { _mm256_storeu_pd(p, a.V); }
  static TCx2 Splat(double v) { return {_mm256_set1_pd(v)}; }
  friend TCx2 operator+(TCx2 a, TCx2 b) { return {_mm256_add_pd(a.V, b.V)}; }
  friend TCx2 operator-(TCx2 a, TCx2 b) { return {_mm256_sub_pd(a.V, b.V)}; }
  friend TCx2 operator*(TCx2 a, TCx2 b) { return {_mm256_mul_pd(a.V, b.V)}; }
  friend TCx2 operator/(TCx2 a, TCx2 b) { return {_mm256_div_pd(a.V, b.V)}; }
  static TCx2 Swap(TCx2 a) { return {_mm256_permute_pd(a.V, 0x5)}; }
  static TCx2 Conj(TCx2 a) { return {_mm256_xor_pd(a.V, _mm256_set_pd(-0.0, 0.0, -0.0, 0.0))}; }
  static TCx2 NegateRe(TCx2 a) { return {_mm256_xor_pd(a.V, _mm256_set_pd(0.0, -0.0, 0.0, -0.0))}; }
  static TCx2 AddSub(TCx2 a, TCx2 b) { return {_mm256_addsub_pd(a.V, b.V)}; }
  static TCx2 SubAdd(TCx2 a, TCx2 b) { return a + Conj(b); }
  static TCx2 DupRe(TCx2 a) { return {_mm256_unpacklo_pd(a.V, a.V)}; }
  static TCx2 DupIm(TCx2 a) { return {_mm256_unpackhi_pd(a.V, a.V)}; }
  static TCx2 Reverse(TCx2 a) { return {_mm256_permute2f128_pd(a.V, a.V, 0x01)}; }
  static TCx2 Gather(const double* base, const std::size_t* index) {
    const __m256d low = _mm256_castpd128_pd256(_mm_loadu_pd(base + 2 * index[0]));
    return {_mm256_insertf128_pd(low, _mm_loadu_pd(base + 2 * index[1]), 1)};
  }
  static TCx2 Broadcast(const double* p) {
    return {_mm256_broadcast_pd(reinterpret_cast<const __m128d*>(p))};
  }
  static void Transpose(TCx2* rows) {
    const __m256d a = rows[0].V, b = rows[1].V;
    rows[0].V = _mm256_permute2f128_pd(a, b, 0x20);
    rows[1].V = _mm256_permute2f128_pd(a, b, 0x31);
  }
};
#endif

#if defined(__AVX512F__)
struct TCx4 {
  static constexpr std::size_t Width = 4;
  using TNarrow = TCx2;
  __m512d V;

  // GCC implements the unmasked shuffles as masked ones with an undefined
  // pass-through operand and then warns about it; the masked forms with every
  // lane selected are the same instructions.
  static constexpr __mmask8 All = 0xFF;
  static TCx4 Combine(TCx2 low, TCx2 high) {
    const __m512d wide = _mm512_castpd256_pd512(low.V);
    return {_mm512_mask_insertf64x4(wide, All, wide, high.V, 1)};
  }

  static TCx4 Load(const double* p) { return {_mm512_loadu_pd(p)}; }
  static void Store(double* p, TCx4 a) { _mm512_storeu_pd(p, a.V); }
  static TCx4 Splat(double v) { return {_mm512_set1_pd(v)}; }
  friend TCx4 operator+(TCx4 a, TCx4 b) { return {_mm512_add_pd(a.V, b.V)}; }
  friend TCx4 operator-(TCx4 a, TCx4 b) { return {_mm512_sub_pd(a.V, b.V)}; }
  friend TCx4 operator*(TCx4 a, TCx4 b) { return {_mm512_mul_pd(a.V, b.V)}; }
  friend TCx4 operator/(TCx4 a, TCx4 b) { return {_mm512_div_pd(a.V, b.V)}; }
  static TCx4 Swap(TCx4 a) { return {_mm512_mask_permute_pd(a.V, All, a.V, 0x55)}; }
  // AVX-512F has no floating-point xor: flip the sign bits as integers.
  static TCx4 FlipSigns(TCx4 a, __m512d signs) {
    return {_mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(a.V), _mm512_castpd_si512(signs)))};
  }
  static TCx4 Conj(TCx4 a) { return FlipSigns(a, _mm512_set_pd(-0.0, 0.0, -0.0, 0.0, -0.0, 0.0, -0.0, 0.0)); }
  static TCx4 NegateRe(TCx4 a) {
    return FlipSigns(a, _mm512_set_pd(0.0, -0.0, 0.0, -0.0, 0.0, -0.0, 0.0, -0.0));
  }
  // Fused a * 1 -+ b: the product is exact, so one rounding of a -+ b.
  static TCx4 AddSub(TCx4 a, TCx4 b) { return {_mm512_fmaddsub_pd(a.V, _mm512_set1_pd(1.0), b.V)}; }
  static TCx4 SubAdd(TCx4 a, TCx4 b) { return {_mm512_fmsubadd_pd(a.V, _mm512_set1_pd(1.0), b.V)}; }
  static TCx4 DupRe(TCx4 a) { return {_mm512_mask_unpacklo_pd(a.V, All, a.V, a.V)}; }
  static TCx4 DupIm(TCx4 a) { return {_mm512_mask_unpackhi_pd(a.V, All, a.V, a.V)}; }
  static TCx4 Reverse(TCx4 a) { return {_mm512_mask_shuffle_f64x2(a.V, All, a.V, a.V, 0x1B)}; }
  static TCx4 Gather(const double* base, const std::size_t* index) {
    const TCx2 low = TCx2::Gather(base, index);
    const TCx2 high = TCx2::Gather(base, index + 2);
    return {Combine(low, high)};
  }
  // The 128 bits at p in every place, moved as floats (AVX-512F has no
  // double form); the masked form as above.
  static TCx4 Broadcast(const double* p) {
    const __m128 value = _mm_castpd_ps(_mm_loadu_pd(p));
    return {
        _mm512_castps_pd(_mm512_mask_broadcast_f32x4(_mm512_castpd_ps(_mm512_setzero_pd()), 0xFFFF, value))};
  }
  // Values 0, 1 of the result from a and 2, 3 from b, two bits of Select each.
  template <int Select> static __m512d Interleave(__m512d a, __m512d b) {
    return _mm512_mask_shuffle_f64x2(a, All, a, b, Select);
  }
  // Pairs of rows first, then pairs of pairs.
  static void Transpose(TCx4* rows) {
    const __m512d a = Interleave<0x44>(rows[0].V, rows[1].V), b = Interleave<0xEE>(rows[0].V, rows[1].V);
    const __m512d c = Interleave<0x44>(rows[2].V, rows[3].V), d = Interleave<0xEE>(rows[2].V, rows[3].V);
    rows[0].V = Interleave<0x88>(a, c);
    rows[1].V = Interleave<0xDD>(a, c);
    rows[2].V = Interleave<0x88>(b, d);
    rows[3].V = Interleave<0xDD>(b, d);
  }
};
#endif

} // namespace
} // namespace ravelin
