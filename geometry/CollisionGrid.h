#pragma once
// The broad phase of collision queries: a coarse grid over the things' collision bounds, so
// that a query looks only at the things that could overlap its own thing instead of at every
// thing in the world. It is derived state, never part of the game's: it is told only which
// things join and leave the collection, notices moves itself by comparing what it filed with
// the things as they are, and may be rebuilt at any time without changing the game.
//
// Each thing is filed under every cell its bounds box touches; the box is the one the bounds
// test uses, so two things whose bounds overlap always share a cell. Things with very large
// bounds, or too far off for the cells, sit in a shared list that every query sees.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include "shell/ThingCollection.h"

namespace tb {

class Thing;

// How collision queries find the things to examine: through the grid once the world is
// crowded (Auto), always, or never (a plain walk over every thing). All three give the
// same game; the choice is for tests and measurements.
enum class BroadPhase { Auto, Always, Never };

// The broad phase of one collection, which it listens to for the whole of its life.
class CollisionGrid : private OrderedThings::Listener {
 public:
  // Listens to the collection and files what it holds already.
  explicit CollisionGrid(OrderedThings& things);
  ~CollisionGrid() override;  // stops listening
  CollisionGrid(const CollisionGrid&) = delete;
  CollisionGrid& operator=(const CollisionGrid&) = delete;

  // Whether queries use the grid: by crowding, always or never.
  void SetMode(BroadPhase mode) { mode_ = mode; }
  // Files every thing of the collection afresh, as a new grid would.
  void Rebuild();
  // Catches up at once with things changed from outside the game's tick (a restored
  // snapshot): quiet looks stay only where nothing filed differs from the things as they are.
  void Refresh() { Sweep(); }

  // The contact tests a look ran: they leave traces in the shared contact state that a
  // skipped look must leave too.
  enum QuietTests : uint8_t { kCircleOnPolygon = 1, kPolygons = 2 };

  // A token's radius: round things this large have boxes that hold the centre of every
  // smaller circle they touch, so TouchCandidates looks for them in one cell only.
  static constexpr int32_t kSmallRadius = 8;
  // For a check-only look of a round thing with a radius of 0 to kSmallRadius, without a
  // Query, in walk order: the first round thing at least kSmallRadius large whose circle
  // touches self's, last, and before it every other thing whose bounds meet self's (for a
  // small round one, whose circle may touch). Null when the grid is not used or self lies
  // beyond its cells. Valid until the next call; nothing may move, be born or leave meanwhile.
  const std::vector<Thing*>* TouchCandidates(const Thing& self);

 private:
  // Centre, width and length, as the bounds test takes them.
  using Bounds = std::array<int32_t, 4>;
  // What a pruned look keeps: things whose bounds meet self's and, for two round things,
  // whose circles may touch.
  struct Reach {
    Bounds bounds;
    int32_t radius;
    bool rectangle;
    // Whether a thing of these bounds and shape may be kept.
    bool Keeps(int32_t x, int32_t y, int32_t width, int32_t length, int32_t radius,
               bool rectangle) const;
  };
  // The cells a bounds box spans, inclusive; big: it goes to the shared list instead.
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
  // A thing handed to a query: its insertion number and where the grid keeps it.
  struct Candidate {
    uint64_t seq;
    uint32_t entry;
    bool operator<(const Candidate& o) const { return seq < o.seq; }
  };

 public:
  // One collision query of `self`, for as long as it lives. It first catches up with moves
  // made since the last query, then hands out the things that may touch self in walk order.
  // Things removed while it lives stay alive until it ends.
  class Query {
   public:
    // `checkOnly`: a look that pushes nothing.
    Query(CollisionGrid& grid, const Thing& self, bool checkOnly);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    // False: the caller must walk over every thing instead.
    bool Indexed() const { return indexed_; }
    // True, with the tests it ran, when self's last look found nothing and neither self nor
    // anything where it looks has changed since.
    bool StillQuiet(uint8_t& tests);
    // The next thing that may touch self, in walk order, or null at the end. The previous
    // one and self are checked for moves first (an examination pushes both); when self has
    // moved, the things near its new place are gathered afresh. Things born during the query
    // come last, as in the walk.
    Thing* Next();
    // Starts the hand-out afresh, of all things that may touch self or (on) only of those
    // whose bounds meet self's now: a check-only query that ends at a hit depends on no other.
    void OnlyMeeting(bool on);
    // Tells that the examination of the thing last handed out touched nothing, so moved
    // nothing: the next one need not look for pushes.
    void Untouched() { examined_ = false; }
    // Whether the thing last handed out is also the one a full walk would have visited last.
    bool EndedOnLastOfWalk() const;
    // Remembers that this look found nothing, unless the grid changed during it.
    void MarkQuiet(uint8_t tests);

