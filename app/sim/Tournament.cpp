#include "app/sim/Tournament.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "app/sim/NullSurface.h"
#include "app/sim/SimPlatform.h"
#include "bots/Seats.h"
#include "match/Tick.h"
#include "shell/Controls.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

namespace tb::sim {

namespace {

constexpr int64_t kFiveMinutes = 5 * 60 * 50;
constexpr int kStuckWindow = 50;  // a second
constexpr double kStuckDistance = 10;

struct SeatWatch {
  std::vector<std::pair<float, float>> trail;
  std::vector<bool> pushes;  // over the same ticks as the trail
  int64_t run = 0;
};

}  // namespace

MatchResult PlayMatch(uint64_t seed, const SeatLevels& seats, int64_t maxTicks,
                      const std::array<bool, 4>& until) {
  NullSurface surface;
  ScriptedKeys nobody;
  SilentSound sound;
  SimClock clock(36000.0);
  Pcg32 random(seed, true);
  bots::Seats drivers(nobody, surface, clock);
  std::array<int, 4> driverOf{-1, -1, -1, -1};
  for (int i = 0; i < 4; ++i) {
    if (!seats[i]) continue;
    driverOf[i] = static_cast<int>(drivers.Drivers().size());
    drivers.Add(kPlayerKeys[i].Name, *seats[i], seed);
  }
  MainFrm form(surface, drivers, sound, clock, random, ".");
  MatchResult result;
  // Processor time, not wall time: the machine may be busy with other work.
  form.SetBeforeControls([&](const MainFrm& f) {
    std::clock_t start = std::clock();
    drivers.Think(f);
    result.thinkSeconds += static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  });
  form.Load();
  bool all = !(until[0] || until[1] || until[2] || until[3]);
  std::array<SeatWatch, 4> watch;
  for (int64_t tick = 1; tick <= maxTicks; ++tick) {
    clock.SetTick(tick);
    PlayTick(form, nullptr);
    result.ticks = tick;
    int left = 0;
    for (int i = 0; i < 4; ++i) {
      const Thing* v = form.Player(kPlayerKeys[i].Name);
      bool alive = v != nullptr && form.ThingCollection.Contains(v->ID);
      if (!alive && result.destroyedAt[i] == 0) result.destroyedAt[i] = tick;
      if (v != nullptr) result.damage[i] = v->DamageTaken();
      if (alive && (all || until[i])) ++left;
      if (!alive || driverOf[i] < 0) continue;
      // Stuck: pushing forward or back on most of the last second and yet hardly moved.
      ++result.botTicks;
      SeatWatch& w = watch[i];
      w.trail.emplace_back(v->X, v->Y);
      if (w.trail.size() > kStuckWindow) w.trail.erase(w.trail.begin());
      bots::Steer s = drivers.Choices()[driverOf[i]].steer;
      bool pushing = s == bots::Steer::Forward || s == bots::Steer::Backward;
      w.pushes.push_back(pushing);
      if (w.pushes.size() > kStuckWindow) w.pushes.erase(w.pushes.begin());
      bool stuck = false;
      // Setting off after standing still is not being stuck.
      auto pushed = std::count(w.pushes.begin(), w.pushes.end(), true);
      if (pushing && w.trail.size() == kStuckWindow && pushed * 2 >= kStuckWindow) {
        double moved = std::hypot(static_cast<double>(v->X) - w.trail.front().first,
                                  static_cast<double>(v->Y) - w.trail.front().second);
        stuck = moved < kStuckDistance;
      }
      if (stuck) {
        ++result.stuckTicks;
        ++w.run;
        if (w.run > result.longestStuck) result.longestStuck = w.run;
      } else if (!pushing || w.trail.size() == kStuckWindow) {
        w.run = 0;
      }
    }
    if (left <= 1) break;
  }
  return result;
}

bool Beats(const MatchResult& r, int a, int b) {
  int64_t da = r.destroyedAt[a], db = r.destroyedAt[b];
  if (db != 0 && (da == 0 || db < da)) return true;
  if (da != 0 || db != 0) return false;
  return r.damage[b] > r.damage[a];
}

namespace {

struct Tally {
  std::string name;
  int wins = 0;
  int played = 0;
};

struct Totals {
  int64_t botTicks = 0;
  int64_t stuckTicks = 0;
  int64_t longestStuck = 0;
  double thinkSeconds = 0;
  int64_t thinkCalls = 0;
  void Add(const MatchResult& r) {
    botTicks += r.botTicks;
    stuckTicks += r.stuckTicks;
    if (r.longestStuck > longestStuck) longestStuck = r.longestStuck;
    thinkSeconds += r.thinkSeconds;
    thinkCalls += r.botTicks;
  }
};

std::string Percent(int part, int whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%5.1f %%", whole > 0 ? 100.0 * part / whole : 0.0);
  return text;
}

}  // namespace

int RunTournament(const SimOptions& options, std::ostream& out) {
  using bots::Level;
  auto started = std::chrono::steady_clock::now();
  // One against one on the diagonal, Green against Blue, sides swapped on even seeds (so a
  // seed plays the same match in any range).
  struct Pairing {
    std::optional<Level> a, b;
  };
  const std::vector<Pairing> pairings = {
      {Level::Hard, Level::Normal}, {Level::Normal, Level::Easy},  {Level::Hard, Level::Easy},
      {Level::Hard, std::nullopt},  {Level::Normal, std::nullopt}, {Level::Easy, std::nullopt}};
  std::vector<Tally> tallies;
  for (const Pairing& p : pairings) {
    tallies.push_back(
        {std::string(bots::LevelName(*p.a)) + " beats " + (p.b ? bots::LevelName(*p.b) : "idle"), 0,
         0});
  }
  Tally four{"four normal drivers: one left within 5 min", 0, 0};
  Totals totals;
  int64_t ticks = 0;
  for (int s = 0; s < options.tournamentSeeds; ++s) {
    uint64_t seed = options.seed + static_cast<uint64_t>(s);
    bool swap = seed % 2 == 0;
    int green = 0, blue = 2;
    for (size_t k = 0; k < pairings.size(); ++k) {
      SeatLevels seats;
      int a = swap ? blue : green, b = swap ? green : blue;
      seats[a] = pairings[k].a;
      seats[b] = pairings[k].b;
      std::array<bool, 4> until{};
      until[a] = until[b] = true;
      MatchResult r = PlayMatch(seed, seats, kFiveMinutes, until);
      tallies[k].played++;
      if (Beats(r, a, b)) tallies[k].wins++;
      totals.Add(r);
      ticks += r.ticks;
    }
    SeatLevels all{Level::Normal, Level::Normal, Level::Normal, Level::Normal};
    MatchResult r = PlayMatch(seed, all, kFiveMinutes, {});
    four.played++;
    int left = 0;
    for (int64_t at : r.destroyedAt) left += at == 0;
    if (left <= 1) four.wins++;
    totals.Add(r);
    ticks += r.ticks;
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  out << "Tournament: seeds " << options.seed << " to "
      << options.seed + static_cast<uint64_t>(options.tournamentSeeds) - 1
      << ", five minutes a match\n\n";
  out << "| Match | Won | Rate |\n|---|---|---|\n";
  for (const Tally& t : tallies)
    out << "| " << t.name << " | " << t.wins << " / " << t.played << " | "
        << Percent(t.wins, t.played) << " |\n";
  out << "| " << four.name << " | " << four.wins << " / " << four.played << " | "
      << Percent(four.wins, four.played) << " |\n\n";
  char line[200];
  std::snprintf(line, sizeof line,
                "Stuck: %.2f %% of %lld driver ticks; longest %lld ticks (%.2f s)\n",
                totals.botTicks > 0 ? 100.0 * totals.stuckTicks / totals.botTicks : 0.0,
                static_cast<long long>(totals.botTicks),
                static_cast<long long>(totals.longestStuck), totals.longestStuck / 50.0);
  out << line;
  std::snprintf(line, sizeof line, "Thinking: %.4f ms per driver per tick\n",
                totals.thinkCalls > 0 ? 1000.0 * totals.thinkSeconds / totals.thinkCalls : 0.0);
  out << line;
  std::snprintf(line, sizeof line, "Played %lld ticks in %.1f s (%.0f ticks a second)\n",
                static_cast<long long>(ticks), seconds, seconds > 0 ? ticks / seconds : 0.0);
  out << line;
  return kExitOk;
}

}  // namespace tb::sim
