// Controller mapping files: read bounded, every line a comment or a mapping, the first that is
// not named with its file and line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/SdlKeys.h"

namespace {

namespace fs = std::filesystem;

const std::string kMapping =
    "030000005e0400008e02000014010000,Some pad,a:b0,b:b1,leftx:a0,platform:Linux,";

class MappingFile : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::TempDir() + "treadbrawl_mappings_" + std::to_string(getpid());
    fs::create_directories(folder_);
    file_ = folder_ + "/gamecontrollerdb.txt";
  }
  void TearDown() override { fs::remove_all(folder_); }
  void Write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
  // The problem reading the one file, or "" with the mappings in `found`.
  std::string Read() {
    std::string problem;
    found.clear();
    return tb::ReadControllerMappings({folder_ + "/absent.txt", file_}, found, problem) ? ""
                                                                                        : problem;
  }
  std::string folder_, file_;
  std::vector<std::string> found;
};

TEST_F(MappingFile, CommentsBlankLinesAndLineEndsAreLeftOut) {
  Write("# pads\r\n\r\n" + kMapping + "\r\n\n" + kMapping.substr(0, kMapping.size() - 1));
  EXPECT_EQ(Read(), "");
  EXPECT_EQ(found, (std::vector<std::string>{kMapping, kMapping.substr(0, kMapping.size() - 1)}));
  // Absent files are passed over: no mappings, no problem.
  fs::remove(file_);
  EXPECT_EQ(Read(), "");
  EXPECT_TRUE(found.empty());
}

TEST_F(MappingFile, TheFirstLineThatIsNoMappingIsNamed) {
  const std::string bad[] = {
      kMapping.substr(0, 49),                        // cut within a field: "x:"
      "030000005e0400008e0200001401000,Pad,a:b0,",   // a GUID one digit short
      "030000005e0400008e02000014010g00,Pad,a:b0,",  // not hex
      "030000005e0400008e02000014010000,,a:b0,",     // no name
      "030000005e0400008e02000014010000,Pad,a;b0,",  // a bit flipped in the colon
      "030000005e0400008e02000014010000,Pad",        // no mapping at all
      "030000005e0400008e02000014010000,P\xe1"
      "d,a:b0",  // a byte that is no text
  };
  for (const std::string& line : bad) {
    Write("# pads\n" + kMapping + "\n" + line + "\n" + kMapping + "\n");
    EXPECT_EQ(Read(), file_ + ": line 3 is not a controller mapping") << line;
  }
}

TEST_F(MappingFile, FilesThatAreNoTextOfASaneSizeAreRefused) {
  fs::create_directories(file_);
  EXPECT_EQ(Read(), file_ + ": is a directory");
  fs::remove(file_);
  ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);  // nobody writes: must not wait for one
  EXPECT_EQ(Read(), file_ + ": has nothing to read");
  fs::remove(file_);
  Write("");
  fs::resize_file(file_, tb::kMaxMappingBytes + 1);
  EXPECT_EQ(Read(), file_ + ": larger than 1 MiB");
}

}  // namespace
