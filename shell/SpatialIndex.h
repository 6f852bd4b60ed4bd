#pragma once
// A coarse grid over the things' collision bounds, so that a collision query looks only at
// the things that could overlap instead of at every thing in the world. Each thing is filed
// under every cell its bounds box touches; the box is the one the bounds test uses, so two
// things whose bounds overlap always share a cell. Things with very large or odd bounds sit
// in a list that every query sees.
#include <array>
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

  // A query that found nothing finds nothing again as long as neither the thing nor anything
  // filed where it looks has changed shape or place: a resting thing in a crowded arena need
  // not look again. `tests` says which contact tests the query ran, as those leave traces in
  // the shared contact state.
  enum QuietTests : uint8_t { kCircleOnPolygon = 1, kPolygons = 2 };
  // Stamp of the grid's last change, to tell whether a query changed anything.
  uint64_t Stamp() const { return stamp_; }
  void MarkQuiet(const Thing& t, uint64_t stamp, uint8_t tests);
  // True, with the tests of that query, when t's last quiet query still holds.
  bool StillQuiet(const Thing& t, uint8_t& tests) const;

 private:
  struct Box {
    int64_t cx0 = 0, cy0 = 0, cx1 = -1, cy1 = -1;
    bool big = false;
    bool operator==(const Box& o) const {
      return cx0 == o.cx0 && cy0 == o.cy0 && cx1 == o.cx1 && cy1 == o.cy1 && big == o.big;
    }
  };
  // All a contact test reads of a thing's place and outline.
  struct Shape {
    int32_t x = 0, y = 0, width = 0, length = 0, radius = 0;
    bool rectangle = false;
    std::array<int32_t, 5> px{}, py{};
    bool operator==(const Shape& o) const {
      return x == o.x && y == o.y && width == o.width && length == o.length && radius == o.radius &&
             rectangle == o.rectangle && px == o.px && py == o.py;
    }
  };
  struct Entry {
    Thing* thing = nullptr;
    uint64_t seq = 0;
    Box box;
    Shape shape;
    uint32_t mark = 0;
    uint64_t quietAt = 0;  // stamp of the last quiet query, 0 for none
    uint8_t quietTests = 0;
  };
  // The thing's entry, or null when the grid does not hold it.
  const Entry* EntryOf(const Thing& t) const;
  Entry* EntryOf(const Thing& t);
  static Shape ShapeOf(const Thing& t);
  static Box BoxOf(const Shape& s);
  void File(uint32_t e);
  void Unfile(uint32_t e);
  // Notes a change where the box lies, for the quiet queries looking there.
  void Touch(const Box& b);
  static size_t Bucket(int64_t cx, int64_t cy);

  std::vector<Entry> entries_;
  std::vector<uint32_t> freeEntries_;
  std::vector<std::vector<uint32_t>> buckets_;
  std::vector<uint32_t> big_;
  std::vector<uint64_t> bucketStamps_;
  uint64_t bigStamp_ = 0;
  uint64_t stamp_ = 0;
  uint32_t query_ = 0;
};

}  // namespace tb
