// The simulator's command line: one table of options serves parsing and --help.
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "app/cli/OptionTable.h"
#include "app/sim/Script.h"
#include "app/sim/Simulator.h"
#include "bots/Seats.h"

namespace tb::sim {

namespace {

constexpr int kMaxSide = 4096;
constexpr double kDaySeconds = 86400.0;

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

using Row = cli::OptionRowFor<SimOptions>;
using Apply = decltype(Row::apply);

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

// A decimal number as from_chars reads it: no sign '+', no spaces, no hexadecimal. Where the
// standard library has no floating-point from_chars, strtod reads the same digits alike.
bool ParseDecimal(const std::string& v, double& out) {
#if defined(__cpp_lib_to_chars)
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
  return !v.empty() && ec == std::errc() && end == v.data() + v.size();
#else
  if (v.empty() || v[0] == '+') return false;
  for (char c : v)
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+'))
      return false;
  char* end = nullptr;
  out = std::strtod(v.c_str(), &end);
  return end == v.c_str() + v.size();
#endif
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
         if (!ParseDecimal(v, s) || !std::isfinite(s) || s < 0 || s >= kDaySeconds) {
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
       cli::SetsFlag(&SimOptions::sounds)},
      {"--caption", "", "print {\"caption\":\"...\"} with the window title as the last line",
       cli::SetsFlag(&SimOptions::caption)},
      {"--png", "TICK:FILE", "write the picture at the end of that tick as PNG (repeatable)",
       TickFile("--png", &SimOptions::pngs)},
      {"--hash", "",
       "print only a 64-bit FNV-1a hash of the final world (16 hex\n"
       "digits): every field of every thing, the caption, the IDs issued",
       cli::SetsFlag(&SimOptions::hash)},
      {"--contact-scene", "",
       "play a hand-built scene of contacts instead of an arena:\n"
       "vehicles clang, a grenade ricochets, blocks and a ball thud",
       cli::SetsFlag(&SimOptions::contactScene)},
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
       cli::SetsFlag(&SimOptions::tournament)},
      {"--seeds", "N", "seeds of the tournament, 1 to 100000 (default 200)",
       Number("--seeds", 1, 100000, &SimOptions::tournamentSeeds)},
      {"--replay", "FILE",
       "play a replay recorded by treadbrawl --record instead of an\n"
       "arena (its seed, clock, keys and drawing area); every recorded\n"
       "world hash is checked, its rounds played; --ticks stops it early",
       FileName("--replay", &SimOptions::replayPath)},
      {"--checkpoints", "",
       "with --replay: before the rest, print each recorded world hash\n"
       "the run checked as TICK HASH, one a line, to compare replays of\n"
       "the same match that stop at different ticks",
       cli::SetsFlag(&SimOptions::checkpoints)},
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
      {"--help", "", "show this text", cli::SetsFlag(&SimOptions::help)},
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

}  // namespace tb::sim
