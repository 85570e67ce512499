// Fuzz target for the audio reader as a whole: container recognition included.
#include "fuzzHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ravelin::fuzz::ReadForced(data, size, {});
  return 0;
}
