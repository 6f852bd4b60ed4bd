// Treadbrawl: the window, the keyboard and controllers, sound and the clock, wired to the game.
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/OnlineGame.h"
#include "app/cli/CommandLine.h"
#include "bots/Seats.h"
#include "match/Rounds.h"
#include "net/enet/EnetTransport.h"
#include "platform/ExeFolder.h"
#include "platform/SdlGame.h"
#include "platform/SdlKeys.h"
#include "platform/SdlSound.h"
#include "platform/SystemClock.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

namespace {

constexpr int kImageWidth = 582;
constexpr int kImageHeight = 555;

// An online match over ENet: the host listens, a joiner connects; both then tick the match.
int PlayOnline(const tb::cli::GameArgs& args, tb::SdlGame& game, tb::Raster& raster,
               tb::SdlKeyState& keys, tb::SoundPlayer& sound) {
  std::string error;
  std::unique_ptr<tb::net::EnetTransport> transport;
  tb::net::SessionOptions options;
  options.host = args.host;
  options.seats = args.seats;
  options.password = args.password;
  options.exeFolder = tb::ExecutableFolder();
  if (args.host) {
    const uint16_t port = args.hostPort != 0 ? args.hostPort : tb::net::kDefaultPort;
    transport = tb::net::EnetTransport::Listen("", port, error);
    options.seed = (static_cast<uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();
    options.clockStart = tb::SystemClock::LocalSecondsOfDay();
    if (transport) std::cerr << "treadbrawl: hosting on UDP port " << transport->Port() << '\n';
  } else {
    const uint16_t port = args.joinPort != 0 ? args.joinPort : tb::net::kDefaultPort;
    transport = tb::net::EnetTransport::Connect(args.join, port, error);
  }
  if (!transport) {
    std::cerr << "treadbrawl: " << error << std::endl;
    return 1;
  }
  tb::net::Session session(*transport, options, raster, sound);
  tb::OnlineTarget target(session, keys);
  int status = game.Run(target, raster, &keys);
  transport->CloseAll(200);
  return status;
}

// The loop's target: the game's tick, within a match of rounds when one was asked for.
class MatchTarget final : public tb::TickTarget {
 public:
  MatchTarget(tb::MainFrm& form, tb::match::Rounds* rounds) : form_(form), rounds_(rounds) {}
  void Tick() override { tb::match::PlayTick(form_, rounds_); }
  void KeyDown(uint16_t keyCode, int shift) override { form_.KeyDown(keyCode, shift); }
  bool Closed() const override { return form_.Closed(); }

 private:
  tb::MainFrm& form_;
  tb::match::Rounds* rounds_;
};

int Play(const tb::cli::GameArgs& args) {
  tb::Raster raster(kImageWidth, kImageHeight);
  tb::GameOptions options = tb::GameOptions::FromEnvironment();
  options.scale = args.wholeScale ? tb::ScaleMode::kWhole : tb::ScaleMode::kFit;
  // The window first: without a display nothing else is worth starting.
  tb::SdlGame game(options);
  if (!game.Open(raster.Width(), raster.Height(), raster.Caption())) {
    std::cerr << "treadbrawl: " << game.Error() << std::endl;
    return 1;
  }
  tb::SdlKeyState keys;
  const std::string folder = tb::ExecutableFolder();
  tb::SoundOptions soundOptions;
  soundOptions.voices = args.mixSounds ? 8 : 1;
  soundOptions.soundsFolder = folder + "/Sounds";
  tb::SdlSoundPlayer sound(soundOptions);
  int status = 0;
  if (args.host || !args.join.empty()) {
    status = PlayOnline(args, game, raster, keys, sound);
  } else {
    tb::SystemClock clock;
    tb::Pcg32 random;
    // Without options the game sees the raster and the keyboard themselves.
    tb::match::ScoredCaption scored(raster);
    tb::bots::Seats seats(keys, raster, clock);
    tb::Surface& surface = args.rounds > 0 ? static_cast<tb::Surface&>(scored) : raster;
    tb::KeyState& keySource = args.botSeats.empty() ? static_cast<tb::KeyState&>(keys)
                                                    : static_cast<tb::KeyState&>(seats);
    tb::MainFrm form(surface, keySource, sound, clock, random, folder);
    form.Load();
    tb::bots::Level level = tb::bots::Level::Normal;
    tb::bots::ParseLevel(args.botLevel, level);
    for (const std::string& seat : args.botSeats) seats.Add(seat, level, random.SeedValue());
    if (!seats.Empty()) seats.Attach(form);
    std::optional<tb::match::Rounds> rounds;
    if (args.rounds > 0) rounds.emplace(args.rounds, scored);
    MatchTarget target(form, rounds ? &*rounds : nullptr);
    status = game.Run(target, raster, &keys);
  }
  if (status != 0 && !game.Error().empty())
    std::cerr << "treadbrawl: " << game.Error() << std::endl;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  tb::cli::GameArgs args;
  std::string error;
  if (!tb::cli::Parse(std::vector<std::string>(argv + 1, argv + argc), args, error)) {
    std::cerr << "treadbrawl: " << error << std::endl;
    return tb::cli::kExitUsage;
  }
  if (args.help) {
    std::cout << tb::cli::HelpText();
    return tb::cli::kExitOk;
  }
  if (args.version) {
    std::cout << tb::cli::VersionText();
    return tb::cli::kExitOk;
  }
  int status = 1;
  try {
    status = Play(args);
  } catch (const std::exception& e) {
    std::cerr << "treadbrawl: " << e.what() << std::endl;
    status = 1;
  } catch (...) {
    std::cerr << "treadbrawl: unexpected failure" << std::endl;
    status = 1;
  }
  tb::ShutdownPlatform();
  return status;
}
