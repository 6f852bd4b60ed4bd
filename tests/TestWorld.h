#pragma once
// A game window with injected keys, clock, sounds and random draws, for tests.
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "world/ThingAccess.h"

namespace tbtest {

struct HeldKeys : tb::KeyState {
  std::set<uint8_t> down;
  bool IsKeyDown(uint8_t k) const override { return down.count(k) != 0; }
};

// Stands still unless given a step; with one, every reading is `step` later than the one
// before, so an operation that reuses a reading instead of taking a fresh one shows.
struct ManualClock : tb::Clock {
  float now = 36000.0f;
  double step = 0;
  float Now() override {
    float reading = now;
    now = static_cast<float>(static_cast<double>(now) + step);
    return reading;
  }
};

struct SoundLog : tb::SoundPlayer {
  std::vector<std::string> paths;
  std::function<void(const std::string&)> onPlay;  // a look at the world as each sound starts
  void PlaySoundFile(const std::string& p) override {
    paths.push_back(p);
    if (onPlay) onPlay(p);
  }
  int Count(const std::string& part) const {
    int n = 0;
    for (const auto& p : paths) n += p.find(part) != std::string::npos;
    return n;
  }
};

// Hands out queued draws first, then a fixed-seed sequence.
struct QueuedRandom : tb::RandomSource {
  std::deque<float> queue;
  tb::Pcg32 rest{12345, true};
  int drawn = 0;
  void Randomize(float) override {}
  float Draw() override {
    ++drawn;
    if (queue.empty()) return rest.Draw();
    float r = queue.front();
    queue.pop_front();
    return r;
  }
  // The queue is the test's own business; only the generator behind it is saved.
  uint64_t SaveState() const override { return rest.SaveState(); }
  void RestoreState(uint64_t state) override { rest.RestoreState(state); }
};

struct TestWorld {
  explicit TestWorld(int w = 582, int h = 555) : raster(w, h) {}
  tb::Raster raster;
  HeldKeys keys;
  ManualClock clock;
  SoundLog sound;
  QueuedRandom random;
  tb::MainFrm frm{raster, keys, sound, clock, random, "/game"};

  std::shared_ptr<tb::Thing> Rect(int32_t kind, float x, float y, int32_t w, int32_t l,
                                  float angle = 0) {
    auto t = std::make_shared<tb::Thing>(frm);
    t->Width = w;
    t->Length = l;
    t->X = x;
    t->Y = y;
    t->Angle = angle;
    t->Color = 0x808080;
    t->ThingType(kind);
    t->FindPoints();
    frm.RegisterThing(t);
    return t;
  }
  std::shared_ptr<tb::Thing> Round(int32_t kind, float x, float y, int32_t r) {
    auto t = std::make_shared<tb::Thing>(frm);
    t->X = x;
    t->Y = y;
    t->ThingType(kind);
    t->Radius = r;
    frm.RegisterThing(t);
    return t;
  }
};

}  // namespace tbtest
