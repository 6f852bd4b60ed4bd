#include "shell/ThingCollection.h"

namespace tb {

void OrderedThings::Add(const std::string& key, std::shared_ptr<Thing> thing) {
  if (index_.count(key) != 0) return;  // keys are unique by construction
  index_.emplace(key, slots_.size());
  slots_.push_back(std::move(thing));
}

bool OrderedThings::Remove(const std::string& key) {
  auto it = index_.find(key);
  if (it == index_.end()) return false;
  slots_[it->second].reset();
  index_.erase(it);
  ++holes_;
  if (walkDepth_ == 0) Compact();
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
  slots_.clear();
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

void OrderedThings::Compact() {
  // Squeeze only when holes are many, so a removal costs O(1) amortised.
  if (holes_ == 0 || holes_ * 2 < slots_.size()) return;
  size_t w = 0;
  for (size_t r = 0; r < slots_.size(); ++r) {
    if (!slots_[r]) continue;
    if (w != r) slots_[w] = std::move(slots_[r]);
    index_[slots_[w]->ID] = w;
    ++w;
  }
  slots_.resize(w);
  holes_ = 0;
}

}  // namespace tb
