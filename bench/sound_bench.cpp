// What playing sounds costs the game's thread, through the real player on SDL's dummy audio
// driver: a play only hands its path over, whatever the file. Run:
// build/rel/bin/treadbrawl-bench --benchmark_filter='PlayLongFile|SpoiltSounds'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/sim/SimPlatform.h"
#include "platform/SdlSound.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "tests/platform/SoundFaults.h"
#include "tests/platform/ThreadTime.h"

namespace {

namespace fs = std::filesystem;

// Removes the spoilt game folder at the end.
struct Folder {
  explicit Folder(tb::Fault fault)
      : path(tb::GameFolder(fault, std::string(TREADBRAWL_BIN_DIR) + "/Sounds")) {}
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

// One play of a 30 s 48 kHz stereo file, the worker idle before it as at the first play of a
// tick: the caller's processor time. Target: under 1 ms.
void BM_PlayLongFile(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const Folder folder(tb::Fault::Long);
  const std::string path = (folder.path / "long.wav").string();
  tb::SdlSoundPlayer player;
  if (!player.HasDevice()) state.SkipWithError("no audio device");
  for (auto _ : state) {
    state.PauseTiming();
    player.WaitIdle(std::chrono::seconds(20));
    state.ResumeTiming();
    player.PlaySoundFile(path);
  }
  player.WaitIdle(std::chrono::seconds(20));
  state.counters["files"] = player.FilesPlayed();
}
BENCHMARK(BM_PlayLongFile)->Iterations(20)->Unit(benchmark::kMicrosecond);

// The real player, with the longest play on the caller's thread.
struct TimedSound final : tb::SoundPlayer {
  tb::SdlSoundPlayer player;
  int64_t longestMicros = 0;
  void PlaySoundFile(const std::string& path) override {
    const int64_t begin = tb::ThreadMicros();
    player.PlaySoundFile(path);
    longestMicros = std::max(longestMicros, tb::ThreadMicros() - begin);
  }
};

// Ticks of a game where every player fires all the time (launches, horns, bangs), with
// drawing, its sound files spoilt as the argument says (tb::Fault: 0 intact, 1 folder
// missing, 2 cut to 10 bytes, 3 directories, 4 unconvertible, 5 every file 30 s of 48 kHz
// stereo). Counters: the 95th percentile of a tick and the longest play, in ms of the
// game's thread. Targets: a play under 1 ms, the 95th percentile far below the 20 ms frame.
void BM_TickWithSpoiltSounds(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const auto fault = static_cast<tb::Fault>(state.range(0));
  state.SetLabel(tb::FaultName(fault));
  const Folder folder(fault);
  tb::Raster raster(582, 555);
  tb::TriggerHappy keys;
  TimedSound sound;
  tb::sim::SimClock clock{36000};
  tb::Pcg32 random(77, true);
  tb::MainFrm form(raster, keys, sound, clock, random, folder.path.string());
  form.Load();
  int64_t tick = 0;
  std::vector<int64_t> micros;
  for (auto _ : state) {
    clock.SetTick(++tick);
    const int64_t begin = tb::ThreadMicros();
    form.Timer1Tick();
    micros.push_back(tb::ThreadMicros() - begin);
  }
  sound.player.WaitIdle(std::chrono::seconds(20));
  if (!micros.empty()) {
    auto p95 = micros.begin() + static_cast<std::ptrdiff_t>(micros.size() * 95 / 100);
    std::nth_element(micros.begin(), p95, micros.end());
    state.counters["p95_ms"] = static_cast<double>(*p95) / 1000.0;
  }
  state.counters["longest_play_ms"] = static_cast<double>(sound.longestMicros) / 1000.0;
}
BENCHMARK(BM_TickWithSpoiltSounds)
    ->DenseRange(0, 5)
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
