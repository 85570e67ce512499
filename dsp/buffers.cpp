#include "buffers.h"

#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <xmmintrin.h>
#endif

namespace ravelin {

void ScaleFloats(float* data, uint32_t count, double gain) {
  for (uint32_t i = 0; i < count; ++i)
    data[i] = static_cast<float>(static_cast<double>(data[i]) * gain);
}

void ZeroDoubles(double* data, uint32_t count) {
  FillDoubles(data, count, 0.0);
}

void FillDoubles(double* data, uint32_t count, double value) {
  for (uint32_t i = 0; i < count; ++i)
    data[i] = value;
}

void FloatsToDoubles(const float* source, double* dest, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i)
    dest[i] = static_cast<double>(source[i]);
}

// The bytes are moved with memcpy so that the in-place use (floats written over
// the doubles already read) involves no access through a mistyped pointer and
// the compiler may not reorder a store ahead of a load it could overlap.
void DoublesToFloats(const double* source, float* dest, uint32_t count) {
  const auto* from = reinterpret_cast<const unsigned char*>(source);
  auto* to = reinterpret_cast<unsigned char*>(dest);
  for (uint32_t i = 0; i < count; ++i) {
    double value;
    std::memcpy(&value, from + std::size_t{i} * sizeof(double), sizeof value);
    const auto narrowed = static_cast<float>(value);
    std::memcpy(to + std::size_t{i} * sizeof(float), &narrowed, sizeof narrowed);
  }
}

void CopyDoublesZeroPad(const double* source, double* dest, uint32_t count, uint32_t padCount) {
  if (count > 0)
    std::memcpy(dest, source, std::size_t{count} * sizeof(double));
  ZeroDoubles(dest + count, padCount);
}

int BitLength(uint32_t n) {
  int bits = 0;
  for (; n != 0; n >>= 1)
    ++bits;
  return bits;
}

float PeakAbsFloats(const float* data, uint32_t count, float start) {
  float peak = start;
  for (uint32_t i = 0; i < count; ++i) {
    const float magnitude = std::fabs(data[i]);
    if (magnitude > peak)
      peak = magnitude;
  }
  return peak;
}

namespace {

struct TCpuFlags {
  bool MMX = false;
  bool SSE = false;
  bool ThreeDNow = false;
};

TCpuFlags ReadCpuFlags() {
  TCpuFlags flags;
#if defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  // The compilers' headers disagree on the signedness of __get_cpuid_max.
  const auto maxLeaf = static_cast<unsigned>(__get_cpuid_max(0, nullptr));
  const auto maxExtendedLeaf = static_cast<unsigned>(__get_cpuid_max(0x80000000u, nullptr));
  if (maxLeaf < 1 || !__get_cpuid(1, &eax, &ebx, &ecx, &edx))
    return flags;
  flags.MMX = (edx & (1u << 23)) != 0;
  if (!flags.MMX)
    return flags;
  flags.SSE = (edx & (1u << 25)) != 0;
  if (maxExtendedLeaf >= 0x80000001u && __get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx))
    flags.ThreeDNow = (edx & (1u << 31)) != 0;
#endif
  return flags;
}

const TCpuFlags CpuFlags = ReadCpuFlags();

} // namespace

const bool HasMMX = CpuFlags.MMX;
const bool HasSSE = CpuFlags.SSE;
const bool Has3DNow = CpuFlags.ThreeDNow;

void EnterFPUMode(TFPUSaveArea& save) {
  std::fegetenv(&save.Env);
  std::fenv_t quiet;
  std::feholdexcept(&quiet); // clears the flags and masks every exception
  std::fesetround(FE_TONEAREST);
#if defined(__x86_64__)
  // SSE: all six exceptions masked, round to nearest, no flush-to-zero and no
  // denormals-are-zero, so results stay exact IEEE doubles.
  _mm_setcsr(0x1F80u);
  // x87: all exceptions masked, 64-bit significand, round to nearest-even.
  const unsigned short controlWord = 0x033F;
  __asm__ volatile("fldcw %0" : : "m"(controlWord));
#endif
}

void LeaveFPUMode(const TFPUSaveArea& save) {
  std::fesetenv(&save.Env);
}

} // namespace ravelin
