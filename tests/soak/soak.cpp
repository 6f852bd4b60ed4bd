// treadbrawl_soak: plays whole games in-process with four restless random players and checks
// the world after every tick. Exit status 0 when every check held.
//
//   treadbrawl_soak [--ticks N] [--seeds A,B,...] [--quiet]
//
// The default (100000 ticks on seeds 1, 2 and 3) is the CTest soak; a long run is
//   treadbrawl_soak --ticks 10000000 --seeds 1
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

#include "app/sim/SimPlatform.h"
#include "render/Raster.h"
#include "shell/Controls.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

#if defined(__SANITIZE_ADDRESS__)
#define TB_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TB_SOAK_ASAN 1
#endif
#endif

#ifdef TB_SOAK_ASAN
// Freed blocks wait in the sanitizer's quarantine, which would look like growth to the
// memory check; a small quarantine still catches late use of a freshly freed thing.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }
#endif

namespace {

constexpr int kWidth = 582;
constexpr int kHeight = 555;
constexpr size_t kMaxLiveThings = 2000;
constexpr int64_t kMemoryBaselineTick = 3000;
constexpr int64_t kMemoryCheckEvery = 1000;
constexpr long kMemoryMarginKb = 8 * 1024;

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * 4;  // pages of 4 KiB on the machines we run on
}

// Each player holds a random set of controls for a few ticks, then picks again. Fire is held
// most of the time so grenades fly whenever the game lets them.
class RestlessPlayers {
 public:
  explicit RestlessPlayers(uint64_t seed) : random_(seed ^ 0x5eed5eed5eedULL, true) {}

  void Next(tb::sim::ScriptedKeys& keys) {
    keys.ReleaseAll();
    for (int p = 0; p < 4; ++p) {
      if (--hold_[p] <= 0) {
        hold_[p] = 1 + static_cast<int>(random_.Next() % 8);
        choice_[p] = random_.Next();
      }
      const tb::PlayerKeys& k = tb::kPlayerKeys[p];
      const uint8_t controls[5] = {k.Right, k.Left, k.Forward, k.Backward, k.Fire};
      // Bits 0-4 pick the driving keys (several at once is allowed); fire 7 times in 8.
      for (int c = 0; c < 4; ++c)
        if (choice_[p] & (1u << c)) keys.Press(controls[c]);
      if ((choice_[p] >> 8) % 8 != 0) keys.Press(controls[4]);
    }
  }

 private:
  tb::Pcg32 random_;
  int hold_[4] = {0, 0, 0, 0};
  uint32_t choice_[4] = {0, 0, 0, 0};
};

struct Figures {
  size_t maxThings = 0;
  long baselineKb = 0;
  long maxKb = 0;
  int destroyed = 0;
};

bool Fail(uint64_t seed, int64_t tick, const std::string& what) {
  std::fprintf(stderr, "soak: seed %llu tick %lld: %s\n", static_cast<unsigned long long>(seed),
               static_cast<long long>(tick), what.c_str());
  return false;
}

bool FloatsFinite(const tb::Thing& t, std::string& bad) {
  bool ok = true;
  t.VisitFields([&](const char* name, const auto& field) {
    if constexpr (std::is_same_v<std::decay_t<decltype(field)>, float>) {
      if (ok && !std::isfinite(field)) {
        ok = false;
        bad = t.ID + "." + name;
      }
    }
  });
  return ok;
}

long NumberOfID(const std::string& id) {
  if (id.size() < 3 || id.compare(0, 2, "ID") != 0) return -1;
  char* end = nullptr;
  long n = std::strtol(id.c_str() + 2, &end, 10);
  return *end == '\0' ? n : -1;
}

