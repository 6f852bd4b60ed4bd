#include "net/Rollback.h"

#include <algorithm>

#include "geometry/Module1.h"
#include "shell/Controls.h"
#include "state/WorldHash.h"

namespace tb::net {

namespace {

// The five keys of a table in the order of the mask's bits.
std::array<uint8_t, 5> KeysInBitOrder(const PlayerKeys& t) {
  return {t.Right, t.Left, t.Forward, t.Backward, t.Fire};
}

// For each virtual key, the seat and bit it stands for (seat -1: no player's key).
struct KeyOwners {
  std::array<int8_t, 256> seat;
  std::array<uint8_t, 256> bit{};
  KeyOwners() {
    seat.fill(-1);
    for (int s = 0; s < kSeats; ++s) {
      std::array<uint8_t, 5> keys = KeysInBitOrder(kPlayerKeys[s]);
      for (int b = 0; b < 5; ++b) {
        seat[keys[b]] = static_cast<int8_t>(s);
        bit[keys[b]] = static_cast<uint8_t>(1u << b);
      }
    }
  }
};

const KeyOwners& Owners() {
  static const KeyOwners owners;
  return owners;
}

// The game keeps one contact state for every window; each match brings its own in and out.
class ContactScope {
 public:
  explicit ContactScope(Module1::ContactState& mine) : mine_(mine), theirs_(Module1::Contact) {
    Module1::Contact = mine_;
  }
  ~ContactScope() {
    mine_ = Module1::Contact;
    Module1::Contact = theirs_;
  }
  ContactScope(const ContactScope&) = delete;
  ContactScope& operator=(const ContactScope&) = delete;

