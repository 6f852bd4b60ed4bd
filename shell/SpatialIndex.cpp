#include "shell/SpatialIndex.h"

#include <algorithm>
#include <utility>

#include "geometry/Numeric.h"
#include "world/Thing.h"

namespace tb {

namespace {
constexpr int kCellShift = 5;  // 32-pixel cells: a token's 33-pixel box spans two of them
constexpr int64_t kGridSide = 64;
constexpr int64_t kMaxSpan = 16;  // boxes wider than this many cells go to the shared list

int64_t CellOf(int64_t v) {
  // Floor division, also for negative coordinates.
  return v >= 0 ? v >> kCellShift : -((-v + 31) >> kCellShift);
}
}  // namespace

SpatialIndex::SpatialIndex()
    : buckets_(kGridSide * kGridSide), bucketStamps_(kGridSide * kGridSide, 0) {}

size_t SpatialIndex::Bucket(int64_t cx, int64_t cy) {
  // The grid wraps: far-off things share buckets with near ones, which only adds candidates.
  return static_cast<size_t>((cx & (kGridSide - 1)) | ((cy & (kGridSide - 1)) * kGridSide));
}

SpatialIndex::Shape SpatialIndex::ShapeOf(const Thing& t) {
  Shape s;
  s.x = RoundToInt(D(t.X));
  s.y = RoundToInt(D(t.Y));
  s.width = t.TrueWidth();
  s.length = t.TrueLength();
  s.radius = t.Radius;
  s.rectangle = t.Rectangle;
  s.px = t.PointsX;
  s.py = t.PointsY;
  return s;
}

SpatialIndex::Box SpatialIndex::BoxOf(const Shape& s) {
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

const SpatialIndex::Entry* SpatialIndex::EntryOf(const Thing& t) const {
  if (t.IndexEntry < 0 || static_cast<size_t>(t.IndexEntry) >= entries_.size()) return nullptr;
  const Entry& e = entries_[t.IndexEntry];
  return e.thing == &t ? &e : nullptr;
}

SpatialIndex::Entry* SpatialIndex::EntryOf(const Thing& t) {
  return const_cast<Entry*>(std::as_const(*this).EntryOf(t));
}

void SpatialIndex::Touch(const Box& b) {
  ++stamp_;
  if (b.big) {
    bigStamp_ = stamp_;
    return;
  }
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx) bucketStamps_[Bucket(cx, cy)] = stamp_;
}

void SpatialIndex::File(uint32_t e) {
  const Box& b = entries_[e].box;
  Touch(b);
  if (b.big) {
    big_.push_back(e);
    return;
  }
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx) buckets_[Bucket(cx, cy)].push_back(e);
}

void SpatialIndex::Unfile(uint32_t e) {
  auto drop = [e](std::vector<uint32_t>& list) {
    auto it = std::find(list.begin(), list.end(), e);
    if (it == list.end()) return;
    *it = list.back();
    list.pop_back();
  };
  const Box& b = entries_[e].box;
  Touch(b);
  if (b.big) {
    drop(big_);
    return;
  }
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx) drop(buckets_[Bucket(cx, cy)]);
}

void SpatialIndex::Insert(Thing& t, uint64_t seq) {
  Erase(t);
  uint32_t e;
  if (!freeEntries_.empty()) {
    e = freeEntries_.back();
    freeEntries_.pop_back();
  } else {
    e = static_cast<uint32_t>(entries_.size());
    entries_.emplace_back();
  }
  Shape shape = ShapeOf(t);
  entries_[e] = Entry{&t, seq, BoxOf(shape), shape, 0, 0, 0};
  t.IndexEntry = static_cast<int32_t>(e);
  File(e);
}

void SpatialIndex::Erase(Thing& t) {
  if (EntryOf(t) == nullptr) {
    t.IndexEntry = -1;
    return;
  }
  uint32_t e = static_cast<uint32_t>(t.IndexEntry);
  Unfile(e);
  entries_[e].thing = nullptr;
  entries_[e].seq = 0;
  freeEntries_.push_back(e);
  t.IndexEntry = -1;
}

void SpatialIndex::Refresh(Thing& t) {
  Entry* found = EntryOf(t);
  if (found == nullptr) return;
  Entry& entry = *found;
  uint32_t e = static_cast<uint32_t>(t.IndexEntry);
  Shape s = ShapeOf(t);
  Box b = BoxOf(s);
  if (b == entry.box) {
    if (s == entry.shape) return;
    entry.shape = s;
    Touch(b);
    return;
  }
  entry.shape = s;
  Unfile(e);
  entry.box = b;
  File(e);
}

void SpatialIndex::MarkQuiet(const Thing& t, uint64_t stamp, uint8_t tests) {
  Entry* e = EntryOf(t);
  if (e == nullptr || e->box.big || stamp != stamp_) return;
  e->quietAt = stamp;
  e->quietTests = tests;
}

bool SpatialIndex::StillQuiet(const Thing& t, uint8_t& tests) const {
  const Entry* e = EntryOf(t);
  if (e == nullptr || e->quietAt == 0 || e->box.big || bigStamp_ > e->quietAt) return false;
  const Box& b = e->box;
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx)
      if (bucketStamps_[Bucket(cx, cy)] > e->quietAt) return false;
  tests = e->quietTests;
  return true;
}

void SpatialIndex::Clear() {
  for (Entry& e : entries_)
    if (e.thing != nullptr) e.thing->IndexEntry = -1;
  entries_.clear();
  freeEntries_.clear();
  for (auto& b : buckets_) b.clear();
  big_.clear();
  ++stamp_;  // a query under way must not call the emptied grid quiet
}

uint64_t SpatialIndex::SeqOf(const Thing& t) const {
  const Entry* e = EntryOf(t);
  return e == nullptr ? 0 : e->seq;
}

SpatialIndex::Candidate SpatialIndex::CandidateOf(const Thing& t) const {
  uint64_t seq = SeqOf(t);
  return {seq, seq == 0 ? 0u : static_cast<uint32_t>(t.IndexEntry)};
}

bool SpatialIndex::Near(const Thing& t, std::vector<Candidate>& out) {
  out.clear();
  Box b = BoxOf(ShapeOf(t));
  if (b.big) return false;
  if (++query_ == 0) {  // the marks wrapped: forget them all
    for (Entry& e : entries_) e.mark = 0;
    query_ = 1;
  }
  auto take = [&](uint32_t e) {
    Entry& entry = entries_[e];
    if (entry.mark == query_ || entry.thing == &t) return;
    entry.mark = query_;
    out.push_back({entry.seq, e});
  };
  for (uint32_t e : big_) take(e);
  for (int64_t cy = b.cy0; cy <= b.cy1; ++cy)
    for (int64_t cx = b.cx0; cx <= b.cx1; ++cx)
      for (uint32_t e : buckets_[Bucket(cx, cy)]) take(e);
  std::sort(out.begin(), out.end());
  return true;
}

}  // namespace tb
