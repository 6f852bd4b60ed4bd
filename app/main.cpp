// Treadbrawl: the window, the keyboard and controllers, sound and the clock, wired to the game.
#include <unistd.h>

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
#include "app/OnlineReach.h"
#include "app/Wiring.h"
#include "app/cli/CommandLine.h"
#include "bots/Seats.h"
#include "files/Files.h"
#include "match/Rounds.h"
#include "net/Discovery.h"
#include "net/enet/EnetTransport.h"
#include "platform/ExeFolder.h"
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
  tb::OnlineTarget target(session, keys, tb::ReadDeveloperSwitches().startWith);
  // The host asks the router for its port and answers the local network while players gather.
  std::unique_ptr<tb::RouterPort> router;
  std::unique_ptr<tb::net::LanAnswerer> lan;
  tb::net::LanMatch offer;
  if (args.host) {
    if (!args.noPortMapping) router = std::make_unique<tb::RouterPort>(transport->Port());
    lan = std::make_unique<tb::net::LanAnswerer>();
    if (!lan->Ok())
      std::cerr << "treadbrawl: the local network will not find this match (" << lan->Problem()
                << ")\n";
    char name[65] = {0};
    offer.name = gethostname(name, sizeof name - 1) == 0 ? name : "treadbrawl";
    offer.port = transport->Port();
    offer.password = !args.password.empty();
    offer.version = tb::cli::GameVersion();
    target.EveryFrame([&] {
      const int players = __builtin_popcount(session.TakenSeats());
      offer.players = static_cast<uint8_t>(players);
      offer.free = static_cast<uint8_t>(tb::net::kSeats - players);
      lan->Poll(offer, session.State() == tb::net::Phase::Waiting);
      if (!router) return;
      for (const std::string& line : router->TakeNotices())
        std::cerr << "treadbrawl: " << line << '\n';
      const std::string note = router->TitleNote();
      if (session.State() != tb::net::Phase::Waiting || note.empty()) return;
      const std::string title = session.Title() + " \xE2\x80\x94 " + note;
      if (raster.Caption() != title) raster.SetCaption(title);
    });
  }
  int status = game.Run(target, tb::RasterPicture(raster), &keys);
  transport->CloseAll(200);
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
  // Listing the local network's matches needs no window.
  if (args.findLan) return tb::ListLanMatches();
  tb::Raster raster(kImageWidth, kImageHeight);
  // The window first: without a display nothing else is worth starting.
  tb::SdlGame game(WindowOptions(args));
  if (!OpenWindow(game, raster)) return 1;
  tb::SdlKeyState keys(tb::PlayersPadKeys());
  const std::string folder = tb::ExecutableFolder();
  tb::SdlSoundPlayer sound(SoundsFor(args, folder));
  int status = 0;
  if (args.host || !args.join.empty()) {
    status = PlayOnline(args, game, raster, keys, sound);
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
