// Recorded matches: written as they are played, read back, replayed to the same world,
// sought in, and refused with a clear problem when damaged.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/sim/NullSurface.h"
#include "app/sim/RandomPlayers.h"
#include "app/sim/SimPlatform.h"
#include "files/Files.h"
#include "match/Rounds.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "state/Recording.h"
#include "state/Replay.h"
#include "state/ReplayPlayer.h"
#include "state/ReplayWriter.h"
#include "state/WorldHash.h"

namespace {

// A clock like the real one: it moves on a little with every reading, not only per tick.
class CreepingClock final : public tb::Clock {
 public:
  float Now() override {
    now_ += 0.0007;
    return static_cast<float>(now_);
  }
  void NextTick() { now_ += 0.02; }

 private:
  double now_ = 43000.0;
};

std::string TempPath(const std::string& name) {
  return testing::TempDir() + "treadbrawl_" + std::to_string(getpid()) + "_" + name;
}

struct Recorded {
  std::string bytes;
  std::vector<uint64_t> hashes;  // after each tick, from 0
};

// Rounds of the recorded matches that have them: short, so that several fit in a test.
constexpr int64_t kRoundTicks = 300;

// Four random players for `ticks` ticks, recorded through the decorators into a file; in a
// match of `rounds` rounds when that is not 0.
Recorded RecordMatch(int64_t ticks, int rounds = 0) {
  tb::sim::NullSurface surface;
  tb::match::ScoredCaption scored(surface);
  tb::sim::ScriptedKeys keys;
  tb::sim::RecordingSoundPlayer sound;
  CreepingClock clock;
  tb::Pcg32 random;  // seeded from the clock, as in the game
  tb::RecordingKeys recordedKeys(keys);
  tb::RecordingClock recordedClock(clock);
  tb::MainFrm form(scored, recordedKeys, sound, recordedClock, random, ".");
  form.Load();
  std::optional<tb::match::Rounds> match;
  if (rounds > 0) match.emplace(rounds, scored, kRoundTicks);
  tb::Recorder recorder(recordedKeys, recordedClock);
  const std::string path = TempPath("match.tbr");
  std::string problem;
  EXPECT_TRUE(
      recorder.Start(path, form, 582, 555, "test", problem, rounds, rounds > 0 ? kRoundTicks : 0))
      << problem;
  tb::sim::RandomPlayers players(3);
  Recorded out;
  out.hashes.push_back(tb::WorldHash(form));
  for (int64_t t = 1; t <= ticks; ++t) {
    clock.NextTick();
    players.Press(t, keys);
    tb::PlayTick(form, match ? &*match : nullptr);
    recorder.EndTick(form);
    out.hashes.push_back(tb::WorldHash(form));
  }
  EXPECT_TRUE(recorder.Finish());
  EXPECT_TRUE(tb::ReadWholeFile(path, 1 << 24, out.bytes, problem)) << problem;
  std::remove(path.c_str());
  return out;
}

struct Playback {
  explicit Playback(tb::Replay replay) : player(std::move(replay)) {
    if (player.Data().Rounds > 0) {
      rounds.emplace(player.Data().Rounds, scored, player.Data().RoundTicks);
      player.SetRules(&*rounds);
    }
    player.Start(form);
  }
  tb::sim::NullSurface surface;
  tb::match::ScoredCaption scored{surface};
  tb::sim::RecordingSoundPlayer sound;
  tb::ReplayPlayer player;
  std::optional<tb::match::Rounds> rounds;
  tb::MainFrm form{scored, player.Keys(), sound, player.GameClock(), player.Random(), "."};
};

TEST(ReplayFile, ARecordedMatchReplaysToTheSameWorldAndSeeksExactly) {
  const Recorded rec = RecordMatch(1230);
  tb::Replay replay;
  std::string problem;
  ASSERT_TRUE(tb::ParseReplay(rec.bytes, replay, problem)) << problem;
  EXPECT_TRUE(replay.Complete);
  EXPECT_EQ(replay.Ticks(), 1230);
  EXPECT_EQ(replay.Hashes.size(), 24u);
  EXPECT_EQ(replay.Width, 582);
  EXPECT_EQ(replay.GameVersion, "test");
  EXPECT_EQ(tb::SerializeReplay(replay), rec.bytes);

  Playback play(replay);
  while (!play.player.AtEnd()) {
    ASSERT_TRUE(play.player.Step(play.form, problem)) << problem;
    ASSERT_EQ(tb::WorldHash(play.form), rec.hashes[play.player.Tick()]) << play.player.Tick();
  }
  // Back through the snapshots and forward again, to ticks on and off their grid.
  for (int64_t to : {1000, 260, 250, 0, 1, 999, 1230, 3}) {
    ASSERT_TRUE(play.player.SeekTo(play.form, to, problem)) << problem;
    EXPECT_EQ(play.player.Tick(), to);
    EXPECT_EQ(tb::WorldHash(play.form), rec.hashes[to]) << to;
  }
}

// A match of rounds keeps its rounds in the replay: played back, and sought back across a
// new arena, it is the same game with the same score. Files of the first version still read.
TEST(ReplayFile, RoundsPlayBackAndSeekAcrossArenas) {
  const Recorded rec = RecordMatch(1000, 2);
  tb::Replay replay;
  std::string problem;
  ASSERT_TRUE(tb::ParseReplay(rec.bytes, replay, problem)) << problem;
  EXPECT_EQ(replay.Rounds, 2);
  EXPECT_EQ(replay.RoundTicks, kRoundTicks);
  Playback play(replay);
  while (!play.player.AtEnd()) {
    ASSERT_TRUE(play.player.Step(play.form, problem)) << problem;
    ASSERT_EQ(tb::WorldHash(play.form), rec.hashes[play.player.Tick()]) << play.player.Tick();
  }
  EXPECT_TRUE(play.rounds->Over());  // two rounds of 300 ticks, each with its pause
  const auto scores = play.rounds->Scores();
  for (int64_t to : {520, 260, 700, 1000}) {
    ASSERT_TRUE(play.player.SeekTo(play.form, to, problem)) << problem;
    EXPECT_EQ(tb::WorldHash(play.form), rec.hashes[to]) << to;
  }
  EXPECT_EQ(play.rounds->Scores(), scores);
  EXPECT_EQ(play.rounds->Round(), 2);

  // A damaged round count is named.
  replay.Rounds = 100;
  EXPECT_FALSE(tb::ParseReplay(tb::SerializeReplay(replay), replay, problem));
  EXPECT_EQ(problem, "corrupted: a match of 100 rounds of 300 ticks (at most 99 rounds)");
  replay.Rounds = 2;

  // A replay kept in memory reads as a whole file, until it outgrows its bound.
  tb::ReplayWriter memory;
  memory.OpenInMemory(replay, 2000);
  std::string kept;
  for (int64_t t = 1; t <= 100; ++t) {
    memory.Tick({}, {1.0f});
    if (t % tb::kCheckpointTicks == 0) memory.Checkpoint(t, rec.hashes[t]);
    ASSERT_TRUE(memory.MemoryFile(kept));
    tb::Replay back;
    ASSERT_TRUE(tb::ParseReplay(kept, back, problem)) << problem;
    EXPECT_TRUE(back.Complete);
    EXPECT_EQ(back.Ticks(), t);
  }
  for (int64_t t = 101; t <= 1000; ++t) {
    memory.Tick({static_cast<uint8_t>(t % 200)}, {static_cast<float>(t)});
    if (t % tb::kCheckpointTicks == 0) memory.Checkpoint(t, 0);
  }
  EXPECT_FALSE(memory.MemoryFile(kept));

  std::string old;
  ASSERT_TRUE(tb::ReadWholeFile(
      std::string(TREADBRAWL_SOURCE_DIR) + "/tests/fuzz_regressions/replay/seed.tbr", 1 << 20, old,
      problem));
  ASSERT_EQ(old[8], 1);  // version 1
  tb::Replay first;
  ASSERT_TRUE(tb::ParseReplay(old, first, problem)) << problem;
  EXPECT_EQ(first.Rounds, 0);
  EXPECT_GT(first.Ticks(), 0);
}

TEST(ReplayFile, AnotherGameStopsAtTheFirstDifferingTick) {
  const Recorded rec = RecordMatch(400);
  tb::Replay replay;
  std::string problem;
  ASSERT_TRUE(tb::ParseReplay(rec.bytes, replay, problem)) << problem;
  // A key changed on tick 120 makes another game: found by the next hash at the latest,
  // sooner when the game reads the clock a different number of times.
  tb::Replay changed = replay;
  changed.Keys[changed.KeyStart[119]] ^= 1;
  Playback play(changed);
  while (play.player.Step(play.form, problem) && !play.player.AtEnd()) {
  }
  const int64_t found = play.player.Tick();
  EXPECT_GE(found, 120);
  EXPECT_LE(found, 150);
  EXPECT_NE(problem.find("differs from the recording"), std::string::npos) << problem;
  EXPECT_NE(problem.find("tick " + std::to_string(found)), std::string::npos) << problem;

  // A clock read once more than recorded names its own tick.
  size_t t = 1;
  while (replay.ReadingStart[t] == replay.ReadingStart[t - 1]) ++t;
  tb::Replay fewer = replay;
  fewer.Readings.erase(fewer.Readings.begin() + fewer.ReadingStart[t - 1]);
  for (size_t i = t; i < fewer.ReadingStart.size(); ++i) --fewer.ReadingStart[i];
  Playback short_(fewer);
  while (short_.player.Step(short_.form, problem) && !short_.player.AtEnd()) {
  }
  EXPECT_EQ(problem, "the game differs from the recording at tick " + std::to_string(t) +
                         ": it read the clock a different number of times");
}

TEST(ReplayFile, DamagedFilesAreRefusedCutShortOnesPlayToTheirLastSecond) {
  const Recorded rec = RecordMatch(130);
  tb::Replay r;
  std::string problem;
  int cutShort = 0;
  for (size_t n = 0; n < rec.bytes.size(); ++n) {
    if (tb::ParseReplay(rec.bytes.substr(0, n), r, problem)) {
      // Only a file that stops right after a checkpoint: what a crash leaves.
      EXPECT_FALSE(r.Complete);
      EXPECT_EQ(r.Ticks() % tb::kCheckpointTicks, 0) << n;
      ++cutShort;
    } else if (n >= 8) {
      EXPECT_EQ(problem.rfind("truncated", 0), 0u) << n << ": " << problem;
    }
  }
  EXPECT_EQ(cutShort, 2);
  std::string other = rec.bytes;
  other[8] = 3;
  EXPECT_FALSE(tb::ParseReplay(other, r, problem));
  EXPECT_EQ(problem, "replay format version 3, this game reads versions 1 and 2");
  for (size_t at = 12; at < rec.bytes.size(); ++at) {
    std::string bad = rec.bytes;
    bad[at] = static_cast<char>(bad[at] ^ 0x04);
    EXPECT_FALSE(tb::ParseReplay(bad, r, problem)) << at;
  }
  EXPECT_FALSE(tb::ParseReplay("RIFF....WAVEfmt ", r, problem));
  EXPECT_EQ(problem, "not a replay file");
}

}  // namespace

