#include "fuzz/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tbfuzz::CheckGeometry(data, size);
  return 0;
}
