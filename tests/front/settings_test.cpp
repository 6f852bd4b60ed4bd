// settings.json: what is written is read back; anything damaged, unreadable or hostile is
// one line of reason and the defaults, never a crash; --keys files.
#include "app/front/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "files/Files.h"
#include "tests/front/FrontHelpers.h"

namespace {

using tb::front::Settings;

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

Settings Changed() {
  Settings s;
  s.seats = {tb::front::SeatKind::kHard, tb::front::SeatKind::kHuman, tb::front::SeatKind::kEmpty,
             tb::front::SeatKind::kEasy};
  s.rounds = 7;
  s.hostPort = 4000;
  s.hostPassword = "p\xC3\xA4ss \"quoted\"";
  s.hostSeats[2] = tb::front::HostSeat::kComputer;
  s.hostLevel = 2;
  s.joinAddress = "example.invalid:5";
  s.joinSeats = 9;
  s.recordAll = s.fullScreen = s.wholeScale = s.mixSounds = true;
  s.keys = tb::front::LaptopKeys();
  return s;
}

bool Same(const Settings& a, const Settings& b) {
  return tb::front::SettingsJson(a) == tb::front::SettingsJson(b);
}

TEST(Settings, WhatIsSavedIsLoadedBack) {
  const std::string dir = fronttest::Scratch("roundtrip");
  const std::string path = dir + "/settings.json";
  std::string problem;
  ASSERT_TRUE(tb::front::SaveSettings(path, Changed(), problem)) << problem;
  Settings back;
  ASSERT_TRUE(tb::front::LoadSettings(path, back, problem)) << problem;
  EXPECT_TRUE(Same(back, Changed()));
  // Written whole through a temporary file that does not stay behind.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST(Settings, AMissingFileIsTheFirstRunQuietly) {
  Settings s = Changed();
  std::string problem;
  EXPECT_TRUE(
      tb::front::LoadSettings(fronttest::Scratch("missing") + "/settings.json", s, problem));
  EXPECT_TRUE(problem.empty());
  EXPECT_TRUE(Same(s, Settings{}));
}

TEST(Settings, FieldsLeftOutKeepTheirDefaults) {
  Settings s;
  std::string problem;
  ASSERT_TRUE(tb::front::ParseSettings(R"({"rounds": 4})", s, problem)) << problem;
  Settings want;
  want.rounds = 4;
  EXPECT_TRUE(Same(s, want));
}

// Each of these is refused with one line, and the defaults are what is left.
TEST(Settings, DamagedOrHostileTextGivesOneLineAndTheDefaults) {
  const std::vector<std::string> bad = {
      "",
      "{",
      "[1, 2]",
      "\"text\"",
      "{\"rounds\": 100}",
      "{\"rounds\": -1}",
      "{\"rounds\": 2.5}",
      "{\"rounds\": \"3\"}",
      "{\"rounds\": 99999999999999999999999}",
      "{\"hostPort\": 0}",
      "{\"fullScreen\": 1}",
      "{\"seats\": [\"human\", \"human\", \"human\"]}",
      "{\"seats\": [\"human\", \"human\", \"human\", \"robot\"]}",
      "{\"seats\": \"human\"}",
      "{\"hostPassword\": \"" + std::string(65, 'x') + "\"}",
      "{\"joinSeats\": 16}",
      "{\"keys\": []}",
      "{\"keys\": {\"Green\": {\"right\": 65}}}",  // A is Green's turn left already
      "{\"keys\": {\"Red\": {\"fire\": 13}}}",     // Enter belongs to the menus
      "{\"keys\": {\"Blue\": {\"fire\": 256}}}",
      "{\"keys\": {\"Yellow\": 3}}",
      std::string(100000, '['),
      "{\"a\":" + std::string(50, '[') + std::string(50, ']') + "}",
      std::string("{\"rounds\": 3\0}", 14),
  };
  for (const std::string& text : bad) {
    Settings s = Changed();
    std::string problem;
    EXPECT_FALSE(tb::front::ParseSettings(text, s, problem)) << text.substr(0, 80);
    EXPECT_FALSE(problem.empty());
    EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
    EXPECT_TRUE(Same(s, Settings{})) << text.substr(0, 80);
  }
}

TEST(Settings, UnreadableFilesGiveOneLineAndTheDefaults) {
  const std::string dir = fronttest::Scratch("unreadable");
  std::string problem;
  Settings s = Changed();
  // A directory where the file should be.
  std::filesystem::create_directories(dir + "/settings.json");
  EXPECT_FALSE(tb::front::LoadSettings(dir + "/settings.json", s, problem));
  EXPECT_FALSE(problem.empty());
  EXPECT_TRUE(Same(s, Settings{}));
  // Far larger than settings ever are.
  Write(dir + "/big.json", "{\"rounds\": 1" + std::string(200000, ' ') + "}");
  s = Changed();
  EXPECT_FALSE(tb::front::LoadSettings(dir + "/big.json", s, problem));
  EXPECT_TRUE(Same(s, Settings{}));
  // Truncated in the middle of a write by something else.
  const std::string whole = tb::front::SettingsJson(Changed());
  Write(dir + "/cut.json", whole.substr(0, whole.size() / 2));
  s = Changed();
  EXPECT_FALSE(tb::front::LoadSettings(dir + "/cut.json", s, problem));
  EXPECT_TRUE(Same(s, Settings{}));
}

TEST(KeysFile, TakesOnlyTheKeysAndChecksThem) {
  const std::string dir = fronttest::Scratch("keys");
  std::string problem;
  ASSERT_TRUE(tb::front::SaveSettings(dir + "/keys.json", Changed(), problem));
  tb::cli::GameArgs args = fronttest::Cli({"--keys", dir + "/keys.json"});
  ASSERT_TRUE(tb::front::ResolveKeysFile(args, problem)) << problem;
  EXPECT_TRUE(args.customKeys);
  EXPECT_EQ(args.keys, tb::front::LaptopKeys());

  Write(dir + "/twice.json", R"({"keys": {"Blue": {"fire": 87}}})");  // W is Green's
  args = fronttest::Cli({"--keys", dir + "/twice.json"});
  EXPECT_FALSE(tb::front::ResolveKeysFile(args, problem));
  EXPECT_FALSE(args.customKeys);
  EXPECT_EQ(args.keys, tb::cli::StandardKeys());

  args = fronttest::Cli({"--keys", dir + "/none.json"});
  EXPECT_FALSE(tb::front::ResolveKeysFile(args, problem));
}

TEST(KeysFile, TheLaptopLayoutGivesEveryoneTheirOwnKeysOffTheKeypad) {
  const tb::cli::KeyTable keys = tb::front::LaptopKeys();
  EXPECT_TRUE(tb::front::ValidKeys(keys));
  for (const auto& seat : keys)
    for (uint8_t k : seat) EXPECT_FALSE(k >= 0x60 && k <= 0x69) << int(k);
  // Green and Red keep the keys they have on any keyboard.
  EXPECT_EQ(keys[0], tb::cli::StandardKeys()[0]);
  EXPECT_EQ(keys[1], tb::cli::StandardKeys()[1]);
}

}  // namespace
