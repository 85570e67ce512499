// Cosines and sines of arrays of angles, the one sine/cosine routine of the
// filter and phase code: within about an ulp of the library's values (tiny
// angles to rounding), in branch-free code that vectorises.
#pragma once

#include <cstdint>

namespace ravelin {

// c[i], s[i] := cos x, sin x of the angle x (radians) in s[i], for i < count.
// Exact reduction up to |x| = 2^20 pi/2, as accurate as x itself beyond;
// valid for |x| < 2^50.
void CosSin(int32_t count, double* c, double* s);

} // namespace ravelin
