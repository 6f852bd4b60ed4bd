// The online options of the game's command line.
#include <gtest/gtest.h>

#include "app/cli/CommandLine.h"

namespace {

using tb::cli::GameArgs;

bool ParseArgs(std::vector<std::string> argv, GameArgs& args, std::string& error) {
  args = GameArgs{};
  error.clear();
  return tb::cli::Parse(argv, args, error);
}

TEST(OnlineCommandLine, HostJoinSeatsPassword) {
  GameArgs a;
  std::string e;
  ASSERT_TRUE(ParseArgs({"--host"}, a, e)) << e;
  EXPECT_TRUE(a.host);
  EXPECT_EQ(a.hostPort, 0);
  ASSERT_TRUE(ParseArgs({"--host", "5000", "--seats", "Green,Blue", "--password", "w"}, a, e));
  EXPECT_EQ(a.hostPort, 5000);
  EXPECT_EQ(a.seats, 0x05);
  EXPECT_EQ(a.password, "w");
  ASSERT_TRUE(ParseArgs({"--host", "--seats=red"}, a, e)) << e;
  EXPECT_EQ(a.seats, 0x02);
  ASSERT_TRUE(ParseArgs({"--join", "game.example:7000"}, a, e)) << e;
  EXPECT_EQ(a.join, "game.example");
  EXPECT_EQ(a.joinPort, 7000);

  EXPECT_FALSE(ParseArgs({"--host", "70000"}, a, e));
  EXPECT_EQ(e, "--host: '70000' is not a port (1 to 65535)");
  // Without an address --join lists the matches on the local network.
  ASSERT_TRUE(ParseArgs({"--join"}, a, e)) << e;
  EXPECT_TRUE(a.findLan);
  EXPECT_EQ(a.join, "");
  ASSERT_TRUE(ParseArgs({"--join", "--password", "w"}, a, e)) << e;
  EXPECT_TRUE(a.findLan);
  EXPECT_FALSE(ParseArgs({"--host", "--join"}, a, e));
  EXPECT_FALSE(ParseArgs({"--host", "--join", "x"}, a, e));
  EXPECT_EQ(e, "--host and --join cannot go together");
  EXPECT_FALSE(ParseArgs({"--seats", "Green"}, a, e));
  EXPECT_FALSE(ParseArgs({"--host", "--seats", "Pink"}, a, e));
  EXPECT_FALSE(ParseArgs({"--host", "--password", std::string(81, 'x')}, a, e));
  // Recording, drivers and rounds go online; drivers and rounds are the host's.
  ASSERT_TRUE(ParseArgs({"--host", "--record", "m.tbr", "--bots", "2", "--rounds", "3"}, a, e))
      << e;
  EXPECT_EQ(a.recordPath, "m.tbr");
  ASSERT_TRUE(ParseArgs({"--join", "127.0.0.1", "--record", "m.tbr"}, a, e)) << e;
  ASSERT_TRUE(ParseArgs({"--record", "m.tbr", "--rounds", "2"}, a, e)) << e;
  EXPECT_FALSE(ParseArgs({"--join", "127.0.0.1", "--rounds", "2"}, a, e));
  EXPECT_EQ(e, "--bots, --bot and --rounds are the host's to choose, not a joiner's");
  EXPECT_FALSE(ParseArgs({"--join", "127.0.0.1", "--bot", "Red"}, a, e));
  EXPECT_NE(tb::cli::HelpText().find("--host [PORT]"), std::string::npos);
  EXPECT_NE(tb::cli::HelpText().find("--join [HOST[:PORT]]"), std::string::npos);
}

// A spectator names the host and may give the password and record; it takes no seat and
// chooses nothing of the match.
TEST(OnlineCommandLine, WatchFollowsAHost) {
  GameArgs a;
  std::string e;
  ASSERT_TRUE(
      ParseArgs({"--watch", "game.example:7000", "--password", "w", "--record", "m.tbr"}, a, e))
      << e;
  EXPECT_TRUE(a.watch);
  EXPECT_EQ(a.join, "game.example");
  EXPECT_EQ(a.joinPort, 7000);
  EXPECT_EQ(a.recordPath, "m.tbr");
  EXPECT_FALSE(ParseArgs({"--watch"}, a, e));
  EXPECT_FALSE(ParseArgs({"--host", "--watch", "x"}, a, e));
  EXPECT_EQ(e, "--host and --watch cannot go together");
  EXPECT_FALSE(ParseArgs({"--join", "x", "--watch", "x"}, a, e));
  EXPECT_EQ(e, "--join and --watch cannot go together");
  EXPECT_FALSE(ParseArgs({"--watch", "x", "--seats", "Red"}, a, e));
  EXPECT_EQ(e, "--seats is for players; a spectator (--watch) has no seat");
  EXPECT_FALSE(ParseArgs({"--watch", "x", "--rounds", "2"}, a, e));
  EXPECT_EQ(e, "--bots, --bot and --rounds are the host's to choose, not a spectator's");
  EXPECT_NE(tb::cli::HelpText().find("--watch HOST[:PORT]"), std::string::npos);
}

TEST(OnlineCommandLine, PortMappingCanBeTurnedOff) {
  GameArgs a;
  std::string e;
  ASSERT_TRUE(ParseArgs({"--host"}, a, e)) << e;
  EXPECT_FALSE(a.noPortMapping);
  ASSERT_TRUE(ParseArgs({"--host", "5000", "--no-port-mapping"}, a, e)) << e;
  EXPECT_TRUE(a.noPortMapping);
  EXPECT_EQ(a.hostPort, 5000);
  EXPECT_FALSE(ParseArgs({"--no-port-mapping"}, a, e));
  EXPECT_FALSE(ParseArgs({"--host", "--no-port-mapping=yes"}, a, e));
}

}  // namespace
