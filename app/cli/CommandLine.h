#pragma once
// The game's command line: one table of options serves parsing, --help and the manual page.
// Every option of the game is added here, as a field of GameArgs and a row of the table.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/cli/OptionTable.h"

namespace tb::cli {

// Each colour's five keys (right, left, forward, backward, fire) by virtual-key code.
using KeyTable = std::array<std::array<uint8_t, 5>, 4>;
// The game's own keys, as plain `treadbrawl` reads them.
KeyTable StandardKeys();

// What the command line asked for. Without options the game plays exactly as it always has.
struct GameArgs {
  bool help = false;
  bool version = false;
  bool mixSounds = false;   // let up to 8 sounds overlap instead of one at a time
  bool wholeScale = false;  // --scale whole: enlarge the picture by whole multiples only
  // Online play: host a match on a UDP port, or join one at an address.
  bool host = false;
  uint16_t hostPort = 0;  // 0 until set: the default port
  std::string join;       // the host's name or address, without the port
  uint16_t joinPort = 0;
  bool findLan = false;        // --join alone: list the matches waiting on the local network
  bool watch = false;          // --watch: `join` is the host of a match to follow, seatless
  bool noPortMapping = false;  // the host leaves the router alone
  uint8_t seats = 0;  // bit per seat (Green 1, Red 2, Blue 4, Yellow 8); 0: the usual one
  std::string password;
  // Seats taken by computer drivers (--bots N and --bot NAMES together), at one level.
  std::vector<std::string> botSeats;
  std::string botLevel = "normal";
  // Rounds of the match; 0: no rounds, the game never ends by itself.
  int rounds = 0;
  std::string recordPath;  // write the match played to this replay file
  std::string replayPath;  // show this replay file instead of playing
  // Beyond the game as it plays without options: the start screen and what it can choose.
  bool menu = false;                              // open the start screen instead of a match
  bool fullScreen = false;                        // open full screen
  std::map<std::string, std::string> seatLevels;  // a driver's own level, by seat name
  std::vector<std::string> emptySeats;            // seats nobody drives, their keys ignored
  std::string keysPath;                           // --keys FILE, read into `keys` by the game
  bool customKeys = false;                        // `keys` replaces the game's own keys
  KeyTable keys = StandardKeys();
};

// Whether two sets of arguments start the same game.
bool SameGame(const GameArgs& a, const GameArgs& b);

// One row of the game's table of options.
using OptionRow = OptionRowFor<GameArgs>;

// Every option, in the order --help lists them.
const std::vector<OptionRow>& Options();

// Parses the arguments (without the program name). On failure returns false with a one-line
// message naming the argument at fault.
bool Parse(const std::vector<std::string>& argv, GameArgs& args, std::string& error);

// The --help text: usage line and one line per option.
std::string HelpText();
// The --version text.
std::string VersionText();
// The game's version, as replay files record it.
std::string GameVersion();

// Exit statuses of the game.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

}  // namespace tb::cli
