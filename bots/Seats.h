#pragma once
// Computer drivers in some of the seats, and the key state the controls read: whatever the
// players hold, with the drivers' keys added. The drivers choose once per tick, just before
// the controls are polled, from a read-only look at the world.
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "bots/Driver.h"
#include "render/Surface.h"
#include "shell/Platform.h"

namespace tb {
class MainFrm;
}

namespace tb::bots {

// The seats given to drivers by --bots N: the last N, Yellow first, then Blue, Red, Green.
std::vector<std::string> LastSeats(int count);
// The seats a comma-separated list of colour names gives, added to `seats` in order as indices
// into kPlayerKeys; `anyCase` takes "green" for Green. False at the first name that is no
// colour, with that name in `bad`.
bool SeatIndices(const std::string& text, bool anyCase, std::vector<int>& seats, std::string& bad);
// A comma-separated list of colour names, as --bot takes it; false with a message if bad.
bool ParseSeats(const std::string& text, std::vector<std::string>& seats, std::string& error);
// A driver's own seed, derived from the game's seed and its seat.
uint64_t DriverSeed(uint64_t gameSeed, const std::string& seat);

// The drivers, and the keys the controls read: the players' and theirs together.
class Seats final : public KeyState {
 public:
  // Over the players' keys; the drivers see the world through this surface and clock.
  Seats(const KeyState& human, const Surface& surface, Clock& clock)
      : human_(human), surface_(surface), clock_(clock) {}

  // Puts a driver in a seat; a seat named twice keeps its first driver.
  void Add(const std::string& seat, Level level, uint64_t gameSeed);
  bool Empty() const { return drivers_.empty(); }  // no seat has a driver
  // Lets the drivers choose on every tick of this game.
  void Attach(MainFrm& form);
  // Chooses this tick's keys; what Attach hooks in.
  void Think(const MainFrm& form);

  // Held by a player, or by a driver on this tick.
  bool IsKeyDown(uint8_t virtualKey) const override {
    return held_.test(virtualKey) || human_.IsKeyDown(virtualKey);
  }
  const std::vector<Driver>& Drivers() const { return drivers_; }  // in the order added
  // The choice each driver made on the latest tick, in the order of Drivers().
  const std::vector<Choice>& Choices() const { return choices_; }

 private:
  const KeyState& human_;
  const Surface& surface_;
  Clock& clock_;
  std::vector<Driver> drivers_;
  std::vector<Choice> choices_;
  std::bitset<256> held_;
  View view_;
};

}  // namespace tb::bots
