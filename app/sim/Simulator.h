#pragma once
// treadbrawl-sim: runs the game headless for a number of ticks with an injected seed, clock
// and key script, and prints the world state. The same arguments always give the same bytes.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "bots/Driver.h"
#include "geometry/CollisionGrid.h"

namespace tb::sim {

struct SimOptions {
  uint64_t seed = 1;
  int64_t ticks = 1;
  double clockStart = 36000.0;  // 10 o'clock in the morning
  std::string scriptPath;
  int width = 582;
  int height = 555;
  int64_t dumpEvery = 0;  // 0: only at the end
  bool sounds = false;
  bool hash = false;
  bool checkpoints = false;  // with a replay: print each recorded world hash it checked
  bool caption = false;
  bool help = false;
  std::vector<std::pair<int64_t, std::string>> pngs;  // tick, file
  std::string scenePath;
  bool contactScene = false;  // play the hand-built contact scene instead of an arena
  std::string exeFolder = ".";
  BroadPhase broadPhase = BroadPhase::Auto;
  std::vector<std::string> botSeats;  // seats driven by the computer
  bots::Level botLevel = bots::Level::Normal;
  int rounds = 0;  // 0: no match of rounds
  bool tournament = false;
  int tournamentSeeds = 200;
  std::string replayPath;  // play this replay instead of an arena of --seed
  std::string recordPath;  // write the run as a replay
  struct GifOption {
    int64_t from = 0, to = 0;  // ticks, inclusive
    std::string path;
  };
  std::vector<GifOption> gifs;
  std::vector<std::pair<int64_t, std::string>> snapshots;  // tick, file
  std::string restorePath;  // start from this snapshot file instead of a new arena
  bool ticksGiven = false;  // --ticks was given (with a replay: stop there)
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;    // could not write an output file
inline constexpr int kExitBadInput = 2;  // bad argument, script or replay file
inline constexpr int kExitDiverged = 3;  // the replay's game differs from this build's

// The largest key script read: far beyond any real one, small enough to hold.
inline constexpr size_t kMaxScriptBytes = size_t{64} << 20;

// Parses the arguments (without the program name). On failure returns false with a message
// that names the option at fault.
bool ParseOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);
std::string UsageText();

// Runs with parsed options; the script is read from options.scriptPath.
int RunSimulator(const SimOptions& options, std::ostream& out, std::ostream& err);
// Parses and runs; what main does.
int SimMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tb::sim
