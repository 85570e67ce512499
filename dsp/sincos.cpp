#include "sincos.h"
#include "vectorclones.h"

#include <bit>
#include <numbers>

namespace ravelin {

// x = q pi/2 + r with pi/2 in three parts, the minimax polynomials of sin and
// cos on |r| <= pi/4, then the quadrant q mod 4 by swapping and sign bits.
RAVELIN_VECTOR_CLONES void CosSin(int32_t count, double* c, double* s) {
  constexpr double Shifter = 0x1.8p52; // adding it rounds to an integer in the low bits
  constexpr double PiO2[3] = {1.57079632673412561417e+00, 6.07710050630396597660e-11,
                              2.02226624871116645580e-21};
  constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                   S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                   S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
  constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03,
                   C3 = 2.48015872894767294178e-05, C4 = -2.75573143513906633035e-07,
                   C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;
  for (int32_t i = 0; i < count; ++i) {
    const double x = s[i];
    const double shifted = x * std::numbers::inv_pi * 2.0 + Shifter;
    const double q = shifted - Shifter;
    const double r = ((x - q * PiO2[0]) - q * PiO2[1]) - q * PiO2[2];
    const double z = r * r;
    const double sr = r + r * z * (S1 + z * (S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)))));
    const double cr = 1.0 - (0.5 * z - z * z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * (C5 + z * C6))))));
    const uint64_t quadrant = std::bit_cast<uint64_t>(shifted);
    const uint64_t swap = uint64_t{0} - (quadrant & 1); // all ones in odd quadrants
    const uint64_t sb = std::bit_cast<uint64_t>(sr), cb = std::bit_cast<uint64_t>(cr);
    s[i] = std::bit_cast<double>(((sb & ~swap) | (cb & swap)) ^ ((quadrant & 2) << 62));
    c[i] = std::bit_cast<double>(((cb & ~swap) | (sb & swap)) ^ (((quadrant + 1) & 2) << 62));
  }
}

} // namespace ravelin
