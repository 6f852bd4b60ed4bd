#pragma once
// The start screen's choices, remembered between runs in settings.json, and the key files
// that --keys reads (the same "keys" part).
#include <array>
#include <cstdint>
#include <string>

#include "app/cli/CommandLine.h"

namespace tb::front {

// Who drives a colour in a match played here.
enum class SeatKind { kHuman, kEasy, kNormal, kHard, kEmpty };
// Who drives a colour in a match hosted here.
enum class HostSeat { kHere, kFriend, kComputer };

// Everything the start screen remembers.
struct Settings {
  std::array<SeatKind, 4> seats{SeatKind::kHuman, SeatKind::kHuman, SeatKind::kHuman,
                                SeatKind::kHuman};
  int rounds = 0;  // 0: none
  // Hosting.
  int hostPort = 24642;
  std::string hostPassword;
  std::array<HostSeat, 4> hostSeats{HostSeat::kHere, HostSeat::kFriend, HostSeat::kFriend,
                                    HostSeat::kFriend};
  int hostLevel = 1;  // 0 easy, 1 normal, 2 hard
  int hostRounds = 0;
  // Joining.
  std::string joinAddress;
  std::string joinPassword;
  uint8_t joinSeats = 0;  // 0: the one the host gives
  // Everywhere.
  bool recordAll = false;
  bool fullScreen = false;
  bool wholeScale = false;
  bool mixSounds = false;
  cli::KeyTable keys = cli::StandardKeys();
};

// Whether a key can be given to a player: one the keyboard reports and the menus leave free.
bool UsableKey(uint8_t virtualKey);
// A layout for keyboards without a numeric keypad: Blue fires with Right Shift, Yellow
// drives with T F G H and fires with Y.
cli::KeyTable LaptopKeys();
// Whether a table gives every action its own usable key.
bool ValidKeys(const cli::KeyTable& keys);

// The settings as JSON text.
std::string SettingsJson(const Settings& settings);
// Reads settings from JSON text; false with a one-line reason when anything in it is not as
// written by SettingsJson (then `out` is left at defaults).
bool ParseSettings(const std::string& text, Settings& out, std::string& problem);

// Loads the file; a missing file gives the defaults quietly, a bad one the defaults and
// false with one line saying why.
bool LoadSettings(const std::string& path, Settings& out, std::string& problem);
// Writes the file atomically; false with the problem.
bool SaveSettings(const std::string& path, const Settings& settings, std::string& problem);
// Reads a key file for --keys: a settings file, of which only the keys are taken.
bool LoadKeysFile(const std::string& path, cli::KeyTable& keys, std::string& problem);
// Reads the file that --keys named into the arguments' keys; false with the problem.
bool ResolveKeysFile(cli::GameArgs& args, std::string& problem);
// settings.json in the user's configuration folder, or "" without one.
std::string SettingsPath();

}  // namespace tb::front
