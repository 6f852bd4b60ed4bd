#pragma once
// Insertion-ordered things keyed by ID. Removal leaves a hole so that walks in progress
// (and nested ones) go on with the following entries; holes are squeezed out only when
// no walk is running.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "world/Thing.h"

namespace tb {

// The window's things, in insertion order, keyed by ID.
class OrderedThings {
 public:
  // Told of every thing that joins or leaves, with its insertion number.
  class Listener {
   public:
    virtual ~Listener() = default;
    // A thing joined, a thing left, or every thing left at once.
    virtual void Added(Thing& t, uint64_t seq) = 0;
    virtual void Removed(Thing& t, uint64_t seq) = 0;
    virtual void Cleared() = 0;
  };
  // One listener at most (the collision grid); null for none.
  void SetListener(Listener* listener) { listener_ = listener; }

  // Appends a thing under its key; a key already present keeps its thing.
  void Add(const std::string& key, std::shared_ptr<Thing> thing);
  // Removes the thing under the key; false if there is none.
  bool Remove(const std::string& key);
  // The thing under the key, or null.
  Thing* Find(const std::string& key) const;
  // Shared ownership, for holding a thing beyond its removal.
  std::shared_ptr<Thing> Share(const std::string& key) const;
  bool Contains(const std::string& key) const { return index_.count(key) != 0; }
  size_t Count() const { return index_.size(); }  // live things
  // Removes every thing at once.
  void Clear();

  // Visits every live entry from first to last; entries appended during the walk are
  // visited too, removed ones are skipped. The thing visited is kept alive until f returns.
  template <class F>
  void Walk(F&& f) {
    if (walkDepth_ == 0) ++walks_;
    QueryScope scope(*this);
    for (size_t i = 0; i < slots_.size(); ++i) {
      Thing* t = slots_[i].get();
      if (t != nullptr && f(*t) == false) break;
    }
  }
  // Every live thing with its insertion number, in order, outside any walk's bookkeeping.
  template <class F>
  void Visit(F&& f) const {
    for (size_t i = 0; i < slots_.size(); ++i)
      if (slots_[i]) f(*slots_[i], seqs_[i]);
  }
  // Number of removals so far: a thing is still here if none happened since it was.
  uint64_t Removals() const { return removals_; }
  // Number of outermost walks begun so far (one a tick in the game).
  uint64_t WalksBegun() const { return walks_; }

  // Live things in order (a snapshot).
  std::vector<Thing*> Items() const;

  // Insertion numbers give the walk order: a thing added later has a larger one.
  uint64_t NextSeq() const { return nextSeq_; }
  uint64_t LastLiveSeq() const;  // the last live thing's, or 0 when there is none

  // Marks a walk or query under way, for as long as it lives: things removed meanwhile stay
  // alive until the outermost one ends.
  class QueryScope {
   public:
    explicit QueryScope(OrderedThings& things) : things_(things) { ++things_.walkDepth_; }
    ~QueryScope() { things_.EndWalk(); }
    QueryScope(const QueryScope&) = delete;
    QueryScope& operator=(const QueryScope&) = delete;

   private:
    OrderedThings& things_;
  };

 private:
  void Compact();
  void EndWalk();
  void TrimTail();
  std::vector<std::shared_ptr<Thing>> slots_;
  std::vector<std::shared_ptr<Thing>> removedInWalk_;
  std::vector<uint64_t> seqs_;  // insertion number of each slot, ascending
  std::unordered_map<std::string, size_t> index_;
  size_t holes_ = 0;
  int walkDepth_ = 0;
  uint64_t walks_ = 0;
  uint64_t removals_ = 0;
  uint64_t nextSeq_ = 1;
  Listener* listener_ = nullptr;
};

}  // namespace tb
