#include "app/front/Settings.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "files/Files.h"
#include "shell/Controls.h"

namespace tb::front {

namespace {

using nlohmann::json;

// Far larger than any file written here; anything bigger is not ours.
constexpr size_t kMaxSettingsBytes = 64 * 1024;
// Deeper nesting than ours is refused before parsing.
constexpr int kMaxDepth = 4;
constexpr size_t kMaxText = 64;
const char* const kActions[5] = {"right", "left", "forward", "backward", "fire"};
const char* const kSeatKinds[5] = {"human", "easy", "normal", "hard", "empty"};
const char* const kHostSeats[3] = {"here", "friend", "computer"};

// Whether brackets nest deeper than `limit` anywhere outside strings.
bool TooDeep(const std::string& text, int limit) {
  int depth = 0;
  bool inString = false, escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

// Readers that leave `out` alone and fail with a reason naming the field.
struct Reader {
  const json& object;
  std::string& problem;

  bool Bool(const char* name, bool& out) {
    auto it = object.find(name);
    if (it == object.end()) return true;
    if (!it->is_boolean()) return Fail(name, "is not true or false");
    out = it->get<bool>();
    return true;
  }
  bool Int(const char* name, int min, int max, int& out) {
    auto it = object.find(name);
    if (it == object.end()) return true;
    if (!it->is_number_integer()) return Fail(name, "is not a whole number");
    const int64_t v = it->get<int64_t>();
    if (v < min || v > max)
      return Fail(name, "is not from " + std::to_string(min) + " to " + std::to_string(max));
    out = static_cast<int>(v);
    return true;
  }
  bool Text(const char* name, std::string& out) {
    auto it = object.find(name);
    if (it == object.end()) return true;
    if (!it->is_string() || it->get<std::string>().size() > kMaxText)
      return Fail(name, "is not a text of at most 64 characters");
    out = it->get<std::string>();
    return true;
  }
  template <class E, size_t N>
  bool Choices(const char* name, const char* const (&words)[N], std::array<E, 4>& out) {
    auto it = object.find(name);
    if (it == object.end()) return true;
    if (!it->is_array() || it->size() != 4) return Fail(name, "is not a list of four");
    std::array<E, 4> read = out;
    for (size_t s = 0; s < 4; ++s) {
      const json& v = (*it)[s];
      size_t w = N;
      for (size_t i = 0; i < N && v.is_string(); ++i)
        if (v.get<std::string>() == words[i]) w = i;
      if (w == N) return Fail(name, "holds an unknown choice");
      read[s] = static_cast<E>(w);
    }
    out = read;
    return true;
  }
  bool Fail(const std::string& name, const std::string& why) {
    problem = "\"" + name + "\" " + why;
    return false;
  }
};

bool ReadKeys(const json& object, cli::KeyTable& keys, std::string& problem) {
  auto it = object.find("keys");
  if (it == object.end()) return true;
  if (!it->is_object()) {
    problem = "\"keys\" is not an object";
    return false;
  }
  cli::KeyTable read = keys;
  for (int s = 0; s < 4; ++s) {
    auto seat = it->find(kPlayerKeys[s].Name);
    if (seat == it->end()) continue;
    if (!seat->is_object()) {
      problem = std::string("\"keys\": ") + kPlayerKeys[s].Name + " is not an object";
      return false;
    }
    Reader r{*seat, problem};
    for (int a = 0; a < 5; ++a) {
      int code = read[s][a];
      if (!r.Int(kActions[a], 1, 255, code)) {
        problem = std::string("\"keys\": ") + kPlayerKeys[s].Name + " " + problem;
        return false;
      }
      read[s][a] = static_cast<uint8_t>(code);
    }
  }
  if (!ValidKeys(read)) {
    problem = "\"keys\" gives a key twice or a key that cannot be used";
    return false;
  }
  keys = read;
  return true;
}

bool ReadJson(const std::string& text, json& out, std::string& problem) {
  if (TooDeep(text, kMaxDepth)) {
    problem = "nested deeper than settings ever are";
    return false;
  }
  out = json::parse(text, nullptr, false);
  if (out.is_discarded()) {
    problem = "not JSON";
    return false;
  }
  if (!out.is_object()) {
    problem = "not a JSON object";
    return false;
  }
  return true;
}

}  // namespace

bool UsableKey(uint8_t k) {
  if ((k >= 'A' && k <= 'Z') || (k >= '0' && k <= '9') || (k >= 0x25 && k <= 0x28) ||
      (k >= 0x60 && k <= 0x69) || (k >= 0xA0 && k <= 0xA3) || (k >= 0xBA && k <= 0xC0) ||
      (k >= 0xDB && k <= 0xDE))
    return true;
  return k == 0x20;  // Space
}

cli::KeyTable LaptopKeys() {
  cli::KeyTable keys = cli::StandardKeys();
  keys[2][4] = 0xA1;                    // Blue fires with Right Shift
  keys[3] = {'H', 'F', 'T', 'G', 'Y'};  // Yellow: T forward, G back, F and H turn
  return keys;
}

bool ValidKeys(const cli::KeyTable& keys) {
  std::set<uint8_t> seen;
  for (const auto& seat : keys)
    for (uint8_t k : seat)
      if (!UsableKey(k) || !seen.insert(k).second) return false;
  return true;
}

std::string SettingsJson(const Settings& s) {
  json j;
  for (int i = 0; i < 4; ++i) j["seats"].push_back(kSeatKinds[static_cast<int>(s.seats[i])]);
  j["rounds"] = s.rounds;
  j["hostPort"] = s.hostPort;
  j["hostPassword"] = s.hostPassword;
  for (int i = 0; i < 4; ++i)
    j["hostSeats"].push_back(kHostSeats[static_cast<int>(s.hostSeats[i])]);
  j["hostLevel"] = s.hostLevel;
  j["hostRounds"] = s.hostRounds;
  j["joinAddress"] = s.joinAddress;
  j["joinPassword"] = s.joinPassword;
  j["joinSeats"] = s.joinSeats;
  j["recordAll"] = s.recordAll;
  j["fullScreen"] = s.fullScreen;
  j["wholeScale"] = s.wholeScale;
  j["mixSounds"] = s.mixSounds;
  for (int i = 0; i < 4; ++i)
    for (int a = 0; a < 5; ++a) j["keys"][kPlayerKeys[i].Name][kActions[a]] = s.keys[i][a];
  return j.dump(2) + "\n";
}

bool ParseSettings(const std::string& text, Settings& out, std::string& problem) {
  out = Settings{};
  json j;
  if (!ReadJson(text, j, problem)) return false;
  Settings s;
  Reader r{j, problem};
  int joinSeats = s.joinSeats;
  const bool ok =
      r.Choices("seats", kSeatKinds, s.seats) && r.Int("rounds", 0, 99, s.rounds) &&
      r.Int("hostPort", 1, 65535, s.hostPort) && r.Text("hostPassword", s.hostPassword) &&
      r.Choices("hostSeats", kHostSeats, s.hostSeats) && r.Int("hostLevel", 0, 2, s.hostLevel) &&
      r.Int("hostRounds", 0, 99, s.hostRounds) && r.Text("joinAddress", s.joinAddress) &&
      r.Text("joinPassword", s.joinPassword) && r.Int("joinSeats", 0, 15, joinSeats) &&
      r.Bool("recordAll", s.recordAll) && r.Bool("fullScreen", s.fullScreen) &&
      r.Bool("wholeScale", s.wholeScale) && r.Bool("mixSounds", s.mixSounds) &&
      ReadKeys(j, s.keys, problem);
  if (!ok) return false;
  s.joinSeats = static_cast<uint8_t>(joinSeats);
  out = s;
  return true;
}

bool LoadSettings(const std::string& path, Settings& out, std::string& problem) {
  out = Settings{};
  std::error_code ignored;
  // Not there yet: the first run.
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ignored))) return true;
  std::string bytes;
  if (!ReadWholeFile(path, kMaxSettingsBytes, bytes, problem)) return false;
  return ParseSettings(bytes, out, problem);
}

bool SaveSettings(const std::string& path, const Settings& settings, std::string& problem) {
  return WriteFileAtomically(path, SettingsJson(settings), problem);
}

bool LoadKeysFile(const std::string& path, cli::KeyTable& keys, std::string& problem) {
  std::string bytes;
  if (!ReadWholeFile(path, kMaxSettingsBytes, bytes, problem)) return false;
  json j;
  if (!ReadJson(bytes, j, problem)) return false;
  cli::KeyTable read = cli::StandardKeys();
  if (!ReadKeys(j, read, problem)) return false;
  keys = read;
  return true;
}

bool ResolveKeysFile(cli::GameArgs& args, std::string& problem) {
  if (args.keysPath.empty()) return true;
  if (!LoadKeysFile(args.keysPath, args.keys, problem)) return false;
  args.customKeys = args.keys != cli::StandardKeys();
  return true;
}

std::string SettingsPath() {
  const std::string folder = ConfigFolder();
  return folder.empty() ? std::string() : folder + "/settings.json";
}

}  // namespace tb::front
