#pragma once
// Players who drive and fire all the time: every few ticks each holds one steering key,
// picked at random, and the fire key. For long unattended runs.
#include <cstdint>

#include "app/sim/SimPlatform.h"
#include "shell/Controls.h"
#include "shell/Random.h"

namespace tb::sim {

class RandomPlayers {
 public:
  explicit RandomPlayers(uint64_t seed) : random_(seed * 7919 + 1, true) {}
  void Press(int64_t tick, ScriptedKeys& keys) {
    if (tick % 8 != 1) return;
    keys.ReleaseAll();
    for (const PlayerKeys& p : kPlayerKeys) {
      const uint8_t steer[] = {p.Right, p.Left, p.Forward, p.Forward, p.Backward};
      keys.Press(steer[random_.Next() % 5]);
      keys.Press(p.Fire);
    }
  }

 private:
  Pcg32 random_;
};

}  // namespace tb::sim
