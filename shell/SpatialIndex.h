#pragma once
// A coarse grid over the things' collision bounds, so that a collision query looks only at
// the things that could overlap instead of at every thing in the world. Each thing is filed
// under every cell its bounds box touches; the box is the one the bounds test uses, so two
// things whose bounds overlap always share a cell. Things with very large or odd bounds sit
// in a list that every query sees.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tb {

class Thing;

class SpatialIndex {
 public:
  struct Candidate {
    uint64_t seq;
    uint32_t entry;
    bool operator<(const Candidate& o) const { return seq < o.seq; }
  };
  SpatialIndex();
  void Insert(Thing& t, uint64_t seq);
  void Erase(Thing& t);
  // Files the thing again if its bounds have changed since it was last filed.
  void Refresh(Thing& t);
  void Clear();
  // The filed things other than t that may overlap t, by ascending insertion number.
  // False when t's own bounds are too large or odd to look up: every thing is a candidate.
  bool Near(const Thing& t, std::vector<Candidate>& out);
  // The candidate's thing, or null once it has been erased.
  Thing* Get(const Candidate& c) const {
    const Entry& e = entries_[c.entry];
    return e.seq == c.seq ? e.thing : nullptr;
  }
  uint64_t SeqOf(const Thing& t) const;
  Candidate CandidateOf(const Thing& t) const;

 private:
  struct Box {
    int64_t cx0 = 0, cy0 = 0, cx1 = -1, cy1 = -1;
    bool big = false;
    bool operator==(const Box& o) const {
      return cx0 == o.cx0 && cy0 == o.cy0 && cx1 == o.cx1 && cy1 == o.cy1 && big == o.big;
    }
  };
  struct Entry {
    Thing* thing = nullptr;
    uint64_t seq = 0;
    Box box;
    uint32_t mark = 0;
  };
  static Box BoxOf(const Thing& t);
  void File(uint32_t e);
  void Unfile(uint32_t e);
  static size_t Bucket(int64_t cx, int64_t cy);

  std::vector<Entry> entries_;
  std::vector<uint32_t> freeEntries_;
  std::vector<std::vector<uint32_t>> buckets_;
  std::vector<uint32_t> big_;
  uint32_t query_ = 0;
};

}  // namespace tb
