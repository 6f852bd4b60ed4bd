#include "shell/ThingCollection.h"

#include <algorithm>

namespace tb {

void OrderedThings::Add(const std::string& key, std::shared_ptr<Thing> thing) {
  if (index_.count(key) != 0) return;  // keys are unique by construction
  index_.emplace(key, slots_.size());
  Thing& added = *thing;
  const uint64_t seq = nextSeq_++;
  seqs_.push_back(seq);
  slots_.push_back(std::move(thing));
  if (listener_ != nullptr) listener_->Added(added, seq);
}

bool OrderedThings::Remove(const std::string& key) {
  auto it = index_.find(key);
  if (it == index_.end()) return false;
  ++removals_;
  if (listener_ != nullptr) listener_->Removed(*slots_[it->second], seqs_[it->second]);
  if (walkDepth_ > 0) {
    removedInWalk_.push_back(std::move(slots_[it->second]));
  }
  slots_[it->second].reset();
  index_.erase(it);
  ++holes_;
  if (walkDepth_ == 0) {
    TrimTail();
    Compact();
  }
  return true;
}

Thing* OrderedThings::Find(const std::string& key) const {
  auto it = index_.find(key);
  return it == index_.end() ? nullptr : slots_[it->second].get();
}

std::shared_ptr<Thing> OrderedThings::Share(const std::string& key) const {
  auto it = index_.find(key);
  return it == index_.end() ? nullptr : slots_[it->second];
}

void OrderedThings::Clear() {
  ++removals_;
  if (listener_ != nullptr) listener_->Cleared();
  if (walkDepth_ > 0) {
    for (auto& s : slots_)
      if (s) removedInWalk_.push_back(std::move(s));
  } else {
    removedInWalk_.clear();
  }
  slots_.clear();
  seqs_.clear();
  index_.clear();
  holes_ = 0;
}

std::vector<Thing*> OrderedThings::Items() const {
  std::vector<Thing*> out;
  out.reserve(index_.size());
  for (const auto& s : slots_)
    if (s) out.push_back(s.get());
  return out;
}

void OrderedThings::TrimTail() {
  // Holes at the end go at once, so that finding the last live thing stays quick. Not during
  // a walk: a thing appended there must land beyond the walk's position.
  while (!slots_.empty() && !slots_.back()) {
    slots_.pop_back();
    seqs_.pop_back();
    --holes_;
  }
}

uint64_t OrderedThings::LastLiveSeq() const {
  for (size_t i = slots_.size(); i-- > 0;)
    if (slots_[i]) return seqs_[i];
  return 0;
}

void OrderedThings::EndWalk() {
  if (--walkDepth_ > 0) return;
  if (holes_ != 0) {
    TrimTail();
    Compact();
  }
  // Freed only now: a removed thing may still be running the code that removed it.
  if (!removedInWalk_.empty()) {
    std::vector<std::shared_ptr<Thing>> removed;
    removed.swap(removedInWalk_);
  }
}

void OrderedThings::Compact() {
  // Squeeze only when holes are many, so a removal costs O(1) amortised.
  if (holes_ == 0 || holes_ * 2 < slots_.size()) return;
  size_t w = 0;
  for (size_t r = 0; r < slots_.size(); ++r) {
    if (!slots_[r]) continue;
    if (w != r) {
      slots_[w] = std::move(slots_[r]);
      seqs_[w] = seqs_[r];
    }
    index_[slots_[w]->ID] = w;
    ++w;
  }
  slots_.resize(w);
  seqs_.resize(w);
  holes_ = 0;
}

}  // namespace tb
