#include "geometry/CollisionGrid.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "geometry/Numeric.h"
#include "world/Thing.h"

namespace tb {

namespace {
constexpr int kCellShift = 5;     // 32-pixel cells: a token's 33-pixel box spans two of them
constexpr int64_t kMaxSpan = 16;  // boxes wider than this many cells go to the shared list
// The most cells the grid keeps (2 MB; an arena of 4096 pixels square with room around it);
// boxes beyond them, such as a thing flung far off, go to the shared list.
constexpr int64_t kMaxCells = int64_t{1} << 16;
constexpr int64_t kMinMargin = 8;
// Below this many things a plain walk is as quick as the grid.
constexpr size_t kGridFrom = 32;

// Five corners compared at once: no library call in the check every look makes.
bool SameCorners(const Corners& a, const Corners& b) {
  uint32_t differ = 0;
  for (size_t i = 0; i < a.size(); ++i)
    differ |= static_cast<uint32_t>(a[i]) ^ static_cast<uint32_t>(b[i]);
  return differ == 0;
}

int64_t CellOf(int64_t v) {
  // Floor division, also for negative coordinates.
  return v >= 0 ? v >> kCellShift : -((-v + 31) >> kCellShift);
}

}  // namespace

CollisionGrid::Bounds CollisionGrid::BoundsOf(const Thing& t) {
  return {RoundToInt(D(t.X)), RoundToInt(D(t.Y)), t.TrueWidth(), t.TrueLength()};
}

bool CollisionGrid::Meet(int32_t x, int32_t y, int32_t width, int32_t length, const Bounds& b) {
  // The bounds test of a pair, on what the grid filed.
  return std::llabs(int64_t{x} - b[0]) < int64_t{width} + b[2] &&
         std::llabs(int64_t{y} - b[1]) < int64_t{length} + b[3];
}

CollisionGrid::CollisionGrid(OrderedThings& things) : things_(things) {
  things_.SetListener(this);
  Rebuild();
}

CollisionGrid::~CollisionGrid() { things_.SetListener(nullptr); }

bool CollisionGrid::UseGrid() const {
  return mode_ == BroadPhase::Always || (mode_ == BroadPhase::Auto && things_.Count() >= kGridFrom);
}

CollisionGrid::Shape CollisionGrid::ShapeOf(const Thing& t) {
  Shape s;
  s.x = RoundToInt(D(t.X));
  s.y = RoundToInt(D(t.Y));
  s.width = t.TrueWidth();
  s.length = t.TrueLength();
  s.radius = t.Radius;
  s.rectangle = t.Rectangle;
  s.px = t.PX();
  s.py = t.PY();
  return s;
}

CollisionGrid::Box CollisionGrid::BoxOf(const Shape& s) {
  return BoxOf(Bounds{s.x, s.y, s.width, s.length});
}

CollisionGrid::Box CollisionGrid::BoxOf(const Bounds& bounds) {
  Box b;
  int64_t x = bounds[0], y = bounds[1], w = bounds[2], l = bounds[3];
  if (w < 0 || l < 0) {
    b.big = true;
    return b;
  }
  b.cx0 = CellOf(x - w);
  b.cx1 = CellOf(x + w);
  b.cy0 = CellOf(y - l);
  b.cy1 = CellOf(y + l);
  b.big = b.cx1 - b.cx0 >= kMaxSpan || b.cy1 - b.cy0 >= kMaxSpan;
  return b;
}

int64_t CollisionGrid::EntryOf(const Thing& t) const {
  if (t.GridEntry < thingOf_.size() && thingOf_[t.GridEntry] == &t) return t.GridEntry;
  auto it = entryOf_.find(&t);
  return it == entryOf_.end() ? -1 : static_cast<int64_t>(it->second);
}

bool CollisionGrid::Covers(const Box& b) const {
  return b.cx0 >= ox_ && b.cx1 < ox_ + nx_ && b.cy0 >= oy_ && b.cy1 < oy_ + ny_;
}

bool CollisionGrid::Cover(const Box& b, uint32_t filing) {
  if (Covers(b)) return true;
  // The cells needed: the new box and every box now in cells (not the room left round them).
  int64_t x0 = b.cx0, x1 = b.cx1, y0 = b.cy0, y1 = b.cy1;
  for (uint32_t e = 0; e < entries_.size(); ++e) {
    const Entry& entry = entries_[e];
    if (entry.thing == nullptr || entry.shared || e == filing) continue;
    x0 = std::min(x0, entry.box.cx0);
    x1 = std::max(x1, entry.box.cx1);
    y0 = std::min(y0, entry.box.cy0);
    y1 = std::max(y1, entry.box.cy1);
  }
  auto fits = [](int64_t a0, int64_t a1, int64_t b0, int64_t b1) {
    return a1 - a0 + 1 <= kMaxCells && b1 - b0 + 1 <= kMaxCells &&
           (a1 - a0 + 1) * (b1 - b0 + 1) <= kMaxCells;
  };
  if (!fits(x0, x1, y0, y1)) return false;
  // Room to grow where there is, so that a thing drifting outwards does not make the grid
  // grow every move.
  int64_t mx = std::max(kMinMargin, (x1 - x0 + 1) / 2);
  int64_t my = std::max(kMinMargin, (y1 - y0 + 1) / 2);
  while (!fits(x0 - mx, x1 + mx, y0 - my, y1 + my)) mx /= 2, my /= 2;
  x0 -= mx, x1 += mx, y0 -= my, y1 += my;
  ox_ = x0, oy_ = y0, nx_ = x1 - x0 + 1, ny_ = y1 - y0 + 1;
  cells_.assign(static_cast<size_t>(nx_ * ny_), {});
  // Every remembered quiet look is void now.
  NoteChange(nullptr);
  bucketStamps_.assign(cells_.size(), stamp_);
  sharedStamp_ = stamp_;
  // Everything is filed anew, except the one the caller is filing.
  shared_.clear();
  for (uint32_t e = 0; e < entries_.size(); ++e) {
    Entry& entry = entries_[e];
    if (entry.thing == nullptr || e == filing) continue;
    entry.shared = entry.box.big || !Covers(entry.box);
    Place(e);
  }
  return true;
}

void CollisionGrid::NoteChange(const Shape* where) {
  Change& c = changes_[++stamp_ % changes_.size()];
  c.everywhere = where == nullptr;
  if (where != nullptr) c.bounds = {where->x, where->y, where->width, where->length};
}

void CollisionGrid::Touch(const Entry& e) {
  NoteChange(&e.shape);
  if (e.shared) {
    sharedStamp_ = stamp_;
    return;
  }
  const Box& b = e.box;
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx) bucketStamps_[Bucket(cx, cy)] = stamp_;
}

