#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shell/Random.h"

namespace {

const std::string kReplayDir = std::string(TREADBRAWL_SOURCE_DIR) + "/tests/replays/";

// The world hash a simulator prints for these arguments; empty if it failed.
std::string SimHash(const std::string& exe, const std::string& args) {
  std::string command = "'" + exe + "' " + args + " --hash";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  char buffer[64] = {};
  std::string got = fgets(buffer, sizeof buffer, pipe) ? buffer : "";
  if (pclose(pipe) != 0) return "";
  if (!got.empty() && got.back() == '\n') got.pop_back();
  return got;
}

struct Golden {
  std::string name, args, hash;
};

std::vector<Golden> GoldenReplays() {
  std::ifstream golden(kReplayDir + "golden.txt");
  std::vector<Golden> out;
  for (std::string line; std::getline(golden, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, seed, clock, ticks, hash;
    fields >> name >> seed >> clock >> ticks >> hash;
    out.push_back({name,
                   "--seed " + seed + " --clock-start " + clock + " --ticks " + ticks +
                       " --script '" + kReplayDir + name + ".script'",
                   hash});
  }
  return out;
}

}  // namespace

// Recorded matches replay to the same world, bit for bit: any change of the game's behaviour
// shows here. scripts/rerecord-replays.sh re-records them when a change is meant. Each is
// played with the collision grid forced on and off too: both must give the same world.
TEST(GoldenReplays, EveryRecordedMatchEndsInItsRecordedWorld) {
  std::vector<Golden> replays = GoldenReplays();
  EXPECT_GE(replays.size(), 3u);
  for (const Golden& g : replays)
    for (const char* mode : {"auto", "grid", "walk"})
      EXPECT_EQ(SimHash(TREADBRAWL_SIM_EXE, g.args + " --broad-phase " + mode), g.hash)
          << g.name << ' ' << mode;
}

// The simulator built by another compiler, or without the optimiser (test.sh builds it),
// plays every golden replay and a set of random scenes (seeds, keys, odd window sizes,
// clocks) to the same worlds as this build: no compiler may change the game.
TEST(OtherCompiler, PlaysTheSameWorlds) {
#ifndef TREADBRAWL_OTHER_SIM
  GTEST_SKIP() << "no second build of the simulator (test.sh makes one)";
#else
  const std::string other = TREADBRAWL_OTHER_SIM;
  for (const Golden& g : GoldenReplays()) EXPECT_EQ(SimHash(other, g.args), g.hash) << g.name;
  EXPECT_EQ(SimHash(other, "--contact-scene --ticks 300"),
            SimHash(TREADBRAWL_SIM_EXE, "--contact-scene --ticks 300"));

  static const char* const kPlayers[] = {"Green", "Red", "Blue", "Yellow"};
  static const char* const kMoves[] = {"Right", "Left", "Forward", "Backward"};
  tb::Pcg32 rng(2026, true);
  auto upTo = [&rng](int n) { return static_cast<int>(rng.Draw() * static_cast<float>(n)); };
  for (int scene = 0; scene < 6; ++scene) {
    const int ticks = 300 + upTo(400);
    std::ostringstream script;
    for (const char* player : kPlayers) {
      for (int t = 1; t < ticks;) {
        const int n = 5 + upTo(100);
        script << t << '-' << t + n << ' ' << player << '.' << kMoves[upTo(4)];
        if (upTo(2) == 0) script << ' ' << player << ".Fire";
        script << '\n';
        t += n + upTo(40);
      }
    }
    const std::string path =
        ::testing::TempDir() + "treadbrawl_other_" + std::to_string(scene) + ".script";
    std::ofstream(path) << script.str();
    const char* const clocks[] = {"36000", "86399.3", "50000.37", "123.45"};
    const std::string args = "--seed " + std::to_string(1 + upTo(1000000)) + " --width " +
                             std::to_string(151 + upTo(900)) + " --height " +
                             std::to_string(151 + upTo(700)) + " --clock-start " + clocks[upTo(4)] +
                             " --ticks " + std::to_string(ticks) + " --script '" + path + "'";
    const std::string mine = SimHash(TREADBRAWL_SIM_EXE, args);
    EXPECT_FALSE(mine.empty()) << args;
    EXPECT_EQ(SimHash(other, args), mine) << args;
    std::remove(path.c_str());
  }
#endif
}
