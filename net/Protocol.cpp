#include "net/Protocol.h"

#include <cmath>

#include "match/Rounds.h"
#include "state/Bytes.h"

namespace tb::net {

namespace {

constexpr char kMagic0 = 'T';
constexpr char kMagic1 = 'B';

bool SeatMask(uint8_t v) { return (v & ~kAllSeats) == 0; }

// Writes the fields Fields() names; a list's count is one byte.
struct Writer {
  void U8(uint8_t v) { out.U8(v); }
  void U32(uint32_t v) { out.U32(v); }
  void U64(uint64_t v) { out.U64(v); }
  void Double(double v) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    out.U64(bits);
  }
  void Text(const std::string& s) { out.Text(s); }
  void Block(const std::array<uint8_t, kProofBytes>& b) {
    for (uint8_t v : b) out.U8(v);
  }
  template <class T, class Item>
  void List(const std::vector<T>& items, size_t, Item&& item) {
    out.U8(static_cast<uint8_t>(items.size()));
    for (const T& x : items) item(x);
  }
  ByteWriter out;
};

// Reads the fields Fields() names; texts and lists longer than the game sends fail the read.
struct Reader {
  explicit Reader(const std::string& bytes) : in(bytes) {}
  void U8(uint8_t& v) { v = in.U8(); }
  void U32(uint32_t& v) { v = in.U32(); }
  void U64(uint64_t& v) { v = in.U64(); }
  void Double(double& v) {
    uint64_t bits = in.U64();
    std::memcpy(&v, &bits, sizeof v);
  }
  void Text(std::string& s) { ok = in.Text(s, kMaxText) && ok; }
  void Block(std::array<uint8_t, kProofBytes>& b) {
    for (uint8_t& v : b) v = in.U8();
  }
  template <class T, class Item>
  void List(std::vector<T>& items, size_t most, Item&& item) {
    uint8_t n = in.U8();
    // Every item takes at least a byte, so no count beyond the bytes left is believed.
    if (n > most || n > in.Left()) {
      ok = false;
      return;
    }
    items.resize(n);
    for (T& x : items) item(x);
  }
  ByteReader in;
  bool ok = true;
};

// Each message's fields in their order on the wire, for the writer and the reader alike;
// false for a type this version does not know.
template <class IO, class M>
bool Fields(IO& io, M& m) {
  switch (m.type) {
    case Type::Hello:
      io.U8(m.seats);
      io.Block(m.nonce);
      return true;
    case Type::Watch:
    case Type::Challenge:
      io.Block(m.nonce);
      return true;
    case Type::Answer:
    case Type::Admit:
      io.Block(m.proof);
      return true;
    case Type::Welcome:
      io.U8(m.seats);
      io.Block(m.proof);
      return true;
    case Type::Lobby:
      io.U8(m.seats);
      io.U8(m.watchers);
      return true;
    case Type::Refuse:
    case Type::Stop:
      io.Text(m.text);
      return true;
    case Type::Start:
      io.U64(m.seed);
      io.Double(m.clockStart);
      io.U8(m.seats);
      io.U64(m.token);
      io.U8(m.rounds);
      io.U32(m.roundTicks);
      io.List(m.peers, kSeats - 1, [&io](auto& p) {
        io.U8(p.seats);
        io.Text(p.address);
      });
      return true;
    case Type::PeerHello:
      io.U8(m.seats);
      io.U64(m.token);
      return true;
    case Type::Inputs:
      io.U32(m.tick);
      io.U32(m.sentMs);
      io.U32(m.echoMs);
      for (auto& a : m.acks) io.U32(a);
      io.List(m.runs, kSeats, [&io](auto& r) {
        io.U8(r.seat);
        io.U32(r.first);
        io.List(r.keys, kMaxRun, [&io](auto& k) { io.U8(k); });
      });
      return true;
    case Type::Hash:
      io.U32(m.tick);
      io.U8(m.seat);
      io.U64(m.hash);
      io.U8(m.drops);
      return true;
    case Type::Drop:
      io.U8(m.seat);
      io.U32(m.tick);
      return true;
    case Type::Again:
      io.U8(m.seats);
      io.U64(m.seed);
      return true;
  }
  return false;
}

bool InputsInRange(const Message& m) {
  if (m.tick > kMaxTick) return false;
  for (uint32_t a : m.acks) {
    if (a > kMaxTick) return false;
  }
  uint8_t seen = 0;
  for (const KeyRun& r : m.runs) {
    const size_t n = r.keys.size();
    if (r.seat >= kSeats || (seen & (1u << r.seat)) || n == 0 || r.first == 0 ||
        r.first > kMaxTick - n)
      return false;
    seen = static_cast<uint8_t>(seen | (1u << r.seat));
    for (uint8_t k : r.keys) {
      if ((k & ~kKeyBits) != 0) return false;
    }
  }
  return true;
}

// Whether every field read is in the range the game can use.
bool InRange(const Message& m) {
  switch (m.type) {
    case Type::Hello:
    case Type::Welcome:
      return SeatMask(m.seats);
    case Type::Lobby:
      return SeatMask(m.seats) && m.watchers <= kMaxWatchers;
    case Type::Refuse:
    case Type::Stop:
    case Type::Challenge:
    case Type::Answer:
    case Type::Watch:
    case Type::Admit:
      return true;
    case Type::Start: {
      bool ok = std::isfinite(m.clockStart) && m.clockStart >= 0 && m.clockStart < 86400 &&
                SeatMask(m.seats) && m.seats != 0 && m.rounds <= tb::kMaxRounds &&
                m.roundTicks <= kMaxTick && (m.rounds == 0 || m.roundTicks != 0);
      for (const PeerAddress& p : m.peers) ok = ok && SeatMask(p.seats) && p.seats != 0;
      return ok;
    }
    case Type::PeerHello:
      return SeatMask(m.seats) && m.seats != 0;
    case Type::Inputs:
      return InputsInRange(m);
    case Type::Hash:
      return m.tick > 0 && m.tick <= kMaxTick && m.tick % kHashEvery == 0 && m.seat < kSeats;
    case Type::Drop:
      return m.seat < kSeats && m.tick <= kMaxTick;
    case Type::Again:
      // Going back names no seed; playing again names a seat or more.
      return SeatMask(m.seats) && (m.seats != 0 || m.seed == 0);
  }
  return false;
}

}  // namespace

