#include "net/SeatMask.h"

#include <algorithm>
#include <cctype>

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
  seats = 0;
  size_t at = 0;
  while (at <= text.size()) {
    size_t comma = text.find(',', at);
    if (comma == std::string::npos) comma = text.size();
    std::string name = text.substr(at, comma - at);
    int found = -1;
    for (int s = 0; s < kSeats; ++s) {
      std::string seat = kPlayerKeys[s].Name;
      if (seat.size() == name.size() &&
          std::equal(seat.begin(), seat.end(), name.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
          }))
        found = s;
    }
    if (found < 0) {
      problem = "'" + name + "' is not a seat (Green, Red, Blue, Yellow)";
      return false;
    }
    seats = static_cast<uint8_t>(seats | (1u << found));
    at = comma + 1;
  }
  return true;
}

}  // namespace tb::net
