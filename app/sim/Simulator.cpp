#include "app/sim/Simulator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>

#include "app/cli/OptionTable.h"
#include "app/sim/Scene.h"
#include "app/sim/Script.h"
#include "app/sim/SimPlatform.h"
#include "app/sim/StateDump.h"
#include "app/sim/Tournament.h"
#include "bots/Seats.h"
#include "files/Files.h"
#include "match/Rounds.h"
#include "pictures/Gif.h"
#include "pictures/Png.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "state/Recording.h"
#include "state/Replay.h"
#include "state/ReplayPlayer.h"
#include "state/SnapshotFile.h"

#ifndef TREADBRAWL_VERSION
#define TREADBRAWL_VERSION "unknown"
#endif

namespace tb::sim {

namespace {

constexpr int kMaxSide = 4096;
constexpr double kDaySeconds = 86400.0;
// Far more than hours of play; a larger file is not a replay of this game.
constexpr size_t kMaxReplayBytes = size_t{1} << 30;

bool NumberOption(const std::string& option, const std::string& value, uint64_t min, uint64_t max,
                  uint64_t& out, std::string& error) {
  uint64_t v = 0;
  if (!ParseWholeNumber(value, max, v) || v < min) {
    error = option + ": '" + value + "' is not a whole number from " + std::to_string(min) +
            " to " + std::to_string(max);
    return false;
  }
  out = v;
  return true;
}

bool ParseTickFile(const std::string& option, const std::string& value,
                   std::vector<std::pair<int64_t, std::string>>& into, std::string& error) {
  size_t colon = value.find(':');
  if (colon == std::string::npos || colon + 1 == value.size()) {
    error = option + ": '" + value + "' is not TICK:FILE";
    return false;
  }
  uint64_t tick = 0;
  if (!NumberOption(option, value.substr(0, colon), 1, static_cast<uint64_t>(kMaxTick), tick,
                    error)) {
    return false;
  }
  into.emplace_back(static_cast<int64_t>(tick), value.substr(colon + 1));
  return true;
}

// Ten minutes: a clip is kept in memory until it is written.
constexpr int64_t kMaxClipTicks = 30000;

bool ParseGifOption(const std::string& value, SimOptions& options, std::string& error) {
  size_t dash = value.find('-');
  size_t colon = value.find(':');
  if (dash == std::string::npos || colon == std::string::npos || dash > colon ||
      colon + 1 == value.size()) {
    error = "--gif: '" + value + "' is not FROM-TO:FILE.gif";
    return false;
  }
  uint64_t from = 0, to = 0;
  if (!NumberOption("--gif", value.substr(0, dash), 1, static_cast<uint64_t>(kMaxTick), from,
                    error) ||
      !NumberOption("--gif", value.substr(dash + 1, colon - dash - 1), from,
                    static_cast<uint64_t>(kMaxTick), to, error)) {
    return false;
  }
  if (to - from >= static_cast<uint64_t>(kMaxClipTicks)) {
    error = "--gif: a clip is at most " + std::to_string(kMaxClipTicks) + " ticks";
    return false;
  }
  options.gifs.push_back(
      {static_cast<int64_t>(from), static_cast<int64_t>(to), value.substr(colon + 1)});
  return true;
}

void WriteLine(std::ostream& out, const std::string& line) {
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
  out.put('\n');
}

void DumpState(std::ostream& out, const MainFrm& form, std::optional<int64_t> tick) {
  for (const Thing* t : form.ThingCollection.Items()) WriteLine(out, ThingJson(*t, tick));
}

}  // namespace

namespace {

using Row = cli::OptionRowFor<SimOptions>;
using Apply = decltype(Row::apply);

Apply Switch(bool SimOptions::*field) {
  return [field](const std::string&, SimOptions& o, std::string&) {
    o.*field = true;
    return true;
  };
}

// A whole number from min to max, handed to `set`.
template <class Set>
Apply Number(const char* name, uint64_t min, uint64_t max, Set set) {
  return [=](const std::string& v, SimOptions& o, std::string& e) {
    uint64_t n = 0;
    if (!NumberOption(name, v, min, max, n, e)) return false;
    set(o, n);
    return true;
  };
}

// A whole number from min to max, stored in `field`.
template <class T>
Apply Number(const char* name, uint64_t min, uint64_t max, T SimOptions::*field) {
  return Number(name, min, max,
                [field](SimOptions& o, uint64_t n) { o.*field = static_cast<T>(n); });
}

Apply FileName(const char* name, std::string SimOptions::*field) {
  return [=](const std::string& v, SimOptions& o, std::string& e) {
    if (v.empty()) {
      e = std::string(name) + " needs a file name";
      return false;
    }
    o.*field = v;
    return true;
  };
}

Apply TickFile(const char* name, std::vector<std::pair<int64_t, std::string>> SimOptions::*field) {
  return [=](const std::string& v, SimOptions& o, std::string& e) {
    return ParseTickFile(name, v, o.*field, e);
  };
}

// Every option of the simulator, in the order the usage text lists them.
const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {"--seed", "N", "random seed, 0 to 18446744073709551615 (default 1)",
       Number("--seed", 0, UINT64_MAX, &SimOptions::seed)},
      {"--ticks", "T", "ticks to run, 0 to 1000000000 (default 1)",
       Number("--ticks", 0, kMaxTick,
              [](SimOptions& o, uint64_t n) {
                o.ticks = static_cast<int64_t>(n);
                o.ticksGiven = true;
              })},
      {"--clock-start", "S",
       "clock at the start, seconds since midnight, 0 to below 86400\n"
       "(default 36000); each tick adds 0.02",
       [](const std::string& v, SimOptions& o, std::string& e) {
         double s = 0;
         auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), s);
         if (v.empty() || ec != std::errc() || end != v.data() + v.size() || !std::isfinite(s) ||
             s < 0 || s >= kDaySeconds) {
           e = "--clock-start: '" + v + "' is not a number of seconds from 0 to below 86400";
           return false;
         }
         o.clockStart = s;
         return true;
       }},
      {"--script", "FILE",
       "key script: lines 'A-B KEY...', 'A KEY...' or 'A esc'; keys\n"
       "Green.Right .Left .Forward .Backward .Fire (also Red, Blue,\n"
       "Yellow) or a virtual-key code like 0x44; '#' starts a comment",
       FileName("--script", &SimOptions::scriptPath)},
      {"--width", "W", "drawing area width, 1 to 4096 (default 582)",
       Number("--width", 1, kMaxSide, &SimOptions::width)},
      {"--height", "H", "drawing area height, 1 to 4096 (default 555)",
       Number("--height", 1, kMaxSide, &SimOptions::height)},
      {"--dump-every", "K",
       "also print the state every K ticks; every dump line then starts\n"
       "with a \"tick\" key (default: only at the end)",
       Number("--dump-every", 1, kMaxTick, &SimOptions::dumpEvery)},
      {"--sounds", "",
       "print each sound played as {\"tick\":N,\"sound\":\"path\"}, in\n"
       "order, before that tick's dump",
       Switch(&SimOptions::sounds)},
      {"--caption", "", "print {\"caption\":\"...\"} with the window title as the last line",
       Switch(&SimOptions::caption)},
      {"--png", "TICK:FILE", "write the picture at the end of that tick as PNG (repeatable)",
       TickFile("--png", &SimOptions::pngs)},
      {"--hash", "",
       "print only a 64-bit FNV-1a hash of the final world (16 hex\n"
       "digits): every field of every thing, the caption, the IDs issued",
       Switch(&SimOptions::hash)},
      {"--contact-scene", "",
       "play a hand-built scene of contacts instead of an arena:\n"
       "vehicles clang, a grenade ricochets, blocks and a ball thud",
       Switch(&SimOptions::contactScene)},
      {"--scene", "FILE.png",
       "draw a fixed hand-made scene of walls, a block and four vehicles\n"
       "to FILE.png and exit",
       FileName("--scene", &SimOptions::scenePath)},
      {"--exe-folder", "DIR", "folder the sound paths start with (default .)",
       [](const std::string& v, SimOptions& o, std::string&) {
         o.exeFolder = v;
         return true;
       }},
      {"--broad-phase", "M",
       "how collision queries find their partners: auto (default),\n"
       "grid or walk; the game is the same with each",
       [](const std::string& v, SimOptions& o, std::string& e) {
         if (v == "auto") {
           o.broadPhase = BroadPhase::Auto;
         } else if (v == "grid") {
           o.broadPhase = BroadPhase::Always;
         } else if (v == "walk") {
           o.broadPhase = BroadPhase::Never;
         } else {
           e = "--broad-phase: '" + v + "' is not auto, grid or walk";
           return false;
         }
         return true;
       }},
      {"--bots", "N", "computer drivers in the last N seats (Yellow, Blue, Red, Green)",
       Number("--bots", 0, 4,
              [](SimOptions& o, uint64_t n) {
                for (const std::string& seat : bots::LastSeats(static_cast<int>(n)))
                  o.botSeats.push_back(seat);
              })},
      {"--bot", "NAMES", "computer drivers in the named seats, e.g. Red,Blue",
       [](const std::string& v, SimOptions& o, std::string& e) {
         return bots::ParseSeats(v, o.botSeats, e);  // the table puts "--bot: " before its message
       }},
      {"--bot-level", "L", "easy, normal (default) or hard",
       [](const std::string& v, SimOptions& o, std::string& e) {
         if (bots::ParseLevel(v, o.botLevel)) return true;
         e = "--bot-level: '" + v + "' is not easy, normal or hard";
         return false;
       }},
      {"--rounds", "N", "play a match of N rounds (1 to 99); the run stops when it is over",
       Number("--rounds", 1, 99, &SimOptions::rounds)},
      {"--tournament", "",
       "play computer drivers against each other on --seeds seeds from\n"
       "--seed on, without pictures, and print the table of results",
       Switch(&SimOptions::tournament)},
      {"--seeds", "N", "seeds of the tournament, 1 to 100000 (default 200)",
       Number("--seeds", 1, 100000, &SimOptions::tournamentSeeds)},
      {"--replay", "FILE",
       "play a replay recorded by treadbrawl --record instead of an\n"
       "arena (its seed, clock, keys and drawing area); every recorded\n"
       "world hash is checked, its rounds played; --ticks stops it early",
       FileName("--replay", &SimOptions::replayPath)},
      {"--record", "FILE", "write the run as a replay, as treadbrawl --record does",
       FileName("--record", &SimOptions::recordPath)},
      {"--snapshot", "TICK:FILE", "save the whole game at the end of that tick (repeatable)",
       TickFile("--snapshot", &SimOptions::snapshots)},
      {"--restore", "FILE",
       "start from a saved game instead of a new arena; ticks and the\n"
       "clock count from --clock-start as usual",
       FileName("--restore", &SimOptions::restorePath)},
      {"--gif", "FROM-TO:FILE",
       "write the pictures of ticks FROM to TO as an animated GIF at\n"
       "50 frames a second (repeatable; at most 30000 ticks)",
       [](const std::string& v, SimOptions& o, std::string& e) { return ParseGifOption(v, o, e); }},
      {"--help", "", "show this text", Switch(&SimOptions::help)},
  };
  return rows;
}

}  // namespace

