// The real transform of N values runs as a complex transform of n = N/2
// values (even samples as real parts, odd samples as imaginary parts) followed
// by a split step that separates the two interleaved real spectra.
//
// Complex transform: in-place decimation in time. A tiled bit-reversal
// permutation first, then radix-4 stages (one radix-2 stage at the bottom when
// log2 n is odd). The stages recurse depth first over quarters, so every
// block of up to LeafSize values runs all its stages while it sits in cache;
// only the top log4(n / LeafSize) stages stream the whole array.
#include "fft.h"

#include "errors.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ravelin {
namespace {

#if defined(__SSE2__)
// One complex value (re, im) in an SSE2 register.
struct TCx {
  __m128d V;
};
inline TCx Load(const double* p) {
  return {_mm_loadu_pd(p)};
}
inline void Store(double* p, TCx a) {
  _mm_storeu_pd(p, a.V);
}
inline TCx operator+(TCx a, TCx b) {
  return {_mm_add_pd(a.V, b.V)};
}
inline TCx operator-(TCx a, TCx b) {
  return {_mm_sub_pd(a.V, b.V)};
}
inline TCx Half(TCx a) {
  return {_mm_mul_pd(a.V, _mm_set1_pd(0.5))};
}
inline TCx Lanewise(TCx a, TCx b) {
  return {_mm_mul_pd(a.V, b.V)};
}
inline TCx Swapped(TCx a) {
  return {_mm_shuffle_pd(a.V, a.V, 1)};
}
inline TCx Conj(TCx a) {
  return {_mm_xor_pd(a.V, _mm_set_pd(-0.0, 0.0))};
}
inline TCx NegateRe(TCx a) {
  return {_mm_xor_pd(a.V, _mm_set_pd(0.0, -0.0))};
}
// a * w and a * conj(w).
inline TCx Mul(TCx a, TCx w) {
  const __m128d re = _mm_mul_pd(a.V, _mm_unpacklo_pd(w.V, w.V));
  const __m128d im = _mm_mul_pd(_mm_shuffle_pd(a.V, a.V, 1), _mm_unpackhi_pd(w.V, w.V));
  return {_mm_add_pd(re, _mm_xor_pd(im, _mm_set_pd(0.0, -0.0)))};
}
inline TCx MulConj(TCx a, TCx w) {
  const __m128d re = _mm_mul_pd(a.V, _mm_unpacklo_pd(w.V, w.V));
  const __m128d im = _mm_mul_pd(_mm_shuffle_pd(a.V, a.V, 1), _mm_unpackhi_pd(w.V, w.V));
  return {_mm_add_pd(re, _mm_xor_pd(im, _mm_set_pd(-0.0, 0.0)))};
}
#else
struct TCx {
  double Re, Im;
};
inline TCx Load(const double* p) {
  return {p[0], p[1]};
}
inline void Store(double* p, TCx a) {
  p[0] = a.Re;
  p[1] = a.Im;
}
inline TCx operator+(TCx a, TCx b) {
  return {a.Re + b.Re, a.Im + b.Im};
}
inline TCx operator-(TCx a, TCx b) {
  return {a.Re - b.Re, a.Im - b.Im};
}
inline TCx Half(TCx a) {
  return {0.5 * a.Re, 0.5 * a.Im};
}
inline TCx Lanewise(TCx a, TCx b) {
  return {a.Re * b.Re, a.Im * b.Im};
}
inline TCx Swapped(TCx a) {
  return {a.Im, a.Re};
}
inline TCx Conj(TCx a) {
  return {a.Re, -a.Im};
}
inline TCx NegateRe(TCx a) {
  return {-a.Re, a.Im};
}
inline TCx Mul(TCx a, TCx w) {
  return {a.Re * w.Re - a.Im * w.Im, a.Im * w.Re + a.Re * w.Im};
}
inline TCx MulConj(TCx a, TCx w) {
  return {a.Re * w.Re + a.Im * w.Im, a.Im * w.Re - a.Re * w.Im};
}
#endif

inline TCx MulI(TCx a) {
  return NegateRe(Swapped(a));
} // i * a
inline TCx MulNegI(TCx a) {
  return Conj(Swapped(a));
} // -i * a

// The forward complex transform uses exp(+2*pi*i*jk/n), the inverse
// exp(-2*pi*i*jk/n): tables hold the positive roots, the inverse conjugates.
enum class TDirection { Forward, Inverse };

template <TDirection D> inline TCx Twiddle(TCx a, TCx w) {
  if constexpr (D == TDirection::Forward)
    return Mul(a, w);
  else
    return MulConj(a, w);
}

// A stored root w = (re, im) is kept as the four doubles (re, re, -im, im):
// a * w = a (re, re) + swap(a) (-im, im) and a * conj(w) the difference,
// with the same roundings as Mul and MulConj and no shuffling of w.
template <TDirection D> inline TCx TwiddleStored(TCx a, const double* w) {
  const TCx re = Lanewise(a, Load(w));
  const TCx im = Lanewise(Swapped(a), Load(w + 2));
  if constexpr (D == TDirection::Forward)
    return re + im;
  else
    return re - im;
}

// Multiplies by the quarter-turn root: +i forward, -i inverse.
template <TDirection D> inline TCx QuarterTurn(TCx a) {
  if constexpr (D == TDirection::Forward)
    return MulI(a);
  else
    return MulNegI(a);
}

inline void SwapComplex(double* z, std::size_t i, std::size_t j) {
  const TCx a = Load(z + 2 * i);
  const TCx b = Load(z + 2 * j);
  Store(z + 2 * i, b);
  Store(z + 2 * j, a);
}

// Advances r as a counter whose bits run backwards (bits >= 1).
inline void ReverseIncrement(std::size_t& r, int bits) {
  std::size_t bit = std::size_t{1} << (bits - 1);
  while ((r & bit) != 0) {
    r ^= bit;
    bit >>= 1;
  }
  r |= bit;
}

// Tiles of 2^TileBits x 2^TileBits values: for every middle part of an index,
// the values whose low and high TileBits bits vary are swapped with their
// partners as a group, so both sides touch whole cache lines.
constexpr int TileBits = 4;
constexpr std::size_t TileSize = std::size_t{1} << TileBits;

constexpr std::array<std::size_t, TileSize> ReversedTileBits = [] {
  std::array<std::size_t, TileSize> table{};
  for (std::size_t v = 0; v < TileSize; ++v)
    for (int b = 0; b < TileBits; ++b)
      table[v] |= ((v >> b) & 1u) << (TileBits - 1 - b);
  return table;
}();

// Bit-reversal permutation of n = 2^bits complex values.
void BitReverse(double* z, int bits) {
  const std::size_t n = std::size_t{1} << bits;
  if (bits < 2 * TileBits + 1) {
    std::size_t r = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
      if (i < r)
        SwapComplex(z, i, r);
      ReverseIncrement(r, bits);
    }
    return;
  }
  const int middleBits = bits - 2 * TileBits;
  const int highShift = bits - TileBits;
  const std::size_t middleCount = std::size_t{1} << middleBits;
  std::size_t reversedMiddle = 0;
  for (std::size_t middle = 0; middle < middleCount; ++middle) {
    if (middle <= reversedMiddle) {
      const std::size_t base = middle << TileBits;
      const std::size_t partnerBase = reversedMiddle << TileBits;
      for (std::size_t high = 0; high < TileSize; ++high) {
        for (std::size_t low = 0; low < TileSize; ++low) {
          const std::size_t i = (high << highShift) | base | low;
          const std::size_t j = (ReversedTileBits[low] << highShift) | partnerBase | ReversedTileBits[high];
          if (middle != reversedMiddle || i < j)
            SwapComplex(z, i, j);
        }
      }
    }
    if (middle + 1 < middleCount)
      ReverseIncrement(reversedMiddle, middleBits);
  }
}

