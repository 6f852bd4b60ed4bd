#pragma once
// One match played with rollback: the local seats' keys act at once, the others' are guessed
// (their last known keys); when the real keys of a past tick differ from the guess, the
// world goes back to that tick's snapshot and plays forward again, unseen and unheard.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "match/Rounds.h"
#include "match/Tick.h"
#include "match/TickClock.h"
#include "net/Protocol.h"
#include "render/Surface.h"
#include "shell/Controls.h"
#include "shell/MainFrm.h"
#include "shell/Platform.h"
#include "shell/Random.h"
#include "state/Recording.h"
#include "state/Replay.h"
#include "state/Snapshot.h"

namespace tb::net {

// The keys of every seat on one tick, as the five-bit masks of the messages.
using TickKeys = std::array<uint8_t, kSeats>;

// The mask of one player's five keys held on `keys` under the given key table.
uint8_t MaskFromKeys(const KeyState& keys, const PlayerKeys& table);

// The game's keyboard on one tick, made from the seats' masks.
class MaskKeyState final : public KeyState {
 public:
  void Set(const TickKeys& keys) { keys_ = keys; }
  bool IsKeyDown(uint8_t virtualKey) const override;

 private:
  TickKeys keys_{};
};

// A surface that draws only while open; its size is always the real one's, as the world
// depends on it.
class GatedSurface final : public Surface {
 public:
  explicit GatedSurface(Surface& real) : real_(real) {}
  void Open(bool open) { open_ = open; }
  void Clear() override;
  void SetPenWidth(int16_t width) override;
  void PlotPoint(float x, float y) override;
  void PlotPoint(float x, float y, int32_t colour) override;
  void LineTo(float x, float y, int32_t colour) override;
  void DrawLine(float x1, float y1, float x2, float y2, int32_t colour) override;
  void SetFillColor(int32_t colour) override;
  void FloodFill(int32_t x, int32_t y, int32_t colour) override;
  int32_t BackgroundColor() const override { return real_.BackgroundColor(); }
  float DrawableWidth() const override { return real_.DrawableWidth(); }
  float DrawableHeight() const override { return real_.DrawableHeight(); }
  // The title always follows the game, so it is right after a silent replay too.
  void SetCaption(const std::string& text) override { real_.SetCaption(text); }

 private:
  Surface& real_;
  bool open_ = true;
};

// Figures of a match, for tests, benchmarks and the report at its end.
struct RollbackStats {
  int64_t rollbacks = 0;
  int64_t replayedTicks = 0;
  int64_t deepest = 0;  // ticks replayed by the largest rollback
};

class RollbackGame {
 public:
  // A peer never plays more than this many ticks past the last tick it has every key for.
  static constexpr int64_t kMaxAhead = 8;
  // Keys are kept for this many ticks; snapshots for kSnapshots.
  static constexpr int64_t kKeyRing = 256;
  static constexpr int64_t kSnapshots = 32;
  // World hashes of this many kHashEvery ticks are kept.
  static constexpr int64_t kHashesKept = 8;

  RollbackGame(Surface& screen, SoundPlayer& sound, uint64_t seed, double clockStart,
               std::string exeFolder);

  // Which seats this peer plays and which nobody plays (no keys, ever); before tick 1.
  void SetSeats(uint8_t localSeats, uint8_t idleSeats);
  // Local seats whose keys `think` chooses from the world, once per tick when the tick is
  // first played (just before the controls are read); replays of the tick keep that choice.
  using Thinker = std::function<TickKeys(const MainFrm&)>;
  void SetDrivers(uint8_t seats, Thinker think);
  // Rules played around each tick (a match of rounds), their state kept with the snapshots;
  // before tick 1.
  void SetRules(TickRules* rules);
  // The match clock, for drivers that look at the time without it being noted.
  Clock& MatchClock() { return clock_; }
  // The layer of the title that shows a match's score.
  match::ScoredCaption& Scored() { return scored_; }

  // What a replay of this match starts from: the generator's state and the readings made on
  // loading, and the drawing area.
  const Replay& RecordHeader() const { return header_; }
  // Hands the ticks after the last one handed out, up to `limit`, to `sink` in order, as
  // far as they are final: every key known and played. Ticks too old to be played again go
  // regardless of `limit`. False (with Problem()) if a tick's record was lost.
  bool TakeFinal(int64_t limit, const std::function<void(const TickRecord&)>& sink);
  int64_t Recorded() const { return recorded_; }
  uint8_t LocalSeats() const { return local_; }

