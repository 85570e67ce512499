// Fuzz target for the AIFF and AIFF-C walk: the input always starts with the
// FORM identifier; the form type (AIFF or AIFC) stays the fuzzer's choice.
#include "fuzzHelpers.h"

namespace {
constexpr uint8_t kForm[] = {'F', 'O', 'R', 'M'};
constexpr ravelin::fuzz::TForcedBytes kForced[] = {{0, kForm}};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ravelin::fuzz::ReadForced(data, size, kForced);
  return 0;
}
