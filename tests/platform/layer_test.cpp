// The on-screen layer drawn headless into an image: which regions get text at 1x, 2x and
// full screen, what stays off the picture, and the words the game puts there.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/ScreenText.h"
#include "net/Session.h"
#include "net/SimNetwork.h"
#include "platform/ScreenLayer.h"
#include "platform/SdlGame.h"
#include "render/Raster.h"
#include "shell/Controls.h"

namespace tb {
namespace {

constexpr int kW = 582, kH = 555;
constexpr Uint32 kPicture = 0xFF203040;  // the stand-in for the game's picture, ARGB

// An output image with a software renderer, the picture placed as the window would.
class Output {
 public:
  Output(int w, int h) : w_(w), h_(h) {
    surface_ = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    renderer_ = SDL_CreateSoftwareRenderer(surface_);
    ImagePlacement p = PlaceImage(w, h, kW, kH, ScaleMode::kFit);
    picture_ = {p.x, p.y, p.width, p.height};
  }
  ~Output() {
    SDL_DestroyRenderer(renderer_);
    SDL_FreeSurface(surface_);
  }
  // One frame: black, the picture, then the layer.
  void Frame(ScreenLayer& layer, bool fullScreen) {
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_SetRenderDrawColor(renderer_, 0x20, 0x30, 0x40, 255);
    SDL_RenderFillRect(renderer_, &picture_);
    layer.Draw(renderer_, w_, h_, picture_, fullScreen);
    SDL_RenderFlush(renderer_);
  }
  Uint32 At(int x, int y) const {
    return static_cast<const Uint32*>(surface_->pixels)[y * surface_->pitch / 4 + x] | 0xFF000000;
  }
  // Pixels in the rectangle that are neither black nor the picture: drawn by the layer.
  int Marked(const SDL_Rect& r) const {
    int n = 0;
    for (int y = std::max(0, r.y); y < std::min(h_, r.y + r.h); ++y)
      for (int x = std::max(0, r.x); x < std::min(w_, r.x + r.w); ++x) {
        const Uint32 c = At(x, y);
        n += c != 0xFF000000 && c != kPicture;
      }
    return n;
  }
  // Pixels of the picture that no longer show it.
  int Covered() const {
    int n = 0;
    for (int y = picture_.y; y < picture_.y + picture_.h; ++y)
      for (int x = picture_.x; x < picture_.x + picture_.w; ++x) n += At(x, y) != kPicture;
    return n;
  }
  SDL_Rect LeftBar() const { return {0, 0, picture_.x, h_}; }
  SDL_Rect RightBar() const {
    return {picture_.x + picture_.w, 0, w_ - picture_.x - picture_.w, h_};
  }
  const SDL_Rect& Picture() const { return picture_; }
  // A band of the picture, from `from` to `to` as fractions of its height.
  SDL_Rect Band(double from, double to) const {
    return {picture_.x, picture_.y + static_cast<int>(from * picture_.h), picture_.w,
            static_cast<int>((to - from) * picture_.h)};
  }

 private:
  int w_, h_;
  SDL_Surface* surface_;
  SDL_Renderer* renderer_;
  SDL_Rect picture_;
};

class LayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ostringstream err;
    if (!layer.LoadFont(kLayerFont, err)) GTEST_SKIP() << err.str();
  }
  ScreenLayer layer;
};

TEST_F(LayerTest, WithoutRoomOnlyNoticesAndLobbyTouchThePicture) {
  for (int scale : {1, 2}) {
    SCOPED_TRACE(scale);
    Output out(kW * scale, kH * scale);
    LayerContent& c = layer.Content();
    c.Clear();
    c.status = {{"Round 1 of 3"}, {"Green  0"}};
    c.help = screen::HelpLines();
    out.Frame(layer, false);
    EXPECT_EQ(out.Covered(), 0) << "status and help need a side bar";
    out.Frame(layer, true);
    EXPECT_EQ(out.Covered(), 0) << "full screen without bars has no room either";

    c.banner = {{"Red wins the round", screen::SeatColour(1)}};
    out.Frame(layer, false);
    EXPECT_GT(out.Marked(out.Band(0, 0.12)), 100) << "the banner is over the top edge";
    EXPECT_EQ(out.Marked(out.Band(0.2, 1)), 0);

    c.Clear();
    c.lobby = {{"Waiting for players"}, {"Green: you"}, {"Enter starts the match"}};
    out.Frame(layer, false);
    EXPECT_GT(out.Marked(out.Band(0.33, 0.66)), 100) << "the lobby is in the middle";
    EXPECT_EQ(out.Marked(out.Band(0, 0.3)), 0);
    c.Clear();
  }
}

TEST_F(LayerTest, NoticesFadeInOverTheTopAndGoAway) {
  Output out(kW, kH);
  layer.Notify("Red left the match");
  out.Frame(layer, false);
  const int first = out.Marked(out.Band(0, 0.12));
  for (int i = 0; i < 20; ++i) out.Frame(layer, false);
  const int shown = out.Marked(out.Band(0, 0.12));
  EXPECT_GT(shown, 100);
  EXPECT_LE(first, shown);
  EXPECT_EQ(out.Marked(out.Band(0.2, 1)), 0);
  for (int i = 0; i < ScreenLayer::kNoticeFrames; ++i) out.Frame(layer, false);
  EXPECT_EQ(out.Covered(), 0) << "the notice has gone";
}

