#pragma once
// A command line as one table of options: the same rows serve parsing and the help text, for
// the game and the simulator alike.
#include <functional>
#include <string>
#include <vector>

namespace tb::cli {

// One option: its name, the name of its value ("" for a switch), its help (lines after the
// first continue under it), and what taking it does; `apply` returns false with `error` set
// when the value is bad. An optional value is taken when the next argument does not start
// with "-" (apply then sees "" without).
template <class Args>
struct OptionRowFor {
  std::string name;
  std::string valueName;
  std::string help;
  std::function<bool(const std::string& value, Args& args, std::string& error)> apply;
  bool valueOptional = false;
};

// What a switch does: sets its flag in the arguments to `value`.
template <class Args>
auto SetsFlag(bool Args::*flag, bool value = true) {
  return [flag, value](const std::string&, Args& args, std::string&) {
    args.*flag = value;
    return true;
  };
}

// How a command's own complaints are worded.
struct ParseWording {
  const char* unknown = "unknown argument";  // followed by the argument in quotes
  bool nameTheValue = true;                  // "needs a value (N)" rather than "needs a value"
};

// Takes every argument through the row of its name; "--name=value" is taken as well as
// "--name value". On failure returns false with a one-line message naming the argument.
template <class Args>
bool ParseRows(const std::vector<OptionRowFor<Args>>& rows, const std::vector<std::string>& argv,
               Args& args, std::string& error, const ParseWording& wording = {}) {
  for (size_t i = 0; i < argv.size(); ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inlineValue = true;
    }
    const OptionRowFor<Args>* row = nullptr;
    for (const OptionRowFor<Args>& r : rows) {
      if (r.name == arg) row = &r;
    }
    if (row == nullptr) {
      error = std::string(wording.unknown) + " '" + argv[i] + "' (see --help)";
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
        error = row->name + " needs a value" +
                (wording.nameTheValue ? " (" + row->valueName + ")" : std::string());
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
  return true;
}

// One line per option, its help starting at `column`; a longer name and value get two spaces.
template <class Args>
std::string HelpRows(const std::vector<OptionRowFor<Args>>& rows, size_t column) {
  std::string out;
  for (const OptionRowFor<Args>& r : rows) {
    std::string value = r.valueOptional ? " [" + r.valueName + "]" : " " + r.valueName;
    std::string left = r.name + (r.valueName.empty() ? "" : value);
    out += "  " + left + std::string(left.size() < column ? column - left.size() : 2, ' ');
    for (char c : r.help) {
      out += c;
      if (c == '\n') out += std::string(2 + column, ' ');
    }
    out += '\n';
  }
  return out;
}

}  // namespace tb::cli
