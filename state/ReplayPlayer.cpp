#include "state/ReplayPlayer.h"

#include <algorithm>

#include "state/WorldHash.h"

namespace tb {

ReplayPlayer::ReplayPlayer(Replay replay) : replay_(std::move(replay)) {}

bool ReplayPlayer::HeldKeys::IsKeyDown(uint8_t virtualKey) const {
  return std::binary_search(begin_, end_, virtualKey);
}

float ReplayPlayer::Readings::Now() {
  if (next_ == end_) {
    // The game reads the clock more often than the recording did: it has left the match.
    overrun_ = true;
    return last_;
  }
  last_ = *next_++;
  return last_;
}

void ReplayPlayer::Feed(int64_t tick) {
  if (tick == 0) {
    clock_.next_ = replay_.LoadReadings.data();
    clock_.end_ = clock_.next_ + replay_.LoadReadings.size();
    keys_.begin_ = keys_.end_ = nullptr;
  } else {
    const size_t t = static_cast<size_t>(tick);
    keys_.begin_ = replay_.Keys.data() + replay_.KeyStart[t - 1];
    keys_.end_ = replay_.Keys.data() + replay_.KeyStart[t];
    clock_.next_ = replay_.Readings.data() + replay_.ReadingStart[t - 1];
    clock_.end_ = replay_.Readings.data() + replay_.ReadingStart[t];
  }
  clock_.overrun_ = false;
}

void ReplayPlayer::Start(MainFrm& form) {
  Feed(0);
  form.Load();
  random_.RestoreState(replay_.Seed);
  tick_ = 0;
  nextHash_ = 0;
  snapshots_.clear();
  snapshots_.push_back(form.TakeSnapshot());
  rulesAt_.clear();
  if (rules_ != nullptr) rulesAt_.push_back(rules_->Save());
}

bool ReplayPlayer::Step(MainFrm& form, std::string& problem) {
  if (AtEnd()) return true;
  const int64_t tick = tick_ + 1;
  Feed(tick);
  PlayTick(form, rules_);
  tick_ = tick;
  if (clock_.overrun_ || clock_.next_ != clock_.end_) {
    problem = "the game differs from the recording at tick " + std::to_string(tick) +
              ": it read the clock a different number of times";
    return false;
  }
  if (nextHash_ < replay_.Hashes.size() && replay_.Hashes[nextHash_].first == tick) {
    uint64_t recorded = replay_.Hashes[nextHash_++].second;
    uint64_t hash = WorldHash(form);
    if (hash != recorded) {
      problem = "the game differs from the recording by tick " + std::to_string(tick) +
                " (world hash " + HashHex(hash) + ", recorded " + HashHex(recorded) +
                "); it agreed at tick " + std::to_string(tick - kCheckpointTicks);
      return false;
    }
  }
  if (tick % kSnapshotTicks == 0 &&
      static_cast<int64_t>(snapshots_.size()) == tick / kSnapshotTicks) {
    snapshots_.push_back(form.TakeSnapshot());
    if (rules_ != nullptr) rulesAt_.push_back(rules_->Save());
  }
  return true;
}

bool ReplayPlayer::SeekTo(MainFrm& form, int64_t tick, std::string& problem) {
  tick = std::clamp<int64_t>(tick, 0, replay_.Ticks());
  if (tick < tick_) {
    size_t i = std::min(static_cast<size_t>(tick / kSnapshotTicks), snapshots_.size() - 1);
    form.RestoreSnapshot(snapshots_[i]);
    if (rules_ != nullptr && i < rulesAt_.size()) rules_->Restore(rulesAt_[i]);
    tick_ = static_cast<int64_t>(i) * kSnapshotTicks;
    nextHash_ = 0;
    while (nextHash_ < replay_.Hashes.size() && replay_.Hashes[nextHash_].first <= tick_)
      ++nextHash_;
  }
  while (tick_ < tick) {
    if (!Step(form, problem)) return false;
  }
  return true;
}

}  // namespace tb