  // The last tick played, and the last tick for which every seat's keys are known.
  int64_t Tick() const { return tick_; }
  int64_t Synced() const;
  // The last tick for which every seat's keys are known, played or not.
  int64_t Complete() const;
  // The last tick of a seat's keys known without a gap (dropped seats: up to their end).
  int64_t Known(uint8_t seat) const { return known_[seat]; }
  uint8_t KeysOf(uint8_t seat, int64_t tick) const;

  // Whether the next tick may be played now (it is never more than kMaxAhead past Synced,
  // nor past `lastTick` when one was set).
  bool CanAdvance() const;
  void SetLastTick(int64_t lastTick) { lastTick_ = lastTick; }
  // Plays the next tick with the local seats' keys (others' bits ignored), drawn and heard
  // when `shown`.
  void Advance(const TickKeys& localKeys, bool shown = true);

  // The real keys of a remote seat from tick `first` on. Ticks already known are skipped
  // (a repeated message changes nothing); returns false for keys that cannot be taken: a
  // local or idle seat, a gap before them or ticks too far ahead.
  bool AddKeys(uint8_t seat, int64_t first, const uint8_t* keys, size_t count);
  // The seat's player left: after `lastTick` it holds no keys (keys of later ticks that came
  // already are forgotten, and the ticks they were played on are played again).
  void DropSeat(uint8_t seat, int64_t lastTick);
  bool Dropped(uint8_t seat) const { return end_[seat] != kNoEnd; }

  // Replays from the earliest tick whose guess proved wrong, if any. The last replayed tick
  // is drawn when `drawPresent`. False (with Problem()) if the snapshot needed is gone.
  bool Reconcile(bool drawPresent);
  const std::string& Problem() const { return problem_; }
  // Whether every played tick was played with the keys known now.
  bool Settled() const { return rollbackFrom_ == 0; }

  // The world hash of a tick on which every seat's keys are known and were played; the
  // match compares these every kHashEvery ticks. False while it is not known yet.
  bool FinalHash(int64_t tick, uint64_t& hash) const;
  // The hash of the world as it stands now.
  uint64_t CurrentHash() const;

  const RollbackStats& Stats() const { return stats_; }
  MainFrm& Form() { return form_; }

 private:
  static constexpr int64_t kNoEnd = INT64_MAX;
  struct HashEntry {
    int64_t tick = -1;
    uint64_t hash = 0;
  };
  // The keys a tick was played with (or would be now).
  uint8_t Guess(uint8_t seat, int64_t tick) const;
  void Simulate(int64_t tick, bool draw, bool sound, bool think = false);
  void Think(const MainFrm& form);
  // Tick records are kept until final: at most kSnapshots behind the present, plus the
  // ticks not yet known for everyone.
  static constexpr int64_t kRecordRing = 2 * kSnapshots;

  GatedSurface surface_;
  MutableSound sound_;
  TickClock clock_;
  Pcg32 random_;
  MaskKeyState keys_;
  RecordingKeys recordingKeys_{keys_};
  RecordingClock recordingClock_{clock_};
  match::ScoredCaption scored_{surface_};
  MainFrm form_;
  Module1::ContactState contact_{};

  uint8_t local_ = 0;
  int64_t tick_ = 0;
  int64_t lastTick_ = 0;
  int64_t rollbackFrom_ = 0;  // 0: every played tick was played with the keys known now
  std::array<int64_t, kSeats> known_{};
  std::array<int64_t, kSeats> end_;
  std::array<std::array<uint8_t, kKeyRing>, kSeats> keyRing_{};
  std::array<std::array<uint8_t, kKeyRing>, kSeats> played_{};
  std::array<Snapshot, kSnapshots> snapshots_;
  std::array<int64_t, kSnapshots> snapshotTick_{};
  std::array<HashEntry, kHashesKept> hashes_{};
  std::string problem_;
  RollbackStats stats_;

  uint8_t drivers_ = 0;
  Thinker think_;
  bool thinking_ = false;  // this simulation is the tick's first: the drivers choose
  TickKeys tickKeys_{};    // the keys of the tick being simulated
  int64_t simulating_ = 0;
  TickRules* rules_ = nullptr;
  std::array<TickRules::State, kSnapshots> rulesAt_{};
  Replay header_;
  std::array<TickRecord, kRecordRing> records_;
  int64_t recorded_ = 0;
};

}  // namespace tb::net