void CollisionGrid::File(uint32_t e) {
  Entry& entry = entries_[e];
  const Box& b = entry.box;
  entry.shared = b.big || !Cover(b, e);
  Touch(entry);
  entry.filedAt = stamp_;
  Place(e);
}

void CollisionGrid::Place(uint32_t e) {
  const Entry& entry = entries_[e];
  const Shape& s = entry.shape;
  const Slot slot{s.x, s.y, s.width, s.length, s.radius, e, entry.seq, s.rectangle};
  if (entry.shared) {
    shared_.push_back(slot);
    return;
  }
  const Box& b = entry.box;
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx) cells_[Bucket(cx, cy)].In(slot).push_back(slot);
}

void CollisionGrid::Unfile(uint32_t e) {
  auto drop = [e](auto& list) {
    for (auto& item : list) {
      if (EntryIn(item) != e) continue;
      item = list.back();
      list.pop_back();
      return;
    }
  };
  const Entry& entry = entries_[e];
  Touch(entry);
  if (entry.shared) {
    drop(shared_);
    return;
  }
  const Box& b = entry.box;
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx) drop(cells_[Bucket(cx, cy)].In(entry.shape));
}

void CollisionGrid::Added(Thing& t, uint64_t seq) {
  uint32_t e;
  if (!freeEntries_.empty()) {
    e = freeEntries_.back();
    freeEntries_.pop_back();
  } else {
    e = static_cast<uint32_t>(entries_.size());
    entries_.emplace_back();
    thingOf_.push_back(nullptr);
  }
  thingOf_[e] = &t;
  Shape shape = ShapeOf(t);
  const bool listed = entries_[e].listed;  // a freed entry may still be in the watch list
  entries_[e] = Entry{};
  Entry& entry = entries_[e];
  entry.thing = &t;
  entry.seq = seq;
  entry.box = BoxOf(shape);
  entry.shape = shape;
  // A newcomer may change before it first looks round itself: watched until it does.
  entry.watched = true;
  entry.listed = true;
  if (!listed) watched_.push_back(e);
  entryOf_[&t] = e;
  t.GridEntry = e;
  File(e);
}

