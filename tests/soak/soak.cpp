// Long play with random players who drive and fire all the time, checking the world after
// every tick. Usage: treadbrawl-soak [--ticks N] [--seeds A,B,C] [--progress K] [--no-draw]
// (--help lists them).
// --progress prints, every K ticks, the tick, the number of things, the seconds so far and
// the hash of the things (as --hash of the simulator, without the caption), so that two
// builds can be compared on a long game; --no-draw plays without pictures, which leaves the
// world the same and runs faster. At the end it reports how long the ticks took (median,
// 99th and 99.9th percentiles, maximum): processor time of the game's tick alone, not the
// checks.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "app/cli/OptionTable.h"
#include "app/sim/NullSurface.h"
#include "app/sim/RandomPlayers.h"
#include "app/sim/Script.h"
#include "app/sim/SimPlatform.h"
#include "app/sim/StateDump.h"
#include "render/Raster.h"
#include "shell/Controls.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

namespace {

// GCC says so by a macro, clang by a feature test.
#if defined(__SANITIZE_ADDRESS__)
#define TB_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TB_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(TB_ADDRESS_SANITIZER)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
// AddressSanitizer keeps freed blocks in quarantine, so resident memory keeps climbing there;
// its own count of the bytes in use is what a leak or a runaway would show in.
long MemoryKiB() { return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024); }
#else
long MemoryKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4;
}
#endif

// Processor time of this thread: on a busy machine the wall clock would also count the time
// others had the processor.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// How long the ticks took, in whole microseconds up to 100 ms (the rest in the last bucket;
// the maximum is kept exactly), without keeping a value per tick.
class TickTimes {
 public:
  void Add(double seconds) {
    const double us = seconds * 1e6;
    max_ = std::max(max_, seconds);
    size_t bucket = us >= static_cast<double>(counts_.size() - 1) ? counts_.size() - 1
                                                                  : static_cast<size_t>(us);
    ++counts_[bucket];
    ++total_;
  }
  // The time in milliseconds that this share of the ticks stayed within.
  double Quantile(double share) const {
    const uint64_t want = static_cast<uint64_t>(std::ceil(share * static_cast<double>(total_)));
    uint64_t seen = 0;
    for (size_t i = 0; i < counts_.size(); ++i) {
      seen += counts_[i];
      if (seen >= want && seen > 0) return static_cast<double>(i + 1) / 1000.0;
    }
    return MaxMs();
  }
  double MaxMs() const { return max_ * 1000.0; }

 private:
  std::vector<uint64_t> counts_ = std::vector<uint64_t>(100000, 0);
  uint64_t total_ = 0;
  double max_ = 0;
};

int Fail(uint64_t seed, int64_t tick, const std::string& what) {
  std::fprintf(stderr, "soak: seed %llu tick %lld: %s\n", static_cast<unsigned long long>(seed),
               static_cast<long long>(tick), what.c_str());
  return 1;
}

