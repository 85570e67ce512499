#include "errors.h"
#include "fftconv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <vector>

using namespace ravelin;

namespace {

std::vector<TStoreVariant> Variants() {
  std::vector<TStoreVariant> variants{TStoreVariant::Plain};
  if (StoreVariantAvailable(TStoreVariant::Quad))
    variants.push_back(TStoreVariant::Quad);
  return variants;
}

std::string VariantName(TStoreVariant variant) {
  return variant == TStoreVariant::Quad ? "Quad" : "Plain";
}

std::vector<double> RandomDoubles(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> values(count);
  for (double& v : values)
    v = dist(generator);
  return values;
}

std::vector<float> RandomFloats(size_t count, uint32_t seed) {
  std::vector<float> values;
  for (double v : RandomDoubles(count, seed))
    values.push_back(static_cast<float>(v));
  return values;
}

// Direct linear convolution in double precision: the oracle.
std::vector<double> DirectConvolution(const std::vector<double>& x, const std::vector<float>& h) {
  std::vector<double> y(x.size(), 0.0);
  for (size_t n = 0; n < x.size(); ++n)
    for (size_t k = 0; k < h.size() && k <= n; ++k)
      y[n] += static_cast<double>(h[k]) * x[n - k];
  return y;
}

// Collects everything a convolver delivers, recording each sink call.
struct TCollector {
  std::vector<double> Samples;
  std::vector<int32_t> Counts;
  int32_t NilCalls = 0;

  static void Sink(const double* output, int32_t count, void* context) {
    auto* self = static_cast<TCollector*>(context);
    self->Counts.push_back(count);
    if (output)
      self->Samples.insert(self->Samples.end(), output, output + count);
    else {
      self->Samples.insert(self->Samples.end(), static_cast<size_t>(count), 0.0);
      ++self->NilCalls;
    }
  }
};

// One convolution setup: manager, transform, response and convolver.
struct TRig {
  TFFTBlockManager Manager;
  TFastFourierTransform FFT;
  TFFTResponse Response;
  TFFTConvolver Convolver;

  TRig(int order, TStoreVariant variant, uint32_t chunkLimit = 0, uint32_t blocksPerChunk = 8) :
      Manager(order, blocksPerChunk, variant, chunkLimit), FFT(order + 1), Response(Manager, FFT),
      Convolver(Manager, Response, FFT) {}

  // Feeds x in the given call sizes (cycled) and returns the output.
  std::vector<double> Run(const std::vector<double>& x, const std::vector<int32_t>& sizes, TCollector& out) {
    size_t at = 0;
    for (size_t i = 0; at < x.size(); ++i) {
      const auto n = std::min<size_t>(static_cast<size_t>(sizes[i % sizes.size()]), x.size() - at);
      Convolver.Process(x.data() + at, static_cast<int32_t>(n), TCollector::Sink, &out);
      at += n;
    }
    return out.Samples;
  }

  std::vector<double> Run(const std::vector<double>& x) {
    TCollector out;
    return Run(x, {static_cast<int32_t>(x.size())}, out);
  }
};

// Output with the latency removed: y[n] belongs to input sample n.
std::vector<double> Aligned(const std::vector<double>& y, int32_t latency, size_t count) {
  return {y.begin() + latency, y.begin() + latency + static_cast<std::ptrdiff_t>(count)};
}

double MaxAbsDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double worst = 0.0;
  for (size_t i = 0; i < a.size(); ++i)
    worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

} // namespace

// ---- Block manager ----

TEST(FFTBlockManager, StrideAndChunkGrowth) {
  TFFTBlockManager manager(13, 8);
  EXPECT_EQ(manager.BlockLength(), 8192);
  EXPECT_EQ(manager.BlockStride(), 65584);
  EXPECT_EQ(manager.ChunkCount(), 0);
  const TBlockChain first = manager.AllocBlocks(5);
  EXPECT_EQ(first.Count, 5);
  EXPECT_EQ(manager.ChunkCount(), 1);
  EXPECT_EQ(first.Last->Next, nullptr);
  const TBlockChain second = manager.AllocBlocks(5);
  EXPECT_EQ(second.Count, 5);
  EXPECT_EQ(manager.ChunkCount(), 2);
  EXPECT_THROW(TFFTBlockManager(1, 8), TRavelinError);
  EXPECT_THROW(TFFTBlockManager(13, 0), TRavelinError);
}

