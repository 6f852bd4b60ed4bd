#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzChecks.h"
#include "fuzz/WavFuzzChecks.h"

namespace fs = std::filesystem;

// Every input a fuzzer ever stumbled on stays here and keeps passing its checks.
TEST(FuzzRegressions, KeptInputsPassTheirChecks) {
  const fs::path root = fs::path(TREADBRAWL_SOURCE_DIR) / "tests" / "fuzz_regressions";
  int files = 0;
  for (const char* target : {"geometry", "script", "replay", "wav"}) {
    for (const auto& entry : fs::directory_iterator(root / target)) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
      if (std::string(target) == "geometry") {
        tbfuzz::CheckGeometry(bytes.data(), bytes.size());
      } else if (std::string(target) == "replay") {
        tbfuzz::CheckSavedFiles(bytes.data(), bytes.size());
      } else if (std::string(target) == "wav") {
        tbfuzz::CheckWav(bytes.data(), bytes.size());
      } else {
        tbfuzz::CheckScript(bytes.data(), bytes.size());
      }
      ++files;
    }
  }
  EXPECT_GE(files, 4);
}
