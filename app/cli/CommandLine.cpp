#include "app/cli/CommandLine.h"

#include <algorithm>
#include <sstream>
#include <tuple>

#include "bots/Driver.h"
#include "bots/Seats.h"
#include "net/Address.h"
#include "net/Session.h"
#include "shell/Controls.h"

#ifndef TREADBRAWL_VERSION
#define TREADBRAWL_VERSION "unknown"
#endif

namespace tb::cli {

namespace {

// A whole number from `min` to `max`, digits only.
bool WholeNumber(const std::string& text, int min, int max, int& out) {
  if (text.empty() || text.size() > 6) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < min || v > max) return false;
  out = v;
  return true;
}

}  // namespace

KeyTable StandardKeys() {
  KeyTable t{};
  for (int s = 0; s < 4; ++s)
    t[s] = {kPlayerKeys[s].Right, kPlayerKeys[s].Left, kPlayerKeys[s].Forward,
            kPlayerKeys[s].Backward, kPlayerKeys[s].Fire};
  return t;
}

bool SameGame(const GameArgs& a, const GameArgs& b) {
  auto tie = [](const GameArgs& g) {
    return std::tie(g.mixSounds, g.wholeScale, g.host, g.hostPort, g.join, g.joinPort, g.watch,
                    g.seats, g.password, g.botSeats, g.botLevel, g.rounds, g.recordPath,
                    g.replayPath, g.fullScreen, g.seatLevels, g.emptySeats, g.customKeys, g.keys);
  };
  return tie(a) == tie(b);
}

const std::vector<OptionRow>& Options() {
  static const std::vector<OptionRow> rows = {
      {"--help", "", "print this help and exit", SetsFlag(&GameArgs::help)},
      {"--version", "", "print the version and exit", SetsFlag(&GameArgs::version)},
      {"--mix-sounds", "", "let up to 8 sounds overlap (default: each sound cuts the last)",
       SetsFlag(&GameArgs::mixSounds)},
      {"--scale", "fit|whole",
       "picture as large as fits (fit, default) or whole multiples only (whole)",
       [](const std::string& v, GameArgs& a, std::string&) {
         if (v != "fit" && v != "whole") return false;
         a.wholeScale = v == "whole";
         return true;
       }},
      {"--host", "PORT", "host an online match on this UDP port (default 24642); Enter starts it",
       [](const std::string& v, GameArgs& a, std::string& e) {
         a.host = true;
         if (v.empty()) return true;
         std::string host;
         if (!net::ParseHostPort("x:" + v, host, a.hostPort, e)) return false;
         return true;
       },
       true},
      {"--join", "HOST[:PORT]",
       "join the match hosted at that address; without one, list local matches",
       [](const std::string& v, GameArgs& a, std::string& e) {
         if (a.watch) {
           e = "--join and --watch cannot go together";
           return false;
         }
         a.findLan = v.empty();
         if (v.empty()) {
           a.join.clear();
           return true;
         }
         return net::ParseHostPort(v, a.join, a.joinPort, e);
       },
       true},
      {"--watch", "HOST[:PORT]", "watch the match hosted at that address, without a seat",
       [](const std::string& v, GameArgs& a, std::string& e) {
         if (!a.join.empty() || a.findLan) {
           e = "--join and --watch cannot go together";
           return false;
         }
         a.watch = true;
         return net::ParseHostPort(v, a.join, a.joinPort, e);
       }},
      {"--no-port-mapping", "", "online: do not ask the router (UPnP, NAT-PMP) to open the port",
       SetsFlag(&GameArgs::noPortMapping)},
      {"--seats", "SEATS", "online: the seats played here, such as Green,Blue",
       [](const std::string& v, GameArgs& a, std::string& e) {
         return net::ParseSeats(v, a.seats, e);
       }},
      {"--password", "WORD", "online: the word a joiner must give to the host",
       [](const std::string& v, GameArgs& a, std::string& e) {
         if (v.size() > net::kMaxText) {
           e = "--password: at most " + std::to_string(net::kMaxText) + " characters";
           return false;
         }
         a.password = v;
         return true;
       }},
      {"--bots", "N", "computer drivers in the last N seats (Yellow, Blue, Red, Green)",
       [](const std::string& v, GameArgs& a, std::string& error) {
         int n = 0;
         if (!WholeNumber(v, 0, 4, n)) {
           error = "--bots: '" + v + "' is not a whole number from 0 to 4";
           return false;
         }
         for (const std::string& seat : bots::LastSeats(n)) a.botSeats.push_back(seat);
         return true;
       }},
      {"--bot", "NAMES", "computer drivers in the named seats, e.g. Red,Blue",
       [](const std::string& v, GameArgs& a, std::string& error) {
         return bots::ParseSeats(v, a.botSeats,
                                 error);  // the table puts "--bot: " before its message
       }},
      {"--bot-level", "LEVEL", "how well they drive: easy, normal (default) or hard",
       [](const std::string& v, GameArgs& a, std::string& error) {
         bots::Level level;
         if (!bots::ParseLevel(v, level)) {
           error = "--bot-level: '" + v + "' is not easy, normal or hard";
           return false;
         }
         a.botLevel = v;
         return true;
       }},
      {"--rounds", "N", "play a match of N rounds (1 to 99) and name the winner",
       [](const std::string& v, GameArgs& a, std::string& error) {
         if (!WholeNumber(v, 1, 99, a.rounds)) {
           error = "--rounds: '" + v + "' is not a whole number from 1 to 99";
           return false;
         }
         return true;
       }},
      {"--record", "FILE", "play as usual and write the match to FILE as a replay",
       [](const std::string& v, GameArgs& a, std::string& e) {
         a.recordPath = v;
         if (v.empty()) e = "--record needs a file name";
         return !v.empty();
       }},
      {"--replay", "FILE",
       "show the replay FILE (Space pauses, Right skips 5 s on, Left goes 5 s back)",
       [](const std::string& v, GameArgs& a, std::string& e) {
         a.replayPath = v;
         if (v.empty()) e = "--replay needs a file name";
         return !v.empty();
       }},
      {"--menu", "", "open the start screen: choose a match, keys and options there",
       [](const std::string&, GameArgs& a, std::string&) {
         a.menu = true;
         return true;
       }},
      {"--full-screen", "", "open full screen (Alt+Enter toggles it at any time)",
       [](const std::string&, GameArgs& a, std::string&) {
         a.fullScreen = true;
         return true;
       }},
      {"--level", "NAME:LEVEL", "one computer driver's own level, e.g. Red:hard",
       [](const std::string& v, GameArgs& a, std::string& error) {
         const size_t colon = v.find(':');
         std::vector<std::string> seat;
         bots::Level level;
         if (colon == std::string::npos || !bots::ParseSeats(v.substr(0, colon), seat, error) ||
             seat.size() != 1 || !bots::ParseLevel(v.substr(colon + 1), level)) {
           error = "--level: '" + v + "' is not a colour and a level, such as Red:hard";
           return false;
         }
         a.seatLevels[seat[0]] = v.substr(colon + 1);
         return true;
       }},
      {"--empty", "NAMES", "seats nobody drives (their keys do nothing), e.g. Yellow",
       [](const std::string& v, GameArgs& a, std::string& error) {
         return bots::ParseSeats(v, a.emptySeats, error);
       }},
      {"--keys", "FILE", "each colour's keys from FILE (as the start screen saves them)",
       [](const std::string& v, GameArgs& a, std::string& e) {
         a.keysPath = v;
         if (v.empty()) e = "--keys needs a file name";
         return !v.empty();
       }},
  };
  return rows;
}

