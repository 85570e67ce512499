// The real transform written once over a vector-of-complex type V (see
// fftvectors.h); each kernel unit instantiates it with its widest type and
// falls back to narrower ones where a stage has fewer values than a register.
//
// The real transform of N values runs as a complex transform of n = N/2
// values (even samples as real parts, odd samples as imaginary parts) followed
// by a split step that separates the two interleaved real spectra.
//
// Complex transform: in-place decimation in time. A tiled bit-reversal
// permutation first, then radix-4 stages (one radix-2 stage at the bottom when
// log2 n is odd); from 2^9 values on the permutation also runs the two bottom
// stages on each row it writes. The stages recurse depth first over quarters,
// so every block of up to LeafSize values runs all its stages while it sits
// in cache (two stages per pass where they can); only the top
// log4(n / LeafSize) stages stream the whole array.
//
// Like fftvectors.h, everything here has internal linkage (see there).
#pragma once

#include "fftsimd.h"
#include "fftvectors.h"

#include <cstddef>
#include <type_traits>

namespace ravelin {
namespace {

// The forward complex transform uses exp(+2*pi*i*jk/n), the inverse
// exp(-2*pi*i*jk/n): tables hold the positive roots, the inverse conjugates.
enum class TDirection { Forward, Inverse };

// A range [Begin, End) cut into RangeParts pieces whose bounds lie a whole
// number of Grain steps from Begin; Body(lo, hi) runs once per piece.
constexpr int RangeParts = 16;

template <class TBody> struct TRangeJob {
  const TBody* Body;
  std::size_t Begin, End, Grain;

  std::size_t Bound(int part) const {
    const std::size_t steps = (End - Begin + Grain - 1) / Grain;
    const std::size_t bound = Begin + Grain * (steps * static_cast<std::size_t>(part) / RangeParts);
    return bound < End ? bound : End;
  }
  static void Part(void* context, int part) {
    const auto& job = *static_cast<const TRangeJob*>(context);
    const std::size_t lo = job.Bound(part), hi = job.Bound(part + 1);
    if (lo < hi)
      (*job.Body)(lo, hi);
  }
};

// body(lo, hi) over pieces of [begin, end) that cover it once, on the plan's
// threads when it has them (then the pieces must touch disjoint values).
// Every value sees the same operations however the range is cut.
template <class TBody>
void ForRange(const TFftPlan& plan, std::size_t begin, std::size_t end, std::size_t grain,
              const TBody& body) {
  if (plan.RunParts == nullptr || end - begin <= grain) {
    body(begin, end);
    return;
  }
  TRangeJob<TBody> job{&body, begin, end, grain};
  plan.RunParts(RangeParts, &TRangeJob<TBody>::Part, &job);
}

template <class V> inline V Half(V a) {
  return a * V::Splat(0.5);
}
// a * w and a * conj(w), value by value, for w given as re = DupRe(w) and
// im = DupIm(w), and for w itself.
template <class V> inline V Mul(V a, V re, V im) {
  return V::AddSub(a * re, V::Swap(a) * im);
}
template <class V> inline V MulConj(V a, V re, V im) {
  return V::SubAdd(a * re, V::Swap(a) * im);
}
template <class V> inline V Mul(V a, V w) {
  return Mul(a, V::DupRe(w), V::DupIm(w));
}
template <class V> inline V MulConj(V a, V w) {
  return MulConj(a, V::DupRe(w), V::DupIm(w));
}

template <TDirection D, class V> inline V Twiddle(V a, V w) {
  if constexpr (D == TDirection::Forward)
    return Mul(a, w);
  else
    return MulConj(a, w);
}

// A stored root w is kept as (re, re) and (-im, im): a * w = a (re, re) +
// swap(a) (-im, im) and a * conj(w) the difference, with the same roundings
// as Mul and MulConj and no shuffling of w.
template <TDirection D, class V> inline V TwiddleStored(V a, V re, V im) {
  const V x = a * re;
  const V y = V::Swap(a) * im;
  if constexpr (D == TDirection::Forward)
    return x + y;
  else
    return x - y;
}
template <TDirection D, class V> inline V TwiddleStored(V a, const double* re, const double* im) {
  return TwiddleStored<D>(a, V::Load(re), V::Load(im));
}

// exp(2*pi*i*j/N) for the lanes' j from the two-level table: one product of
// two correctly rounded values, within about 2 ulp.
template <class V> inline V Root(const TFftPlan& plan, const std::size_t* j) {
  std::size_t high[V::Width], low[V::Width];
  for (std::size_t l = 0; l < V::Width; ++l) {
    high[l] = j[l] >> plan.RootShift;
    low[l] = j[l] & plan.RootMask;
  }
  return Mul(V::Gather(plan.RootHigh, high), V::Gather(plan.RootLow, low));
}

inline void SwapComplex(double* z, std::size_t i, std::size_t j) {
  const TCx1 a = TCx1::Load(z + 2 * i);
  const TCx1 b = TCx1::Load(z + 2 * j);
  TCx1::Store(z + 2 * i, b);
  TCx1::Store(z + 2 * j, a);
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

// v with its low `bits` bits in reverse order.
inline std::size_t ReverseBits(std::size_t v, int bits) {
  std::size_t r = 0;
  for (int b = 0; b < bits; ++b)
    r |= ((v >> b) & 1u) << (bits - 1 - b);
  return r;
}

// Tiles of 2^TileBits x 2^TileBits values: for every middle part of an index,
// the values whose low and high TileBits bits vary are swapped with their
// partners as a group, so both sides touch whole cache lines.
constexpr int TileBits = 4;
constexpr std::size_t TileSize = std::size_t{1} << TileBits;

struct TReversedTileBits {
  std::size_t Of[TileSize];
};
constexpr TReversedTileBits ReversedTileBits = [] {
  TReversedTileBits table{};
  for (std::size_t v = 0; v < TileSize; ++v)
    for (int b = 0; b < TileBits; ++b)
      table.Of[v] |= ((v >> b) & 1u) << (TileBits - 1 - b);
  return table;
}();

// Bit-reversal permutation of n = 2^bits complex values, one swap at a time
// (for the sizes below tiles).
inline void BitReverseSmall(double* z, int bits) {
  const std::size_t n = std::size_t{1} << bits;
  std::size_t r = 0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (i < r)
      SwapComplex(z, i, r);
    ReverseIncrement(r, bits);
  }
}

// Blocks of up to this many complex values run all their stages in one go.
constexpr std::size_t LeafSize = std::size_t{1} << 11;

// First stage when log2 n is odd: 2-point transforms.
inline void Radix2Stage(double* z, std::size_t count) {
  for (std::size_t j = 0; j < count; j += 2) {
    const TCx1 a = TCx1::Load(z + 2 * j);
    const TCx1 b = TCx1::Load(z + 2 * j + 2);
    TCx1::Store(z + 2 * j, a + b);
    TCx1::Store(z + 2 * j + 2, a - b);
  }
}

// One radix-4 butterfly on the values k of the four quarters q0 .. q3 of a
// block; the quarters hold the sub-transforms of the inputs congruent to
// 0, 2, 1, 3 modulo 4 (bit-reversed order), already twiddled.
// The results replace a0 .. a3 in quarter order.
// The quarter-turn root is +i forward, -i inverse; with s = Swap(a1 - a3),
// t1 + i (a1 - a3) = AddSub(t1, s) and t1 - i (a1 - a3) = SubAdd(t1, s).
template <TDirection D, class V> inline void ButterflyValues(V& a0, V& a1, V& a2, V& a3) {
  const V t0 = a0 + a2;
  const V t1 = a0 - a2;
  const V t2 = a1 + a3;
  const V s = V::Swap(a1 - a3);
  a0 = t0 + t2;
  a2 = t0 - t2;
  if constexpr (D == TDirection::Forward) {
    a1 = V::AddSub(t1, s);
    a3 = V::SubAdd(t1, s);
  } else {
    a1 = V::SubAdd(t1, s);
    a3 = V::AddSub(t1, s);
  }
}

template <TDirection D, class V>
inline void Butterfly(double* q0, double* q1, double* q2, double* q3, V a0, V a1, V a2, V a3) {
  ButterflyValues<D>(a0, a1, a2, a3);
  V::Store(q0, a0);
  V::Store(q1, a1);
  V::Store(q2, a2);
  V::Store(q3, a3);
}

// First stage when log2 n is even: 4-point transforms (no twiddles).
template <TDirection D> void Radix4FirstStage(double* z, std::size_t count) {
  using V = TCx1;
  for (std::size_t j = 0; j < count; j += 4) {
    double* p = z + 2 * j;
    Butterfly<D>(p, p + 2, p + 4, p + 6, V::Load(p), V::Load(p + 4), V::Load(p + 2), V::Load(p + 6));
  }
}

// Where the roots of k start in a stored stage whose groups hold `group` k
// (a power of two, fftsimd.h).
inline const double* StoredRoots(const double* roots, std::size_t k, std::size_t group) {
  const std::size_t l = k & (group - 1);
  return roots + 12 * (k - l) + 2 * l;
}

// Combines four sub-transforms of q values each into one of 4q values with
// the twiddles root^k, root^2k, root^3k, root = exp(2*pi*i/(4q)) taken from
// a stored stage.
template <TDirection D, class V> void StoredBlock(double* z, std::size_t q, const double* roots) {
  if constexpr (V::Width > 1) {
    if (q < V::Width) {
      StoredBlock<D, typename V::TNarrow>(z, q, roots);
      return;
    }
  }
  const std::size_t group = StoredGroup(q);
  double* z1 = z + 2 * q;
  double* z2 = z + 4 * q;
  double* z3 = z + 6 * q;
  for (std::size_t k = 0; k < q; k += V::Width) {
    const std::size_t o = 2 * k;
    const double* w = StoredRoots(roots, k, group);
    const V a1 = TwiddleStored<D>(V::Load(z2 + o), w, w + 2 * group);
    const V a2 = TwiddleStored<D>(V::Load(z1 + o), w + 4 * group, w + 6 * group);
    const V a3 = TwiddleStored<D>(V::Load(z3 + o), w + 8 * group, w + 10 * group);
    Butterfly<D>(z + o, z1 + o, z2 + o, z3 + o, V::Load(z + o), a1, a2, a3);
  }
}

// The first complex stage on 16 values, with the same operations as
// Radix2Stage / Radix4FirstStage, then the first radix-4 stage after it (two
// blocks of 8 for first size 2, one of 16 for first size 4) as StoredBlock
// does it. Lane by lane: every lane of v[l] holds value l of its own row, and
// the roots, which depend on l only, are the same in every lane.
// q = the first size, fixed at compile time so that everything unrolls.
template <TDirection D, class V, std::size_t q> inline void BottomStages(const double* roots, V* v) {
  if constexpr (q == 2) {
    for (std::size_t m = 0; m < 16; m += 2) {
      const V a = v[m], b = v[m + 1];
      v[m] = a + b;
      v[m + 1] = a - b;
    }
  } else {
    for (std::size_t m = 0; m < 16; m += 4) {
      V a0 = v[m], a1 = v[m + 2], a2 = v[m + 1], a3 = v[m + 3];
      ButterflyValues<D>(a0, a1, a2, a3);
      v[m] = a0;
      v[m + 1] = a1;
      v[m + 2] = a2;
      v[m + 3] = a3;
    }
  }
  for (std::size_t b = 0; b < 16; b += 4 * q)
    for (std::size_t k = 0; k < q; ++k) {
      const double* w = roots + 2 * k; // q <= 4: a single group
      V a0 = v[b + k];
      V a1 = TwiddleStored<D>(v[b + 2 * q + k], V::Broadcast(w), V::Broadcast(w + 2 * q));
      V a2 = TwiddleStored<D>(v[b + q + k], V::Broadcast(w + 4 * q), V::Broadcast(w + 6 * q));
      V a3 = TwiddleStored<D>(v[b + 3 * q + k], V::Broadcast(w + 8 * q), V::Broadcast(w + 10 * q));
      ButterflyValues<D>(a0, a1, a2, a3);
      v[b + k] = a0;
      v[b + q + k] = a1;
      v[b + 2 * q + k] = a2;
      v[b + 3 * q + k] = a3;
    }
}

// Offsets (doubles) of the rows of a tile in the order of their reversed
// numbers: Of[i] = stride * (reversed i), for rows stride doubles apart.
struct TReversedRows {
  std::size_t Of[TileSize];

