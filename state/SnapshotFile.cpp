#include "state/SnapshotFile.h"

#include <memory>
#include <type_traits>

#include "state/Bytes.h"
#include "state/LoadedBounds.h"
#include "state/WorldHash.h"

namespace tb {

namespace {

constexpr char kMagic[8] = {'T', 'B', 'S', 'N', 'A', 'P', '\r', '\n'};
constexpr size_t kHeaderSize = sizeof kMagic + 4 + 8;  // magic, version, length
constexpr size_t kChecksumSize = 8;
// Names and IDs are short; anything longer is damage, not a game.
constexpr size_t kMaxText = 4096;
// The smallest a thing can be written in: every field at its least.
constexpr size_t kMinThingSize = 100;

}  // namespace

void WriteThing(ByteWriter& out, const Thing& thing) {
  thing.VisitFields([&out](const char*, const auto& field) {
    using T = std::decay_t<decltype(field)>;
    if constexpr (std::is_same_v<T, float>) {
      out.Float(field);
    } else if constexpr (std::is_same_v<T, bool>) {
      out.U8(field ? 1 : 0);
    } else if constexpr (std::is_same_v<T, int32_t>) {
      out.I32(field);
    } else if constexpr (std::is_same_v<T, std::string>) {
      out.Text(field);
    } else {
      static_assert(std::is_same_v<T, Corners>, "a field type the snapshot does not know");
      for (int32_t c : field) out.I32(c);
    }
  });
}

bool ReadThing(ByteReader& in, Thing& thing) {
  bool sound = true;
  thing.VisitFields([&in, &sound](const char*, auto& field) {
    using T = std::decay_t<decltype(field)>;
    if constexpr (std::is_same_v<T, float>) {
      field = in.Float();
    } else if constexpr (std::is_same_v<T, bool>) {
      uint8_t b = in.U8();
      sound = sound && b <= 1;
      field = b == 1;
    } else if constexpr (std::is_same_v<T, int32_t>) {
      field = in.I32();
    } else if constexpr (std::is_same_v<T, std::string>) {
      in.Text(field, kMaxText);
    } else {
      for (int32_t& c : field) c = in.I32();
    }
  });
  return sound && in.Ok();
}

std::string SerializeSnapshot(const Snapshot& s) {
  ByteWriter w;
  w.Raw(std::string(kMagic, sizeof kMagic));
  w.U32(kSnapshotVersion);
  w.U64(0);  // length, filled in below
  w.I32(s.IDCount);
  w.U8(s.GameStarted ? 1 : 0);
  w.U64(s.RandomState);
  w.I32(s.Contact.CrashPointX);
  w.I32(s.Contact.CrashPointY);
  w.I32(s.Contact.CornerHits);
  w.U8(s.Contact.CentreInside ? 1 : 0);
  w.I32(s.Contact.NearX);
  w.I32(s.Contact.NearY);
  w.Text(s.Caption);
  for (const std::vector<Thing>* list : {&s.Things, &s.OutOfWorld}) {
    w.Varint(list->size());
    for (const Thing& t : *list) WriteThing(w, t);
  }
  w.Varint(s.Players.size());
  for (const Snapshot::Player& p : s.Players) {
    w.Text(p.Colour);
    w.U8(p.InWorld ? 1 : 0);
    w.Varint(p.Index);
  }
  std::string& bytes = w.Bytes();
  uint64_t length = bytes.size() + kChecksumSize;
  for (int i = 0; i < 8; ++i) bytes[sizeof kMagic + 4 + i] = static_cast<char>(length >> (8 * i));
  uint64_t sum = Fnv1aOf(bytes.data(), bytes.size());
  w.U64(sum);
  return std::move(w.Bytes());
}

bool ParseSnapshot(const std::string& bytes, Snapshot& s, std::string& problem) {
  if (!HasMagic(bytes, kMagic, "snapshot", problem)) return false;
  ByteReader head(bytes.data() + sizeof kMagic, bytes.size() - sizeof kMagic);
  uint32_t version = head.U32();
  uint64_t length = head.U64();
  if (!head.Ok()) {
    problem = "truncated: the header is incomplete";
    return false;
  }
  if (version != kSnapshotVersion) {
    problem = "snapshot format version " + std::to_string(version) + ", this game reads version " +
              std::to_string(kSnapshotVersion);
    return false;
  }
  if (length < kHeaderSize + kChecksumSize) {
    problem = "corrupted: impossible length";
    return false;
  }
  if (bytes.size() < length) {
    problem =
        "truncated: " + std::to_string(bytes.size()) + " of " + std::to_string(length) + " bytes";
    return false;
  }
  if (bytes.size() > length) {
    problem = "corrupted: " + std::to_string(bytes.size() - length) + " bytes after its end";
    return false;
  }
  const size_t bodyEnd = static_cast<size_t>(length) - kChecksumSize;
  ByteReader tail(bytes.data() + bodyEnd, kChecksumSize);
  if (tail.U64() != Fnv1aOf(bytes.data(), bodyEnd)) {
    problem = "corrupted: checksum mismatch";
    return false;
  }

  ByteReader in(bytes.data() + kHeaderSize, bodyEnd - kHeaderSize);
  Snapshot out;
  out.IDCount = in.I32();
  uint8_t started = in.U8();
  out.GameStarted = started == 1;
  out.RandomState = in.U64();
  out.Contact.CrashPointX = in.I32();
  out.Contact.CrashPointY = in.I32();
  out.Contact.CornerHits = in.I32();
  uint8_t inside = in.U8();
  out.Contact.CentreInside = inside == 1;
  out.Contact.NearX = in.I32();
  out.Contact.NearY = in.I32();
  in.Text(out.Caption, kMaxText);
  bool sound = in.Ok() && started <= 1 && inside <= 1;
  for (std::vector<Thing>* list : {&out.Things, &out.OutOfWorld}) {
    uint64_t n = 0;
    if (!sound || !in.Count(n, kMinThingSize)) {
      sound = false;
      break;
    }
    list->resize(static_cast<size_t>(n));
    for (Thing& t : *list) {
      if (!ReadThing(in, t)) {
        sound = false;
        break;
      }
    }
  }
  uint64_t players = 0;
  if (sound && in.Count(players, 3)) {
    out.Players.resize(static_cast<size_t>(players));
    for (Snapshot::Player& p : out.Players) {
      in.Text(p.Colour, kMaxText);
      uint8_t inWorld = in.U8();
      uint64_t index = in.Varint();
      p.InWorld = inWorld == 1;
      size_t limit = p.InWorld ? out.Things.size() : out.OutOfWorld.size();
      if (!in.Ok() || inWorld > 1 || index >= limit) {
        sound = false;
        break;
      }
      p.Index = static_cast<uint32_t>(index);
    }
  } else {
    sound = false;
  }
  if (!sound || in.Left() != 0) {
    problem = "corrupted: its contents do not make a game";
    return false;
  }
  // Well formed is not enough: every value must be one the game can hold.
  const std::string outside = SnapshotProblem(out);
  if (!outside.empty()) {
    problem = "corrupted: " + outside;
    return false;
  }
  s = std::move(out);
  return true;
}

}  // namespace tb
