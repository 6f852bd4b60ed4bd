// Writes the manual page: the hand-written template with its @OPTIONS@ line replaced by the
// game's own option table, so the page lists exactly what --help lists, and @VERSION@ by the
// game's --version text.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "app/cli/CommandLine.h"

namespace {

// Text as roff reads it: backslashes kept, every hyphen a minus, no line taken for a request.
std::string Roff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

std::string OptionsSection() {
  std::ostringstream out;
  for (const tb::cli::OptionRow& row : tb::cli::Options()) {
    out << ".TP\n";
    if (row.valueName.empty())
      out << ".B " << Roff(row.name) << "\n";
    else if (row.valueOptional)  // written as --help writes it: the value in brackets
      out << ".BI \"" << Roff(row.name) << " [\" " << Roff(row.valueName) << " ]\n";
    else
      out << ".BI \"" << Roff(row.name) << " \" " << Roff(row.valueName) << "\n";
    out << Roff(row.help) << "\n";
  }
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: treadbrawl-manpage TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "treadbrawl-manpage: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::string version = tb::cli::VersionText();
  while (!version.empty() && version.back() == '\n') version.pop_back();
  std::ostringstream page;
  std::string line;
  bool placed = false;
  while (std::getline(in, line)) {
    if (line == "@OPTIONS@") {
      page << OptionsSection();
      placed = true;
    } else {
      for (size_t at = line.find("@VERSION@"); at != std::string::npos;
           at = line.find("@VERSION@", at + version.size()))
        line.replace(at, 9, version);
      page << line << "\n";
    }
  }
  if (!placed) {
    std::cerr << "treadbrawl-manpage: " << argv[1] << " has no @OPTIONS@ line\n";
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << page.str();
  out.close();
  if (!out) {
    std::cerr << "treadbrawl-manpage: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