TEST(FFTBlockManager, DataAreasAreAlignedAndDisjoint) {
  TFFTBlockManager manager(3, 4);
  const TBlockChain chain = manager.AllocBlocks(10);
  ASSERT_EQ(chain.Count, 10);
  const size_t areaBytes = 8 * 8 + 16;
  std::vector<std::pair<uintptr_t, uintptr_t>> ranges; // header and data area of every block
  for (TFFTBlock* block = chain.First; block; block = block->Next) {
    const auto header = reinterpret_cast<uintptr_t>(block);
    const auto data = reinterpret_cast<uintptr_t>(block->Data);
    EXPECT_EQ(data % 16, 0u);
    ranges.emplace_back(header, header + sizeof(TFFTBlock));
    ranges.emplace_back(data, data + areaBytes);
  }
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i)
    EXPECT_LE(ranges[i - 1].second, ranges[i].first);
}

TEST(FFTBlockManager, ReleasedBlocksComeBackOldestFirstBeforeGrowing) {
  TFFTBlockManager manager(4, 8);
  TBlockChain a = manager.AllocBlocks(3);
  TBlockChain b = manager.AllocBlocks(5);
  ASSERT_EQ(manager.ChunkCount(), 1);
  std::vector<TFFTBlock*> order;
  for (TBlockChain* chain : {&b, &a})
    for (TFFTBlock* block = chain->First; block; block = block->Next)
      order.push_back(block);
  manager.ReleaseBlocks(b.First);
  manager.ReleaseBlocks(a.First);
  const TBlockChain again = manager.AllocBlocks(8);
  EXPECT_EQ(manager.ChunkCount(), 1);
  std::vector<TFFTBlock*> got;
  for (TFFTBlock* block = again.First; block; block = block->Next)
    got.push_back(block);
  EXPECT_EQ(got, order);
}

TEST(FFTBlockManager, ChunkLimitServesShortChainsAndResizeFollowsIt) {
  TFFTBlockManager manager(4, 4, DefaultStoreVariant(), 2);
  TBlockChain chain;
  EXPECT_NE(manager.ResizeChain(chain, 3), nullptr);
  EXPECT_EQ(chain.Count, 3);
  manager.ResizeChain(chain, 20);
  EXPECT_EQ(chain.Count, 8);
  EXPECT_EQ(manager.AllocBlocks(1).First, nullptr);
  manager.ResizeChain(chain, 2);
  EXPECT_EQ(chain.Count, 2);
  EXPECT_EQ(chain.Last->Next, nullptr);
  EXPECT_EQ(manager.AllocBlocks(6).Count, 6);
  manager.ResizeChain(chain, 0);
  EXPECT_EQ(chain.First, nullptr);
  EXPECT_EQ(manager.AllocBlocks(2).Count, 2);
}

// ---- Spectrum kernels ----

TEST(SpectrumKernels, StoreRoundTripKeepsEndsExactAndRoundsBins) {
  constexpr int32_t M = 16;
  const std::vector<double> packed = RandomDoubles(2 * M, 7);
  for (TStoreVariant variant : Variants()) {
    const TSpectrumKernels& k = SpectrumKernels(variant);
    TAlignedDoubles store(M + 2);
    std::vector<double> back(2 * M, -99.0);
    k.PackToStore(packed.data(), M, store.Data());
    k.StoreToPack(back.data(), M, store.Data());
    EXPECT_EQ(back[0], packed[0]) << VariantName(variant);
    EXPECT_EQ(back[1], packed[1]) << VariantName(variant);
    for (size_t i = 2; i < 2 * M; ++i)
      EXPECT_EQ(back[i], static_cast<double>(static_cast<float>(packed[i]))) << VariantName(variant) << i;
  }
}

