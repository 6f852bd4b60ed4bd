// The thinking of computer drivers: four of them choosing their keys for one tick of a match
// under way. Run: build/rel/bin/treadbrawl-bench --benchmark_filter=Drivers
#include <benchmark/benchmark.h>

#include "app/sim/NullSurface.h"
#include "app/sim/SimPlatform.h"
#include "bots/Seats.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

namespace {

void BM_DriversThinkPerTick(benchmark::State& state) {
  const auto level = static_cast<tb::bots::Level>(state.range(0));
  tb::sim::NullSurface surface;
  tb::sim::ScriptedKeys keys;
  tb::sim::RecordingSoundPlayer sound;
  tb::sim::SimClock clock(36000);
  tb::Pcg32 random(3, true);
  tb::bots::Seats seats(keys, surface, clock);
  for (const std::string& seat : tb::bots::LastSeats(4)) seats.Add(seat, level, 3);
  tb::MainFrm form(surface, seats, sound, clock, random, ".");
  seats.Attach(form);
  form.Load();
  // Ten seconds in: grenades and tokens about, the drivers' memories filled.
  int64_t tick = 0;
  for (; tick < 500; ++tick) {
    clock.SetTick(tick + 1);
    form.Timer1Tick();
    sound.Clear();
  }
  for (auto _ : state) seats.Think(form);
  // Per driver and tick, in the measurement's own unit.
  state.counters["per_driver"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 4,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DriversThinkPerTick)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
