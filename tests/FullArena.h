#pragma once
// An arena packed with tokens and a generator that fires the random event on demand: for the
// test and the benchmark of tokens that find no free place.
#include <cstdint>
#include <memory>

#include "shell/MainFrm.h"
#include "shell/Random.h"

namespace tbtest {

// The game's generator, except that the next draw can be made to fire the random event.
struct EventRandom : tb::RandomSource {
  explicit EventRandom(uint64_t seed) : pcg(seed, true) {}
  tb::Pcg32 pcg;
  bool fire = false;
  void Randomize(float now) override { pcg.Randomize(now); }
  float Draw() override {
    if (!fire) return pcg.Draw();
    fire = false;
    return 0.0f;
  }
  uint64_t SaveState() const override { return pcg.SaveState(); }
  void RestoreState(uint64_t state) override { pcg.RestoreState(state); }
};

// Tokens `step` pixels apart over a 582 x 555 arena, each kept only where it touches nothing
// (one on a vehicle is taken by it).
inline void FillWithTokens(tb::MainFrm& form, int step) {
  for (int y = 0; y < 555; y += step) {
    for (int x = 0; x < 582; x += step) {
      auto t = std::make_shared<tb::Thing>(form);
      t->X = static_cast<float>(x + 8);
      t->Y = static_cast<float>(y + 8);
      t->PowerUpType((x + y) % 5);
      t->ThingType(tb::PowerUp);
      t->Radius = 8;
      form.RegisterThing(t);
      if (t->HitThings(true)) form.ThingCollection.Remove(t->ID);
    }
  }
}

}  // namespace tbtest