void CollisionGrid::Removed(Thing& t, uint64_t /*seq*/) {
  int64_t found = EntryOf(t);
  if (found < 0) return;
  uint32_t e = static_cast<uint32_t>(found);
  Unfile(e);
  if (unfiled_ == found) unfiled_ = -1;
  entries_[e].thing = nullptr;
  thingOf_[e] = nullptr;
  entries_[e].seq = 0;
  entryOf_.erase(&t);
  freeEntries_.push_back(e);
}

void CollisionGrid::Cleared() {
  entries_.clear();
  thingOf_.clear();
  freeEntries_.clear();
  entryOf_.clear();
  for (Cell& c : cells_) c.round.clear(), c.other.clear();
  shared_.clear();
  watched_.clear();
  unfiled_ = -1;
  NoteChange(nullptr);  // a query under way must not call the emptied grid quiet
}

void CollisionGrid::Rebuild() {
  Cleared();
  cells_.clear();
  bucketStamps_.clear();
  ox_ = oy_ = nx_ = ny_ = 0;
  things_.Visit([this](Thing& t, uint64_t seq) { Added(t, seq); });
  sweptAtWalk_ = things_.WalksBegun();
  stale_ = false;
}

bool CollisionGrid::Unchanged(const Entry& entry) {
  const Thing& t = *entry.thing;
  const Shape& f = entry.shape;
  return RoundToInt(D(t.X)) == f.x && RoundToInt(D(t.Y)) == f.y && t.TrueWidth() == f.width &&
         t.TrueLength() == f.length && t.Radius == f.radius && t.Rectangle == f.rectangle &&
         SameCorners(t.PX(), f.px) && SameCorners(t.PY(), f.py);
}

void CollisionGrid::FileUnfiled() {
  const uint32_t e = static_cast<uint32_t>(unfiled_);
  unfiled_ = -1;
  if (entries_[e].thing != nullptr) Check(e);
}

bool CollisionGrid::Check(uint32_t e) {
  Entry& entry = entries_[e];
  if (Unchanged(entry)) return false;
  Shape s = ShapeOf(*entry.thing);
  entry.changed = true;
  // Filed again also within the same cells, where the bounds are kept beside the entry.
  Unfile(e);
  entry.shape = s;
  entry.box = BoxOf(s);
  File(e);
  return true;
}

void CollisionGrid::Sweep() {
  // A thing that moved since the last sweep without looking round itself (an explosion
  // grows as it is drawn) may do so again: it is checked at every query until it stops.
  watched_.clear();
  for (uint32_t e = 0; e < entries_.size(); ++e) {
    Entry& entry = entries_[e];
    entry.watched = entry.listed = false;
    if (entry.thing == nullptr) continue;
    Check(e);
    // An explosion grows at every tick until it goes: watched also when the sweep follows a
    // restore or a rebuild, which hide how it changed.
    entry.watched = entry.listed =
        (entry.changed && !entry.queried) || entry.thing->ThingType() == Explosion;
    if (entry.listed) watched_.push_back(e);
    entry.changed = false;
    entry.queried = false;
  }
  sweptAtWalk_ = things_.WalksBegun();
  stale_ = false;
  unfiled_ = -1;
}

void CollisionGrid::CatchUp(bool indexed) {
  if (!indexed) {
    stale_ = true;  // the next sweep decides afresh what to watch
    for (uint32_t e : watched_) entries_[e].listed = false;
    watched_.clear();
    return;
  }
  if (stale_ || sweptAtWalk_ != things_.WalksBegun()) {
    Sweep();
    return;
  }
  for (size_t i = 0; i < watched_.size();) {
    Entry& entry = entries_[watched_[i]];
    if (entry.thing == nullptr || !entry.watched) {  // gone or looking itself: out of the list
      entry.listed = false;
      watched_[i] = watched_.back();
      watched_.pop_back();
      continue;
    }
    Check(watched_[i++]);
  }
}

