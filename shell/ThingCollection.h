#pragma once
// Insertion-ordered things keyed by ID. Removal leaves a hole so that walks in progress
// (and nested ones) go on with the following entries; holes are squeezed out only when
// no walk is running.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "shell/SpatialIndex.h"
#include "world/Thing.h"

namespace tb {

// How collision queries find the things to examine: through the grid once the world is
// crowded (Auto), always, or never (a plain walk over every thing). All three give the
// same game; the choice is for tests and measurements.
enum class BroadPhase { Auto, Always, Never };

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
    QueryScope scope(*this);
    for (size_t i = 0; i < slots_.size(); ++i) {
      Thing* t = slots_[i].get();
      if (t != nullptr && f(*t) == false) break;
    }
  }

  // Live things in order (a snapshot).
  std::vector<Thing*> Items() const;

  // Insertion numbers give the walk order: a thing added later has a larger one.
  uint64_t SeqOf(const Thing& t) const { return grid_.SeqOf(t); }
  uint64_t NextSeq() const { return nextSeq_; }
  uint64_t LastLiveSeq() const;

  // The grid must see every change of a thing's place or size before the next query;
  // the game refreshes a thing wherever it moves it, and everything once per tick.
  void Refresh(Thing& t) { grid_.Refresh(t); }
  void RefreshAll();
  void SetBroadPhase(BroadPhase mode) { broadPhase_ = mode; }
  bool UseGrid() const;
  using Candidate = SpatialIndex::Candidate;
  // The things that may touch t, in walk order; false means every thing must be looked at.
  bool Near(const Thing& t, std::vector<Candidate>& out) { return grid_.Near(t, out); }
  // The same, limited to things after insertion number `after`, falling back to all of them.
  void NearAfter(const Thing& t, uint64_t after, std::vector<Candidate>& out);
  // Queries that found nothing, remembered until something changes where they looked.
  uint64_t GridStamp() const { return grid_.Stamp(); }
  void MarkQuiet(const Thing& t, uint64_t stamp, uint8_t tests) {
    grid_.MarkQuiet(t, stamp, tests);
  }
  bool StillQuiet(const Thing& t, uint8_t& tests) const { return grid_.StillQuiet(t, tests); }
  // A candidate's thing, or null once removed. Things removed while a walk or a query is
  // under way stay alive until it ends.
  Thing* Get(const Candidate& c) const { return grid_.Get(c); }
  // A candidate list for one query, reused from query to query; nested queries get their own.
  class CandidateBuffer {
   public:
    explicit CandidateBuffer(OrderedThings& things) : things_(things) {
      if (things_.bufferDepth_ == things_.buffers_.size()) things_.buffers_.emplace_back();
      list_ = &things_.buffers_[things_.bufferDepth_++];
      list_->clear();
    }
    ~CandidateBuffer() { --things_.bufferDepth_; }
    CandidateBuffer(const CandidateBuffer&) = delete;
    CandidateBuffer& operator=(const CandidateBuffer&) = delete;
    std::vector<Candidate>& List() { return *list_; }

   private:
    OrderedThings& things_;
    std::vector<Candidate>* list_;
  };
  // Marks a query under way, for as long as it lives.
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
  std::deque<std::vector<Candidate>> buffers_;  // a deque: growing keeps the others in place
  size_t bufferDepth_ = 0;
  std::vector<uint64_t> seqs_;  // insertion number of each slot, ascending
  std::unordered_map<std::string, size_t> index_;
  size_t holes_ = 0;
  int walkDepth_ = 0;
  uint64_t nextSeq_ = 1;
  SpatialIndex grid_;
  BroadPhase broadPhase_ = BroadPhase::Auto;
};

}  // namespace tb
