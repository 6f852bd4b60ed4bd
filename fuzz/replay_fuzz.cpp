#include "fuzz/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tbfuzz::CheckSavedFiles(data, size);
  return 0;
}
