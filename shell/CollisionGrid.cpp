#include "shell/CollisionGrid.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "geometry/Numeric.h"
#include "world/Thing.h"

namespace tb {

namespace {
constexpr int kCellShift = 5;     // 32-pixel cells: a token's 33-pixel box spans two of them
constexpr int64_t kMaxSpan = 16;  // boxes wider than this many cells go to the shared list
// The most cells the grid keeps (an arena of about 32,000 pixels square); boxes beyond them
// go to the shared list.
constexpr int64_t kMaxCells = int64_t{1} << 20;
constexpr int64_t kMinMargin = 8;
// Below this many things a plain walk is as quick as the grid.
constexpr size_t kGridFrom = 32;

int64_t CellOf(int64_t v) {
  // Floor division, also for negative coordinates.
  return v >= 0 ? v >> kCellShift : -((-v + 31) >> kCellShift);
}

std::array<int32_t, 4> BoundsOf(const Thing& t) {
  return {RoundToInt(D(t.X)), RoundToInt(D(t.Y)), t.TrueWidth(), t.TrueLength()};
}
}  // namespace

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
  Box b;
  int64_t x = s.x, y = s.y, w = s.width, l = s.length;
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
  auto it = entryOf_.find(&t);
  return it == entryOf_.end() ? -1 : static_cast<int64_t>(it->second);
}

bool CollisionGrid::Covers(const Box& b) const {
  return b.cx0 >= ox_ && b.cx1 < ox_ + nx_ && b.cy0 >= oy_ && b.cy1 < oy_ + ny_;
}

bool CollisionGrid::Cover(const Box& b, uint32_t filing) {
  if (Covers(b)) return true;
  int64_t x0 = b.cx0, x1 = b.cx1, y0 = b.cy0, y1 = b.cy1;
  if (nx_ > 0) {
    x0 = std::min(x0, ox_);
    x1 = std::max(x1, ox_ + nx_ - 1);
    y0 = std::min(y0, oy_);
    y1 = std::max(y1, oy_ + ny_ - 1);
  }
  // Room to grow, so that a thing drifting outwards does not make the grid grow every move.
  const int64_t mx = std::max(kMinMargin, (x1 - x0 + 1) / 2);
  const int64_t my = std::max(kMinMargin, (y1 - y0 + 1) / 2);
  x0 -= mx, x1 += mx, y0 -= my, y1 += my;
  if (x1 - x0 + 1 > kMaxCells || y1 - y0 + 1 > kMaxCells ||
      (x1 - x0 + 1) * (y1 - y0 + 1) > kMaxCells)
    return false;
  ox_ = x0, oy_ = y0, nx_ = x1 - x0 + 1, ny_ = y1 - y0 + 1;
  buckets_.assign(static_cast<size_t>(nx_ * ny_), {});
  // Every remembered quiet look is void now.
  ++stamp_;
  bucketStamps_.assign(buckets_.size(), stamp_);
  sharedStamp_ = stamp_;
  // Everything is filed anew, except the one the caller is filing.
  shared_.clear();
  for (uint32_t e = 0; e < entries_.size(); ++e) {
    Entry& entry = entries_[e];
    if (entry.thing == nullptr || e == filing) continue;
    entry.shared = entry.box.big || !Covers(entry.box);
    if (entry.shared) {
      shared_.push_back(e);
    } else {
      for (int64_t cy = entry.box.cy0; cy <= entry.box.cy1; ++cy)
        for (int64_t cx = entry.box.cx0; cx <= entry.box.cx1; ++cx)
          buckets_[Bucket(cx, cy)].push_back(e);
    }
  }
  return true;
}

void CollisionGrid::Touch(const Entry& e) {
  ++stamp_;
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
  if (entry.shared) {
    shared_.push_back(e);
    return;
  }
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx) buckets_[Bucket(cx, cy)].push_back(e);
}

void CollisionGrid::Unfile(uint32_t e) {
  auto drop = [e](std::vector<uint32_t>& list) {
    auto it = std::find(list.begin(), list.end(), e);
    if (it == list.end()) return;
    *it = list.back();
    list.pop_back();
  };
  const Entry& entry = entries_[e];
  Touch(entry);
  if (entry.shared) {
    drop(shared_);
    return;
  }
  const Box& b = entry.box;
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx) drop(buckets_[Bucket(cx, cy)]);
}

