// Sample-buffer tools: scaling, clearing, widening and narrowing, peak search,
// power-of-two sizing, processor feature flags and the floating-point mode.
// Nothing here allocates; every array belongs to the caller. Counts are
// element counts (not bytes); a count of 0 touches nothing.
#pragma once

#include <cfenv>
#include <cstdint>

namespace ravelin {

// element := element * gain, rounded to single precision.
void ScaleFloats(float* data, uint32_t count, double gain);
void ZeroDoubles(double* data, uint32_t count);
void FillDoubles(double* data, uint32_t count, double value);
// Exact widening copy.
void FloatsToDoubles(const float* source, double* dest, uint32_t count);
// Narrowing copy, rounded to nearest. May run in place with dest at the start
// of source (the floats then overwrite the doubles' bytes): it converts in
// increasing order, so each double is read before its bytes are overwritten.
void DoublesToFloats(const double* source, float* dest, uint32_t count);
// dest[0, count) := source[0, count); dest[count, count + padCount) := 0.
void CopyDoublesZeroPad(const double* source, double* dest, uint32_t count, uint32_t padCount);
// Number of binary digits of n (n >= 1): floor(log2 n) + 1. BitLength(2L - 1)
// is the order of the smallest power of two not below 2L.
int BitLength(uint32_t n);
// The larger of start and the largest |element|. An element replaces the
// running value only when strictly greater, so NaN never becomes the peak.
float PeakAbsFloats(const float* data, uint32_t count, float start);

// Processor feature flags, read once at start-up through CPUID on x86-64
// (all false elsewhere).
extern const bool HasMMX;
extern const bool HasSSE;
extern const bool Has3DNow;

// Saved floating-point environment (SSE control register and x87 state).
struct TFPUSaveArea {
  std::fenv_t Env;
};
// Saves the floating-point state, then masks every exception and selects
// round-to-nearest-even (x86-64: MXCSR and the x87 control word 0x033F).
void EnterFPUMode(TFPUSaveArea& save);
void LeaveFPUMode(const TFPUSaveArea& save);

// Scope guard: EnterFPUMode on construction, LeaveFPUMode on destruction.
class TFPUModeGuard {
public:
  TFPUModeGuard() { EnterFPUMode(Save); }
  ~TFPUModeGuard() { LeaveFPUMode(Save); }
  TFPUModeGuard(const TFPUModeGuard&) = delete;
  TFPUModeGuard& operator=(const TFPUModeGuard&) = delete;

private:
  TFPUSaveArea Save{};
};

} // namespace ravelin
