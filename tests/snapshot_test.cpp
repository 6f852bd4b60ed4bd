// The world as a value: a game restored from a snapshot, in memory or from a file, goes on
// exactly as the game that never stopped.
#include "state/Snapshot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/sim/NullSurface.h"
#include "app/sim/RandomPlayers.h"
#include "app/sim/SimPlatform.h"
#include "files/Files.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "state/SnapshotFile.h"
#include "state/WorldHash.h"

namespace {

using tb::sim::RandomPlayers;

// A scripted match: random players on a fixed seed, the clock driven by the tick.
struct Match {
  explicit Match(uint64_t seed) : random(seed, true) { form.Load(); }
  tb::sim::NullSurface surface;  // pictures leave the world as it is, and cost time
  tb::sim::ScriptedKeys keys;
  tb::sim::RecordingSoundPlayer sound;
  tb::sim::SimClock clock{36000};
  tb::Pcg32 random;
  tb::MainFrm form{surface, keys, sound, clock, random, "."};
  int64_t tick = 0;

  // Key presses follow the tick alone, so a restored match is fed the same keys again.
  void Step() {
    ++tick;
    clock.SetTick(tick);
    const int64_t pressed = tick - (tick - 1) % 8;
    RandomPlayers(static_cast<uint64_t>(pressed)).Press(pressed, keys);
    form.Timer1Tick();
    sound.Clear();
  }
  uint64_t Hash() const { return tb::WorldHash(form); }
};

// The hashes of a match that never stops, played as far as they are asked for.
class Reference {
 public:
  explicit Reference(uint64_t seed) : match_(seed), hashes_{match_.Hash()} {}
  uint64_t operator[](int64_t tick) {
    // The contact state is shared by every window: keep the game under test's.
    const tb::Module1::ContactState theirs = tb::Module1::Contact;
    tb::Module1::Contact = contact_;
    while (match_.tick < tick) {
      match_.Step();
      hashes_.push_back(match_.Hash());
    }
    contact_ = tb::Module1::Contact;
    tb::Module1::Contact = theirs;
    return hashes_[static_cast<size_t>(tick)];
  }

 private:
  Match match_;
  std::vector<uint64_t> hashes_;
  tb::Module1::ContactState contact_ = tb::Module1::Contact;
};

TEST(Snapshot, RestoredGamesGoOnAsTheGameThatNeverStopped) {
  // 250 random points a match: a snapshot a few ticks on, up to 20 ticks of play before
  // and after the restore.
  constexpr int kPointsPerMatch = 250;
  constexpr int64_t kMaxGap = 5, kMaxOn = 20;
  std::mt19937_64 pick(42);
  int points = 0, withWreck = 0;
  for (uint64_t seed : {1, 2, 3, 4}) {
    Reference reference(seed);
    Match m(seed);
    for (int i = 0; i < kPointsPerMatch; ++i) {
      const int64_t t = m.tick + static_cast<int64_t>(pick() % kMaxGap);
      while (m.tick < t) m.Step();
      ASSERT_EQ(m.Hash(), reference[t]) << "seed " << seed << " tick " << t;
      const tb::Snapshot snap = m.form.TakeSnapshot();
      withWreck += !snap.OutOfWorld.empty();
      const int64_t on = 1 + static_cast<int64_t>(pick() % kMaxOn);
      for (int64_t k = 0; k < on; ++k) m.Step();
      const uint64_t first = m.Hash();
      m.form.RestoreSnapshot(snap);
      m.tick = t;
      ASSERT_EQ(m.Hash(), reference[t]) << "seed " << seed << " tick " << t;
      for (int64_t k = 0; k < on; ++k) m.Step();
      ASSERT_EQ(first, reference[t + on]) << "seed " << seed << " tick " << t << " +" << on;
      ASSERT_EQ(m.Hash(), reference[t + on]) << "seed " << seed << " tick " << t << " +" << on;
      ++points;
    }
  }
  EXPECT_EQ(points, 1000);
  EXPECT_GT(withWreck, 0) << "no snapshot held a destroyed vehicle";
}

std::string TempPath(const std::string& name) {
  return testing::TempDir() + "treadbrawl_" + std::to_string(getpid()) + "_" + name;
}

TEST(Snapshot, FromAFileRestoresTheSameGameInAnotherWindow) {
  Match original(5);
  while (original.tick < 700) original.Step();
  const std::string path = TempPath("game.snapshot");
  std::string problem;
  ASSERT_TRUE(
      tb::WriteWholeFile(path, tb::SerializeSnapshot(original.form.TakeSnapshot()), problem));
  std::string bytes;
  ASSERT_TRUE(tb::ReadWholeFile(path, 1 << 24, bytes, problem)) << problem;
  std::remove(path.c_str());
  tb::Snapshot read;
  ASSERT_TRUE(tb::ParseSnapshot(bytes, read, problem)) << problem;
  EXPECT_EQ(tb::SerializeSnapshot(read), bytes);

  Match copy(99);  // another arena, another generator: all of it must be replaced
  copy.Step();
  copy.form.RestoreSnapshot(read);
  copy.tick = original.tick;
  EXPECT_EQ(copy.Hash(), original.Hash());
  EXPECT_EQ(copy.form.Caption(), original.form.Caption());
  for (int i = 0; i < 300; ++i) {
    original.Step();
    copy.Step();
    ASSERT_EQ(copy.Hash(), original.Hash()) << "tick " << original.tick;
  }
}

TEST(Snapshot, DamagedFilesAreRefusedWithTheirProblem) {
  Match m(6);
  while (m.tick < 60) m.Step();
  const std::string good = tb::SerializeSnapshot(m.form.TakeSnapshot());
  tb::Snapshot s;
  std::string problem;
  ASSERT_TRUE(tb::ParseSnapshot(good, s, problem)) << problem;
  for (size_t n = 0; n < good.size(); n += 7) {
    EXPECT_FALSE(tb::ParseSnapshot(good.substr(0, n), s, problem)) << n;
    EXPECT_NE(problem.find(n < 8 ? "" : "truncated"), std::string::npos) << n << ": " << problem;
  }
  std::string other = good;
  other[8] = 9;
  EXPECT_FALSE(tb::ParseSnapshot(other, s, problem));
  EXPECT_EQ(problem, "snapshot format version 9, this game reads version 1");
  for (size_t at = 20; at < good.size(); at += 13) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x10);
    EXPECT_FALSE(tb::ParseSnapshot(bad, s, problem)) << at;
    EXPECT_EQ(problem, "corrupted: checksum mismatch") << at;
  }
  EXPECT_FALSE(tb::ParseSnapshot("PNG and not a game", s, problem));
  EXPECT_EQ(problem, "not a snapshot file");
}

}  // namespace
