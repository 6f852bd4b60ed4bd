#include "app/cli/CommandLine.h"

#include <sstream>

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
    } else if (!inlineValue) {
      if (i + 1 >= argv.size()) {
        error = row->name + " needs a value (" + row->valueName + ")";
        return false;
      }
      value = argv[++i];
    }
    if (!row->apply(value, args, error)) {
      if (error.empty()) error = row->name + ": bad value '" + value + "'";
      return false;
    }
  }
  return true;
}

std::string HelpText() {
  std::ostringstream out;
  out << "Usage: treadbrawl [options]\n"
         "Tracked-vehicle arcade brawl for up to four players. Escape quits, Alt+Enter toggles\n"
         "full screen.\n\n";
  for (const OptionRow& r : Options()) {
    std::string left = r.name + (r.valueName.empty() ? "" : " " + r.valueName);
    out << "  " << left;
    for (size_t n = left.size(); n < 22; ++n) out << ' ';
    out << ' ' << r.help << '\n';
  }
  return out.str();
}

std::string VersionText() { return std::string("treadbrawl ") + TREADBRAWL_VERSION + "\n"; }

}  // namespace tb::cli