// Blocks of up to this many complex values run all their stages in one go.
constexpr std::size_t LeafSize = std::size_t{1} << 11;

// First stage when log2 n is odd: 2-point transforms.
void Radix2Stage(double* z, std::size_t count) {
  for (std::size_t j = 0; j < count; j += 2) {
    const TCx a = Load(z + 2 * j);
    const TCx b = Load(z + 2 * j + 2);
    Store(z + 2 * j, a + b);
    Store(z + 2 * j + 2, a - b);
  }
}

// One radix-4 butterfly on the values k of the four quarters q0 .. q3 of a
// block; the quarters hold the sub-transforms of the inputs congruent to
// 0, 2, 1, 3 modulo 4 (bit-reversed order), already twiddled.
template <TDirection D>
inline void Butterfly(double* q0, double* q1, double* q2, double* q3, TCx a0, TCx a1, TCx a2, TCx a3) {
  const TCx t0 = a0 + a2;
  const TCx t1 = a0 - a2;
  const TCx t2 = a1 + a3;
  const TCx t3 = QuarterTurn<D>(a1 - a3);
  Store(q0, t0 + t2);
  Store(q1, t1 + t3);
  Store(q2, t0 - t2);
  Store(q3, t1 - t3);
}

// First stage when log2 n is even: 4-point transforms (no twiddles).
template <TDirection D> void Radix4FirstStage(double* z, std::size_t count) {
  for (std::size_t j = 0; j < count; j += 4) {
    double* p = z + 2 * j;
    Butterfly<D>(p, p + 2, p + 4, p + 6, Load(p), Load(p + 4), Load(p + 2), Load(p + 6));
  }
}

