#include "fuzz/WavFuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tbfuzz::CheckWav(data, size);
  return 0;
}
