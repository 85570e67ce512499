// Output dither: TPDF noise of +-1 LSB from a linear congruential generator,
// rounding to nearest-even, saturation and an optional left shift. Quantises
// float channel buffers in place into signed 32-bit integer codes (the codes
// are stored bit for bit in the same 4-byte elements).
#pragma once

#include <cstdint>

namespace ravelin {

class TOutputDither {
public:
  // Seeds the generator from the time of day (0 .. 999999999), 16 bits, shift 0.
  TOutputDither();
  // Fixed seed, for reproducible output.
  explicit TOutputDither(uint32_t seed);

  // Quantisation word length and left shift; the generator is not reset.
  void SetBits(int32_t bits, int32_t shift);
  // The setting for integer output of the given bit depth: 32-bit output is
  // quantised to 30 bits shifted left by 2, every other depth to its own width.
  void SetOutputBits(int32_t bits);
  // Quantises sampleCount samples of each channel, channel 0 first, with one
  // continuing generator sequence. Non-finite samples saturate (NaN gives 0
  // before dither; see the implementation).
  void Process(float* const* channels, int32_t channelCount, int32_t sampleCount);

  // Moves the generator on by count random numbers, as Process does with two
  // per sample and channel, in O(log count) steps.
  void Skip(uint64_t count) { FSeed = Advance(FSeed, count); }
  // The generator state count random numbers after state.
  static uint32_t Advance(uint32_t state, uint64_t count);

  int32_t Bits() const { return FBits; }
  int32_t Shift() const { return FShift; }
  uint32_t Seed() const { return FSeed; }

private:
  int32_t FBits = 16;
  double FScale = 32768.0; // 2^(Bits-1): full scale 1.0 to integer steps
  uint32_t FSeed = 0;      // generator state, carried across calls
  int32_t FShift = 0;
  int32_t FMinValue = -32768;
  int32_t FMaxValue = 32767;
};

} // namespace ravelin
