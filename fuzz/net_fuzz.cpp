#include "fuzz/NetFuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tbfuzz::CheckMessages(data, size);
  return 0;
}