   private:
    friend class CollisionGrid;
    void Gather();
    // Files again the thing last handed out and self, which its examination may have moved.
    void CheckLast() const;
    // Whether self is still in the grid.
    bool SelfFiled() const;
    CollisionGrid& grid_;
    const Thing& self_;
    OrderedThings::QueryScope scope_;
    std::vector<Candidate>* near_;
    size_t next_ = 0;
    bool indexed_ = false;
    bool gathered_ = false;
    bool selfPassed_ = false;
    bool examined_ = false;
    uint64_t stamp_ = 0;
    uint32_t selfEntry_ = 0;
    uint64_t mySeq_ = 0;  // 0 when self is not in the grid
    uint64_t born_ = 0;
    uint64_t pos_ = 0;  // insertion number of the last thing handed out
    uint32_t prevEntry_ = 0;
    bool pruned_ = false;
    Reach reach_{};
    bool selfMoved_ = false;  // self is elsewhere than filed
    CollisionGrid::Box selfBox_;
    Bounds at_{};  // self's bounds when its neighbours were gathered
  };

 private:
  friend class Query;
  struct Entry {
    Thing* thing = nullptr;
    uint64_t seq = 0;
    Box box;
    Shape shape;
    bool shared = false;   // filed in the shared list
    bool changed = false;  // found moved since the last sweep
    bool queried = false;  // ran a query of its own since the last sweep
    bool watched = false;  // checked at every query
    bool listed = false;   // in the watch list, which drops the unwatched lazily
    uint64_t quietAt = 0;  // stamp of the last quiet look, 0 for none
    uint8_t quietTests = 0;
    uint64_t filedAt = 0;  // stamp of its latest filing
  };
  // One change of the grid, by stamp: the bounds a thing was filed with, or left, or
  // everywhere (the cells made anew, the grid emptied).
  struct Change {
    Bounds bounds{};
    bool everywhere = true;
  };

  // The collection's news: a thing joined, left, or all left.
  void Added(Thing& t, uint64_t seq) override;
  void Removed(Thing& t, uint64_t seq) override;
  void Cleared() override;