// Stages with q up to this size keep root^k, root^2k and root^3k in a table
// of their own; larger ones form them from the two-level root table.
constexpr std::size_t StoredPowersLimit = 4096;

// exp(2*pi*i*j/N) from the two-level table: one product of two correctly
// rounded values, within about 2 ulp.
struct TTwoLevelRoots {
  const double* Low;
  const double* High;
  int Shift;
  std::size_t Mask;
  TCx operator()(std::size_t j) const {
    return Mul(Load(High + 2 * (j >> Shift)), Load(Low + 2 * (j & Mask)));
  }
};

// Doubles per k of a stored stage: root^k, root^2k, root^3k in the layout
// of TwiddleStored.
constexpr std::size_t StoredStride = 12;

// Twiddles of a stored stage applied to the inputs a1, a2, a3 in place.
template <TDirection D> struct TStoredPowers {
  const double* Roots;
  void operator()(std::size_t k, TCx& a1, TCx& a2, TCx& a3) const {
    const double* w = Roots + StoredStride * k;
    a1 = TwiddleStored<D>(a1, w);
    a2 = TwiddleStored<D>(a2, w + 4);
    a3 = TwiddleStored<D>(a3, w + 8);
  }
};

// Twiddles of a streaming stage: root^k = W^(k stride), W = exp(2*pi*i/N).
template <TDirection D> struct TStreamedPowers {
  TTwoLevelRoots Root;
  std::size_t Stride;
  void operator()(std::size_t k, TCx& a1, TCx& a2, TCx& a3) const {
    const std::size_t j = k * Stride;
    a1 = Twiddle<D>(a1, Root(j));
    a2 = Twiddle<D>(a2, Root(2 * j));
    a3 = Twiddle<D>(a3, Root(3 * j));
  }
};

// Combines four sub-transforms of q values each into one of 4q values with
// the twiddles root^k, root^2k, root^3k, root = exp(2*pi*i/(4q)).
template <TDirection D, typename TPowers> void Radix4Block(double* z, std::size_t q, const TPowers& powers) {
  double* z1 = z + 2 * q;
  double* z2 = z + 4 * q;
  double* z3 = z + 6 * q;
  for (std::size_t k = 0; k < q; ++k) {
    const std::size_t o = 2 * k;
    TCx a1 = Load(z2 + o), a2 = Load(z1 + o), a3 = Load(z3 + o);
    powers(k, a1, a2, a3);
    Butterfly<D>(z + o, z1 + o, z2 + o, z3 + o, Load(z + o), a1, a2, a3);
  }
}

} // namespace

// Shapes of the complex stages: the first stage has FFirstSize (2 or 4)
// values per block; every further stage has blocks of 4q values, q =
// FFirstSize, 4 FFirstSize, ..., n/4, with its roots in FStage from
// FStageOffset[stage].
struct TFastFourierTransform::TStages {
  static TTwoLevelRoots Roots(const TFastFourierTransform& t) {
    return {t.FRootLow.data(), t.FRootHigh.data(), t.FRootShift, t.FRootMask};
  }

  template <TDirection D> static void Block(const TFastFourierTransform& t, double* z, std::size_t q) {
    if (q <= StoredPowersLimit)
      Radix4Block<D>(z, q, TStoredPowers<D>{t.StageRoots(q)});
    else
      Radix4Block<D>(z, q, TStreamedPowers<D>{Roots(t), static_cast<std::size_t>(t.FSize) / (4 * q)});
  }

  template <TDirection D> static void Leaf(const TFastFourierTransform& t, double* z, std::size_t count) {
    if (t.FFirstSize == 2)
      Radix2Stage(z, count);
    else
      Radix4FirstStage<D>(z, count);
    for (std::size_t q = t.FFirstSize; q < count; q *= 4) {
      const TStoredPowers<D> powers{t.StageRoots(q)};
      for (std::size_t b = 0; b < count; b += 4 * q)
        Radix4Block<D>(z + 2 * b, q, powers);
    }
  }

  // Completes the transform of a block of count values, count in the chain of
  // stage sizes.
  template <TDirection D> static void Run(const TFastFourierTransform& t, double* z, std::size_t count) {
    if (count <= LeafSize) {
      Leaf<D>(t, z, count);
      return;
    }
    const std::size_t q = count / 4;
    for (std::size_t b = 0; b < 4; ++b)
      Run<D>(t, z + 2 * b * q, q);
    Block<D>(t, z, q);
  }