TEST(SpectrumKernels, ProductsMatchComplexArithmetic) {
  constexpr int32_t M = 32;
  const std::vector<double> x = RandomDoubles(2 * M, 1), h = RandomDoubles(2 * M, 2),
                            a = RandomDoubles(2 * M, 3);
  for (TStoreVariant variant : Variants()) {
    const TSpectrumKernels& k = SpectrumKernels(variant);
    TAlignedDoubles xs(M + 2), hs(M + 2), as(M + 2), ms(M + 2);
    k.PackToStore(x.data(), M, xs.Data());
    k.PackToStore(h.data(), M, hs.Data());
    k.PackToStore(a.data(), M, as.Data());
    k.StoreMul(xs.Data(), hs.Data(), M, ms.Data());
    k.StoreMulAdd(xs.Data(), hs.Data(), M, as.Data());
    std::vector<double> product(2 * M), sum(2 * M);
    k.StoreToPack(product.data(), M, ms.Data());
    k.StoreToPack(sum.data(), M, as.Data());
    auto single = [](double v) { return static_cast<double>(static_cast<float>(v)); };
    // Zero frequency and Nyquist: two independent reals, exact in double.
    EXPECT_EQ(product[0], x[0] * h[0]);
    EXPECT_EQ(product[1], x[1] * h[1]);
    EXPECT_EQ(sum[1], a[1] + x[1] * h[1]);
    for (size_t bin = 1; bin < M; ++bin) {
      const std::complex<double> xv(single(x[2 * bin]), single(x[2 * bin + 1]));
      const std::complex<double> hv(single(h[2 * bin]), single(h[2 * bin + 1]));
      const std::complex<double> av(single(a[2 * bin]), single(a[2 * bin + 1]));
      const std::complex<double> p = xv * hv, s = av + xv * hv;
      EXPECT_NEAR(product[2 * bin], p.real(), 5e-7) << VariantName(variant) << bin;
      EXPECT_NEAR(product[2 * bin + 1], p.imag(), 5e-7) << VariantName(variant) << bin;
      EXPECT_NEAR(sum[2 * bin], s.real(), 1e-6) << VariantName(variant) << bin;
      EXPECT_NEAR(sum[2 * bin + 1], s.imag(), 1e-6) << VariantName(variant) << bin;
    }
  }
}

// The AVX2 products of the Quad layout against the SSE2 ones, bit for bit,
// for odd and even group counts (stored spectra must not depend on the
// processor).
TEST(SpectrumKernels, QuadProductsAreTheSameOnEveryPath) {
  if (!StoreVariantAvailable(TStoreVariant::Quad) || BestSimdPath() < TSimdPath::Avx2)
    GTEST_SKIP() << "no Quad layout or no AVX2";
  const TSpectrumKernels& narrow = SpectrumKernels(TStoreVariant::Quad, TSimdPath::Sse2);
  const TSpectrumKernels& wide = SpectrumKernels(TStoreVariant::Quad, TSimdPath::Avx2);
  ASSERT_NE(narrow.StoreMulAdd, wide.StoreMulAdd);
  for (int32_t m : {4, 12, 1024}) {
    const auto doubles = static_cast<size_t>(2 * m);
    TAlignedDoubles xs(doubles / 2 + 2), hs(doubles / 2 + 2), a1(doubles / 2 + 2), a2(doubles / 2 + 2);
    narrow.PackToStore(RandomDoubles(doubles, 1).data(), m, xs.Data());
    narrow.PackToStore(RandomDoubles(doubles, 2).data(), m, hs.Data());
    narrow.PackToStore(RandomDoubles(doubles, 3).data(), m, a1.Data());
    narrow.PackToStore(RandomDoubles(doubles, 3).data(), m, a2.Data());
    const size_t bytes = 8 * static_cast<size_t>(m) + 16;
    narrow.StoreMulAdd(xs.Data(), hs.Data(), m, a1.Data());
    wide.StoreMulAdd(xs.Data(), hs.Data(), m, a2.Data());
    EXPECT_EQ(std::memcmp(a1.Data(), a2.Data(), bytes), 0) << "StoreMulAdd, M=" << m;
    narrow.StoreMul(xs.Data(), hs.Data(), m, a1.Data());
    wide.StoreMul(xs.Data(), hs.Data(), m, a2.Data());
    EXPECT_EQ(std::memcmp(a1.Data(), a2.Data(), bytes), 0) << "StoreMul, M=" << m;
  }
}