TEST_F(LayerTest, FullScreenPutsEverythingInTheBarsAndNothingOnThePicture) {
  Output out(1920, 1080);
  ASSERT_GT(out.Picture().x, 300);
  LayerContent& c = layer.Content();
  c.status = {{"Round 2 of 3"}, {"Green  1", screen::SeatColour(0)}};
  c.banner = {{"Red wins the round"}, {"Next arena in 3 s"}};
  c.lobby = {{"Green: you"}};
  c.help = screen::HelpLines();
  layer.Notify("Blue joined");
  out.Frame(layer, true);
  EXPECT_EQ(out.Covered(), 0);
  EXPECT_GT(out.Marked(out.LeftBar()), 500);
  EXPECT_GT(out.Marked(out.RightBar()), 2000) << "notice and help";
  // The text is sized for the output: taller than the 1x notices.
  LayerLayout big = ArrangeLayer(1920, 1080, out.Picture());
  LayerLayout small = ArrangeLayer(kW, kH, {0, 0, kW, kH});
  EXPECT_GT(big.fontPx, small.fontPx);
  EXPECT_TRUE(big.bars);
  EXPECT_FALSE(small.bars);

  // Out of full screen in the same wide window, the help goes; the rest stays in the bars.
  c.status.clear(), c.banner.clear(), c.lobby.clear();
  for (int i = 0; i < ScreenLayer::kNoticeFrames; ++i) out.Frame(layer, false);
  EXPECT_EQ(out.Marked(out.LeftBar()) + out.Marked(out.RightBar()) + out.Covered(), 0);
}

TEST_F(LayerTest, WideWindowAt2xUsesItsBars) {
  Output out(1900, 1110);  // a window wider than the 2x picture
  layer.Content().status = {{"Replay 0:12 / 1:40"}};
  out.Frame(layer, false);
  EXPECT_EQ(out.Covered(), 0);
  EXPECT_GT(out.Marked(out.LeftBar()), 100);
  EXPECT_EQ(out.Marked(out.RightBar()), 0);
}

TEST_F(LayerTest, UnchangedTextIsNotRenderedAgain) {
  Output out(1920, 1080);
  layer.Content().status = {{"Round 1 of 3"}, {"Green  0"}};
  out.Frame(layer, false);
  const long made = layer.TexturesMade();
  EXPECT_EQ(made, 2);
  for (int i = 0; i < 10; ++i) out.Frame(layer, false);
  EXPECT_EQ(layer.TexturesMade(), made);
  layer.Content().status[1].text = "Green  1";
  out.Frame(layer, false);
  EXPECT_EQ(layer.TexturesMade(), made + 1);
}

TEST(LayerFont, MissingFontSaysOneLineAndDrawsNothing) {
  ScreenLayer layer;
  std::ostringstream err;
  EXPECT_FALSE(layer.LoadFont("/nonexistent/font.ttf", err));
  const std::string said = err.str();
  EXPECT_NE(said.find("/nonexistent/font.ttf"), std::string::npos);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
  layer.Content().banner = {{"Red wins the round"}};
  layer.Notify("Blue joined");
  Output out(1920, 1080);
  out.Frame(layer, true);
  EXPECT_EQ(out.Covered() + out.Marked(out.LeftBar()) + out.Marked(out.RightBar()), 0);
}

// The words themselves.
TEST(ScreenText, KeysAndTimes) {
  EXPECT_EQ(screen::KeyName('W'), "W");
  EXPECT_EQ(screen::KeyName(0x26), "Up");
  EXPECT_EQ(screen::KeyName(0x60), "Keypad 0");
  std::vector<LayerLine> help = screen::HelpLines(0x04);  // Blue alone
  ASSERT_GE(help.size(), 4u);
  EXPECT_EQ(help[0].text, "Blue");
  EXPECT_EQ(help[1].text, "forward Up, back Down");
  EXPECT_EQ(help[3].text, "fire Keypad 0");
  EXPECT_EQ(screen::PlayTime(0), "0:00");
  EXPECT_EQ(screen::PlayTime(65 * 50 + 49), "1:05");

  LayerContent c;
  screen::AddReplay(600, 5000, true, c);
  EXPECT_EQ(c.status[0].text, "Replay 0:12 / 1:40");
  ASSERT_EQ(c.banner.size(), 1u);
  EXPECT_NE(c.banner[0].text.find("Paused"), std::string::npos);
  c.Clear();
  screen::AddReplay(5000, 5000, false, c);
  EXPECT_NE(c.banner.at(0).text.find("End of the replay"), std::string::npos);
}

