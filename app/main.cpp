// Treadbrawl: the window, the keyboard and controllers, sound and the clock, wired to the game.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/GameTargets.h"
#include "app/OnlineGame.h"
#include "app/Wiring.h"
#include "app/cli/CommandLine.h"
#include "bots/Seats.h"
#include "files/Files.h"
#include "match/Rounds.h"
#include "net/enet/EnetTransport.h"
#include "platform/ExeFolder.h"
#include "platform/ScreenLayer.h"
#include "platform/SdlGame.h"
#include "platform/SdlKeys.h"
#include "platform/SdlSound.h"
#include "platform/SystemClock.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "state/Recording.h"
#include "state/Replay.h"
#include "state/ReplayPlayer.h"

namespace {

constexpr int kImageWidth = 582;
constexpr int kImageHeight = 555;
// Far more than hours of play; a larger file is not a replay of this game.
constexpr size_t kMaxReplayBytes = size_t{1} << 30;

// The speaker, as the command line asks for it.
tb::SoundOptions SoundsFor(const tb::cli::GameArgs& args, const std::string& folder) {
  tb::SoundOptions options;
  options.voices = args.mixSounds ? 8 : 1;
  options.soundsFolder = folder + "/Sounds";
  return options;
}

// The window as the developer switches and the command line ask for it.
tb::GameOptions WindowOptions(const tb::cli::GameArgs& args) {
  tb::GameOptions options = tb::ReadDeveloperSwitches().window;
  options.scale = args.wholeScale ? tb::ScaleMode::kWhole : tb::ScaleMode::kFit;
  return options;
}

// Opens the window for the raster, with the game's icon; says why when it cannot.
bool OpenWindow(tb::SdlGame& game, const tb::Raster& raster) {
  if (game.Open(raster.Width(), raster.Height(), raster.Caption(), tb::GameWindowIcon()))
    return true;
  std::cerr << "treadbrawl: " << game.Error() << std::endl;
  return false;
}

int ShowReplay(const tb::cli::GameArgs& args) {
  const std::string& path = args.replayPath;
  std::string bytes, problem;
  tb::Replay replay;
  if (!tb::ReadWholeFile(path, kMaxReplayBytes, bytes, problem) ||
      !tb::ParseReplay(bytes, replay, problem)) {
    std::cerr << "treadbrawl: " << path << ": " << problem << std::endl;
    return tb::cli::kExitUsage;
  }
  bytes.clear();
  if (!replay.Complete)
    std::cerr << "treadbrawl: " << path << ": the recording stops short (the game did not close"
              << " cleanly); showing its " << replay.Ticks() << " ticks" << std::endl;
  tb::Raster raster(replay.Width, replay.Height);
  tb::SdlGame game(WindowOptions(args));
  if (!OpenWindow(game, raster)) return tb::cli::kExitFailed;
  const std::string folder = tb::ExecutableFolder();
  tb::SdlSoundPlayer speaker(SoundsFor(args, folder));
  tb::MutableSound sound(speaker);
  tb::ReplayPlayer player(std::move(replay));
  // A match of rounds plays its rounds again; without, the game sees the raster itself.
  tb::match::ScoredCaption scored(raster);
  std::optional<tb::match::Rounds> rounds;
  const bool hasRounds = player.Data().Rounds > 0;
  if (hasRounds) {
    rounds.emplace(player.Data().Rounds, scored, player.Data().RoundTicks);
    player.SetRules(&*rounds);
  }
  tb::MainFrm form(hasRounds ? static_cast<tb::Surface&>(scored) : raster, player.Keys(), sound,
                   player.GameClock(), player.Random(), folder);
  player.Start(form);
  tb::ReplayTarget target(form, player, sound);
  tb::ScreenLayer layer;
  if (layer.LoadFont(tb::kLayerFont, std::cerr)) game.SetLayer(&layer);
  target.ShowOn(&layer, rounds ? &*rounds : nullptr);
  int status = game.Run(target, tb::RasterPicture(raster), nullptr);
  if (status != 0) std::cerr << "treadbrawl: " << game.Error() << std::endl;
  if (!target.Problem().empty()) {
    std::cerr << "treadbrawl: " << path << ": " << target.Problem() << std::endl;
    status = tb::cli::kExitFailed;
  }
  return status;
}

// Whether a file can be written, leaving no trace of the trial.
bool CanWrite(const std::string& path, std::string& problem) {
  std::error_code ignored;
  const bool existed = std::filesystem::exists(path, ignored);
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) {
    problem = std::string("cannot be written: ") + std::strerror(errno);
    return false;
  }
  std::fclose(file);
  if (!existed) std::filesystem::remove(path, ignored);
  return true;
}