bool Parse(const std::vector<std::string>& argv, GameArgs& args, std::string& error) {
  if (!ParseRows(Options(), argv, args, error)) return false;
  if (args.host && (!args.join.empty() || args.findLan)) {
    error = args.watch ? "--host and --watch cannot go together"
                       : "--host and --join cannot go together";
    return false;
  }
  if (args.watch && args.seats != 0) {
    error = "--seats is for players; a spectator (--watch) has no seat";
    return false;
  }
  if (!args.host && args.join.empty() && !args.findLan &&
      (args.seats != 0 || !args.password.empty() || args.noPortMapping)) {
    error = "--seats, --password and --no-port-mapping are for online play (--host or --join)";
    return false;
  }
  if ((!args.join.empty() || args.findLan) && (!args.botSeats.empty() || args.rounds > 0)) {
    error = std::string("--bots, --bot and --rounds are the host's to choose, not a ") +
            (args.watch ? "spectator's" : "joiner's");
    return false;
  }
  for (const auto& entry : args.seatLevels) {
    if (std::find(args.botSeats.begin(), args.botSeats.end(), entry.first) == args.botSeats.end()) {
      error = "--level " + entry.first + ": that seat has no computer driver (--bot " +
              entry.first + ")";
      return false;
    }
  }
  if (args.menu) {
    GameArgs rest = args;
    rest.fullScreen = rest.wholeScale = rest.mixSounds = false;
    if (!SameGame(rest, GameArgs{}) || !args.keysPath.empty()) {
      error = "--menu chooses the match itself; it goes only with --full-screen and --scale";
      return false;
    }
  }
  if (!args.recordPath.empty() && !args.replayPath.empty()) {
    error = "--record and --replay cannot go together";
    return false;
  }
  return true;
}

std::string HelpText() {
  std::ostringstream out;
  out << "Usage: treadbrawl [options]\n"
         "Tracked-vehicle arcade brawl for up to four players. Escape quits, Alt+Enter toggles\n"
         "full screen.\n\n";
  out << HelpRows(Options(), 23);
  return out.str();
}

std::string VersionText() { return std::string("treadbrawl ") + TREADBRAWL_VERSION + "\n"; }

std::string GameVersion() { return TREADBRAWL_VERSION; }

}  // namespace tb::cli