std::string Encode(const Message& m) {
  Writer w;
  w.out.U8(kMagic0);
  w.out.U8(kMagic1);
  w.out.U8(kProtocolVersion);
  w.out.U8(static_cast<uint8_t>(m.type));
  Fields(w, m);
  return std::move(w.out.Bytes());
}

std::string EncodeRefuse(uint8_t version, const std::string& reason) {
  Message m;
  m.type = Type::Refuse;
  m.text = reason.substr(0, kMaxText);
  std::string bytes = Encode(m);
  if (version >= 2 && version < kProtocolVersion) bytes[2] = static_cast<char>(version);
  return bytes;
}

ReadResult Decode(const std::string& bytes, Message& m) {
  if (bytes.size() < 4 || bytes.size() > kMaxMessageSize) return ReadResult::Malformed;
  Reader r(bytes);
  if (r.in.U8() != kMagic0 || r.in.U8() != kMagic1) return ReadResult::Malformed;
  if (r.in.U8() != kProtocolVersion) return ReadResult::OtherVersion;
  m = Message{};
  m.type = static_cast<Type>(r.in.U8());
  if (!Fields(r, m)) return ReadResult::Malformed;
  // Trailing bytes mean a message this reader does not understand.
  if (!r.ok || !r.in.Ok() || r.in.Left() != 0 || !InRange(m)) return ReadResult::Malformed;
  return ReadResult::Ok;
}

}  // namespace tb::net