void CollisionGrid::Added(Thing& t, uint64_t seq) {
  uint32_t e;
  if (!freeEntries_.empty()) {
    e = freeEntries_.back();
    freeEntries_.pop_back();
  } else {
    e = static_cast<uint32_t>(entries_.size());
    entries_.emplace_back();
  }
  Shape shape = ShapeOf(t);
  entries_[e] = Entry{};
  Entry& entry = entries_[e];
  entry.thing = &t;
  entry.seq = seq;
  entry.box = BoxOf(shape);
  entry.shape = shape;
  // A newcomer may change before it first looks round itself: watched until the next sweep.
  entry.watched = true;
  watched_.push_back(e);
  entryOf_[&t] = e;
  File(e);
}

void CollisionGrid::Removed(Thing& t, uint64_t /*seq*/) {
  int64_t found = EntryOf(t);
  if (found < 0) return;
  uint32_t e = static_cast<uint32_t>(found);
  Unfile(e);
  entries_[e].thing = nullptr;
  entries_[e].seq = 0;
  entryOf_.erase(&t);
  freeEntries_.push_back(e);
}

void CollisionGrid::Cleared() {
  entries_.clear();
  freeEntries_.clear();
  entryOf_.clear();
  for (auto& b : buckets_) b.clear();
  shared_.clear();
  watched_.clear();
  ++stamp_;  // a query under way must not call the emptied grid quiet
}

void CollisionGrid::Rebuild() {
  Cleared();
  buckets_.clear();
  bucketStamps_.clear();
  ox_ = oy_ = nx_ = ny_ = 0;
  things_.Visit([this](Thing& t, uint64_t seq) { Added(t, seq); });
  sweptAtWalk_ = things_.WalksBegun();
  stale_ = false;
}

bool CollisionGrid::Check(uint32_t e) {
  Entry& entry = entries_[e];
  const Thing& t = *entry.thing;
  const Shape& f = entry.shape;
  if (RoundToInt(D(t.X)) == f.x && RoundToInt(D(t.Y)) == f.y && t.TrueWidth() == f.width &&
      t.TrueLength() == f.length && t.Radius == f.radius && t.Rectangle == f.rectangle &&
      t.PX() == f.px && t.PY() == f.py)
    return false;
  Shape s = ShapeOf(t);
  entry.changed = true;
  Box b = BoxOf(s);
  entry.shape = s;
  if (b == entry.box) {
    Touch(entry);
    return true;
  }
  Unfile(e);
  entry.box = b;
  File(e);
  return true;
}

void CollisionGrid::Sweep() {
  // A thing that moved since the last sweep without looking round itself (an explosion
  // grows as it is drawn) may do so again: it is checked at every query until it stops.
  watched_.clear();
  for (uint32_t e = 0; e < entries_.size(); ++e) {
    Entry& entry = entries_[e];
    if (entry.thing == nullptr) continue;
    Check(e);
    entry.watched = entry.changed && !entry.queried;
    if (entry.watched) watched_.push_back(e);
    entry.changed = false;
    entry.queried = false;
  }
  sweptAtWalk_ = things_.WalksBegun();
  stale_ = false;
}

void CollisionGrid::CatchUp(bool indexed) {
  if (!indexed) {
    stale_ = true;
    return;
  }
  if (stale_ || sweptAtWalk_ != things_.WalksBegun()) {
    Sweep();
    return;
  }
  for (uint32_t e : watched_)
    if (entries_[e].thing != nullptr && entries_[e].watched) Check(e);
}