bool CollisionGrid::Reach::Keeps(int32_t x, int32_t y, int32_t width, int32_t length, int32_t r,
                                 bool rect) const {
  if (!Meet(x, y, width, length, bounds)) return false;
  if (rect || rectangle) return true;
  // Two round things whose centres lie more than a pixel beyond touching: the circle test
  // fails whatever its rounding. Only checked where the squares are exact.
  const int64_t dx = int64_t{x} - bounds[0], dy = int64_t{y} - bounds[1];
  const int64_t reach = int64_t{r} + radius + 1;
  constexpr int64_t kExact = int64_t{1} << 24;
  if (dx >= kExact || dx <= -kExact || dy >= kExact || dy <= -kExact || reach >= kExact)
    return true;
  return reach < 1 ? false : dx * dx + dy * dy <= reach * reach;
}

void CollisionGrid::Near(const Thing& self, const Box& b, uint64_t after, const Reach* reach,
                         std::vector<Candidate>& out) {
  out.clear();
  if (marks_.size() < entries_.size()) marks_.resize(entries_.size(), 0);
  if (++query_ == 0) {  // the marks wrapped: forget them all
    std::fill(marks_.begin(), marks_.end(), 0);
    query_ = 1;
  }
  // Marks and things kept apart from the entries, so that a look reads little memory.
  auto take = [&](uint32_t e, uint64_t seq) {
    if (seq <= after || marks_[e] == query_ || thingOf_[e] == &self) return;
    marks_[e] = query_;
    out.push_back(Candidate{seq, e});
  };
  if (b.big) {
    for (uint32_t e = 0; e < entries_.size(); ++e)
      if (entries_[e].thing != nullptr) take(e, entries_[e].seq);
  } else {
    // Only the part of the box inside the cells: a thing filed there lies wholly inside.
    const int64_t x0 = std::max(b.cx0, ox_), x1 = std::min(b.cx1, ox_ + nx_ - 1);
    const int64_t y0 = std::max(b.cy0, oy_), y1 = std::min(b.cy1, oy_ + ny_ - 1);
    auto scan = [&](const std::vector<Slot>& slots) {
      for (const Slot& slot : slots) {
        if (reach != nullptr &&
            !reach->Keeps(slot.x, slot.y, slot.width, slot.length, slot.radius, slot.rectangle))
          continue;
        take(slot.entry, slot.seq);
      }
    };
    scan(shared_);
    for (int64_t cy = y0; cy <= y1; ++cy)
      for (int64_t cx = x0; cx <= x1; ++cx) {
        const Cell& cell = cells_[Bucket(cx, cy)];
        scan(cell.round);
        scan(cell.other);
      }
  }
  // A look has a few candidates: sorted in place as they stand, the large lists by std::sort.
  if (out.size() > 32) {
    std::sort(out.begin(), out.end());
    return;
  }
  for (size_t i = 1; i < out.size(); ++i)
    for (size_t k = i; k > 0 && out[k] < out[k - 1]; --k) std::swap(out[k], out[k - 1]);
}

void CollisionGrid::MarkQuiet(uint32_t e, uint64_t stamp, uint8_t tests) {
  Entry& entry = entries_[e];
  if (stamp != stamp_ || entry.shared) return;
  entry.quietAt = stamp;
  entry.quietTests = tests;
}

bool CollisionGrid::StillQuiet(uint32_t found, uint8_t& tests) {
  Entry& e = entries_[found];
  if (e.quietAt == 0 || e.shared || sharedStamp_ > e.quietAt) return false;
  if (!CellsQuiet(e) && !ChangesApart(e)) return false;
  tests = e.quietTests;
  return true;
}

bool CollisionGrid::CellsQuiet(const Entry& e) const {
  const Box& b = e.box;
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx)
      if (bucketStamps_[Bucket(cx, cy)] > e.quietAt) return false;
  return true;
}