namespace {

std::string RunSim(const std::string& args, int& status) {
  const std::string command = std::string(TREADBRAWL_SIM_EXE) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string text;
  char buffer[256];
  while (pipe != nullptr && fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  status = pipe == nullptr ? -1 : WEXITSTATUS(pclose(pipe));
  return text;
}

TEST(SimulatorFiles, SavedGamesAndReplaysGoOnAndBadOnesAreNamed) {
  const std::string snap = TempPath("sim.snap"), replay = TempPath("sim.tbr");
  int status = -1;
  const std::string whole =
      RunSim("--seed 3 --ticks 300 --hash --snapshot 120:" + snap + " --record " + replay, status);
  ASSERT_EQ(status, 0) << whole;
  EXPECT_EQ(RunSim("--restore " + snap + " --clock-start 36002.4 --ticks 180 --hash", status),
            whole);
  EXPECT_EQ(RunSim("--replay " + replay + " --hash", status), whole);
  EXPECT_EQ(status, 0);
  // The recorded hashes it checked on the way, each the world of the game played that far.
  EXPECT_EQ(RunSim("--replay " + replay + " --ticks 120 --hash --checkpoints", status),
            "50 " + RunSim("--seed 3 --ticks 50 --hash", status) + "100 " +
                RunSim("--seed 3 --ticks 100 --hash", status) +
                RunSim("--seed 3 --ticks 120 --hash", status));
  EXPECT_EQ(RunSim("--seed 3 --checkpoints", status),
            "treadbrawl-sim: --checkpoints needs --replay\n");
  EXPECT_EQ(status, 2);

  std::string bytes, problem;
  ASSERT_TRUE(tb::ReadWholeFile(replay, 1 << 20, bytes, problem));
  ASSERT_TRUE(tb::WriteWholeFile(replay, bytes.substr(0, bytes.size() / 2 + 1), problem));
  std::string said = RunSim("--replay " + replay, status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(said.rfind("treadbrawl-sim: " + replay + ": truncated", 0), 0u) << said;
  ASSERT_TRUE(tb::ReadWholeFile(snap, 1 << 20, bytes, problem));
  bytes[bytes.size() / 2] ^= 1;
  ASSERT_TRUE(tb::WriteWholeFile(snap, bytes, problem));
  said = RunSim("--restore " + snap, status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(said, "treadbrawl-sim: " + snap + ": corrupted: checksum mismatch\n");
  std::remove(snap.c_str());

  // Drivers and rounds are recorded too, and a replay plays its rounds without being told.
  const std::string bots =
      RunSim("--seed 4 --ticks 600 --bots 2 --rounds 1 --hash --record " + replay, status);
  ASSERT_EQ(status, 0) << bots;
  EXPECT_EQ(RunSim("--replay " + replay + " --hash", status), bots);
  EXPECT_EQ(status, 0);
  said = RunSim("--replay " + replay + " --rounds 1", status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(said, "treadbrawl-sim: a replay holds its rounds: drop --rounds\n");
  std::remove(replay.c_str());
}

}  // namespace
