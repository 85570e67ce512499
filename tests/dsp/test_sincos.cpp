#include "sincos.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace ravelin;

// Against the library over each range the filter and phase code uses: tiny
// angles to rounding, the reduced range and many turns within an ulp or two
// of the result's scale, and every quadrant's signs.
TEST(CosSin, MatchesTheLibraryOverItsRange) {
  const struct {
    double First, Step;
    int Count;
    bool Relative;                               // tolerance of 2^-52 times the value instead of 2^-51
  } ranges[] = {{1e-12, 3e-5, 2100, true},       // the sections' small angles
                {-3.2, 1e-3, 6400, false},       // every quadrant once
                {1000.0, 0.7, 2000, false},      // phases of many turns
                {1.5e6, 123.4567, 2000, false}}; // near the exact reduction's end
  for (const auto& r : ranges) {
    std::vector<double> c(static_cast<size_t>(r.Count)), s(c.size()), x(c.size());
    for (size_t i = 0; i < x.size(); ++i)
      s[i] = x[i] = r.First + static_cast<double>(i) * r.Step;
    CosSin(r.Count, c.data(), s.data());
    for (size_t i = 0; i < x.size(); ++i) {
      const double cosine = std::cos(x[i]), sine = std::sin(x[i]);
      ASSERT_NEAR(c[i], cosine, r.Relative ? 0x1p-52 * std::fabs(cosine) : 0x1p-51) << x[i];
      ASSERT_NEAR(s[i], sine, r.Relative ? 0x1p-52 * std::fabs(sine) : 0x1p-51) << x[i];
    }
  }
  // Tiny angles: sin x = x and cos x = 1 exactly at double precision.
  double c1 = 0.0, s1 = 1e-9;
  CosSin(1, &c1, &s1);
  EXPECT_EQ(s1, std::sin(1e-9));
  EXPECT_EQ(c1, std::cos(1e-9));
}
