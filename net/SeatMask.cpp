#include "net/SeatMask.h"

#include <vector>

#include "bots/Seats.h"
#include "shell/Controls.h"

namespace tb::net {

std::string SeatNames(uint8_t seats) {
  std::string out;
  for (int s = 0; s < kSeats; ++s) {
    if (!Has(seats, s)) continue;
    if (!out.empty()) out += ", ";
    out += kPlayerKeys[s].Name;
  }
  return out;
}

bool ParseSeats(const std::string& text, uint8_t& seats, std::string& problem) {
  std::vector<int> found;
  std::string bad;
  const bool ok = bots::SeatIndices(text, true, found, bad);
  seats = 0;
  for (int s : found) seats = static_cast<uint8_t>(seats | (1u << s));
  if (!ok) problem = "'" + bad + "' is not a seat (Green, Red, Blue, Yellow)";
  return ok;
}

}  // namespace tb::net