void CollisionGrid::Near(const Thing& self, const Box& b, uint64_t after,
                         std::vector<Candidate>& out) {
  out.clear();
  if (++query_ == 0) {  // the marks wrapped: forget them all
    for (Entry& e : entries_) e.mark = 0;
    query_ = 1;
  }
  auto take = [&](uint32_t e) {
    Entry& entry = entries_[e];
    if (entry.mark == query_ || entry.thing == &self || entry.seq <= after) return;
    entry.mark = query_;
    out.push_back({entry.seq, e});
  };
  if (b.big) {
    for (uint32_t e = 0; e < entries_.size(); ++e)
      if (entries_[e].thing != nullptr) take(e);
  } else {
    for (uint32_t e : shared_) take(e);
    // Only the part of the box inside the cells: a thing filed there lies wholly inside.
    const int64_t x0 = std::max(b.cx0, ox_), x1 = std::min(b.cx1, ox_ + nx_ - 1);
    const int64_t y0 = std::max(b.cy0, oy_), y1 = std::min(b.cy1, oy_ + ny_ - 1);
    for (int64_t cy = y0; cy <= y1; ++cy)
      for (int64_t cx = x0; cx <= x1; ++cx)
        for (uint32_t e : buckets_[Bucket(cx, cy)]) take(e);
  }
  std::sort(out.begin(), out.end());
}

void CollisionGrid::MarkQuiet(uint32_t e, uint64_t stamp, uint8_t tests) {
  Entry& entry = entries_[e];
  if (stamp != stamp_ || entry.shared) return;
  entry.quietAt = stamp;
  entry.quietTests = tests;
}

bool CollisionGrid::StillQuiet(uint32_t found, uint8_t& tests) const {
  const Entry& e = entries_[found];
  if (e.quietAt == 0 || e.shared || sharedStamp_ > e.quietAt) return false;
  const Box& b = e.box;
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx)
      if (bucketStamps_[Bucket(cx, cy)] > e.quietAt) return false;
  tests = e.quietTests;
  return true;
}

CollisionGrid::Query::Query(CollisionGrid& grid, const Thing& self)
    : grid_(grid), self_(self), scope_(grid.things_) {
  if (grid_.bufferDepth_ == grid_.buffers_.size()) grid_.buffers_.emplace_back();
  near_ = &grid_.buffers_[grid_.bufferDepth_++];
  near_->clear();
  // A query nested in another's examination (separating two things) must see where that
  // examination has pushed them.
  for (const Query* outer : grid_.active_) outer->CheckLast();
  grid_.active_.push_back(this);
  int64_t e = grid_.EntryOf(self_);
  if (e >= 0) {
    selfEntry_ = static_cast<uint32_t>(e);
    Entry& entry = grid_.entries_[selfEntry_];
    grid_.Check(selfEntry_);
    entry.queried = true;
    mySeq_ = entry.seq;
  }
  indexed_ = grid_.UseGrid() && !SelfBox().big;
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

CollisionGrid::Box CollisionGrid::Query::SelfBox() const {
  return SelfFiled() ? grid_.entries_[selfEntry_].box : BoxOf(ShapeOf(self_));
}

void CollisionGrid::Query::CheckLast() const {
  if (pos_ == 0) return;
  if (grid_.entries_[prevEntry_].seq == pos_) grid_.Check(prevEntry_);
  if (SelfFiled()) grid_.Check(selfEntry_);
}

bool CollisionGrid::Query::StillQuiet(uint8_t& tests) const {
  return SelfFiled() && grid_.StillQuiet(selfEntry_, tests);
}

void CollisionGrid::Query::MarkQuiet(uint8_t tests) {
  if (SelfFiled()) grid_.MarkQuiet(selfEntry_, stamp_, tests);
}

void CollisionGrid::Query::Gather() {
  grid_.Near(self_, SelfBox(), pos_, *near_);
  next_ = 0;
  born_ = grid_.things_.NextSeq();
}

Thing* CollisionGrid::Query::Next() {
  if (!gathered_) {
    gathered_ = true;
    at_ = BoundsOf(self_);
    Gather();
  } else if (pos_ != 0 && examined_) {
    // The last examination may have pushed both things.
    CheckLast();
    std::array<int32_t, 4> now = BoundsOf(self_);
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
    examined_ = std::llabs(int64_t{s.x} - at_[0]) < int64_t{s.width} + at_[2] &&
                std::llabs(int64_t{s.y} - at_[1]) < int64_t{s.length} + at_[3];
    return entry.thing;
  }
}

bool CollisionGrid::Query::EndedOnLastOfWalk() const {
  // A full walk ends with the last live entry, or with one removed after it was visited.
  uint64_t last = std::max({grid_.things_.LastLiveSeq(), pos_, selfPassed_ ? mySeq_ : uint64_t{0}});
  return pos_ != 0 && last == pos_;
}

}  // namespace tb
