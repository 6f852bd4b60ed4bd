#pragma once
// Computer drivers measured against each other: one-against-one matches between levels and
// against an idle vehicle, and four-driver matches, over many seeds, played without pictures.
#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>

#include "app/sim/Simulator.h"
#include "bots/Driver.h"

namespace tb::sim {

// Who sits where: a level per seat (Green, Red, Blue, Yellow), or nobody (an idle vehicle).
using SeatLevels = std::array<std::optional<bots::Level>, 4>;

struct MatchResult {
  std::array<int64_t, 4> destroyedAt{};  // tick the vehicle left the world; 0: it did not
  std::array<int32_t, 4> damage{};       // at the end
  int64_t ticks = 0;                     // ticks played
  int64_t botTicks = 0;                  // ticks driven by computer drivers, summed over seats
  int64_t stuckTicks = 0;                // of those, ticks pushing without getting anywhere
  int64_t longestStuck = 0;              // longest such run of one driver, in ticks
  double thinkSeconds = 0;               // processor time the drivers spent choosing
};

// Plays one match until at most one vehicle among `until` is left (all four when empty) or
// `maxTicks` have run.
MatchResult PlayMatch(uint64_t seed, const SeatLevels& seats, int64_t maxTicks,
                      const std::array<bool, 4>& until);

// Whether seat a beat seat b: b was destroyed first, or both lasted and b took more damage.
bool Beats(const MatchResult& r, int a, int b);

// --tournament: every pairing on options.tournamentSeeds seeds from options.seed; prints
// the table. Returns the exit status.
int RunTournament(const SimOptions& options, std::ostream& out);

}  // namespace tb::sim