bool RunSeed(uint64_t seed, int64_t ticks, bool quiet, Figures& fig) {
  tb::Raster raster(kWidth, kHeight);
  tb::sim::ScriptedKeys keys;
  tb::sim::RecordingSoundPlayer sounds;
  tb::sim::SimClock clock(36000.0);
  tb::Pcg32 random(seed, true);
  tb::MainFrm form(raster, keys, sounds, clock, random, ".");
  RestlessPlayers players(seed);
  form.Load();
  const auto start = std::chrono::steady_clock::now();

  const tb::Thing* vehicles[4] = {nullptr, nullptr, nullptr, nullptr};
  bool gone[4] = {false, false, false, false};
  std::string bad;
  for (int64_t tick = 1; tick <= ticks; ++tick) {
    clock.SetTick(tick);
    sounds.SetTick(tick);
    players.Next(keys);
    form.Timer1Tick();
    sounds.Clear();

    long lastID = 0;
    size_t live = 0;
    for (const tb::Thing* t : form.ThingCollection.Items()) {
      ++live;
      if (!FloatsFinite(*t, bad)) return Fail(seed, tick, "not finite: " + bad);
      long id = NumberOfID(t->ID);
      if (id <= lastID) return Fail(seed, tick, "ID out of order: " + t->ID);
      if (id > form.IssuedIDs()) return Fail(seed, tick, "ID never issued: " + t->ID);
      lastID = id;
    }
    if (live != form.ThingCollection.Count()) return Fail(seed, tick, "count disagrees");
    if (live >= kMaxLiveThings) return Fail(seed, tick, std::to_string(live) + " things");
    if (live > fig.maxThings) fig.maxThings = live;

    for (int p = 0; p < 4; ++p) {
      const tb::Thing* v = form.Player(tb::kPlayerKeys[p].Name);
      const std::string colour = tb::kPlayerKeys[p].Name;
      if (v == nullptr) return Fail(seed, tick, colour + " has no vehicle");
      if (vehicles[p] == nullptr) vehicles[p] = v;
      if (v != vehicles[p]) return Fail(seed, tick, colour + " changed vehicle");
      bool inWorld = form.ThingCollection.Contains(v->ID);
      if (gone[p] && inWorld) return Fail(seed, tick, colour + " came back");
      if (!inWorld && !gone[p]) {
        gone[p] = true;
        ++fig.destroyed;
        if (!quiet) std::printf("  seed %llu: %s destroyed at tick %lld\n",
                                static_cast<unsigned long long>(seed), colour.c_str(),
                                static_cast<long long>(tick));
      }
      if (!FloatsFinite(*v, bad)) return Fail(seed, tick, "not finite: " + bad);
    }

    if (tick == kMemoryBaselineTick) fig.baselineKb = ResidentKb();
    if (tick > kMemoryBaselineTick && (tick % kMemoryCheckEvery == 0 || tick == ticks)) {
      long kb = ResidentKb();
      if (kb > fig.maxKb) fig.maxKb = kb;
      if (kb > fig.baselineKb + kMemoryMarginKb)
        return Fail(seed, tick,
                    "resident " + std::to_string(kb) + " KiB, was " +
                        std::to_string(fig.baselineKb) + " KiB at tick 3000");
    }
    if (!quiet && tick % 100000 == 0) {
      double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                           .count();
      std::printf("  seed %llu: tick %lld, %zu things (at most %zu), %ld KiB, %.0f s\n",
                  static_cast<unsigned long long>(seed), static_cast<long long>(tick), live,
                  fig.maxThings, ResidentKb(), seconds);
      std::fflush(stdout);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int64_t ticks = 100000;
  std::vector<uint64_t> seeds = {1, 2, 3};
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--ticks" && i + 1 < argc) {
      ticks = std::strtoll(argv[++i], nullptr, 10);
    } else if (a == "--seeds" && i + 1 < argc) {
      seeds.clear();
      std::string list = argv[++i];
      for (size_t at = 0; at <= list.size();) {
        size_t comma = std::min(list.find(',', at), list.size());
        std::string one = list.substr(at, comma - at);
        if (one.empty() || one.find_first_not_of("0123456789") != std::string::npos) {
          std::fprintf(stderr, "soak: bad seed list '%s'\n", list.c_str());
          return 2;
        }
        seeds.push_back(std::strtoull(one.c_str(), nullptr, 10));
        at = comma + 1;
      }
    } else if (a == "--quiet") {
      quiet = true;
    } else {
      std::fprintf(stderr, "usage: treadbrawl_soak [--ticks N] [--seeds A,B,...] [--quiet]\n");
      return 2;
    }
  }
  if (ticks < 1 || seeds.empty()) {
    std::fprintf(stderr, "soak: nothing to run\n");
    return 2;
  }
  for (uint64_t seed : seeds) {
    Figures fig;
    auto start = std::chrono::steady_clock::now();
    if (!RunSeed(seed, ticks, quiet, fig)) return 1;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("seed %llu: %lld ticks ok in %.1f s (%.0f ticks/s), at most %zu things, "
                "%d vehicles destroyed, resident %ld KiB at tick 3000, at most %ld KiB after\n",
                static_cast<unsigned long long>(seed), static_cast<long long>(ticks), seconds,
                static_cast<double>(ticks) / seconds, fig.maxThings, fig.destroyed,
                fig.baselineKb, fig.maxKb);
    std::fflush(stdout);
  }
  return 0;
}
