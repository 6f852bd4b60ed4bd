#pragma once
// Driving the start screen by keys and buttons, and a scratch folder, for the tests.
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
#include "app/front/StartScreen.h"

namespace fronttest {

constexpr uint8_t kEnter = 0x0D, kEsc = 0x1B, kBack = 0x08;
constexpr uint8_t kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;

inline void Press(tb::front::StartScreen& s, std::initializer_list<uint8_t> keys) {
  for (uint8_t k : keys) s.Key(k);
}
inline void Repeat(tb::front::StartScreen& s, uint8_t key, int times) {
  for (int i = 0; i < times; ++i) s.Key(key);
}

// What the command line gives for these arguments; fails the test when it refuses them.
inline tb::cli::GameArgs Cli(const std::vector<std::string>& argv) {
  tb::cli::GameArgs args;
  std::string error;
  if (!tb::cli::Parse(argv, args, error)) throw std::runtime_error(error);
  return args;
}

// A fresh folder under the test's temporary directory.
inline std::string Scratch(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / ("treadbrawl-front-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

}  // namespace fronttest
