// Fuzz target for the RIFF/WAVE walk (Broadcast WAVE and extensible formats
// included): the input always carries the RIFF and WAVE identifiers, so the
// fuzzer spends its time on the chunks.
#include "fuzzHelpers.h"

namespace {
constexpr uint8_t kRiff[] = {'R', 'I', 'F', 'F'};
constexpr uint8_t kWave[] = {'W', 'A', 'V', 'E'};
constexpr ravelin::fuzz::TForcedBytes kForced[] = {{0, kRiff}, {8, kWave}};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ravelin::fuzz::ReadForced(data, size, kForced);
  return 0;
}
