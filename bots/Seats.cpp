#include "bots/Seats.h"

#include <algorithm>
#include <cctype>

#include "shell/Controls.h"
#include "shell/MainFrm.h"

namespace tb::bots {

std::vector<std::string> LastSeats(int count) {
  static const char* const kOrder[4] = {"Yellow", "Blue", "Red", "Green"};
  std::vector<std::string> seats;
  for (int i = 0; i < count && i < 4; ++i) seats.emplace_back(kOrder[i]);
  return seats;
}

bool SeatIndices(const std::string& text, bool anyCase, std::vector<int>& seats, std::string& bad) {
  const auto same = [anyCase](char a, char b) {
    return anyCase ? std::tolower(static_cast<unsigned char>(a)) ==
                         std::tolower(static_cast<unsigned char>(b))
                   : a == b;
  };
  size_t start = 0;
  for (;;) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string name = text.substr(start, comma - start);
    int found = -1;
    for (int s = 0; s < 4; ++s) {
      const std::string seat = kPlayerKeys[s].Name;
      if (seat.size() == name.size() && std::equal(seat.begin(), seat.end(), name.begin(), same))
        found = s;
    }
    if (found < 0) {
      bad = name;
      return false;
    }
    seats.push_back(found);
    if (comma == text.size()) return true;
    start = comma + 1;
  }
}

bool ParseSeats(const std::string& text, std::vector<std::string>& seats, std::string& error) {
  std::vector<int> found;
  std::string bad;
  const bool ok = SeatIndices(text, false, found, bad);
  for (int s : found) seats.emplace_back(kPlayerKeys[s].Name);
  if (!ok) error = "'" + bad + "' is not Green, Red, Blue or Yellow";
  return ok;
}

uint64_t DriverSeed(uint64_t gameSeed, const std::string& seat) {
  // SplitMix64 over the game's seed and the seat's name: unrelated streams per seat.
  uint64_t z = gameSeed ^ 0x6a09e667f3bcc909ULL;
  for (char c : seat) z = (z ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
  z += 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

void Seats::Add(const std::string& seat, Level level, uint64_t gameSeed) {
  for (const Driver& d : drivers_)
    if (d.Seat() == seat) return;
  drivers_.emplace_back(seat, level, DriverSeed(gameSeed, seat));
  choices_.emplace_back();
}

void Seats::Attach(MainFrm& form) {
  form.SetBeforeControls([this](const MainFrm& f) { Think(f); });
}

void Seats::Think(const MainFrm& form) {
  held_.reset();
  if (drivers_.empty()) return;
  view_.now = clock_.Now();
  view_.width = surface_.DrawableWidth();
  view_.height = surface_.DrawableHeight();
  view_.things.clear();
  for (const Thing* t : form.ThingCollection.Items()) view_.things.push_back(t);
  for (size_t i = 0; i < drivers_.size(); ++i) {
    Driver& d = drivers_[i];
    choices_[i] = {};
    const Thing* self = form.Player(d.Seat());
    if (self == nullptr || !form.ThingCollection.Contains(self->ID)) continue;
    Choice c = d.Think(view_, *self);
    choices_[i] = c;
    for (const PlayerKeys& keys : kPlayerKeys) {
      if (d.Seat() != keys.Name) continue;
      // In the order of Steer: none, right, left, forward, backward.
      const uint8_t steering[5] = {0, keys.Right, keys.Left, keys.Forward, keys.Backward};
      if (c.steer != Steer::None) held_.set(steering[static_cast<int>(c.steer)]);
      if (c.fire) held_.set(keys.Fire);
    }
  }
}

}  // namespace tb::bots
