// Shared parts of the fuzz targets: reading a whole file and forcing a
// container's identifying bytes onto the fuzzer's input.
#pragma once

#include "wavReader.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ravelin::fuzz {

// Every frame the reader announces, one plane per channel, read in steps.
std::vector<std::vector<float>> ReadAllFrames(TWAVReader& reader);

// Bytes written over the input at a fixed offset.
struct TForcedBytes {
  std::size_t Offset;
  std::span<const uint8_t> Bytes;
};

// Copies the input, overwrites the forced bytes (inputs too short for them
// are skipped) and reads it, so one container's parser sees every input.
// Refusals (TRavelinError) are expected; anything else escapes as a finding.
void ReadForced(const uint8_t* data, std::size_t size, std::span<const TForcedBytes> forced);

} // namespace ravelin::fuzz
