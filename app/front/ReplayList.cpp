#include "app/front/ReplayList.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "files/Files.h"
#include "shell/Controls.h"
#include "state/Replay.h"

namespace tb::front {

namespace {

namespace fs = std::filesystem;
// Listing reads each file whole; longer recordings are rare enough to leave out.
constexpr size_t kMaxListedBytes = size_t{64} << 20;

std::string LocalTime(std::time_t t, const char* format) {
  std::tm parts{};
  if (localtime_r(&t, &parts) == nullptr) return "";
  char text[32] = {};
  return std::strftime(text, sizeof text, format, &parts) > 0 ? text : "";
}

// The seats whose keys were ever held.
uint8_t MovedSeats(const Replay& replay) {
  uint8_t seats = 0;
  for (uint8_t key : replay.Keys)
    for (int s = 0; s < 4; ++s) {
      const PlayerKeys& k = kPlayerKeys[s];
      if (key == k.Right || key == k.Left || key == k.Forward || key == k.Backward || key == k.Fire)
        seats = static_cast<uint8_t>(seats | (1u << s));
    }
  return seats;
}

}  // namespace

std::vector<ReplayEntry> ListReplays(const std::string& folder, size_t limit) {
  struct Found {
    fs::path path;
    fs::file_time_type time;
  };
  std::vector<Found> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e;
    if (it->path().extension() != ".tbr" || !it->is_regular_file(e)) continue;
    found.push_back({it->path(), it->last_write_time(e)});
  }
  std::sort(found.begin(), found.end(),
            [](const Found& a, const Found& b) { return a.time > b.time; });
  std::vector<ReplayEntry> out;
  for (const Found& f : found) {
    if (out.size() >= limit) break;
    std::string bytes, problem;
    Replay replay;
    if (!ReadWholeFile(f.path.string(), kMaxListedBytes, bytes, problem) ||
        !ParseReplay(bytes, replay, problem))
      continue;
    ReplayEntry e;
    e.path = f.path.string();
    // The file's own time, as the system clock tells it.
    // Rounded to the second: the two clocks are read a moment apart.
    const auto system = std::chrono::round<std::chrono::seconds>(
        f.time - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
    e.when = LocalTime(std::chrono::system_clock::to_time_t(system), "%Y-%m-%d %H:%M");
    e.ticks = replay.Ticks();
    e.rounds = replay.Rounds;
    e.players = MovedSeats(replay);
    out.push_back(std::move(e));
  }
  return out;
}

std::string RecordingName() { return LocalTime(std::time(nullptr), "%Y-%m-%d_%H-%M-%S"); }

}  // namespace tb::front
