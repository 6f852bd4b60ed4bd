#pragma once
// One tick of a match: the game's own tick, under whatever rules the match adds.
#include <array>
#include <cstdint>

namespace tb {

class MainFrm;

// What runs each tick besides the game itself (a match of rounds): it plays the tick, and its
// small state goes with every snapshot, so that going back puts it back too.
class TickRules {
 public:
  using State = std::array<int64_t, 8>;  // all the rules keep, for snapshots
  virtual ~TickRules() = default;
  // Plays one tick of the game under these rules.
  virtual void PlayTick(MainFrm& form) = 0;
  // The rules' state, and back.
  virtual State Save() const = 0;
  virtual void Restore(const State& state) = 0;
};

// Plays one tick: of the match under `rules`, or of the bare game when there are none.
void PlayTick(MainFrm& form, TickRules* rules);

}  // namespace tb
