#include "app/sim/Script.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "shell/Controls.h"

namespace tb::sim {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// A word as it may be shown in a message: a fuzzed script can hold any byte, and a very
// long word would drown the message.
std::string Quote(std::string_view word) {
  constexpr size_t kShown = 40;
  std::string s = "'";
  for (size_t i = 0; i < word.size() && i < kShown; ++i) {
    unsigned char c = static_cast<unsigned char>(word[i]);
    if (c >= 0x20 && c < 0x7F && c != '\'' && c != '\\') {
      s += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      s += buf;
    }
  }
  if (word.size() > kShown) s += "...";
  return s + "'";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseTick(std::string_view word, int64_t& tick, std::string& message) {
  bool digitsOnly = !word.empty();
  for (char c : word) digitsOnly = digitsOnly && c >= '0' && c <= '9';
  if (!digitsOnly) {
    message = "bad tick " + Quote(word) + ": expected a whole number";
    return false;
  }
  uint64_t value = 0;
  if (!ParseWholeNumber(word, static_cast<uint64_t>(kMaxTick), value)) {
    message = "tick " + Quote(word) + " is too large (at most " + std::to_string(kMaxTick) + ")";
    return false;
  }
  if (value == 0) {
    message = "tick 0: ticks count from 1";
    return false;
  }
  tick = static_cast<int64_t>(value);
  return true;
}

bool ParseLine(std::string_view line, int lineNumber, Script& out, std::string& message,
               bool& empty) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    std::string_view word = line.substr(start, i - start);
    if (word[0] == '#') break;  // comment to the end of the line
    words.push_back(word);
  }
  empty = words.empty();
  if (empty) return true;

  ScriptDirective d;
  d.line = lineNumber;
  std::string_view range = words[0];
  size_t dash = range.find('-');
  if (dash == std::string_view::npos) {
    if (!ParseTick(range, d.first, message)) return false;
    d.last = d.first;
  } else {
    if (!ParseTick(range.substr(0, dash), d.first, message)) return false;
    if (!ParseTick(range.substr(dash + 1), d.last, message)) return false;
    if (d.last < d.first) {
      message = "range " + Quote(range) + " ends before it starts";
      return false;
    }
  }
  if (words.size() == 1) {
    message = "no keys after " + Quote(range);
    return false;
  }
  for (size_t w = 1; w < words.size(); ++w) {
    if (EqualsIgnoringCase(words[w], "esc")) {
      if (d.last != d.first) {
        message = "esc takes a single tick, not the range " + Quote(range);
        return false;
      }
      d.escape = true;
      continue;
    }
    uint8_t code = 0;
    if (!KeyCodeFromName(words[w], code)) {
      message = "unknown key " + Quote(words[w]);
      return false;
    }
    d.keys.push_back(code);
  }
  out.directives.push_back(std::move(d));
  return true;
}

}  // namespace

bool ParseWholeNumber(std::string_view text, uint64_t max, uint64_t& out) {
  if (text.empty()) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (max - digit) / 10) return false;  // value * 10 + digit would pass max
    value = value * 10 + digit;
  }
  out = value;
  return true;
}

bool KeyCodeFromName(std::string_view name, uint8_t& code) {
  if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
    unsigned value = 0;
    for (size_t i = 2; i < name.size(); ++i) {
      int digit = HexDigit(name[i]);
      if (digit < 0) return false;
      value = value * 16 + static_cast<unsigned>(digit);
      if (value > 0xFF) return false;
    }
    code = static_cast<uint8_t>(value);
    return true;
  }
  size_t dot = name.find('.');
  if (dot == std::string_view::npos) return false;
  std::string_view player = name.substr(0, dot);
  std::string_view control = name.substr(dot + 1);
  for (const PlayerKeys& keys : kPlayerKeys) {
    if (!EqualsIgnoringCase(player, keys.Name)) continue;
    const std::pair<const char*, uint8_t> controls[] = {{"Right", keys.Right},
                                                        {"Left", keys.Left},
                                                        {"Forward", keys.Forward},
                                                        {"Backward", keys.Backward},
                                                        {"Fire", keys.Fire}};
    for (const auto& [controlName, controlCode] : controls) {
      if (EqualsIgnoringCase(control, controlName)) {
        code = controlCode;
        return true;
      }
    }
    return false;
  }
  return false;
}

bool ParseScript(const std::string& text, Script& out, std::string& error) {
  out.directives.clear();
  std::string_view all(text);
  int lineNumber = 0;
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find('\n', pos);
    if (end == std::string_view::npos) end = all.size();
    std::string_view line = all.substr(pos, end - pos);
    pos = end + 1;
    if (lineNumber == INT32_MAX) {
      error = "script: too many lines";
      return false;
    }
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // files saved on Windows
    std::string message;
    bool empty = false;
    if (!ParseLine(line, lineNumber, out, message, empty)) {
      error = "script:" + std::to_string(lineNumber) + ": " + message;
      return false;
    }
  }
  return true;
}

KeySet KeysAt(const Script& script, int64_t tick) {
  KeySet held;
  for (const ScriptDirective& d : script.directives) {
    if (d.first <= tick && tick <= d.last) {
      for (uint8_t k : d.keys) held.set(k);
    }
  }
  return held;
}

bool EscapeAt(const Script& script, int64_t tick) {
  for (const ScriptDirective& d : script.directives) {
    if (d.escape && d.first == tick) return true;
  }
  return false;
}

ScriptCursor::ScriptCursor(const Script& script) : script_(script), holders_(256, 0) {
  size_t n = script.directives.size();
  for (size_t i = 0; i < n; ++i) {
    byFirst_.push_back(i);
    byLast_.push_back(i);
  }
  const auto& ds = script.directives;
  std::stable_sort(byFirst_.begin(), byFirst_.end(),
                   [&ds](size_t a, size_t b) { return ds[a].first < ds[b].first; });
  std::stable_sort(byLast_.begin(), byLast_.end(),
                   [&ds](size_t a, size_t b) { return ds[a].last < ds[b].last; });
}

bool ScriptCursor::Advance(int64_t tick, KeySet& held) {
  const auto& ds = script_.directives;
  bool escape = false;
  // Starts before ends: a directive that began and ended between two calls is then taken
  // out again at once, and no count goes below zero.
  while (nextStart_ < byFirst_.size() && ds[byFirst_[nextStart_]].first <= tick) {
    const ScriptDirective& d = ds[byFirst_[nextStart_++]];
    escape = escape || d.escape;
    for (uint8_t k : d.keys) ++holders_[k];
  }
  while (nextEnd_ < byLast_.size() && ds[byLast_[nextEnd_]].last < tick) {
    const ScriptDirective& d = ds[byLast_[nextEnd_++]];
    for (uint8_t k : d.keys) --holders_[k];
  }
  held.reset();
  for (size_t k = 0; k < holders_.size(); ++k) held[k] = holders_[k] > 0;
  tick_ = tick;
  return escape;
}

}  // namespace tb::sim