  // Separates the complex transform Z of the interleaved signal into the
  // real spectrum X (forward) or builds Z from X (inverse), bin pairs k, n-k
  // with W = exp(2*pi*i*k/N):
  //   X[k] = E + W O, X[n-k] = conj(E - W O), E = (Z[k] + conj Z[n-k]) / 2,
  //   O = -i (Z[k] - conj Z[n-k]) / 2; Z[n/2] = X[n/2].
  template <TDirection D> static void SplitPair(double* a, std::size_t n, std::size_t k, TCx w) {
    double* pk = a + 2 * k;
    double* pm = a + 2 * (n - k);
    const TCx x = Load(pk);
    const TCx y = Conj(Load(pm));
    const TCx e = Half(x + y);
    if constexpr (D == TDirection::Forward) {
      const TCx t = MulNegI(Mul(Half(x - y), w));
      Store(pk, e + t);
      Store(pm, Conj(e - t));
    } else {
      const TCx t = MulI(MulConj(Half(x - y), w));
      Store(pk, e + t);
      Store(pm, Conj(e - t));
    }
  }

  // Bin n/2 - k uses W^(n/2-k) = i conj(W^k), so only W^k for k <= N/8 is
  // looked up.
  template <TDirection D> static void Split(const TFastFourierTransform& t, double* a) {
    const std::size_t n = static_cast<std::size_t>(t.FSize) / 2;
    const TTwoLevelRoots root = Roots(t);
    for (std::size_t k = 1; 4 * k < n; ++k) {
      const TCx w = root(k);
      SplitPair<D>(a, n, k, w);
      SplitPair<D>(a, n, n / 2 - k, MulI(Conj(w)));
    }
    if (n >= 4)
      SplitPair<D>(a, n, n / 4, root(n / 4));
  }
};

TFastFourierTransform::TFastFourierTransform(int order) {
  if (order < MinOrder || order > MaxOrder)
    throw TRavelinError("FFT order " + std::to_string(order) + " lies outside " + std::to_string(MinOrder) +
                        " .. " + std::to_string(MaxOrder));
  FOrder = order;
  FSize = int32_t{1} << order;
  FInverseScale = 2.0 / static_cast<double>(FSize);
  FFirstSize = (order - 1) % 2 == 1 ? 2 : 4;
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

// w in the layout of TwiddleStored.
void AppendStored(std::vector<double>& table, TExactRoot w) {
  const auto re = static_cast<double>(w.Re);
  const auto im = static_cast<double>(w.Im);
  table.insert(table.end(), {re, re, -im, im});
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
    for (std::size_t k = 0; k < q; ++k)
      for (std::size_t p = 1; p <= 3; ++p) {
        const std::size_t j = k * p * stride;
        const TExactRoot a = high[j >> FRootShift], b = low[j & FRootMask];
        AppendStored(FStage, {a.Re * b.Re - a.Im * b.Im, a.Re * b.Im + a.Im * b.Re});
      }
  }
}

const double* TFastFourierTransform::StageRoots(std::size_t q) const {
  const auto stage = static_cast<std::size_t>(std::countr_zero(q / FFirstSize)) / 2;
  return FStage.data() + FStageOffset[stage];
}

void TFastFourierTransform::Forward(double* data) const {
  const std::size_t n = static_cast<std::size_t>(FSize) / 2;
  BitReverse(data, FOrder - 1);
  TStages::Run<TDirection::Forward>(*this, data, n);
  TStages::Split<TDirection::Forward>(*this, data);
  const double zero = data[0] + data[1];
  data[1] = data[0] - data[1];
  data[0] = zero;
}

void TFastFourierTransform::Inverse(double* data) const {
  const std::size_t n = static_cast<std::size_t>(FSize) / 2;
  const double even = 0.5 * (data[0] + data[1]);
  data[1] = 0.5 * (data[0] - data[1]);
  data[0] = even;
  TStages::Split<TDirection::Inverse>(*this, data);
  BitReverse(data, FOrder - 1);
  TStages::Run<TDirection::Inverse>(*this, data, n);
}

void TFastFourierTransform::Multiply(double* a, const double* b) const {
  a[0] *= b[0];
  a[1] *= b[1];
  // Through the complex helpers: GCC 12 vectorises the plain scalar form of
  // these loops into fused multiply-add-subtract instructions whenever FMA is
  // available, in spite of -ffp-contract=off.
  for (int32_t j = 2; j < FSize; j += 2)
    Store(a + j, Mul(Load(a + j), Load(b + j)));
}

void TFastFourierTransform::Divide(double* a, const double* b) const {
  a[0] /= b[0];
  a[1] /= b[1];
  for (int32_t j = 2; j < FSize; j += 2) {
    const double r = 1.0 / (b[j] * b[j] + b[j + 1] * b[j + 1]);
    const double rr[2] = {r, r};
    Store(a + j, Lanewise(MulConj(Load(a + j), Load(b + j)), Load(rr)));
  }
}

void TFastFourierTransform::Scale(double* data, double factor) const {
  for (int32_t j = 0; j < FSize; ++j)
    data[j] *= factor;
}

} // namespace ravelin