int Soak(uint64_t seed, int64_t ticks, int64_t progress, bool draw) {
  const auto began = std::chrono::steady_clock::now();
  tb::Raster raster(draw ? 582 : 1, draw ? 555 : 1);
  tb::sim::NullSurface blank;
  tb::Surface& surface = draw ? static_cast<tb::Surface&>(raster) : blank;
  tb::sim::ScriptedKeys keys;
  // Sounds are dropped, not recorded: copying thousands of paths in a tick (a token that
  // finds no place) would be counted as the game's own time.
  tb::SilentSound sound;
  tb::sim::SimClock clock(36000);
  tb::Pcg32 random(seed, true);
  tb::MainFrm form(surface, keys, sound, clock, random, ".");
  form.Load();
  tb::sim::RandomPlayers players(seed);
  size_t maxThings = 0;
  TickTimes times;
  long memoryAtMinute = 0, maxMemory = 0;
  for (int64_t tick = 1; tick <= ticks; ++tick) {
    clock.SetTick(tick);
    players.Press(tick, keys);
    const double tickBegan = ThreadSeconds();
    form.Timer1Tick();
    times.Add(ThreadSeconds() - tickBegan);

    std::vector<tb::Thing*> things = form.ThingCollection.Items();
    maxThings = std::max(maxThings, things.size());
    if (things.size() > 2000) return Fail(seed, tick, "runaway number of things");
    long last = 0;
    for (tb::Thing* t : things) {
      bool finite = true;
      t->VisitFields([&](const char*, auto& f) {
        if constexpr (std::is_same_v<std::decay_t<decltype(f)>, float>)
          finite = finite && std::isfinite(f);
      });
      if (!finite) return Fail(seed, tick, t->ID + " has a field that is not finite");
      long number = std::strtol(t->ID.c_str() + 2, nullptr, 10);
      if (number <= last) return Fail(seed, tick, "IDs out of order at " + t->ID);
      last = number;
    }
    for (const tb::PlayerKeys& p : tb::kPlayerKeys) {
      tb::Thing* v = form.Player(p.Name);
      if (v == nullptr) return Fail(seed, tick, std::string(p.Name) + " left the players");
      const bool exploded = v->HasExploded();
      if (form.ThingCollection.Contains(v->ID) == exploded)
        return Fail(seed, tick,
                    std::string(p.Name) + (exploded ? " exploded but is still in the world"
                                                    : " is out of the world unexploded"));
    }
    if (progress > 0 && tick % progress == 0) {
      std::chrono::duration<double> spent = std::chrono::steady_clock::now() - began;
      std::fprintf(stderr, "soak: seed %llu tick %lld: %zu things, %.1f s, hash %s\n",
                   static_cast<unsigned long long>(seed), static_cast<long long>(tick),
                   things.size(), spent.count(),
                   tb::sim::HashHex(tb::sim::WorldHash(form, "")).c_str());
    }
    if (tick == 3000) memoryAtMinute = MemoryKiB();
    if (tick > 3000 && tick % 1000 == 0) maxMemory = std::max(maxMemory, MemoryKiB());
  }
  std::printf(
      "soak: seed %llu: %lld ticks, at most %zu things, memory %ld KiB after a minute, "
      "%ld KiB at most later\n",
      static_cast<unsigned long long>(seed), static_cast<long long>(ticks), maxThings,
      memoryAtMinute, maxMemory);
  std::printf("soak: seed %llu: tick times in ms: median %.3f, p99 %.3f, p99.9 %.3f, max %.3f\n",
              static_cast<unsigned long long>(seed), times.Quantile(0.5), times.Quantile(0.99),
              times.Quantile(0.999), times.MaxMs());
  if (memoryAtMinute > 0 && maxMemory > memoryAtMinute + 8192)
    return Fail(seed, ticks, "memory grew after the first minute");
  return 0;
}

// What the command line asked for.
struct SoakArgs {
  int64_t ticks = 100000;
  std::vector<uint64_t> seeds = {1, 2, 3};
  int64_t progress = 0;  // 0: no progress lines
  bool draw = true;
  bool help = false;
};

using Row = tb::cli::OptionRowFor<SoakArgs>;

// A whole number of ticks from 0 to a billion, stored in `field`.
decltype(Row::apply) Ticks(int64_t SoakArgs::*field) {
  return [field](const std::string& v, SoakArgs& a, std::string& e) {
    uint64_t n = 0;
    if (!tb::sim::ParseWholeNumber(v, tb::sim::kMaxTick, n)) {
      e = "'" + v + "' is not a whole number from 0 to " + std::to_string(tb::sim::kMaxTick);
      return false;
    }
    a.*field = static_cast<int64_t>(n);
    return true;
  };
}

// Every option, in the order --help lists them.
const std::vector<Row>& Options() {
  static const std::vector<Row> rows = {
      {"--ticks", "N", "ticks to play on each seed (default 100000)", Ticks(&SoakArgs::ticks)},
      {"--seeds", "A,B,C", "the seeds to play, comma-separated (default 1,2,3)",
       [](const std::string& v, SoakArgs& a, std::string& e) {
         a.seeds.clear();
         for (size_t at = 0; at <= v.size();) {
           const size_t comma = std::min(v.find(',', at), v.size());
           uint64_t seed = 0;
           if (!tb::sim::ParseWholeNumber(std::string_view(v).substr(at, comma - at), UINT64_MAX,
                                          seed)) {
             e = "'" + v + "' is not a list of seeds like 1,2,3";
             return false;
           }
           a.seeds.push_back(seed);
           at = comma + 1;
         }
         return true;
       }},
      {"--progress", "K",
       "every K ticks print the tick, the things, the seconds so far and\n"
       "the hash of the things",
       Ticks(&SoakArgs::progress)},
      {"--no-draw", "", "play without pictures: the same world, sooner",
       tb::cli::SetsFlag(&SoakArgs::draw, false)},
      {"--help", "", "show this text", tb::cli::SetsFlag(&SoakArgs::help)},
  };
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  SoakArgs args;
  std::string error;
  if (!tb::cli::ParseRows(Options(), std::vector<std::string>(argv + 1, argv + argc), args, error,
                          {"unknown option", true})) {
    std::fprintf(stderr, "treadbrawl-soak: %s\n", error.c_str());
    return 2;
  }
  if (args.help) {
    const std::string help =
        "Usage: treadbrawl-soak [options]\n" + tb::cli::HelpRows(Options(), 16);
    std::fputs(help.c_str(), stdout);
    return 0;
  }
  int status = 0;
  for (uint64_t seed : args.seeds) status |= Soak(seed, args.ticks, args.progress, args.draw);
  return status;
}