  // Whether queries go through the grid now, by the mode and the number of things.
  bool UseGrid() const;
  static Shape ShapeOf(const Thing& t);
  static Box BoxOf(const Shape& s);
  static Box BoxOf(const Bounds& b);
  // Files the entry again if its thing has changed; true if it had.
  bool Check(uint32_t e);
  // Whether the entry's thing is still as filed.
  static bool Unchanged(const Entry& entry);
  // Files again the thing that looked from a place it is not filed at, if any.
  void FileUnfiled();
  // Catches up with moves before a query: everything once per walk of the collection or
  // after queries the grid did not serve, and at every query the things that change without
  // looking themselves (a growing explosion).
  void CatchUp(bool indexed);
  // What every look of `self` does first: sees where the looks under way have pushed things,
  // files a thing that tried places elsewhere, and refiles self unless `checkOnly`, when
  // `moved` tells that self is elsewhere than filed. Returns self's entry, or -1.
  int64_t Arrive(const Thing& self, bool checkOnly, bool& moved);
  // Checks every entry for moves, and watches those that moved without a query of their own.
  void Sweep();
  void File(uint32_t e);
  void Unfile(uint32_t e);
  // Makes the cells cover the box if that stays within bounds; false if it cannot.
  bool Cover(const Box& b, uint32_t filing);
  // Whether the cells cover the box already.
  bool Covers(const Box& b) const;
  // Notes a change where the box lies, for the quiet looks there.
  void Touch(const Entry& e);
  size_t Bucket(int64_t cx, int64_t cy) const {
    return static_cast<size_t>((cx - ox_) + (cy - oy_) * nx_);
  }
  // The thing's entry, or -1 if it is not in the grid.
  int64_t EntryOf(const Thing& t) const;
  // The things other than self that may touch it, after insertion number `after`, by
  // ascending insertion number.
  // With `reach`, only those it keeps.
  void Near(const Thing& self, const Box& box, uint64_t after, const Reach* reach,
            std::vector<Candidate>& out);
  // The bounds test of a pair, on what the grid filed.
  static bool Meet(int32_t x, int32_t y, int32_t width, int32_t length, const Bounds& b);
  static Bounds BoundsOf(const Thing& t);
  void MarkQuiet(uint32_t e, uint64_t stamp, uint8_t tests);
  bool StillQuiet(uint32_t e, uint8_t& tests);
  // Whether nothing changed in the cells of the entry since its quiet look.
  bool CellsQuiet(const Entry& e) const;
  // Whether every change since its quiet look lay where its look does not reach; if so, the
  // quiet look is renewed.
  bool ChangesApart(Entry& e);
  // Counts a change at `where` (null: everywhere) and remembers it.
  void NoteChange(const Shape* where);

  OrderedThings& things_;
  BroadPhase mode_ = BroadPhase::Auto;
  std::vector<Entry> entries_;
  std::vector<Thing*> thingOf_;  // each entry's thing, apart so that a look finds it quickly
  std::vector<uint32_t> marks_;  // each entry's last query in Near, to take it once
  std::vector<uint32_t> freeEntries_;
  std::unordered_map<const Thing*, uint32_t> entryOf_;
  // A thing in a cell, with its bounds beside it so that a look need not fetch the entry.
  struct Slot {
    int32_t x, y, width, length, radius;
    uint32_t entry;
    uint64_t seq;  // the entry's insertion number (the walk order)
    bool rectangle;
  };
  static uint32_t EntryIn(const Slot& s) { return s.entry; }
  static uint32_t EntryIn(uint32_t e) { return e; }
  // Puts the entry into its cells or the shared list, as `shared` says, and into the list of
  // the others if it is one.
  void Place(uint32_t e);
  // Rectangles and round things smaller than kSmallRadius.
  static bool Other(const Shape& s) { return s.rectangle || s.radius < kSmallRadius; }
  static bool Other(const Slot& s) { return s.rectangle || s.radius < kSmallRadius; }
  // The things filed in a cell: round ones at least kSmallRadius large, and the others.
  struct Cell {
    std::vector<Slot> round, other;
    template <class S>
    std::vector<Slot>& In(const S& s) {
      return Other(s) ? other : round;
    }
  };
  std::vector<Cell> cells_;
  std::vector<uint64_t> bucketStamps_;
  int64_t ox_ = 0, oy_ = 0, nx_ = 0, ny_ = 0;  // the cells covered
  std::vector<Slot> shared_;
  // A thing near another, with its insertion number (the walk order).
  struct Nearby {
    uint64_t seq;
    Thing* thing;
  };
  std::vector<Nearby> nearby_;    // TouchCandidates' finds
  std::vector<Thing*> touching_;  // and its answer
  std::vector<uint32_t> watched_;
  std::vector<const Query*> active_;  // queries under way, outermost first
  uint64_t sharedStamp_ = 0;
  std::array<Change, 64> changes_{};  // the latest changes, by stamp
  uint64_t stamp_ = 0;
  uint32_t query_ = 0;
  uint64_t sweptAtWalk_ = 0;
  bool stale_ = false;    // a walked query may have moved things unseen
  int64_t unfiled_ = -1;  // a thing that looked from a place it is not filed at, or -1
  // Candidate lists reused from query to query, one per nesting level; a deque keeps them
  // in place as it grows.
  std::deque<std::vector<Candidate>> buffers_;
  size_t bufferDepth_ = 0;
};

}  // namespace tb
