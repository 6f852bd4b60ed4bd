// A joiner whose host never answers: on the loopback, a port nobody listens on.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "app/OnlineGame.h"
#include "net/enet/EnetTransport.h"
#include "render/Raster.h"

namespace tb {
namespace {

// A UDP port on 127.0.0.1 that was free a moment ago and has nobody behind it now.
uint16_t ClosedPort() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

class NoKeys final : public KeyState {
 public:
  bool IsKeyDown(uint8_t) const override { return false; }
};

TEST(OnlineJoin, NoAnswerGivesUpWithTheAddressOnScreenAndInTheTitle) {
  const uint16_t port = ClosedPort();
  ASSERT_NE(port, 0);
  std::string error;
  auto transport = net::EnetTransport::Connect("127.0.0.1", port, error);
  ASSERT_TRUE(transport) << error;
  Raster raster(582, 555);
  SilentSound sound;
  net::Session session(*transport, {}, raster, sound);
  ScreenLayer layer;  // no font needed: only its content is looked at
  int64_t now = 0;    // the target's clock, 20 ms a frame
  OnlineScreen screen;
  screen.info.joinAddress = "127.0.0.1:" + std::to_string(port);
  screen.layer = &layer;
  screen.caption = &raster;
  screen.joinTimeoutUs = 2'000'000;
  screen.nowUs = [&now] { return now; };
  NoKeys keys;
  OnlineTarget target(session, keys, 0, screen);

  const auto realStart = std::chrono::steady_clock::now();
  int frames = 0;
  for (; frames < 500 && target.JoinFailure().empty(); ++frames, now += 20000) {
    target.Tick();
    if (target.JoinFailure().empty()) {
      ASSERT_EQ(session.State(), net::Phase::Joining);
      ASSERT_FALSE(layer.Content().lobby.empty()) << "joining is shown while it lasts";
    }
  }
  const std::string expected = "no answer from 127.0.0.1:" + std::to_string(port) +
                               " (is its UDP port open, or is it behind a router?)";
  EXPECT_EQ(target.JoinFailure(), expected);
  EXPECT_EQ(frames, 101) << "gives up on the first frame past the timeout";
  EXPECT_EQ(raster.Caption(), "Treadbrawl online: " + expected);
  ASSERT_FALSE(layer.Content().banner.empty());
  EXPECT_EQ(layer.Content().banner[0].text, expected);
  EXPECT_TRUE(layer.Content().lobby.empty());
  EXPECT_FALSE(target.Closed()) << "the window stays until the player closes it";
  target.Tick();  // no further tries once given up
  EXPECT_EQ(target.JoinFailure(), expected);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(5));
}

}  // namespace
}  // namespace tb