// ---- Convolver ----

TEST(FFTConvolver, MatchesDirectConvolution) {
  // Error bound: single-precision spectra give a relative error of a few
  // 1e-7 per product; measured against sum|h| * max|x| it stays below 1e-5.
  for (TStoreVariant variant : Variants()) {
    for (int order : {2, 4, 5}) {
      const int32_t m = 1 << order;
      for (int32_t length : {1, m - 1, m, m + 1, 5 * m + 3}) {
        TRig rig(order, variant);
        const std::vector<float> h = RandomFloats(static_cast<size_t>(length), static_cast<uint32_t>(length));
        const std::vector<double> x = RandomDoubles(static_cast<size_t>(12 * m), 99);
        rig.Response.SetKernel(h.data(), static_cast<uint32_t>(length));
        std::vector<double> input = x;
        input.resize(x.size() + static_cast<size_t>(rig.Convolver.Latency()), 0.0);
        const std::vector<double> y = Aligned(rig.Run(input), rig.Convolver.Latency(), x.size());
        double scale = 0.0;
        for (float v : h)
          scale += std::abs(static_cast<double>(v));
        EXPECT_LT(MaxAbsDifference(y, DirectConvolution(x, h)), 1e-5 * scale)
            << VariantName(variant) << " M=" << m << " L=" << length;
      }
    }
  }
}

TEST(FFTConvolver, LatencyAndPartitionCounts) {
  const std::vector<float> kernel(70748, 0.001f);
  TRig small(13, DefaultStoreVariant());
  small.Response.SetKernel(kernel.data(), 65000);
  EXPECT_EQ(small.Response.PartitionCount(), 8);
  EXPECT_EQ(small.Convolver.Latency(), 8704);
  TRig large(14, DefaultStoreVariant());
  large.Response.SetKernel(kernel.data(), 70748);
  EXPECT_EQ(large.Response.PartitionCount(), 5);
  EXPECT_EQ(large.Convolver.Latency(), 17408);
}

TEST(FFTConvolver, UnitImpulseKernelDelaysByTheLatency) {
  for (TStoreVariant variant : Variants()) {
    TRig rig(6, variant);
    const float one = 1.0f;
    rig.Response.SetKernel(&one, 1);
    const std::vector<double> x = RandomDoubles(1000, 5);
    const std::vector<double> y = rig.Run(x);
    ASSERT_EQ(y.size(), x.size());
    const auto latency = static_cast<size_t>(rig.Convolver.Latency());
    EXPECT_EQ(latency, 68u);
    for (size_t i = 0; i < latency; ++i)
      ASSERT_EQ(y[i], 0.0) << i;
    for (size_t i = latency; i < y.size(); ++i)
      ASSERT_NEAR(y[i], x[i - latency], 1e-6) << VariantName(variant) << i;
  }
}

TEST(FFTConvolver, AnySplitOfTheInputGivesIdenticalOutputAndBoundedSinkCalls) {
  for (TStoreVariant variant : Variants()) {
    const std::vector<float> h = RandomFloats(150, 11);
    const std::vector<double> x = RandomDoubles(2000, 12);
    TRig whole(5, variant), split(5, variant);
    whole.Response.SetKernel(h.data(), 150);
    split.Response.SetKernel(h.data(), 150);
    TCollector out;
    const std::vector<double> reference = whole.Run(x);
    EXPECT_EQ(split.Run(x, {1, 7, 32, 3, 100, 0, 31, 64, 2}, out), reference) << VariantName(variant);
    // Sink calls never cross an input boundary (multiples of 32) or an output
    // boundary (2 + multiples of 32).
    int64_t position = 0;
    for (int32_t count : out.Counts) {
      ASSERT_GT(count, 0);
      for (int64_t boundary = position + 1; boundary < position + count; ++boundary)
        ASSERT_TRUE(boundary % 32 != 0 && boundary % 32 != 2) << position << "+" << count;
      position += count;
    }
    EXPECT_EQ(position, 2000);
  }
}