// This machine's address for friends to join: the first network interface that is up and not
// the loopback, or a placeholder when there is none.
std::string InviteAddress(uint16_t port) {
  std::string address = "this machine's address";
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) == 0) {
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
      if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
      if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_LOOPBACK) != 0) continue;
      char text[INET_ADDRSTRLEN] = {};
      const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
      if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr) {
        address = text;
        break;
      }
    }
    freeifaddrs(list);
  }
  return address + ":" + std::to_string(port);
}

// An online match over ENet: the host listens, a joiner connects; both then tick the match.
int PlayOnline(const tb::cli::GameArgs& args, tb::SdlGame& game, tb::Raster& raster,
               tb::SdlKeyState& keys, tb::SoundPlayer& sound, tb::ScreenLayer& layer) {
  tb::OnlineScreen screen;
  screen.layer = &layer;
  screen.caption = &raster;
  std::string error;
  std::unique_ptr<tb::net::EnetTransport> transport;
  tb::net::SessionOptions options;
  options.host = args.host;
  options.seats = args.seats;
  options.password = args.password;
  options.exeFolder = tb::ExecutableFolder();
  options.recordPath = args.recordPath;
  options.replayFolder = tb::ReplayFolder();
  options.gameVersion = tb::cli::GameVersion();
  options.rounds = args.rounds;
  tb::bots::ParseLevel(args.botLevel, options.botLevel);
  for (const std::string& seat : args.botSeats) {
    uint8_t mask = 0;
    if (tb::net::ParseSeats(seat, mask, error)) options.botSeats |= mask;
  }
  if (!args.recordPath.empty() && !CanWrite(args.recordPath, error)) {
    // Refused now rather than when the match starts.
    std::cerr << "treadbrawl: " << args.recordPath << ": " << error << std::endl;
    return tb::cli::kExitFailed;
  }
  if (args.host) {
    const uint16_t port = args.hostPort != 0 ? args.hostPort : tb::net::kDefaultPort;
    transport = tb::net::EnetTransport::Listen("", port, error);
    options.seed = (static_cast<uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();
    options.clockStart = tb::SystemClock::LocalSecondsOfDay();
    if (transport) {
      std::cerr << "treadbrawl: hosting on UDP port " << transport->Port() << '\n';
      screen.info.invite = InviteAddress(transport->Port());
    }
  } else {
    const uint16_t port = args.joinPort != 0 ? args.joinPort : tb::net::kDefaultPort;
    transport = tb::net::EnetTransport::Connect(args.join, port, error);
    screen.info.joinAddress = args.join + ":" + std::to_string(port);
  }
  screen.info.botSeats = options.botSeats;
  screen.info.botLevel = options.botLevel;
  if (!transport) {
    std::cerr << "treadbrawl: " << error << std::endl;
    return 1;
  }
  tb::net::Session session(*transport, options, raster, sound);
  tb::OnlineTarget target(session, keys, tb::ReadDeveloperSwitches().startWith,
                          std::move(screen));
  int status = game.Run(target, tb::RasterPicture(raster), &keys);
  transport->CloseAll(200);
  if (status == 0 && !target.JoinFailure().empty()) status = 1;
  return status;
}

int Play(const tb::cli::GameArgs& args) {
  // A damaged mapping file is the player's to mend: named now, before any window opens.
  std::vector<std::string> mappings;
  std::string mappingProblem;
  if (!tb::ReadControllerMappings(
          tb::ControllerMappingFiles(tb::ExecutableFolder(), tb::UserConfigFolder()), mappings,
          mappingProblem)) {
    std::cerr << "treadbrawl: " << mappingProblem << std::endl;
    return tb::cli::kExitUsage;
  }
  if (!args.replayPath.empty()) return ShowReplay(args);
  tb::Raster raster(kImageWidth, kImageHeight);
  // The window first: without a display nothing else is worth starting.
  tb::SdlGame game(WindowOptions(args));
  if (!OpenWindow(game, raster)) return 1;
  tb::SdlKeyState keys(tb::PlayersPadKeys());
  const std::string folder = tb::ExecutableFolder();
  tb::SdlSoundPlayer sound(SoundsFor(args, folder));
  // Words for the player beside or over the picture; without the font the game plays on.
  tb::ScreenLayer layer;
  if (layer.LoadFont(tb::kLayerFont, std::cerr)) game.SetLayer(&layer);
  int status = 0;
  if (args.host || !args.join.empty()) {
    status = PlayOnline(args, game, raster, keys, sound, layer);
    if (status != 0 && !game.Error().empty())
      std::cerr << "treadbrawl: " << game.Error() << std::endl;
    return status;
  }
  tb::SystemClock clock;
  tb::Pcg32 random;
  // Without options the game sees the raster and the keyboard themselves.
  tb::match::ScoredCaption scored(raster);
  tb::bots::Seats seats(keys, raster, clock);
  tb::Surface& surface = args.rounds > 0 ? static_cast<tb::Surface&>(scored) : raster;
  tb::KeyState& keySource =
      args.botSeats.empty() ? static_cast<tb::KeyState&>(keys) : static_cast<tb::KeyState&>(seats);
  // Recording reads the same keys (the drivers' too) and clock through decorators that note
  // what the game saw, so a replay needs no drivers.
  tb::RecordingKeys recordedKeys(keySource);
  tb::RecordingClock recordedClock(clock);
  const bool recording = !args.recordPath.empty();
  tb::MainFrm form(surface, recording ? static_cast<tb::KeyState&>(recordedKeys) : keySource, sound,
                   recording ? static_cast<tb::Clock&>(recordedClock) : clock, random, folder);
  form.Load();
  tb::bots::Level level = tb::bots::Level::Normal;
  tb::bots::ParseLevel(args.botLevel, level);
  for (const std::string& seat : args.botSeats) seats.Add(seat, level, random.SeedValue());
  if (!seats.Empty()) seats.Attach(form);
  std::optional<tb::match::Rounds> rounds;
  if (args.rounds > 0) rounds.emplace(args.rounds, scored);
  tb::Recorder recorder(recordedKeys, recordedClock);
  std::string problem;
  if (recording && !recorder.Start(args.recordPath, form, raster.Width(), raster.Height(),
                                   tb::cli::GameVersion(), problem, args.rounds,
                                   args.rounds > 0 ? tb::match::Rounds::kRoundTicks : 0)) {
    std::cerr << "treadbrawl: " << args.recordPath << ": " << problem << std::endl;
    return tb::cli::kExitFailed;
  }
  tb::MatchTarget target(form, rounds ? &*rounds : nullptr, recording ? &recorder : nullptr);
  target.ShowOn(&layer, rounds ? &*rounds : nullptr, seats.Empty() ? nullptr : &seats);
  status = game.Run(target, tb::RasterPicture(raster), &keys);
  if (status != 0 && !game.Error().empty())
    std::cerr << "treadbrawl: " << game.Error() << std::endl;
  if (recording && !recorder.Finish()) {
    std::cerr << "treadbrawl: " << args.recordPath << ": the replay could not be written whole"
              << std::endl;
    status = tb::cli::kExitFailed;
  }
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