std::string UsageText() {
  return "Usage: treadbrawl-sim [options]\n"
         "Runs the game without a window for a number of ticks (50 a second) and prints the\n"
         "world: one JSON object a line for each live thing, in collection order.\n"
         "\n" +
         cli::HelpRows(Rows(), 19) +
         "\n"
         "Options take their value as the next argument or after '='. Exit status: 0 done,\n"
         "1 an output file could not be written, 2 bad argument, script or replay file,\n"
         "3 the replay's game differs from this build's.\n";
}

bool ParseOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error) {
  options = SimOptions();
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      options.help = true;
      return true;
    }
  }
  if (!cli::ParseRows(Rows(), args, options, error, {"unknown option", false})) return false;
  // A replay's length is known only once it is read.
  const bool lengthKnown = options.replayPath.empty() || options.ticksGiven;
  for (const auto& [tick, file] : options.pngs) {
    if (tick > options.ticks && lengthKnown) {
      error = "--png: tick " + std::to_string(tick) + " is after the last tick (" +
              std::to_string(options.ticks) + ")";
      return false;
    }
  }
  for (const SimOptions::GifOption& gif : options.gifs) {
    if (gif.to > options.ticks && lengthKnown) {
      error = "--gif: tick " + std::to_string(gif.to) + " is after the last tick (" +
              std::to_string(options.ticks) + ")";
      return false;
    }
  }
  return true;
}

