#include "dither.h"

#include "errors.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string>

namespace ravelin {

namespace {

// Milliseconds since local midnight.
int64_t LocalMillisecondOfDay() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  const auto milliseconds = duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return (int64_t{local.tm_hour} * 3600 + local.tm_min * 60 + local.tm_sec) * 1000 + milliseconds;
}

// The time of day as a fraction of the day, scaled to 0 .. 999999999.
uint32_t SeedFromClock() {
  constexpr double MillisecondsPerDay = 86400000.0;
  return static_cast<uint32_t>(
      std::lround(static_cast<double>(LocalMillisecondOfDay()) / MillisecondsPerDay * 1e9));
}

// The generator's step x -> Multiplier x + Increment (mod 2^32).
constexpr uint32_t Multiplier = 30013u;
constexpr uint32_t Increment = 30011u;

// Two steps at once, x -> Multiplier2 x + Increment2: the second number of a
// pair comes straight from the state before the pair, which halves the
// chain of dependent multiplications.
constexpr uint32_t Multiplier2 = Multiplier * Multiplier;
constexpr uint32_t Increment2 = Multiplier * Increment + Increment;
constexpr uint32_t RandomMask = 0xFFFFFFu; // a number is its state's low 24 bits

// The sum of the next two random numbers; moves the state on by two.
inline uint32_t NextRandomPair(uint32_t& seed) {
  const uint32_t first = (seed * Multiplier + Increment) & RandomMask;
  seed = seed * Multiplier2 + Increment2;
  return first + (seed & RandomMask);
}

// Nearest integer to v, ties to even, whatever the rounding mode of the
// moment; |v| < 2^62. Without branches: the fractions of dithered samples
// are random, so branches on them would mostly be mispredicted.
inline int64_t RoundHalfEven(double v) {
  const auto truncated = static_cast<int64_t>(v); // toward zero, exact
  const int64_t below = truncated - static_cast<int64_t>(static_cast<double>(truncated) > v);
  const double fraction = v - static_cast<double>(below); // exact, 0 <= fraction < 1
  const int64_t up =
      static_cast<int64_t>(fraction > 0.5) | (static_cast<int64_t>(fraction == 0.5) & below & 1);
  return below + up;
}

} // namespace

TOutputDither::TOutputDither() : TOutputDither(SeedFromClock()) {}

TOutputDither::TOutputDither(uint32_t seed) : FSeed(seed) {
  SetBits(16, 0);
}

void TOutputDither::SetBits(int32_t bits, int32_t shift) {
  if (bits < 2 || bits > 32 || shift < 0 || bits + shift > 32)
    throw TRavelinError("Dither word length " + std::to_string(bits) + " with shift " +
                        std::to_string(shift) + " does not fit 32 bits");
  FBits = bits;
  FShift = shift;
  FScale = std::ldexp(1.0, bits - 1);
  FMaxValue = static_cast<int32_t>((int64_t{1} << (bits - 1)) - 1);
  FMinValue = static_cast<int32_t>(-(int64_t{1} << (bits - 1)));
}

void TOutputDither::SetOutputBits(int32_t bits) {
  if (bits == 32)
    SetBits(30, 2);
  else
    SetBits(bits, 0);
}

uint32_t TOutputDither::Advance(uint32_t state, uint64_t count) {
  // The step is the affine map x -> a x + c; applying it k times is again an
  // affine map. The powers 1, 2, 4, ... come from squaring (composing the
  // map with itself) and those of count's set bits are composed into the
  // jump; powers of one map commute, so their order does not matter.
  uint32_t stepA = Multiplier;
  uint32_t stepC = Increment;
  uint32_t jumpA = 1;
  uint32_t jumpC = 0;
  for (; count != 0; count >>= 1) {
    if ((count & 1) != 0) {
      jumpA = stepA * jumpA;
      jumpC = stepA * jumpC + stepC;
    }
    stepC = stepA * stepC + stepC;
    stepA = stepA * stepA;
  }
  return jumpA * state + jumpC;
}

void TOutputDither::Process(float* const* channels, int32_t channelCount, int32_t sampleCount) {
  const double maxValue = FMaxValue;
  const double minValue = FMinValue;
  // The shift is applied to the unsigned bit pattern, which wraps like the
  // hardware does; the range check above keeps the result within 32 bits.
  const auto shift = static_cast<uint32_t>(FShift);
  const double scale = FScale;
  const int32_t lowest = FMinValue, highest = FMaxValue;
  uint32_t seed = FSeed; // kept in a register: the sample stores may alias members
  for (int32_t c = 0; c < channelCount; ++c) {
    float* samples = channels[c];
    for (int32_t i = 0; i < sampleCount; ++i) {
      // Triangular over -1 .. +1 in steps of 2^-24.
      const double noise =
          static_cast<double>(static_cast<int32_t>(NextRandomPair(seed)) - 16777216) * 0x1p-24;
      const double x = static_cast<double>(samples[i]);
      // Exact in double: the sample has 24 significant bits and the scale is a
      // power of two, so within the output range v needs at most 53 bits. A NaN
      // sample counts as silence; infinities saturate below.
      const double v = std::isnan(x) ? noise : x * scale + noise;
      // Clamping to one step beyond the range first keeps every outcome (what
      // lies beyond saturates either way) and bounds v for the rounding.
      const int64_t rounded = RoundHalfEven(std::clamp(v, minValue - 1.0, maxValue + 1.0));
      const auto q = static_cast<int32_t>(std::clamp<int64_t>(rounded, lowest, highest));
      const uint32_t code = static_cast<uint32_t>(q) << shift;
      std::memcpy(&samples[i], &code, sizeof code);
    }
  }
  FSeed = seed;
}

} // namespace ravelin