TEST(ScreenText, RoundsBeforeAnyWinner) {
  Raster raster(kW, kH);
  match::ScoredCaption caption(raster);
  match::Rounds rounds(3, caption);
  LayerContent c;
  screen::AddRounds(rounds, c);
  ASSERT_EQ(c.status.size(), 5u);
  EXPECT_EQ(c.status[0].text, "Round 1 of 3");
  EXPECT_EQ(c.status[2].text, "Red  0");
  EXPECT_EQ(c.status[2].rgb, screen::SeatColour(1));
  EXPECT_TRUE(c.banner.empty()) << "nothing decided yet";
  // A decided round, as a snapshot brings it back: the pause shows, the winner is not known.
  match::Rounds::State state{0, 1, 0, 0, 1, 500, 120, 0};
  rounds.Restore(state);
  c.Clear();
  screen::AddRounds(rounds, c);
  ASSERT_EQ(c.banner.size(), 2u);
  EXPECT_EQ(c.banner[0].text, "The round is decided");
  EXPECT_EQ(c.banner[1].text, "Next arena in 3 s");
  rounds.Restore({0, 2, 0, 1, 3, 900, -1, 1});
  c.Clear();
  screen::AddRounds(rounds, c);
  EXPECT_EQ(c.banner.at(0).text, "Red wins the match");
}

TEST(ScreenText, HostLobbyNamesSeatsAddressAndStart) {
  net::SimNetwork network(1);
  Raster raster(kW, kH);
  SilentSound sound;
  net::SessionOptions options;
  options.host = true;
  net::Session host(network.AddNode(), options, raster, sound);
  screen::OnlineInfo info;
  info.invite = "192.0.2.7:39999";
  info.botSeats = 0x08;
  info.botLevel = bots::Level::Hard;
  LayerContent c;
  screen::AddOnline(host, info, c);
  std::string all;
  for (const LayerLine& l : c.lobby) all += l.text + "\n";
  EXPECT_NE(all.find("Green: you"), std::string::npos) << all;
  EXPECT_NE(all.find("Red: free"), std::string::npos) << all;
  EXPECT_NE(all.find("Yellow: computer, hard"), std::string::npos) << all;
  EXPECT_NE(all.find("--join 192.0.2.7:39999"), std::string::npos) << all;
  EXPECT_NE(all.find("Enter starts the match"), std::string::npos) << all;
}

// During the match each player sees how every other player's keys come: from the host,
// directly from a joiner whose router let the link through, or passed on by the host.
TEST(ScreenText, PlayersSeeHowEachOthersKeysCome) {
  net::SimNetwork network(2);
  network.BehindRouter(1);
  network.BehindRouter(2, false);  // gives every flow a port of its own
  Raster raster(kW, kH);
  SilentSound sound;
  std::vector<std::unique_ptr<net::Session>> peers;
  for (int i = 0; i < 3; ++i) {
    net::SessionOptions options;
    options.host = i == 0;
    peers.push_back(std::make_unique<net::Session>(network.AddNode(), options, raster, sound));
  }
  net::MaskKeyState keys;
  int64_t now = 0;
  auto frames = [&](int n) {
    for (int f = 0; f < n; ++f, now += 20000) {
      network.AdvanceTo(now);
      for (auto& p : peers) p->Frame(now, keys);
    }
  };
  auto status = [&](int peer) {
    LayerContent c;
    screen::AddOnline(*peers[peer], screen::OnlineInfo{}, c);
    std::string all;
    for (const LayerLine& l : c.status) all += l.text + "\n";
    return all;
  };
  network.Connect(0, 1, {});
  frames(5);
  network.Connect(0, 2, {});
  frames(5);
  ASSERT_TRUE(peers[0]->Start());
  frames(2);
  EXPECT_EQ(status(1), "Green: direct\nBlue: linking...\n");
  frames(300);  // past the time a dial is given
  EXPECT_EQ(status(0), "Red: direct\nBlue: direct\n");
  EXPECT_EQ(status(1), "Green: direct\nBlue: through the host\n");
  EXPECT_EQ(status(2), "Green: direct\nRed: through the host\n");
}

TEST(ScreenText, TheLobbyCountsSpectators) {
  net::SimNetwork network(2);
  Raster raster(kW, kH);
  SilentSound sound;
  net::SessionOptions hosting, watching;
  hosting.host = watching.watch = true;
  net::Session host(network.AddNode(), hosting, raster, sound);
  net::Session watcher(network.AddNode(), watching, raster, sound);
  network.Connect(0, 1, {});
  net::MaskKeyState keys;
  for (int64_t now = 0; now < 400000; now += 20000) {
    network.AdvanceTo(now);
    host.Frame(now, keys);
    watcher.Frame(now, keys);
  }
  screen::OnlineInfo info;
  info.invite = "192.0.2.7:39999";
  LayerContent c;
  screen::AddOnline(host, info, c);
  std::string all;
  for (const LayerLine& l : c.lobby) all += l.text + "\n";
  EXPECT_NE(all.find("Spectators: 1"), std::string::npos) << all;
  c.Clear();
  screen::AddOnline(watcher, {}, c);
  ASSERT_FALSE(c.lobby.empty());
  EXPECT_EQ(c.lobby[0].text, "Watching: in the lobby");
}

}  // namespace
}  // namespace tb