 private:
  Module1::ContactState& mine_;
  Module1::ContactState theirs_;
};

}  // namespace

uint8_t MaskFromKeys(const KeyState& keys, const PlayerKeys& table) {
  uint8_t mask = 0;
  std::array<uint8_t, 5> codes = KeysInBitOrder(table);
  for (int b = 0; b < 5; ++b)
    if (keys.IsKeyDown(codes[b])) mask = static_cast<uint8_t>(mask | (1u << b));
  return mask;
}

bool MaskKeyState::IsKeyDown(uint8_t virtualKey) const {
  const KeyOwners& o = Owners();
  int8_t seat = o.seat[virtualKey];
  return seat >= 0 && (keys_[seat] & o.bit[virtualKey]) != 0;
}

void GatedSurface::Clear() {
  if (open_) real_.Clear();
}
void GatedSurface::SetPenWidth(int16_t width) {
  if (open_) real_.SetPenWidth(width);
}
void GatedSurface::PlotPoint(float x, float y) {
  if (open_) real_.PlotPoint(x, y);
}
void GatedSurface::PlotPoint(float x, float y, int32_t colour) {
  if (open_) real_.PlotPoint(x, y, colour);
}
void GatedSurface::LineTo(float x, float y, int32_t colour) {
  if (open_) real_.LineTo(x, y, colour);
}
void GatedSurface::DrawLine(float x1, float y1, float x2, float y2, int32_t colour) {
  if (open_) real_.DrawLine(x1, y1, x2, y2, colour);
}
void GatedSurface::SetFillColor(int32_t colour) {
  if (open_) real_.SetFillColor(colour);
}
void GatedSurface::FloodFill(int32_t x, int32_t y, int32_t colour) {
  if (open_) real_.FloodFill(x, y, colour);
}

RollbackGame::RollbackGame(Surface& screen, SoundPlayer& sound, uint64_t seed, double clockStart,
                           std::string exeFolder)
    : surface_(screen),
      sound_(sound),
      clock_(clockStart),
      random_(seed, true),
      form_(scored_, recordingKeys_, sound_, recordingClock_, random_, std::move(exeFolder)) {
  end_.fill(kNoEnd);
  snapshotTick_.fill(-1);
  ContactScope scope(contact_);
  Module1::Contact = {};
  clock_.SetTick(0);
  form_.Load();
  form_.TakeSnapshot(snapshots_[0]);
  snapshotTick_[0] = 0;
  header_ = BeginRecord(recordingKeys_, recordingClock_, form_,
                        static_cast<int32_t>(screen.DrawableWidth()),
                        static_cast<int32_t>(screen.DrawableHeight()));
  form_.SetBeforeControls([this](const MainFrm& f) { Think(f); });
}

void RollbackGame::SetDrivers(uint8_t seats, Thinker think) {
  drivers_ = static_cast<uint8_t>(seats & local_);
  think_ = std::move(think);
}

void RollbackGame::SetRules(TickRules* rules) {
  rules_ = rules;
  if (rules_ != nullptr) rulesAt_[0] = rules_->Save();
}

void RollbackGame::Think(const MainFrm& form) {
  if (!thinking_ || drivers_ == 0 || !think_) return;
  const TickKeys chosen = think_(form);
  const int64_t t = simulating_;
  for (uint8_t s = 0; s < kSeats; ++s) {
    if (!(drivers_ & (1u << s))) continue;
    const uint8_t k = chosen[s] & kKeyBits;
    keyRing_[s][t % kKeyRing] = k;
    played_[s][t % kKeyRing] = k;
    tickKeys_[s] = k;
  }
  keys_.Set(tickKeys_);
}

bool RollbackGame::TakeFinal(int64_t limit, const std::function<void(const TickRecord&)>& sink) {
  // No rollback reaches further back than the snapshots kept.
  int64_t last = std::max(limit, tick_ - kSnapshots);
  last = std::min(last, Synced());
  if (rollbackFrom_ != 0) last = std::min(last, rollbackFrom_ - 1);
  while (recorded_ < last) {
    const TickRecord& r = records_[(recorded_ + 1) % kRecordRing];
    if (r.tick != recorded_ + 1) {
      problem_ = "the record of tick " + std::to_string(recorded_ + 1) + " is gone";
      return false;
    }
    sink(r);
    ++recorded_;
  }
  return true;
}

void RollbackGame::SetSeats(uint8_t localSeats, uint8_t idleSeats) {
  local_ = static_cast<uint8_t>(localSeats & kAllSeats);
  for (int s = 0; s < kSeats; ++s) {
    if (idleSeats & ~local_ & (1u << s)) end_[s] = 0;
  }
}

int64_t RollbackGame::Synced() const {
  int64_t synced = tick_;
  for (int s = 0; s < kSeats; ++s) {
    if (known_[s] >= end_[s]) continue;  // no more keys to wait for
    synced = std::min(synced, known_[s]);
  }
  return synced;
}

uint8_t RollbackGame::KeysOf(uint8_t seat, int64_t tick) const {
  if (seat >= kSeats || tick < 1 || tick > known_[seat] || tick > end_[seat]) return 0;
  if (tick <= known_[seat] - kKeyRing) return 0;  // no longer kept
  return keyRing_[seat][tick % kKeyRing];
}

uint8_t RollbackGame::Guess(uint8_t seat, int64_t tick) const {
  if (tick > end_[seat]) return 0;
  int64_t from = std::min(tick, known_[seat]);
  return from < 1 ? 0 : keyRing_[seat][from % kKeyRing];
}

bool RollbackGame::CanAdvance() const {
  if (lastTick_ > 0 && tick_ >= lastTick_) return false;
  return tick_ + 1 - Synced() <= kMaxAhead;
}

int64_t RollbackGame::Complete() const {
  int64_t all = kNoEnd;
  for (int s = 0; s < kSeats; ++s)
    if (known_[s] < end_[s]) all = std::min(all, known_[s]);
  return all == kNoEnd ? tick_ + 1 : all;  // nobody left to wait for
}

void RollbackGame::Advance(const TickKeys& localKeys, bool shown) {
  if (rollbackFrom_ != 0 && !Reconcile(false)) return;
  const int64_t t = tick_ + 1;
  for (uint8_t s = 0; s < kSeats; ++s) {
    if (!(local_ & (1u << s))) continue;
    keyRing_[s][t % kKeyRing] = localKeys[s] & kKeyBits;
    known_[s] = t;
  }
  for (uint8_t s = 0; s < kSeats; ++s) {
    if (!(drivers_ & (1u << s))) continue;
    // No choice at all when the tick does not reach the controls (a match that is over).
    keyRing_[s][t % kKeyRing] = 0;
    known_[s] = t;
  }
  tick_ = t;
  Simulate(t, shown, shown, true);
}

bool RollbackGame::AddKeys(uint8_t seat, int64_t first, const uint8_t* keys, size_t count) {
  if (seat >= kSeats || (local_ & (1u << seat)) || end_[seat] == 0 || first < 1) return false;
  if (first > known_[seat] + 1) return false;  // a gap: the sender repeats them later
  const int64_t limit = Synced() + kKeyRing / 2;
  for (size_t i = 0; i < count; ++i) {
    const int64_t t = first + static_cast<int64_t>(i);
    if (t <= known_[seat]) continue;  // known already: the first word stands
    if (t > end_[seat]) break;
    if (t > limit) return false;
    const uint8_t k = keys[i] & kKeyBits;
    keyRing_[seat][t % kKeyRing] = k;
    known_[seat] = t;
    if (t <= tick_ && played_[seat][t % kKeyRing] != k)
      rollbackFrom_ = rollbackFrom_ == 0 ? t : std::min(rollbackFrom_, t);
  }
  return true;
}

void RollbackGame::DropSeat(uint8_t seat, int64_t lastTick) {
  if (seat >= kSeats || (local_ & (1u << seat)) || end_[seat] != kNoEnd) return;
  lastTick = std::max<int64_t>(lastTick, 0);
  end_[seat] = lastTick;
  known_[seat] = std::min(known_[seat], lastTick);
  for (int64_t t = lastTick + 1; t <= tick_; ++t) {
    if (played_[seat][t % kKeyRing] != 0) {
      rollbackFrom_ = rollbackFrom_ == 0 ? t : std::min(rollbackFrom_, t);
      break;
    }
  }
}

bool RollbackGame::Reconcile(bool drawPresent) {
  if (rollbackFrom_ == 0) return true;
  const int64_t from = rollbackFrom_;
  rollbackFrom_ = 0;
  const int64_t base = from - 1;
  const Snapshot& snap = snapshots_[base % kSnapshots];
  if (snapshotTick_[base % kSnapshots] != base || base < recorded_) {
    problem_ = "cannot go back to tick " + std::to_string(base);
    return false;
  }
  {
    ContactScope scope(contact_);
    form_.RestoreSnapshot(snap);
    if (rules_ != nullptr) rules_->Restore(rulesAt_[base % kSnapshots]);
  }
  for (int64_t t = from; t <= tick_; ++t) Simulate(t, drawPresent && t == tick_, false);
  const int64_t depth = tick_ - base;
  stats_.rollbacks += 1;
  stats_.replayedTicks += depth;
  stats_.deepest = std::max(stats_.deepest, depth);
  return true;
}

void RollbackGame::Simulate(int64_t tick, bool draw, bool sound, bool think) {
  ContactScope scope(contact_);
  surface_.Open(draw);
  sound_.SetMuted(!sound);
  for (uint8_t s = 0; s < kSeats; ++s) {
    tickKeys_[s] = Guess(s, tick);
    played_[s][tick % kKeyRing] = tickKeys_[s];
  }
  keys_.Set(tickKeys_);
  clock_.SetTick(tick);
  recordingKeys_.TakeHeld();
  recordingClock_.TakeReadings();
  thinking_ = think;
  simulating_ = tick;
  PlayTick(form_, rules_);
  thinking_ = false;
  surface_.Open(true);
  sound_.SetMuted(false);
  form_.TakeSnapshot(snapshots_[tick % kSnapshots]);
  snapshotTick_[tick % kSnapshots] = tick;
  if (rules_ != nullptr) rulesAt_[tick % kSnapshots] = rules_->Save();
  TickRecord& record = records_[tick % kRecordRing];
  static_assert(kHashEvery == kCheckpointTicks, "the match's hashes are the replay's");
  EndRecord(recordingKeys_, recordingClock_, form_, tick, record);
  if (record.hashed) hashes_[(tick / kHashEvery) % hashes_.size()] = {tick, record.hash};
}

bool RollbackGame::FinalHash(int64_t tick, uint64_t& hash) const {
  if (tick < 1 || tick > Synced() || (rollbackFrom_ != 0 && rollbackFrom_ <= tick)) return false;
  const HashEntry& e = hashes_[(tick / kHashEvery) % hashes_.size()];
  if (e.tick != tick) return false;
  hash = e.hash;
  return true;
}

uint64_t RollbackGame::CurrentHash() const { return WorldHash(form_); }

}  // namespace tb::net