  explicit TReversedRows(std::size_t stride) {
    for (std::size_t i = 0; i < TileSize; ++i)
      Of[i] = stride * ReversedTileBits.Of[i];
  }
};

// The tile at in (rows inRows.Of[reversed h] doubles from in), permuted and
// through BottomStages, to the tile at out: value (h, l) becomes the tile's
// (reversed l, reversed h), so each row of the result is a column of the
// tile. Width columns at a time, one in each lane; a transpose turns their
// results into rows.
template <TDirection D, class V, std::size_t FirstSize>
inline void TransformTile(const double* roots, const double* in, const TReversedRows& inRows, double* out,
                          const TReversedRows& outRows) {
  constexpr std::size_t W = V::Width;
  for (std::size_t c = 0; c < TileSize; c += W) {
    V v[TileSize];
    for (std::size_t l = 0; l < TileSize; ++l)
      v[l] = V::Load(in + inRows.Of[l] + 2 * c);
    BottomStages<D, V, FirstSize>(roots, v);
    for (std::size_t l = 0; l < TileSize; l += W) {
      V::Transpose(v + l);
      for (std::size_t r = 0; r < W; ++r)
        V::Store(out + outRows.Of[c + r] + 2 * l, v[l + r]);
    }
  }
}

// 16 rows of 16 values from a buffer to the tile at z, rows stride doubles
// apart.
template <class V> inline void StoreTile(const double* buffer, double* z, std::size_t stride) {
  for (std::size_t h = 0; h < TileSize; ++h)
    for (std::size_t l = 0; l < TileSize; l += V::Width)
      V::Store(z + h * stride + 2 * l, V::Load(buffer + 2 * (h * TileSize + l)));
}

// Bit-reversal permutation of the n = 2^bits values of the complex transform
// followed by its two bottom stages (blocks of up to 16 values); returns the
// size of the blocks done. From 2^9 values on, tiles of 2^TileBits x
// 2^TileBits values whose middle index bits are each other's reverse swap
// their contents through a buffer: every row of 16 values is read once and
// written once, whole, and the bottom stages run on it on the way.
template <TDirection D, class V, std::size_t FirstSize> void ReorderTiles(const TFftPlan& plan, double* z) {
  const double* roots = plan.Stage + plan.StageOffset[0];
  const int bits = plan.Order - 1;
  const int middleBits = bits - 2 * TileBits;
  const int highShift = bits - TileBits;
  const std::size_t middleCount = std::size_t{1} << middleBits;
  const std::size_t rowStride = std::size_t{2} << highShift;
  const TReversedRows rows(rowStride), bufferRows(2 * TileSize);
  // A pair of tiles belongs to the piece that holds the smaller middle part.
  // The first tile's results wait in a buffer until the second tile, whose
  // results overwrite the first, has been read.
  ForRange(plan, 0, middleCount, 1, [&](std::size_t first, std::size_t last) {
    double buffer[2 * TileSize * TileSize];
    std::size_t reversedMiddle = ReverseBits(first, middleBits);
    for (std::size_t middle = first; middle < last; ++middle) {
      double* tile = z + 2 * (middle << TileBits);
      double* partner = z + 2 * (reversedMiddle << TileBits);
      if (middle <= reversedMiddle) {
        TransformTile<D, V, FirstSize>(roots, tile, rows, buffer, bufferRows);
        if (middle < reversedMiddle)
          TransformTile<D, V, FirstSize>(roots, partner, rows, tile, rows);
        StoreTile<V>(buffer, partner, rowStride);
      }
      if (middle + 1 < last)
        ReverseIncrement(reversedMiddle, middleBits);
    }
  });
}

template <TDirection D, class V> std::size_t Reorder(const TFftPlan& plan, double* z) {
  if (plan.Order - 1 < 2 * TileBits + 1) {
    BitReverseSmall(z, plan.Order - 1);
    return 1;
  }
  if (plan.FirstSize == 2)
    ReorderTiles<D, V, 2>(plan, z);
  else
    ReorderTiles<D, V, 4>(plan, z);
  return 4 * plan.FirstSize;
}

// body(size) with size as a std::integral_constant for the values of q the
// stage pairs of the leaves of 2^11 and 2^10 values start from (the offsets
// of the sixteen values then become constants, sparing registers), else
// body(q).
template <class TBody> inline void WithConstantSize(std::size_t q, const TBody& body) {
  switch (q) {
  case 8: body(std::integral_constant<std::size_t, 8>{}); return;
  case 16: body(std::integral_constant<std::size_t, 16>{}); return;
  case 128: body(std::integral_constant<std::size_t, 128>{}); return;
  default: body(q);
  }
}

// Two stored stages in one pass: sixteen sub-transforms of q values each
// (q >= Width) become one of 16q values, first as four blocks of 4q, then
// those four into one, while the sixteen values of each k sit in registers.
// The operations are those of StoredBlock for q and then for 4q. q is a
// std::size_t or a std::integral_constant (see WithConstantSize).
template <TDirection D, class V, class TSize>
void StoredBlockPair(double* z, TSize q, const double* roots, const double* nextRoots) {
  const std::size_t group = StoredGroup(q);
  const std::size_t nextGroup = StoredGroup(4 * q);
  for (std::size_t k = 0; k < q; k += V::Width) {
    V x[16];
#pragma GCC unroll 16
    for (std::size_t m = 0; m < 16; ++m)
      x[m] = V::Load(z + 2 * (m * q + k));
    const double* w = StoredRoots(roots, k, group);
#pragma GCC unroll 4
    for (std::size_t a = 0; a < 16; a += 4) {
      V a0 = x[a];
      V a1 = TwiddleStored<D>(x[a + 2], w, w + 2 * group);
      V a2 = TwiddleStored<D>(x[a + 1], w + 4 * group, w + 6 * group);
      V a3 = TwiddleStored<D>(x[a + 3], w + 8 * group, w + 10 * group);
      ButterflyValues<D>(a0, a1, a2, a3);
      x[a] = a0;
      x[a + 1] = a1;
      x[a + 2] = a2;
      x[a + 3] = a3;
    }
#pragma GCC unroll 4
    for (std::size_t b = 0; b < 4; ++b) {
      const std::size_t k4 = k + b * q;
      const double* v = StoredRoots(nextRoots, k4, nextGroup);
      const V a1 = TwiddleStored<D>(x[8 + b], v, v + 2 * nextGroup);
      const V a2 = TwiddleStored<D>(x[4 + b], v + 4 * nextGroup, v + 6 * nextGroup);
      const V a3 = TwiddleStored<D>(x[12 + b], v + 8 * nextGroup, v + 10 * nextGroup);
      Butterfly<D>(z + 2 * k4, z + 2 * (4 * q + k4), z + 2 * (8 * q + k4), z + 2 * (12 * q + k4), x[b], a1,
                   a2, a3);
    }
  }
}

// Number of the stage q in the chain FirstSize, 4 FirstSize, ...
inline std::size_t StageIndex(const TFftPlan& plan, std::size_t q) {
  std::size_t stage = 0;
  for (std::size_t s = plan.FirstSize; s < q; s *= 4)
    ++stage;
  return stage;
}

// W^(j + l step) for the lanes l, the same values as Root gives: the low
// parts come side by side from the stage's copies at low, the high part is
// shared unless the lanes cross a multiple of RootMask + 1.
template <class V>
inline V StreamedRoot(const TFftPlan& plan, std::size_t j, std::size_t step, const double* low) {
  const std::size_t h = j >> plan.RootShift;
  if (((j + (V::Width - 1) * step) >> plan.RootShift) == h)
    return Mul(V::Broadcast(plan.RootHigh + 2 * h), V::Load(low));
  std::size_t high[V::Width];
  for (std::size_t l = 0; l < V::Width; ++l)
    high[l] = (j + l * step) >> plan.RootShift;
  return Mul(V::Gather(plan.RootHigh, high), V::Load(low));
}

// One butterfly of a block of 4q values with the roots w1, w2, w3 for the
// values at offset o (doubles) of its quarters.
template <TDirection D, class V>
inline void TwiddledButterfly(double* z, std::size_t q, std::size_t o, V w1, V w2, V w3) {
  double* z1 = z + 2 * q;
  double* z2 = z + 4 * q;
  double* z3 = z + 6 * q;
  const V a1 = Twiddle<D>(V::Load(z2 + o), w1);
  const V a2 = Twiddle<D>(V::Load(z1 + o), w2);
  const V a3 = Twiddle<D>(V::Load(z3 + o), w3);
  Butterfly<D>(z + o, z1 + o, z2 + o, z3 + o, V::Load(z + o), a1, a2, a3);
}

// The same for the stages beyond the stored ones, for k from first to last
// (multiples of the width): root^k = W^(k stride) from the two-level table,
// W = exp(2*pi*i/N), with the low parts from the stage's copies where it has
// them (fftsimd.h).
template <TDirection D, class V>
void StreamedBlock(double* z, std::size_t q, const TFftPlan& plan, std::size_t stride, std::size_t first,
                   std::size_t last) {
  if (HasStreamedRoots(stride, plan.RootMask)) {
    const std::size_t period = (plan.RootMask + 1) / stride;
    const double* low1 = plan.Streamed + plan.StreamedOffset[StageIndex(plan, q)];
    const double* low2 = low1 + 2 * period;
    const double* low3 = low2 + period;
    for (std::size_t k = first; k < last; k += V::Width) {
      const std::size_t j = k * stride;
      TwiddledButterfly<D>(z, q, 2 * k, StreamedRoot<V>(plan, j, stride, low1 + 2 * (k & (period - 1))),
                           StreamedRoot<V>(plan, 2 * j, 2 * stride, low2 + 2 * (k & (period / 2 - 1))),
                           StreamedRoot<V>(plan, 3 * j, 3 * stride, low3 + 2 * (k & (period - 1))));
    }
    return;
  }
  for (std::size_t k = first; k < last; k += V::Width) {
    std::size_t j1[V::Width], j2[V::Width], j3[V::Width];
    for (std::size_t l = 0; l < V::Width; ++l) {
      j1[l] = (k + l) * stride;
      j2[l] = 2 * j1[l];
      j3[l] = 3 * j1[l];
    }
    TwiddledButterfly<D>(z, q, 2 * k, Root<V>(plan, j1), Root<V>(plan, j2), Root<V>(plan, j3));
  }
}

// Roots of the stored stage q.
inline const double* StageRoots(const TFftPlan& plan, std::size_t q) {
  return plan.Stage + plan.StageOffset[StageIndex(plan, q)];
}

// Shapes of the complex stages: the first stage has FirstSize (2 or 4)
// values per block; every further stage has blocks of 4q values, q =
// FirstSize, 4 FirstSize, ..., n/4.
template <TDirection D, class V> struct TStages {
  static void Block(const TFftPlan& plan, double* z, std::size_t q) {
    if (q <= StoredPowersLimit)
      StoredBlock<D, V>(z, q, StageRoots(plan, q));
    else
      StreamedBlock<D, V>(z, q, plan, (std::size_t{1} << plan.Order) / (4 * q), 0, q);
  }

  // done = size of the blocks Reorder already transformed (1: none).
  static void Leaf(const TFftPlan& plan, double* z, std::size_t count, std::size_t done) {
    if (done == 1) {
      if (plan.FirstSize == 2)
        Radix2Stage(z, count);
      else
        Radix4FirstStage<D>(z, count);
      done = plan.FirstSize;
    }
    std::size_t q = done;
    for (; q >= V::Width && 16 * q <= count; q *= 16) {
      const double* roots = StageRoots(plan, q);
      const double* nextRoots = StageRoots(plan, 4 * q);
      for (std::size_t b = 0; b < count; b += 16 * q)
        WithConstantSize(q, [&](auto size) { StoredBlockPair<D, V>(z + 2 * b, size, roots, nextRoots); });
    }
    for (; q < count; q *= 4) {
      const double* roots = StageRoots(plan, q);
      for (std::size_t b = 0; b < count; b += 4 * q)
        StoredBlock<D, V>(z + 2 * b, q, roots);
    }
  }

  // Completes the transform of a block of count values, count in the chain of
  // stage sizes.
  static void Run(const TFftPlan& plan, double* z, std::size_t count, std::size_t done) {
    if (count <= LeafSize) {
      Leaf(plan, z, count, done);
      return;
    }
    const std::size_t q = count / 4;
    for (std::size_t b = 0; b < 4; ++b)
      Run(plan, z + 2 * b * q, q, done);
    Block(plan, z, q);
  }

  // The whole transform of n values. On several threads the four quarters
  // run side by side, then the top stage in pieces of its k.
  static void RunAll(const TFftPlan& plan, double* z, std::size_t n, std::size_t done) {
    if (plan.RunParts == nullptr || n / 4 <= StoredPowersLimit) {
      Run(plan, z, n, done);
      return;
    }
    const std::size_t q = n / 4;
    ForRange(plan, 0, 4, 1, [&](std::size_t first, std::size_t last) {
      for (std::size_t b = first; b < last; ++b)
        Run(plan, z + 2 * b * q, q, done);
    });
    const std::size_t stride = (std::size_t{1} << plan.Order) / (4 * q);
    ForRange(plan, 0, q, V::Width, [&](std::size_t first, std::size_t last) {
      StreamedBlock<D, V>(z, q, plan, stride, first, last);
    });
  }
};

// Separates the complex transform Z of the interleaved signal into the real
// spectrum X (forward) or builds Z from X (inverse), bin pairs k, n-k with
// W = exp(2*pi*i*k/N):
//   X[k] = E + W O, X[n-k] = conj(E - W O), E = (Z[k] + conj Z[n-k]) / 2,
//   O = -i (Z[k] - conj Z[n-k]) / 2; Z[n/2] = X[n/2].
// x = Z[k], m = Z[n-k] lane by lane, W as re = DupRe(W), im = DupIm(W);
// the new values go to x and m.
// x -+ conj(m) are AddSub and SubAdd of x and m; t = -i u forward, i u
// inverse, so with s = Swap(u) e + t and e - t are SubAdd and AddSub of e
// and s forward, the other way round inverse.
template <TDirection D, class V> inline void SplitValues(V& x, V& m, V re, V im) {
  const V e = Half(V::SubAdd(x, m));
  const V d = Half(V::AddSub(x, m));
  if constexpr (D == TDirection::Forward) {
    const V s = V::Swap(Mul(d, re, im));
    x = V::SubAdd(e, s);
    m = V::Conj(V::AddSub(e, s));
  } else {
    const V s = V::Swap(MulConj(d, re, im));
    x = V::AddSub(e, s);
    m = V::Conj(V::SubAdd(e, s));
  }
}

// The bins k .. k + Width - 1 and their partners; bin n/2 - k uses
// W^(n/2-k) = i conj(W^k), which is W^k with its parts swapped, so only W^k
// for k <= N/8 is looked up.
template <TDirection D, class V>
inline void SplitGroup(const TFftPlan& plan, double* a, std::size_t n, std::size_t k) {
  constexpr std::size_t W = V::Width;
  // k is a multiple of W <= RootMask + 1 (or W = 1): the bins share the
  // high part of the root and find the low parts side by side.
  const V w = Mul(V::Broadcast(plan.RootHigh + 2 * (k >> plan.RootShift)),
                  V::Load(plan.RootLow + 2 * (k & plan.RootMask)));
  // Bins k + l and n - k - l: the second run is read backwards.
  double* pk = a + 2 * k;
  double* pm = a + 2 * (n - k - (W - 1));
  V x = V::Load(pk), m = V::Reverse(V::Load(pm));
  const V re = V::DupRe(w), im = V::DupIm(w);
  SplitValues<D>(x, m, re, im);
  V::Store(pk, x);
  V::Store(pm, V::Reverse(m));
  // Bins n/2 - k - l (read backwards) and n/2 + k + l.
  double* pk2 = a + 2 * (n / 2 - k - (W - 1));
  double* pm2 = a + 2 * (n / 2 + k);
  x = V::Reverse(V::Load(pk2));
  m = V::Load(pm2);
  SplitValues<D>(x, m, im, re);
  V::Store(pk2, V::Reverse(x));
  V::Store(pm2, m);
}

template <TDirection D, class V> void Split(const TFftPlan& plan, double* a) {
  const std::size_t n = std::size_t{1} << (plan.Order - 1);
  const std::size_t quarter = n / 4;
  std::size_t k = 1;
  for (; k < quarter && k < V::Width; ++k)
    SplitGroup<D, TCx1>(plan, a, n, k);
  // Each group's four runs of bins are its own: pieces of k go side by side.
  ForRange(plan, k, quarter, V::Width, [&](std::size_t first, std::size_t last) {
    for (std::size_t g = first; g < last; g += V::Width)
      SplitGroup<D, V>(plan, a, n, g);
  });
  if (n >= 4) {
    TCx1 x = TCx1::Load(a + 2 * quarter), m = TCx1::Load(a + 2 * (n - quarter));
    const TCx1 w = Root<TCx1>(plan, &quarter);
    SplitValues<D>(x, m, TCx1::DupRe(w), TCx1::DupIm(w));
    TCx1::Store(a + 2 * quarter, x);
    TCx1::Store(a + 2 * (n - quarter), m);
  }
}

template <class V> void Forward(const TFftPlan& plan, double* data) {
  const std::size_t n = std::size_t{1} << (plan.Order - 1);
  const std::size_t done = Reorder<TDirection::Forward, V>(plan, data);
  TStages<TDirection::Forward, V>::RunAll(plan, data, n, done);
  Split<TDirection::Forward, V>(plan, data);
  const double zero = data[0] + data[1];
  data[1] = data[0] - data[1];
  data[0] = zero;
}

template <class V> void Inverse(const TFftPlan& plan, double* data) {
  const std::size_t n = std::size_t{1} << (plan.Order - 1);
  const double even = 0.5 * (data[0] + data[1]);
  data[1] = 0.5 * (data[0] - data[1]);
  data[0] = even;
  Split<TDirection::Inverse, V>(plan, data);
  const std::size_t done = Reorder<TDirection::Inverse, V>(plan, data);
  TStages<TDirection::Inverse, V>::RunAll(plan, data, n, done);
}

// Bin by bin from [2]; [0] and [1] are two independent reals. The first
// values go one at a time so that the wide part starts at a whole register.
template <class V, class TOp> void ForEachBin(std::size_t size, TOp op) {
  std::size_t j = 2;
  for (; j < size && j < 2 * V::Width; j += 2)
    op.template operator()<TCx1>(j);
  for (; j < size; j += 2 * V::Width)
    op.template operator()<V>(j);
}

template <class V> void Multiply(double* a, const double* b, std::size_t size) {
  a[0] *= b[0];
  a[1] *= b[1];
  ForEachBin<V>(size, [=]<class U>(std::size_t j) { U::Store(a + j, Mul(U::Load(a + j), U::Load(b + j))); });
}

template <class V> void Divide(double* a, const double* b, std::size_t size) {
  a[0] /= b[0];
  a[1] /= b[1];
  ForEachBin<V>(size, [=]<class U>(std::size_t j) {
    const U d = U::Load(b + j);
    const U squares = d * d;
    // re^2 + im^2 in both lanes of a value (the sum is commutative).
    const U r = U::Splat(1.0) / (squares + U::Swap(squares));
    U::Store(a + j, MulConj(U::Load(a + j), d) * r);
  });
}

template <class V> void Scale(double* data, double factor, std::size_t size) {
  std::size_t j = 0;
  for (; j + 2 * V::Width <= size; j += 2 * V::Width)
    V::Store(data + j, V::Load(data + j) * V::Splat(factor));
  for (; j < size; j += 2)
    TCx1::Store(data + j, TCx1::Load(data + j) * TCx1::Splat(factor));
}

template <class V> TFftKernels MakeKernels(const char* name) {
  return {name, &Forward<V>, &Inverse<V>, &Multiply<V>, &Divide<V>, &Scale<V>};
}

} // namespace
} // namespace ravelin
