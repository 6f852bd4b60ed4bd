// Costs of the frame tick and its parts. Run: build/rel/bin/treadbrawl-bench
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/sim/NullSurface.h"
#include "app/sim/SimPlatform.h"
#include "platform/SdlSound.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "tests/FullArena.h"

namespace {

using tb::sim::NullSurface;

struct World {
  explicit World(tb::Surface& s) : surface(s) {}
  tb::Surface& surface;
  tb::sim::ScriptedKeys keys;
  tb::sim::RecordingSoundPlayer sound;
  tb::sim::SimClock clock{36000};
  tb::Pcg32 random{1, true};
  tb::MainFrm form{surface, keys, sound, clock, random, "."};
  int64_t tick = 0;
  void Tick() {
    clock.SetTick(++tick);
    form.Timer1Tick();
    sound.Clear();
  }
};

void BM_TickWithDrawing(benchmark::State& state) {
  tb::Raster raster(582, 555);
  World w(raster);
  w.Tick();
  for (auto _ : state) w.Tick();
}
BENCHMARK(BM_TickWithDrawing);

void BM_TickWithoutDrawing(benchmark::State& state) {
  NullSurface surface;
  World w(surface);
  w.Tick();
  for (auto _ : state) w.Tick();
}
BENCHMARK(BM_TickWithoutDrawing);

void BM_Clear(benchmark::State& state) {
  tb::Raster raster(582, 555);
  for (auto _ : state) {
    raster.Clear();
    benchmark::DoNotOptimize(raster.Pixels());
  }
}
BENCHMARK(BM_Clear);

void BM_MemsetSameImage(benchmark::State& state) {
  std::vector<uint32_t> image(582 * 555);
  for (auto _ : state) {
    std::memset(image.data(), 0, image.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(image.data());
  }
}
BENCHMARK(BM_MemsetSameImage);

void BM_FloodFillWholeWindow(benchmark::State& state) {
  tb::Raster raster(582, 555);
  int32_t colour = 1;
  for (auto _ : state) {
    // Alternate the colour so every pass repaints the whole window.
    raster.SetFillColor(colour);
    raster.FloodFill(291, 277, static_cast<int32_t>(raster.PixelAt(291, 277)));
    colour = colour == 1 ? 2 : 1;
  }
}
BENCHMARK(BM_FloodFillWholeWindow);

void BM_HitThings(benchmark::State& state) {
  NullSurface surface;
  World w(surface);
  w.Tick();
  tb::Thing* green = w.form.Player("Green");
  const bool justResults = state.range(0) != 0;
  for (auto _ : state) benchmark::DoNotOptimize(green->HitThings(justResults));
}
BENCHMARK(BM_HitThings)->Arg(0)->Arg(1);

// Blocks and balls on a grid that keeps them apart (the drawing area must hold them).
void AddThings(World& w, int count, int side) {
  w.form.BeginWithoutArena();
  for (int i = 0; i < count; ++i) {
    auto t = std::make_shared<tb::Thing>(w.form);
    t->X = static_cast<float>(50 + 60 * (i % side));
    t->Y = static_cast<float>(50 + 60 * (i / side));
    if (i % 2 == 0) {
      t->Width = 30;
      t->Length = 30;
      t->Color = 0xA0A0A0;
      t->ThingType(tb::Block);
      t->XSpeed = 1;
      t->FindPoints();
    } else {
      t->ThingType(tb::Ball);
      t->Radius = 15;
      t->YSpeed = 1;
    }
    w.form.RegisterThing(t);
  }
}

int SideFor(int count) {
  int side = 1;
  while (side * side < count) ++side;
  return side;
}

void BM_TickWithThings(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const int side = SideFor(count);
  tb::Raster raster(side * 60 + 40, side * 60 + 40);
  World w(raster);
  AddThings(w, count, side);
  for (auto _ : state) w.Tick();
  state.counters["things"] = count;
}
BENCHMARK(BM_TickWithThings)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

// Taking a snapshot and restoring it, on the default arena after a second of play (0) and
// on a crowded one of 750 things.
void BM_SnapshotAndRestore(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const int side = SideFor(count);
  NullSurface surface;
  World w(surface);
  if (count > 0) AddThings(w, count, side);
  for (int i = 0; i < 50; ++i) w.Tick();
  tb::Snapshot snap;
  for (auto _ : state) {
    w.form.TakeSnapshot(snap);
    w.form.RestoreSnapshot(snap);
  }
  state.counters["things"] = static_cast<double>(w.form.ThingCollection.Count());
}
BENCHMARK(BM_SnapshotAndRestore)->Arg(0)->Arg(750)->Unit(benchmark::kMicrosecond);

void BM_SnapshotOnly(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  NullSurface surface;
  World w(surface);
  if (count > 0) AddThings(w, count, SideFor(count));
  for (int i = 0; i < 50; ++i) w.Tick();
  tb::Snapshot snap;
  for (auto _ : state) w.form.TakeSnapshot(snap);
}
BENCHMARK(BM_SnapshotOnly)->Arg(0)->Arg(750)->Unit(benchmark::kMicrosecond);

// Counts the plays and hands them on to the real player, or to none.
struct CountingSound : tb::SoundPlayer {
  tb::SoundPlayer* next = nullptr;
  int64_t plays = 0;
  void PlaySoundFile(const std::string& path) override {
    ++plays;
    if (next != nullptr) next->PlaySoundFile(path);
  }
};

// The worst tick of a long match: every vehicle destroyed, tokens wherever they fit, and a
// random event whose token finds no free place, so that every one of its tries fails (each
// a collision query and a thud). With drawing; Arg 1 plays the thuds through the real sound
// player on SDL's dummy audio driver, Arg 0 through none.
void BM_RandomEventFullArena(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  std::unique_ptr<tb::SdlSoundPlayer> player;
  CountingSound sound;
  if (state.range(0) != 0) {
    player = std::make_unique<tb::SdlSoundPlayer>();
    sound.next = player.get();
  }
  tb::Raster raster(582, 555);
  tb::sim::ScriptedKeys keys;
  tb::sim::SimClock clock{36000};
  tbtest::EventRandom random(1);
  tb::MainFrm form{raster, keys, sound, clock, random, TREADBRAWL_BIN_DIR};
  form.Load();
  int64_t tick = 1;
  clock.SetTick(tick);
  form.Timer1Tick();
  for (const char* colour : {"Green", "Red", "Blue", "Yellow"})
    form.ThingCollection.Remove(form.Player(colour)->ID);
  // Tokens 17 pixels apart, then into every gap left beside the blocks and balls, leave no
  // spot where a new one touches nothing.
  tbtest::FillWithTokens(form, 17);
  tbtest::FillWithTokens(form, 1);
  clock.SetTick(++tick);
  form.Timer1Tick();
  const size_t things = form.ThingCollection.Count();
  int64_t plays = 0;
  for (auto _ : state) {
    sound.plays = 0;
    random.fire = true;
    clock.SetTick(++tick);
    form.Timer1Tick();
    plays += sound.plays;
    if (sound.plays <= tb::MainFrm::kMaxPlacementTries || form.ThingCollection.Count() != things) {
      state.SkipWithError("the event did not fail every try in a full arena");
      break;
    }
  }
  state.counters["things"] = static_cast<double>(things);
  state.counters["plays"] =
      benchmark::Counter(static_cast<double>(plays), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RandomEventFullArena)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
