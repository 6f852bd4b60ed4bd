#pragma once
// Seats as a bit mask (Green 1, Red 2, Blue 4, Yellow 8): tests, counts and names.
#include <cstdint>
#include <string>

#include "net/Protocol.h"

namespace tb::net {

// Whether the mask holds the seat.
inline bool Has(uint8_t seats, int seat) { return (seats & (1u << seat)) != 0; }

// The lowest seat of the mask; 0 for none.
inline int FirstSeat(uint8_t seats) {
  for (int s = 0; s < kSeats; ++s)
    if (Has(seats, s)) return s;
  return 0;
}

// How many seats the mask holds.
inline int SeatCount(uint8_t seats) {
  int n = 0;
  for (int s = 0; s < kSeats; ++s) n += Has(seats, s) ? 1 : 0;
  return n;
}

// "Green, Blue" for a seat mask.
std::string SeatNames(uint8_t seats);
// Parses "Green,Blue" (any case) into a mask; false with the problem.
bool ParseSeats(const std::string& text, uint8_t& seats, std::string& problem);

}  // namespace tb::net
