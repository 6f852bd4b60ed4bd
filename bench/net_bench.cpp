// Cost of rollback: going back 8 ticks and playing them again, as a peer does when a
// remote player's keys arrive late and differ from the guess.
// Run: build/rel/bin/treadbrawl-net-bench
#include <benchmark/benchmark.h>

#include "app/sim/NullSurface.h"
#include "net/Rollback.h"
#include "tests/FullArena.h"

namespace {

class Mute final : public tb::SoundPlayer {
 public:
  void PlaySoundFile(const std::string&) override {}
};

// Going back 8 ticks a minute into a match; with an argument, in an arena then packed with
// tokens that many pixels apart (as long matches leave it, 750 things and more) while two
// vehicles drive about. A bounded number of rounds keeps the arena near full.
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
  if (state.range(0) > 0) {
    // The tokens go in once every key so far is known, and the tick after is known too, so
    // that no rollback reaches back before them.
    confirmRed(0);
    game.Reconcile(false);
    tbtest::FillWithTokens(game.Form(), static_cast<int>(state.range(0)));
    game.Advance({0, 0, 0, 0});
    confirmRed(0);
    game.Reconcile(false);
  }
  state.counters["things"] = static_cast<double>(game.Form().ThingCollection.Count());
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < 8; ++i) game.Advance({4, 0, 0, 0});
    red = static_cast<uint8_t>(red == 4 ? 1 : 4);
    confirmRed(red);  // the guess was wrong for all eight
    state.ResumeTiming();
    game.Reconcile(false);
  }
  state.counters["deepest"] = static_cast<double>(game.Stats().deepest);
  state.counters["things_after"] = static_cast<double>(game.Form().ThingCollection.Count());
}
BENCHMARK(BM_Rollback8Ticks)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rollback8Ticks)->Arg(17)->Iterations(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
