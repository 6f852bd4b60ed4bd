#pragma once
// Key scripts for the simulator.
//
// A script is a text file with one directive per line. Blank lines and lines whose first
// word starts with '#' are ignored; a word starting with '#' after a directive starts a
// comment that runs to the end of the line.
//
//   A-B KEY [KEY ...]   hold the keys from tick A to tick B inclusive (ticks count from 1)
//   A KEY [KEY ...]     hold the keys on tick A only
//   A esc               press Escape just before tick A, which ends the run
//
// Keys are a player's controls, Green.Right Green.Left Green.Forward Green.Backward
// Green.Fire and the same for Red, Blue and Yellow (names match in any case), or a raw
// virtual-key code in hex such as 0x44. Ticks go up to 1000000000. Keys held by several
// directives at once stay held until the last of them ends.
//
// Example:
//   # Green drives forward for two seconds while Red turns right, then Green fires.
//   1-100 Green.Forward Red.Right
//   101 Green.Fire
//   150 esc
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tb::sim {

using KeySet = std::bitset<256>;

inline constexpr int64_t kMaxTick = 1000000000;

struct ScriptDirective {
  int64_t first = 0;  // first tick, 1-based
  int64_t last = 0;   // last tick, inclusive
  std::vector<uint8_t> keys;
  bool escape = false;  // Escape is pressed before tick `first`
  int line = 0;
};

struct Script {
  std::vector<ScriptDirective> directives;
};

// Parses a whole script. On failure returns false with error set to "script:LINE: message"
// and out may hold part of the script. Work is linear in the size of the text whatever its bytes.
bool ParseScript(const std::string& text, Script& out, std::string& error);

// A decimal whole number of at most `max`, digits only (no sign, no spaces). Overflow-safe.
bool ParseWholeNumber(std::string_view text, uint64_t max, uint64_t& out);

// The virtual-key code of a key name ("Green.Fire", "0x45"); false if it is none.
bool KeyCodeFromName(std::string_view name, uint8_t& code);

// The keys held on a tick, by a plain scan of all directives.
KeySet KeysAt(const Script& script, int64_t tick);
// Whether Escape is pressed before the tick.
bool EscapeAt(const Script& script, int64_t tick);

// Walks a script tick by tick without rescanning every directive each tick.
class ScriptCursor {
 public:
  explicit ScriptCursor(const Script& script);
  // Moves to `tick`, which must be greater than the previous one; fills the keys held on it
  // and returns whether Escape is pressed before it (or before a tick skipped over).
  bool Advance(int64_t tick, KeySet& held);

 private:
  const Script& script_;
  std::vector<size_t> byFirst_;
  std::vector<size_t> byLast_;
  size_t nextStart_ = 0;
  size_t nextEnd_ = 0;
  std::vector<int64_t> holders_;  // per key code, how many active directives hold it
  int64_t tick_ = 0;
};

}  // namespace tb::sim