bool CollisionGrid::ChangesApart(Entry& e) {
  // The look a skip stands for examines only the things whose bounds meet self's: when none
  // of the changes since the quiet look were there, it would find nothing again. Only looks
  // whose misses leave nothing but the flags reset here are skipped so: the foot point a
  // circle-on-outline miss leaves would be missing.
  if ((e.quietTests & kCircleOnPolygon) != 0 || e.filedAt > e.quietAt ||
      stamp_ - e.quietAt > changes_.size())
    return false;
  const Bounds self{e.shape.x, e.shape.y, e.shape.width, e.shape.length};
  for (uint64_t s = e.quietAt + 1; s <= stamp_; ++s) {
    const Change& c = changes_[s % changes_.size()];
    if (c.everywhere || Meet(c.bounds[0], c.bounds[1], c.bounds[2], c.bounds[3], self))
      return false;
  }
  // As the look it stands for would have remembered it.
  e.quietAt = stamp_;
  return true;
}

int64_t CollisionGrid::Arrive(const Thing& self, bool checkOnly, bool& moved) {
  moved = false;
  // A query nested in another's examination (separating two things) must see where that
  // examination has pushed them.
  for (const Query* outer : active_) outer->CheckLast();
  const int64_t e = EntryOf(self);
  if (unfiled_ >= 0 && !(checkOnly && e == unfiled_)) FileUnfiled();
  if (e < 0) return e;
  Entry& entry = entries_[static_cast<uint32_t>(e)];
  entry.queried = true;
  entry.watched = false;  // looking round itself, it is checked whenever it moves on
  if (!checkOnly) {
    Check(static_cast<uint32_t>(e));
  } else if (!Unchanged(entry)) {
    // A thing trying places (a token looking for a free one) is filed only where it stays,
    // when another query needs it: its tries leave the cells and their quiet looks alone.
    unfiled_ = e;
    moved = true;
  }
  return e;
}

CollisionGrid::Query::Query(CollisionGrid& grid, const Thing& self, bool checkOnly)
    : grid_(grid), self_(self), scope_(grid.things_) {
  if (grid_.bufferDepth_ == grid_.buffers_.size()) grid_.buffers_.emplace_back();
  near_ = &grid_.buffers_[grid_.bufferDepth_++];
  near_->clear();
  const int64_t e = grid_.Arrive(self_, checkOnly, selfMoved_);
  grid_.active_.push_back(this);
  if (e >= 0) {
    selfEntry_ = static_cast<uint32_t>(e);
    mySeq_ = grid_.entries_[selfEntry_].seq;
  }
  selfBox_ = SelfFiled() && !selfMoved_ ? grid_.entries_[selfEntry_].box : BoxOf(BoundsOf(self_));
  indexed_ = grid_.UseGrid() && !selfBox_.big;
  grid_.CatchUp(indexed_);
  stamp_ = grid_.stamp_;
}

CollisionGrid::Query::~Query() {
  grid_.active_.pop_back();
  --grid_.bufferDepth_;
}

bool CollisionGrid::Query::SelfFiled() const {
  return mySeq_ != 0 && grid_.entries_[selfEntry_].seq == mySeq_;
}

void CollisionGrid::Query::CheckLast() const {
  if (pos_ == 0) return;
  if (grid_.entries_[prevEntry_].seq == pos_) grid_.Check(prevEntry_);
  if (SelfFiled()) grid_.Check(selfEntry_);
}

bool CollisionGrid::Query::StillQuiet(uint8_t& tests) {
  return SelfFiled() && !selfMoved_ && grid_.StillQuiet(selfEntry_, tests);
}

void CollisionGrid::Query::MarkQuiet(uint8_t tests) {
  if (SelfFiled() && !selfMoved_) grid_.MarkQuiet(selfEntry_, stamp_, tests);
}

void CollisionGrid::Query::Gather() {
  if (pos_ != 0) selfBox_ = BoxOf(BoundsOf(self_));  // pushed since the query began
  reach_ = {at_, self_.Radius, self_.Rectangle};
  grid_.Near(self_, selfBox_, pos_, pruned_ ? &reach_ : nullptr, *near_);
  next_ = 0;
  born_ = grid_.things_.NextSeq();
}

