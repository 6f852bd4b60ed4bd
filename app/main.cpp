// Treadbrawl: the window, the keyboard and controllers, sound and the clock, wired to the game.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
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
#include "app/front/LocalMatch.h"
#include "app/front/MenuTarget.h"
#include "app/front/OnlineMatch.h"
#include "app/front/ReplayList.h"
#include "app/front/Settings.h"
#include "app/front/StartScreen.h"
#include "bots/Seats.h"
#include "files/Files.h"
#include "match/Rounds.h"
#include "net/Discovery.h"
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

// Shows a replay, in `open` when given (the start screen's window), else in a window of its own.
int ShowReplay(const tb::cli::GameArgs& args, tb::SdlGame* open = nullptr) {
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
  std::optional<tb::SdlGame> own;
  if (open == nullptr) {
    own.emplace(WindowOptions(args));
    if (!OpenWindow(*own, raster)) return tb::cli::kExitFailed;
    if (args.fullScreen) own->SetFullScreen(true);
  }
  tb::SdlGame& game = open != nullptr ? *open : *own;
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
  game.SetLayer(nullptr);
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

// The keyboard alone and the controllers alone, for a match read through a table of keys.
class KeyboardHalf final : public tb::KeyState {
 public:
  explicit KeyboardHalf(const tb::SdlKeyState& keys) : keys_(keys) {}
  bool IsKeyDown(uint8_t virtualKey) const override { return keys_.KeyboardHolds(virtualKey); }

 private:
  const tb::SdlKeyState& keys_;
};
class PadsHalf final : public tb::KeyState {
 public:
  explicit PadsHalf(const tb::SdlKeyState& keys) : keys_(keys) {}
  bool IsKeyDown(uint8_t virtualKey) const override { return keys_.PadsHold(virtualKey); }

 private:
  const tb::SdlKeyState& keys_;
};

// A fresh seed for a host's match.
uint64_t NewSeed() {
  const uint64_t seed =
      (static_cast<uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();
  return seed != 0 ? seed : 1;
}

// How an online match started from the start screen goes on: the guard around it, and where
// the replay of each match played again goes ("" for nowhere).
struct FrontOnline {
  std::function<std::string()> againRecordPath;
};

// An online match over ENet: the host listens, a joiner connects; both then tick the match.
// From the start screen (`front`) Escape asks first and a match of rounds may be played again.
int PlayOnline(const tb::cli::GameArgs& args, tb::SdlGame& game, tb::Raster& raster,
               tb::SdlKeyState& keys, tb::SoundPlayer& sound, tb::ScreenLayer& layer,
               const FrontOnline* front = nullptr) {
  tb::OnlineScreen screen;
  screen.layer = &layer;
  screen.caption = &raster;
  std::string error;
  std::unique_ptr<tb::net::EnetTransport> transport;
  tb::net::SessionOptions options = tb::front::OnlineOptions(
      args, NewSeed(), tb::SystemClock::LocalSecondsOfDay(), tb::ExecutableFolder());
  options.replayFolder = tb::ReplayFolder();
  if (front != nullptr) options.againRecordPath = front->againRecordPath;
  // For screenshots and tests, as at home: the host's rounds this many ticks long at most.
  const long roundTicks = tb::ParsePositiveCount(std::getenv("TREADBRAWL_ROUND_TICKS"));
  if (roundTicks > 0) options.roundTicks = roundTicks;
  if (!args.recordPath.empty() && !CanWrite(args.recordPath, error)) {
    // Refused now rather than when the match starts.
    std::cerr << "treadbrawl: " << args.recordPath << ": " << error << std::endl;
    return tb::cli::kExitFailed;
  }
  if (args.host) {
    const uint16_t port = args.hostPort != 0 ? args.hostPort : tb::net::kDefaultPort;
    transport = tb::net::EnetTransport::Listen("", port, error);
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
  // Changed keys are read through their table; the game's own otherwise.
  KeyboardHalf keyboard(keys);
  PadsHalf pads(keys);
  tb::front::OnlineKeys players(args, keys, keyboard, &pads);
  tb::OnlineTarget target(session, players.Keys(), tb::ReadDeveloperSwitches().startWith,
                          std::move(screen));
  tb::front::OnlineGuard guard(target, session, args.host, NewSeed, &layer);
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
  int status = game.Run(front != nullptr ? static_cast<tb::TickTarget&>(guard) : target,
                        tb::RasterPicture(raster), &keys);
  transport->CloseAll(200);
  if (status == 0 && !target.JoinFailure().empty()) status = 1;
  return status;
}

// A match at this machine in an open window. From the start screen (`guarded`) Escape asks
// before leaving, and `result` gets the winner of a match of rounds that came to its end.
int PlayHere(const tb::cli::GameArgs& args, tb::SdlGame& game, tb::Raster& raster,
             tb::SdlKeyState& keys, tb::SoundPlayer& sound, tb::ScreenLayer& layer, bool guarded,
             std::string* result) {
  tb::SystemClock clock;
  tb::Pcg32 random;
  KeyboardHalf keyboard(keys);
  PadsHalf pads(keys);
  // For screenshots and tests: rounds this many ticks long at most.
  const long roundTicks = tb::ParsePositiveCount(std::getenv("TREADBRAWL_ROUND_TICKS"));
  tb::front::LocalMatch match(args, raster, keys, keyboard, &pads, clock, random, sound,
                              tb::ExecutableFolder(), roundTicks);
  std::string problem;
  if (!match.Start(problem)) {
    std::cerr << "treadbrawl: " << args.recordPath << ": " << problem << std::endl;
    return tb::cli::kExitFailed;
  }
  tb::MatchTarget target(match.Form(), match.Rounds(), match.Recording());
  target.ShowOn(&layer, match.Rounds(), match.Drivers());
  tb::front::GuardedTarget guard(target, match.Rounds(), &layer);
  int status = game.Run(guarded ? static_cast<tb::TickTarget&>(guard) : target,
                        tb::RasterPicture(raster), &keys);
  if (status != 0 && !game.Error().empty())
    std::cerr << "treadbrawl: " << game.Error() << std::endl;
  if (!match.Finish()) {
    std::cerr << "treadbrawl: " << args.recordPath << ": the replay could not be written whole"
              << std::endl;
    status = tb::cli::kExitFailed;
  }
  if (result != nullptr && guard.MatchOver()) *result = match.Rounds()->ScoreText();
  return status;
}

// A damaged mapping file is the player's to mend: named, before any window opens.
bool MappingsReadable() {
  std::vector<std::string> mappings;
  std::string problem;
  if (tb::ReadControllerMappings(
          tb::ControllerMappingFiles(tb::ExecutableFolder(), tb::UserConfigFolder()), mappings,
          problem))
    return true;
  std::cerr << "treadbrawl: " << problem << std::endl;
  return false;
}

int Play(const tb::cli::GameArgs& args) {
  if (!MappingsReadable()) return tb::cli::kExitUsage;
  if (!args.replayPath.empty()) return ShowReplay(args);
  // Listing the local network's matches needs no window.
  if (args.findLan) return tb::ListLanMatches();
  tb::Raster raster(kImageWidth, kImageHeight);
  // The window first: without a display nothing else is worth starting.
  tb::SdlGame game(WindowOptions(args));
  if (!OpenWindow(game, raster)) return 1;
  if (args.fullScreen) game.SetFullScreen(true);
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
  return PlayHere(args, game, raster, keys, sound, layer, false, nullptr);
}

// The start screen: every match, replay and online game chosen there starts through the same
// set-up as its command line, in the same window, and comes back here when it ends.
int FrontDoor(const tb::cli::GameArgs& first) {
  if (!MappingsReadable()) return tb::cli::kExitUsage;
  tb::Raster raster(kImageWidth, kImageHeight);
  tb::GameOptions options = tb::ReadDeveloperSwitches().window;
  tb::front::Settings settings;
  const std::string path = tb::front::SettingsPath();
  std::string problem;
  if (!path.empty() && !tb::front::LoadSettings(path, settings, problem))
    std::cerr << "treadbrawl: " << path << ": " << problem << "; starting from the defaults"
              << std::endl;
  options.scale =
      settings.wholeScale || first.wholeScale ? tb::ScaleMode::kWhole : tb::ScaleMode::kFit;
  tb::SdlGame game(options);
  if (!OpenWindow(game, raster)) return 1;
  game.SetFullScreen(settings.fullScreen || first.fullScreen);
  tb::SdlKeyState keys(tb::PlayersPadKeys());
  tb::ScreenLayer layer;
  if (layer.LoadFont(tb::kLayerFont, std::cerr)) game.SetLayer(&layer);
  tb::front::StartScreenServices services;
  const std::string replays = tb::ReplayFolder();
  services.replays = tb::front::ListReplays(replays);
  services.replayFolder = replays;
  services.recordName = tb::front::RecordingName;
  bool told = false;  // a settings file that cannot be written is said once
  services.save = [path, &told, &game, shown = settings](const tb::front::Settings& s) mutable {
    // The window's options show at once, not only from the next match on; other choices
    // leave the window as it is, Alt+Enter's full screen too.
    if (s.fullScreen != shown.fullScreen) game.SetFullScreen(s.fullScreen);
    if (s.wholeScale != shown.wholeScale)
      game.SetScale(s.wholeScale ? tb::ScaleMode::kWhole : tb::ScaleMode::kFit);
    shown = s;
    std::string why;
    if (!path.empty() && !tb::front::SaveSettings(path, s, why) && !told) {
      std::cerr << "treadbrawl: " << path << ": " << why << std::endl;
      told = true;
    }
  };
  services.padName = [&keys](int seat) { return keys.PadName(seat); };
  tb::front::StartScreen screen(settings, std::move(services));
  const std::string folder = tb::ExecutableFolder();
  for (;;) {
    // The window says the game's name over its pages; a match shows its own caption.
    raster.SetCaption("Treadbrawl");
    tb::front::MenuTarget menu(screen, &layer);
    int status = game.Run(menu, tb::RasterPicture(raster), &keys);
    if (status != 0 || game.CloseRequested() || !menu.Closed()) return status;
    const tb::front::Outcome& chosen = menu.Chosen();
    if (chosen.kind == tb::front::Outcome::kQuit) return tb::cli::kExitOk;
    const tb::cli::GameArgs& args = chosen.args;
    // The window stays as it is: the options were applied when chosen, and Alt+Enter on a
    // page holds for the match too.
    layer.Content().Clear();
    std::string result;
    if (!args.replayPath.empty()) {
      ShowReplay(args, &game);
      game.SetLayer(&layer);
    } else {
      tb::SdlSoundPlayer sound(SoundsFor(args, folder));
      tb::Raster picture(kImageWidth, kImageHeight);
      if (args.host || !args.join.empty()) {
        FrontOnline online;
        // Each match played again gets its own replay, named by its date, when asked.
        if (!args.recordPath.empty())
          online.againRecordPath = [replays] {
            return replays + "/" + tb::front::RecordingName() + ".tbr";
          };
        PlayOnline(args, game, picture, keys, sound, layer, &online);
      } else {
        PlayHere(args, game, picture, keys, sound, layer, true, &result);
      }
      raster = picture;  // the last of the arena stays behind the page after it
    }
    if (game.CloseRequested()) return tb::cli::kExitOk;
    // The score stays beside the page after a match of rounds.
    const std::vector<tb::LayerLine> score = layer.Content().status;
    layer.Content().Clear();
    if (!result.empty()) layer.Content().status = score;
    screen.SetReplays(tb::front::ListReplays(replays));
    if (!result.empty()) {
      screen.ShowAfterMatch(result);
    } else {
      raster.Clear();
      screen.ShowMain();
    }
  }
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
  if (!tb::front::ResolveKeysFile(args, error)) {
    std::cerr << "treadbrawl: " << args.keysPath << ": " << error << std::endl;
    return tb::cli::kExitUsage;
  }
  int status = 1;
  try {
    status = args.menu ? FrontDoor(args) : Play(args);
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