TEST(FFTConvolver, EmptyKernelDeliversNilSilenceInBlocks) {
  TRig rig(4, DefaultStoreVariant());
  rig.Response.SetKernel(nullptr, 0);
  const std::vector<double> x = RandomDoubles(100, 3);
  TCollector out;
  rig.Run(x, {45}, out);
  EXPECT_EQ(out.Samples, std::vector<double>(100, 0.0));
  EXPECT_EQ(out.NilCalls, static_cast<int32_t>(out.Counts.size()));
  for (int32_t count : out.Counts)
    EXPECT_LE(count, 16);
}

TEST(FFTConvolver, NoKernelLoadedDeliversSilence) {
  TRig rig(4, DefaultStoreVariant());
  EXPECT_EQ(rig.Run(RandomDoubles(50, 4)), std::vector<double>(50, 0.0));
}

TEST(FFTConvolver, TooFewBlocksTruncateTheKernelOrSilenceTheOutput) {
  constexpr int Order = 3;
  constexpr int32_t M = 8;
  const std::vector<float> h = RandomFloats(6 * M, 21);
  const std::vector<double> x = RandomDoubles(20 * M, 22);
  // One chunk of 8 blocks: the response takes 6, the convolver gets 2
  // accumulators, so only the first two partitions take part.
  {
    TRig rig(Order, DefaultStoreVariant(), 1, 8);
    rig.Response.SetKernel(h.data(), 6 * M);
    std::vector<double> input = x;
    input.resize(x.size() + static_cast<size_t>(rig.Convolver.Latency()), 0.0);
    const std::vector<double> y = Aligned(rig.Run(input), rig.Convolver.Latency(), x.size());
    const std::vector<float> truncated(h.begin(), h.begin() + 2 * M);
    EXPECT_LT(MaxAbsDifference(y, DirectConvolution(x, truncated)), 1e-4);
  }
  // The response takes all 8 blocks: no accumulators, silence.
  {
    TRig rig(Order, DefaultStoreVariant(), 1, 8);
    rig.Response.SetKernel(h.data(), 6 * M);
    rig.Response.SetKernel(RandomFloats(8 * M, 23).data(), 8 * M);
    EXPECT_EQ(rig.Response.PartitionCount(), 8);
    EXPECT_EQ(rig.Run(x), std::vector<double>(x.size(), 0.0));
  }
}

TEST(FFTConvolver, ReloadAndResetBehaveLikeAFreshConvolver) {
  const std::vector<float> first = RandomFloats(300, 31), second = RandomFloats(90, 32);
  const std::vector<double> x = RandomDoubles(700, 33);
  TRig fresh(5, DefaultStoreVariant());
  fresh.Response.SetKernel(second.data(), 90);
  const std::vector<double> reference = fresh.Run(x);
  TRig reused(5, DefaultStoreVariant());
  reused.Response.SetKernel(first.data(), 300);
  reused.Run(RandomDoubles(333, 34));
  reused.Response.SetKernel(second.data(), 90);
  reused.Convolver.Reset();
  EXPECT_EQ(reused.Run(x), reference);
  reused.Convolver.Reset();
  EXPECT_EQ(reused.Run(x), reference);
}

TEST(FFTConvolver, MismatchedTransformIsRefused) {
  TFFTBlockManager manager(4, 8);
  TFastFourierTransform wrong(4);
  EXPECT_THROW(TFFTResponse(manager, wrong), TRavelinError);
}