Thing* CollisionGrid::Query::Next() {
  if (!gathered_) {
    gathered_ = true;
    at_ = BoundsOf(self_);
    Gather();
  } else if (pos_ != 0 && examined_ && !pruned_) {  // (a check-only look pushes nothing)
    // The last examination may have pushed both things.
    CheckLast();
    Bounds now = BoundsOf(self_);
    if (now != at_) {  // pushed away: other things may be near now
      at_ = now;
      Gather();
    }
  }
  std::vector<Candidate>& near = *near_;
  for (;;) {
    if (next_ == near.size()) {
      if (grid_.things_.NextSeq() == born_) return nullptr;
      Gather();
      continue;
    }
    const Candidate c = near[next_++];
    const Entry& entry = grid_.entries_[c.entry];
    if (entry.seq != c.seq) continue;  // removed meanwhile
    if (!selfPassed_ && c.seq > mySeq_ && SelfFiled()) selfPassed_ = true;
    pos_ = c.seq;
    prevEntry_ = c.entry;
    // Only a pair whose bounds meet is examined, and only an examination moves things.
    const Shape& s = entry.shape;
    examined_ = Meet(s.x, s.y, s.width, s.length, at_);
    return entry.thing;
  }
}

const std::vector<Thing*>* CollisionGrid::TouchCandidates(const Thing& self) {
  if (self.Rectangle || self.Radius < 0 || self.Radius > kSmallRadius || !UseGrid()) return nullptr;
  const Bounds at = BoundsOf(self);
  const Box box = BoxOf(at);
  if (box.big || !Covers(box)) return nullptr;
  bool moved = false;
  const int64_t e = Arrive(self, true, moved);
  CatchUp(true);
  const uint32_t skip = e >= 0 ? static_cast<uint32_t>(e) : UINT32_MAX;
  // Of the round things filed in the cell of self's centre, only the first in walk order
  // whose circle touches self's matters: nothing after a hit is looked at. They lie within a
  // few cells of self, so the squares are exact, and so is the circle test on them.
  const int64_t x = at[0], y = at[1];
  const Slot* first = nullptr;
  for (const Slot& s : cells_[Bucket(CellOf(x), CellOf(y))].round) {
    const int64_t dx = s.x - x, dy = s.y - y, r = int64_t{s.radius} + self.Radius;
    if (dx * dx + dy * dy <= r * r && s.entry != skip && (first == nullptr || s.seq < first->seq))
      first = &s;
  }
  const uint64_t until = first != nullptr ? first->seq : UINT64_MAX;
  // The others whose bounds meet self's before it: they share a cell with self's box.
  std::vector<Nearby>& out = nearby_;
  out.clear();
  const Reach reach{at, self.Radius, false};
  auto take = [&](const Slot& s) {
    if (s.seq >= until || s.entry == skip) return;
    if (s.rectangle ? Meet(s.x, s.y, s.width, s.length, at)
                    : reach.Keeps(s.x, s.y, s.width, s.length, s.radius, false))
      out.push_back(Nearby{s.seq, thingOf_[s.entry]});
  };
  for (const Slot& s : shared_) take(s);
  for (int64_t cy = box.cy0; cy <= box.cy1; ++cy)
    for (int64_t cx = box.cx0; cx <= box.cx1; ++cx)
      for (const Slot& s : cells_[Bucket(cx, cy)].other) take(s);
  std::sort(out.begin(), out.end(), [](const Nearby& a, const Nearby& b) { return a.seq < b.seq; });
  touching_.clear();
  for (size_t i = 0; i < out.size(); ++i)  // one thing may be in several of the cells
    if (i == 0 || out[i].seq != out[i - 1].seq) touching_.push_back(out[i].thing);
  if (first != nullptr) touching_.push_back(thingOf_[first->entry]);
  return &touching_;
}

void CollisionGrid::Query::OnlyMeeting(bool on) {
  pruned_ = on;
  gathered_ = selfPassed_ = examined_ = false;
  pos_ = 0;
}

bool CollisionGrid::Query::EndedOnLastOfWalk() const {
  // A full walk ends with the last live entry, or with one removed after it was visited.
  uint64_t last = std::max({grid_.things_.LastLiveSeq(), pos_, selfPassed_ ? mySeq_ : uint64_t{0}});
  return pos_ != 0 && last == pos_;
}

}  // namespace tb
