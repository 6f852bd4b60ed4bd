// Cost of rollback: going back 8 ticks and playing them again, as a peer does when a
// remote player's keys arrive late and differ from the guess.
// Run: build/rel/bin/treadbrawl-net-bench
#include <benchmark/benchmark.h>

#include "app/sim/NullSurface.h"
#include "net/Rollback.h"

namespace {

class Mute final : public tb::SoundPlayer {
 public:
  void PlaySoundFile(const std::string&) override {}
};

void BM_Rollback8Ticks(benchmark::State& state) {
  tb::sim::NullSurface screen;
  Mute sound;
  tb::net::RollbackGame game(screen, sound, 7, 36000.0, ".");
  game.SetSeats(0x01, 0x0C);
  uint8_t red = 0;
  auto confirmRed = [&](uint8_t keys) {
    const int64_t from = game.Known(1) + 1;
    std::vector<uint8_t> run(static_cast<size_t>(game.Tick() - from + 1), keys);
    game.AddKeys(1, from, run.data(), run.size());
  };
  // A minute in, with things moving about.
  for (int t = 0; t < 3000; ++t) {
    game.Advance({static_cast<uint8_t>(t / 50 % 2 ? 4 : 1), 0, 0, 0});
    if (t % 4 == 0) confirmRed(static_cast<uint8_t>(t / 30 % 3 == 0 ? 4 : 0));
    game.Reconcile(false);
  }
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < 8; ++i) game.Advance({4, 0, 0, 0});
    red = static_cast<uint8_t>(red == 4 ? 1 : 4);
    confirmRed(red);  // the guess was wrong for all eight
    state.ResumeTiming();
    game.Reconcile(false);
  }
  state.counters["deepest"] = static_cast<double>(game.Stats().deepest);
}
BENCHMARK(BM_Rollback8Ticks)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