int RunSimulator(const SimOptions& options, std::ostream& out, std::ostream& err) {
  if (options.help) {
    out << UsageText();
    return kExitOk;
  }
  std::string error;
  if (!options.scenePath.empty()) {
    if (!WriteScenePng(options.scenePath, error)) {
      err << "treadbrawl-sim: " << error << '\n';
      return kExitFailed;
    }
    return kExitOk;
  }

  if (options.tournament) return RunTournament(options, out);
  // A replay already holds its rounds and its drivers' keys.
  if (!options.replayPath.empty() && options.rounds > 0) {
    err << "treadbrawl-sim: a replay holds its rounds: drop --rounds\n";
    return kExitBadInput;
  }
  if (!options.replayPath.empty() && !options.botSeats.empty()) {
    err << "treadbrawl-sim: a replay holds its drivers' keys: drop --bots and --bot\n";
    return kExitBadInput;
  }

  Script script;
  if (!options.scriptPath.empty()) {
    std::string problem;
    std::string text;
    if (!ReadWholeFile(options.scriptPath, kMaxScriptBytes, text, problem)) {
      err << "treadbrawl-sim: --script: cannot read " << options.scriptPath << ": " << problem
          << '\n';
      return kExitBadInput;
    }
    if (!ParseScript(text, script, error)) {
      err << error << '\n';
      return kExitBadInput;
    }
  }

  // Replays and snapshots are read the same way: bounded, parsed, any problem named with the file.
  auto load = [&](const std::string& path, auto parse, auto& into) {
    std::string bytes;
    if (ReadWholeFile(path, kMaxReplayBytes, bytes, error) && parse(bytes, into, error))
      return true;
    err << "treadbrawl-sim: " << path << ": " << error << '\n';
    return false;
  };
  std::optional<ReplayPlayer> player;
  int64_t ticks = options.ticks;
  if (!options.replayPath.empty()) {
    Replay replay;
    if (!load(options.replayPath, ParseReplay, replay)) return kExitBadInput;
    if (!replay.Complete)
      err << "treadbrawl-sim: " << options.replayPath << ": the recording stops short (the game"
          << " did not close cleanly); playing its " << replay.Ticks() << " ticks\n";
    ticks = options.ticksGiven ? std::min(ticks, replay.Ticks()) : replay.Ticks();
    player.emplace(std::move(replay));
  }

  Raster raster(player ? player->Data().Width : options.width,
                player ? player->Data().Height : options.height);
  ScriptedKeys keys;
  RecordingSoundPlayer sounds;
  SimClock clock(options.clockStart);
  Pcg32 random(options.seed, true);
  // Drivers and rounds only where asked for: otherwise the game sees the plain keys and raster.
  match::ScoredCaption scored(raster);
  bots::Seats seats(player ? player->Keys() : keys, raster, clock);
  for (const std::string& seat : options.botSeats) seats.Add(seat, options.botLevel, options.seed);
  const int roundCount = player ? player->Data().Rounds : options.rounds;
  const int64_t roundTicks = player ? player->Data().RoundTicks : match::Rounds::kRoundTicks;
  Surface& surface = roundCount > 0 ? static_cast<Surface&>(scored) : raster;
  KeyState& keySource = seats.Empty() ? (player ? player->Keys() : static_cast<KeyState&>(keys))
                                      : static_cast<KeyState&>(seats);
  // A recording notes what the game reads through these, whatever feeds them.
  RecordingKeys recordedKeys(keySource);
  RecordingClock recordedClock(player ? player->GameClock() : static_cast<Clock&>(clock));
  Recorder recorder(recordedKeys, recordedClock);
  MainFrm form(surface, recordedKeys, sounds, recordedClock,
               player ? player->Random() : static_cast<RandomSource&>(random), options.exeFolder);
  if (!seats.Empty()) seats.Attach(form);
  std::optional<match::Rounds> rounds;
  if (roundCount > 0) rounds.emplace(roundCount, scored, roundTicks);
  if (player && rounds) player->SetRules(&*rounds);
  form.Grid.SetMode(options.broadPhase);

  const bool text = !options.hash;
  auto flushSounds = [&] {
    if (text && options.sounds) {
      for (const SoundEvent& e : sounds.Log()) {
        std::string line = "{\"tick\":" + std::to_string(e.tick) + ",\"sound\":";
        AppendJsonString(line, e.path);
        line += '}';
        WriteLine(out, line);
      }
    }
    sounds.Clear();
  };
  std::optional<int64_t> dumpTick;

  clock.SetTick(0);
  sounds.SetTick(0);
  if (player) {
    player->Start(form);
  } else {
    form.Load();
  }
  if (!options.restorePath.empty()) {
    Snapshot saved;
    if (!load(options.restorePath, ParseSnapshot, saved)) return kExitBadInput;
    form.RestoreSnapshot(saved);
  }
  if (!options.recordPath.empty() &&
      !recorder.Start(options.recordPath, form, raster.Width(), raster.Height(), TREADBRAWL_VERSION,
                      error, roundCount, rounds ? roundTicks : 0)) {
    err << "treadbrawl-sim: " << options.recordPath << ": " << error << '\n';
    return kExitFailed;
  }
  if (options.contactScene) {
    form.BeginWithoutArena();
    BuildContactScene(form);
  }
  flushSounds();

  std::vector<GifClip> clips;
  for (const SimOptions::GifOption& gif : options.gifs)
    clips.emplace_back(gif.from, gif.to, gif.path);
  std::vector<bool> clipFailed(clips.size(), false);

  ScriptCursor cursor(script);
  KeySet held;
  int64_t lastTick = 0;
  int status = kExitOk;
  for (int64_t tick = 1; tick <= ticks; ++tick) {
    clock.SetTick(tick);
    sounds.SetTick(tick);
    if (player) {
      if (!player->Step(form, error)) {
        err << "treadbrawl-sim: " << options.replayPath << ": " << error << '\n';
        return kExitDiverged;
      }
    } else {
      bool escape = cursor.Advance(tick, held);
      keys.Set(held);
      if (escape) {
        form.KeyDown(27, 0);
        if (form.Closed()) break;
      }
      PlayTick(form, rounds ? &*rounds : nullptr);
    }
    if (!options.recordPath.empty()) {
      recorder.EndTick(form);
    } else {
      // Nothing is written: what the decorators noted is dropped tick by tick.
      recordedKeys.TakeHeld();
      recordedClock.TakeReadings();
    }
    lastTick = tick;
    flushSounds();
    for (size_t i = 0; i < clips.size(); ++i) {
      if (clipFailed[i] || tick < clips[i].From() || tick > clips[i].To()) continue;
      if (!clips[i].AddFrame(raster, error)) {
        err << "treadbrawl-sim: " << error << '\n';
        clipFailed[i] = true;
        status = kExitFailed;
      }
    }
    for (const auto& [snapTick, file] : options.snapshots) {
      if (snapTick == tick &&
          !WriteWholeFile(file, SerializeSnapshot(form.TakeSnapshot()), error)) {
        err << "treadbrawl-sim: " << file << ": " << error << '\n';
        status = kExitFailed;
      }
    }
    for (const auto& [pngTick, file] : options.pngs) {
      if (pngTick == tick && !WritePng(raster, file, error)) {
        err << "treadbrawl-sim: " << error << '\n';
        status = kExitFailed;
      }
    }
    if (text && options.dumpEvery > 0 && tick % options.dumpEvery == 0) {
      DumpState(out, form, tick);
    }
    // A replay plays to its end, so that every recorded hash is checked.
    if (!player && rounds && rounds->Over()) break;
  }
  for (const auto& [pngTick, file] : options.pngs) {
    if (pngTick > lastTick) {
      err << "treadbrawl-sim: --png " << pngTick << ':' << file
          << " not written: the run ended after tick " << lastTick << '\n';
    }
  }

  for (size_t i = 0; i < clips.size(); ++i) {
    if (clipFailed[i]) continue;
    if (clips[i].To() > lastTick)
      err << "treadbrawl-sim: --gif " << clips[i].Path() << ": the run ended after tick "
          << lastTick << ", the clip holds " << clips[i].Frames() << " frames\n";
    if (!clips[i].Write(error)) {
      err << "treadbrawl-sim: " << error << '\n';
      status = kExitFailed;
    }
  }
  if (!options.recordPath.empty() && !recorder.Finish()) {
    err << "treadbrawl-sim: " << options.recordPath << ": the replay could not be written whole\n";
    status = kExitFailed;
  }
  if (options.hash) {
    WriteLine(out, HashHex(WorldHash(form, raster.Caption())));
  } else {
    bool dumpedLast = options.dumpEvery > 0 && lastTick > 0 && lastTick % options.dumpEvery == 0;
    if (!dumpedLast) {
      if (options.dumpEvery > 0) dumpTick = lastTick;
      DumpState(out, form, dumpTick);
    }
    if (options.caption) {
      std::string line = "{\"caption\":";
      AppendJsonString(line, raster.Caption());
      line += '}';
      WriteLine(out, line);
    }
  }
  out.flush();
  return status;
}

int SimMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  SimOptions options;
  std::string error;
  if (!ParseOptions(args, options, error)) {
    err << "treadbrawl-sim: " << error << '\n';
    return kExitBadInput;
  }
  return RunSimulator(options, out, err);
}

}  // namespace tb::sim
