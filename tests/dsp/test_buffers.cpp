#include "buffers.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace ravelin {
namespace {

constexpr float NaNf = std::numeric_limits<float>::quiet_NaN();
constexpr float Inff = std::numeric_limits<float>::infinity();

TEST(Buffers, BitLengthCountsBinaryDigits) {
  EXPECT_EQ(BitLength(1), 1);
  EXPECT_EQ(BitLength(3), 2);
  EXPECT_EQ(BitLength(4), 3);
  EXPECT_EQ(BitLength(2047), 11);
  EXPECT_EQ(BitLength(2048), 12);
  EXPECT_EQ(BitLength(0xFFFFFFFFu), 32);
  // Order of the smallest power of two not below 2L.
  EXPECT_EQ(BitLength(2 * 1000 - 1), 11);
  EXPECT_EQ(BitLength(2 * 1024 - 1), 11);
  EXPECT_EQ(BitLength(2 * 1025 - 1), 12);
}

TEST(Buffers, PeakAbsFloatsIgnoresNaNAndKeepsTheStart) {
  const float zeros[4] = {};
  EXPECT_EQ(PeakAbsFloats(zeros, 4, 1e-15f), 1e-15f);
  const float values[] = {-0.5f, 0.25f};
  EXPECT_EQ(PeakAbsFloats(values, 2, 1e-15f), 0.5f);
  EXPECT_EQ(PeakAbsFloats(values, 2, 0.75f), 0.75f);
  const float withNaN[] = {NaNf, -0.125f, NaNf, 0.0625f};
  EXPECT_EQ(PeakAbsFloats(withNaN, 4, 1e-15f), 0.125f);
  const float withInf[] = {0.5f, -Inff};
  EXPECT_EQ(PeakAbsFloats(withInf, 2, 0.0f), Inff);
  EXPECT_EQ(PeakAbsFloats(values, 0, 0.25f), 0.25f);
}

TEST(Buffers, CountZeroTouchesNothing) {
  float f[2] = {1.5f, -2.0f};
  double d[2] = {3.0, 4.0};
  double e[2] = {5.0, 6.0};
  ScaleFloats(f, 0, 10.0);
  ZeroDoubles(d, 0);
  FillDoubles(d, 0, 9.0);
  FloatsToDoubles(f, d, 0);
  DoublesToFloats(d, f, 0);
  CopyDoublesZeroPad(d, e, 0, 0);
  EXPECT_EQ(f[0], 1.5f);
  EXPECT_EQ(f[1], -2.0f);
  EXPECT_EQ(d[0], 3.0);
  EXPECT_EQ(d[1], 4.0);
  EXPECT_EQ(e[0], 5.0);
  EXPECT_EQ(e[1], 6.0);
}

TEST(Buffers, ScaleFillWidenAndPad) {
  float f[5] = {1.0f, -0.5f, 0.1f, 3.0f, 1e-3f};
  ScaleFloats(f, 5, 0.1);
  EXPECT_EQ(f[0], static_cast<float>(1.0 * 0.1));
  EXPECT_EQ(f[2], static_cast<float>(static_cast<double>(0.1f) * 0.1)); // product rounded once
  EXPECT_EQ(f[3], static_cast<float>(3.0 * 0.1));

  double d[6];
  FillDoubles(d, 6, -7.25);
  for (const double v : d)
    EXPECT_EQ(v, -7.25);
  FloatsToDoubles(f, d, 5);
  EXPECT_EQ(d[2], static_cast<double>(f[2]));
  EXPECT_EQ(d[5], -7.25);
  ZeroDoubles(d + 1, 4);
  EXPECT_EQ(d[0], static_cast<double>(f[0]));
  EXPECT_EQ(d[4], 0.0);
  EXPECT_EQ(d[5], -7.25);

  const double source[3] = {1.0, 2.0, 3.0};
  double dest[7] = {9, 9, 9, 9, 9, 9, 9};
  CopyDoublesZeroPad(source, dest, 3, 3);
  EXPECT_EQ(std::vector<double>(dest, dest + 7), (std::vector<double>{1, 2, 3, 0, 0, 0, 9}));
  CopyDoublesZeroPad(source, dest, 2, 0);
  EXPECT_EQ(dest[2], 3.0);
  CopyDoublesZeroPad(source, dest, 0, 2);
  EXPECT_EQ(std::vector<double>(dest, dest + 4), (std::vector<double>{0, 0, 3, 0}));
}

// The narrowing copy runs in place with the floats over the doubles' bytes.
TEST(Buffers, DoublesToFloatsInPlaceAndBeyondSingleRange) {
  constexpr uint32_t count = 37;
  std::vector<double> buffer(count);
  for (uint32_t i = 0; i < count; ++i)
    buffer[i] = 0.1 * i - 1.3;
  buffer[5] = 1e300;
  buffer[6] = -1e39;
  const std::vector<double> original = buffer;
  DoublesToFloats(buffer.data(), reinterpret_cast<float*>(buffer.data()), count);
  std::vector<float> narrowed(count);
  std::memcpy(narrowed.data(), buffer.data(), count * sizeof(float));
  for (uint32_t i = 0; i < count; ++i) {
    if (i == 5 || i == 6)
      continue;
    EXPECT_EQ(narrowed[i], static_cast<float>(original[i])) << i;
  }
  EXPECT_EQ(narrowed[5], Inff);
  EXPECT_EQ(narrowed[6], -Inff);
}

TEST(Buffers, FeatureFlagsReflectTheProcessor) {
#if defined(__x86_64__)
  EXPECT_TRUE(HasMMX); // every x86-64 processor has MMX and SSE
  EXPECT_TRUE(HasSSE);
#else
  EXPECT_FALSE(HasMMX);
  EXPECT_FALSE(HasSSE);
  EXPECT_FALSE(Has3DNow);
#endif
}

// Inside the mode nothing traps and rounding is to nearest; leaving it
// restores whatever mode was active before.
TEST(Buffers, FPUModeMasksExceptionsAndIsRestored) {
  std::fesetround(FE_UPWARD);
  {
    TFPUModeGuard guard;
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
#if defined(__x86_64__)
    EXPECT_EQ(_mm_getcsr() & 0xFFC0u, 0x1F80u);
    unsigned short controlWord = 0;
    __asm__ volatile("fnstcw %0" : "=m"(controlWord));
    EXPECT_EQ(controlWord & ~0x0040u, 0x033Fu); // bit 6 is reserved and reads as 1
#endif
    volatile double zero = 0.0;
    EXPECT_TRUE(std::isinf(1.0 / zero));
    EXPECT_TRUE(std::isnan(zero / zero));
    EXPECT_TRUE(std::isinf(std::log(zero)));
    volatile double third = 1.0;
    EXPECT_EQ(third / 3.0, 1.0 / 3.0);
  }
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  std::fesetround(FE_TONEAREST);
}

} // namespace
} // namespace ravelin
