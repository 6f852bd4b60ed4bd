#include "app/cli/CommandLine.h"

#include <sstream>

#include "net/Address.h"
#include "net/Session.h"

#ifndef TREADBRAWL_VERSION
#define TREADBRAWL_VERSION "unknown"
#endif

namespace tb::cli {

const std::vector<OptionRow>& Options() {
  static const std::vector<OptionRow> rows = {
      {"--help", "", "print this help and exit",
       [](const std::string&, GameArgs& a, std::string&) {
         a.help = true;
         return true;
       }},
      {"--version", "", "print the version and exit",
       [](const std::string&, GameArgs& a, std::string&) {
         a.version = true;
         return true;
       }},
      {"--mix-sounds", "", "let up to 8 sounds overlap (default: each sound cuts the last)",
       [](const std::string&, GameArgs& a, std::string&) {
         a.mixSounds = true;
         return true;
       }},
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
      {"--join", "HOST[:PORT]", "join the online match hosted at that address",
       [](const std::string& v, GameArgs& a, std::string& e) {
         return net::ParseHostPort(v, a.join, a.joinPort, e);
       }},
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
  };
  return rows;
}

bool Parse(const std::vector<std::string>& argv, GameArgs& args, std::string& error) {
  for (size_t i = 0; i < argv.size(); ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    // --name=value is taken as well as --name value.
    size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inlineValue = true;
    }
    const OptionRow* row = nullptr;
    for (const OptionRow& r : Options()) {
      if (r.name == arg) row = &r;
    }
    if (row == nullptr) {
      error = "unknown argument '" + argv[i] + "' (see --help)";
      return false;
    }
    if (row->valueName.empty()) {
      if (inlineValue) {
        error = row->name + " takes no value";
        return false;
      }
    } else if (!inlineValue && row->valueOptional) {
      if (i + 1 < argv.size() && argv[i + 1].rfind("-", 0) != 0) value = argv[++i];
    } else if (!inlineValue) {
      if (i + 1 >= argv.size()) {
        error = row->name + " needs a value (" + row->valueName + ")";
        return false;
      }
      value = argv[++i];
    }
    if (!row->apply(value, args, error)) {
      if (error.empty())
        error = row->name + ": bad value '" + value + "'";
      else if (error.rfind("--", 0) != 0)
        error = row->name + ": " + error;
      return false;
    }
  }
  if (args.host && !args.join.empty()) {
    error = "--host and --join cannot go together";
    return false;
  }
  if (!args.host && args.join.empty() && (args.seats != 0 || !args.password.empty())) {
    error = "--seats and --password are for online play (--host or --join)";
    return false;
  }
  if ((args.host || !args.join.empty()) && !args.recordPath.empty()) {
    error = "--record is for local play";
    return false;
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
  for (const OptionRow& r : Options()) {
    std::string value = r.valueOptional ? " [" + r.valueName + "]" : " " + r.valueName;
    std::string left = r.name + (r.valueName.empty() ? "" : value);
    out << "  " << left;
    for (size_t n = left.size(); n < 22; ++n) out << ' ';
    out << ' ' << r.help << '\n';
  }
  return out.str();
}

std::string VersionText() { return std::string("treadbrawl ") + TREADBRAWL_VERSION + "\n"; }

std::string GameVersion() { return TREADBRAWL_VERSION; }

}  // namespace tb::cli
