#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/NetFuzzChecks.h"

namespace fs = std::filesystem;

// Every input the message fuzzer ever stumbled on stays here and keeps passing its checks.
TEST(NetFuzzRegressions, KeptInputsPassTheirChecks) {
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(TREADBRAWL_SOURCE_DIR) / "tests" /
                                                  "fuzz_regressions" / "net")) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    tbfuzz::CheckMessages(bytes.data(), bytes.size());
    ++files;
  }
  EXPECT_GE(files, 1);
}
