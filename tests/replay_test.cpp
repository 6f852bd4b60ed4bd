#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

// Recorded matches replay to the same world, bit for bit: any change of the game's behaviour
// shows here. scripts/rerecord-replays.sh re-records them when a change is meant. Each is
// played with the collision grid forced on and off too: both must give the same world.
TEST(GoldenReplays, EveryRecordedMatchEndsInItsRecordedWorld) {
  const std::string dir = std::string(TREADBRAWL_SOURCE_DIR) + "/tests/replays/";
  std::ifstream golden(dir + "golden.txt");
  ASSERT_TRUE(golden.good());
  int replays = 0;
  for (std::string line; std::getline(golden, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, seed, clock, ticks, hash;
    fields >> name >> seed >> clock >> ticks >> hash;
    for (const char* mode : {"auto", "grid", "walk"}) {
      std::string command = std::string(TREADBRAWL_SIM_EXE) + " --seed " + seed +
                            " --clock-start " + clock + " --ticks " + ticks + " --script " + dir +
                            name + ".script --hash --broad-phase " + mode;
      FILE* pipe = popen(command.c_str(), "r");
      ASSERT_NE(pipe, nullptr);
      char buffer[64] = {};
      std::string got = fgets(buffer, sizeof buffer, pipe) ? buffer : "";
      EXPECT_EQ(pclose(pipe), 0) << name << ' ' << mode;
      if (!got.empty() && got.back() == '\n') got.pop_back();
      EXPECT_EQ(got, hash) << name << ' ' << mode;
    }
    ++replays;
  }
  EXPECT_GE(replays, 3);
}
