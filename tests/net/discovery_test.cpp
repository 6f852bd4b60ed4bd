// Finding matches on the local network: the query and answer on the wire, and a host on
// this machine found through the loopback (no query goes anywhere else).
#include "net/Discovery.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tb::net {
namespace {

LanMatch Offer() {
  LanMatch m;
  m.port = 5000;
  m.name = "den";
  m.players = 2;
  m.free = 2;
  m.password = true;
  m.version = "1.0.0";
  return m;
}

// A port for this test run, away from the game's.
uint16_t TestPort() { return static_cast<uint16_t>(30000 + getpid() % 20000); }

TEST(LanDiscovery, QueryAndAnswerSurviveTheWire) {
  uint32_t nonce = 0;
  ASSERT_TRUE(ParseLanQuery(LanQuery(0xdeadbeef), nonce));
  EXPECT_EQ(nonce, 0xdeadbeefu);
  LanMatch got;
  got.address = "10.0.0.7";
  ASSERT_TRUE(ParseLanAnswer(LanAnswer(7, Offer()), 7, got));
  EXPECT_EQ(got.address, "10.0.0.7");
  EXPECT_EQ(got.port, 5000);
  EXPECT_EQ(got.name, "den");
  EXPECT_EQ(got.players, 2);
  EXPECT_EQ(got.free, 2);
  EXPECT_TRUE(got.password);
  EXPECT_EQ(got.version, "1.0.0");
}

TEST(LanDiscovery, StrangeBytesAreRefused) {
  uint32_t nonce = 0;
  LanMatch got;
  EXPECT_FALSE(ParseLanQuery("", nonce));
  EXPECT_FALSE(ParseLanQuery(LanQuery(1) + "x", nonce));
  EXPECT_FALSE(ParseLanAnswer(LanAnswer(7, Offer()), 8, got));  // someone else's query
  const std::string answer = LanAnswer(7, Offer());
  for (size_t cut = 0; cut < answer.size(); ++cut)
    EXPECT_FALSE(ParseLanAnswer(answer.substr(0, cut), 7, got)) << cut;
  EXPECT_FALSE(ParseLanAnswer(answer + "x", 7, got));
  std::string tooMany = answer;
  tooMany[11] = 9;  // players: tag 5, nonce 4, port 2
  EXPECT_FALSE(ParseLanAnswer(tooMany, 7, got));
  // A name with control characters is shown harmless, and a long one cut short.
  LanMatch odd = Offer();
  odd.name = "a\x1b[2Jb" + std::string(200, 'n');
  ASSERT_TRUE(ParseLanAnswer(LanAnswer(7, odd), 7, got));
  EXPECT_EQ(got.name.substr(0, 5), "a?[2J");
  EXPECT_EQ(got.name.size(), 63u);
}

TEST(LanDiscovery, AHostOnThisMachineIsFoundThroughTheLoopback) {
  const uint16_t port = TestPort();
  LanAnswerer answerer(port);
  ASSERT_TRUE(answerer.Ok()) << answerer.Problem();
  std::atomic<bool> done{false};
  std::atomic<int> answered{0};
  // The host's frames, bounded by count and by wall time.
  std::thread host([&] {
    const auto cap = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int frame = 0; frame < 10000000 && !done; ++frame) {
      answered += answerer.Poll(Offer(), true);
      if (std::chrono::steady_clock::now() > cap) break;
      std::this_thread::yield();
    }
  });
  std::vector<LanMatch> found;
  std::string problem;
  const bool searched = FindLanMatches({"127.0.0.1"}, port, 1500, found, problem);
  done = true;
  host.join();
  ASSERT_TRUE(searched) << problem;
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].address, "127.0.0.1");
  EXPECT_EQ(found[0].port, 5000);
  EXPECT_EQ(found[0].name, "den");
  EXPECT_EQ(answered, 1);
}

TEST(LanDiscovery, AStartedMatchDoesNotAnswer) {
  const uint16_t port = static_cast<uint16_t>(TestPort() + 1);
  LanAnswerer answerer(port);
  ASSERT_TRUE(answerer.Ok()) << answerer.Problem();
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(s, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const auto ask = [&](uint32_t nonce) {
    const std::string query = LanQuery(nonce);
    return sendto(s, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof to) == static_cast<ssize_t>(query.size());
  };
  ASSERT_TRUE(ask(3));
  EXPECT_EQ(answerer.Poll(Offer(), false), 0);
  // Waiting again, it answers the next query: the first answer that comes is that one's.
  ASSERT_TRUE(ask(4));
  int answered = 0;
  const auto cap = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (int frame = 0; frame < 10000000 && answered == 0; ++frame) {
    answered = answerer.Poll(Offer(), true);
    if (std::chrono::steady_clock::now() > cap) break;
  }
  ASSERT_EQ(answered, 1);
  pollfd p{s, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 5000), 1);
  char buffer[256];
  const ssize_t n = recv(s, buffer, sizeof buffer, 0);
  ASSERT_GT(n, 0);
  LanMatch got;
  EXPECT_TRUE(ParseLanAnswer(std::string(buffer, static_cast<size_t>(n)), 4, got));
  close(s);
}

}  // namespace
}  // namespace tb::net
