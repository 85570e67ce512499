// Fuzz target for the Wave64 walk: the input always starts with the riff and
// wave identifiers of Wave64 (16-byte GUIDs), so the fuzzer explores its chunks.
#include "fuzzHelpers.h"

namespace {
constexpr uint8_t kRiff[] = {0x72, 0x69, 0x66, 0x66, 0x2E, 0x91, 0xCF, 0x11,
                             0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
constexpr uint8_t kWave[] = {0x77, 0x61, 0x76, 0x65, 0xF3, 0xAC, 0xD3, 0x11,
                             0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
constexpr ravelin::fuzz::TForcedBytes kForced[] = {{0, kRiff}, {24, kWave}};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ravelin::fuzz::ReadForced(data, size, kForced);
  return 0;
}
