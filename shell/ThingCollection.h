#pragma once
// Insertion-ordered things keyed by ID. Removal leaves a hole so that walks in progress
// (and nested ones) go on with the following entries; holes are squeezed out only when
// no walk is running.
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "world/Thing.h"

namespace tb {

class OrderedThings {
 public:
  void Add(const std::string& key, std::shared_ptr<Thing> thing);
  bool Remove(const std::string& key);
  Thing* Find(const std::string& key) const;
  // Shared ownership, for holding a thing beyond its removal.
  std::shared_ptr<Thing> Share(const std::string& key) const;
  bool Contains(const std::string& key) const { return index_.count(key) != 0; }
  size_t Count() const { return index_.size(); }
  void Clear();

  // Visits every live entry from first to last; entries appended during the walk are
  // visited too, removed ones are skipped. The thing visited is kept alive until f returns.
  template <class F>
  void Walk(F&& f) {
    ++walkDepth_;
    for (size_t i = 0; i < slots_.size(); ++i) {
      std::shared_ptr<Thing> t = slots_[i];
      if (t && f(*t) == false) break;
    }
    if (--walkDepth_ == 0) Compact();
  }

  // Live things in order (a snapshot).
  std::vector<Thing*> Items() const;

 private:
  void Compact();
  std::vector<std::shared_ptr<Thing>> slots_;
  std::unordered_map<std::string, size_t> index_;
  size_t holes_ = 0;
  int walkDepth_ = 0;
};

}  // namespace tb
