#include "net/Protocol.h"

#include <cmath>

#include "shell/Bytes.h"
#include "shell/Replay.h"

namespace tb::net {

namespace {

constexpr char kMagic0 = 'T';
constexpr char kMagic1 = 'B';

void WriteDouble(ByteWriter& out, double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  out.U64(bits);
}

double ReadDouble(ByteReader& in) {
  uint64_t bits = in.U64();
  double v = 0;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

bool SeatMask(uint8_t v) { return (v & ~kAllSeats) == 0; }

}  // namespace

std::string Encode(const Message& m) {
  ByteWriter out;
  out.U8(kMagic0);
  out.U8(kMagic1);
  out.U8(kProtocolVersion);
  out.U8(static_cast<uint8_t>(m.type));
  switch (m.type) {
    case Type::Hello:
      out.U8(m.seats);
      out.Text(m.text);
      break;
    case Type::Welcome:
    case Type::Lobby:
      out.U8(m.seats);
      break;
    case Type::Refuse:
    case Type::Stop:
      out.Text(m.text);
      break;
    case Type::Start:
      out.U64(m.seed);
      WriteDouble(out, m.clockStart);
      out.U8(m.seats);
      out.U64(m.token);
      out.U8(m.rounds);
      out.U32(m.roundTicks);
      out.U8(static_cast<uint8_t>(m.peers.size()));
      for (const PeerAddress& p : m.peers) {
        out.U8(p.seats);
        out.Text(p.address);
      }
      break;
    case Type::PeerHello:
      out.U8(m.seats);
      out.U64(m.token);
      break;
    case Type::Inputs:
      out.U32(m.tick);
      out.U32(m.sentMs);
      out.U32(m.echoMs);
      for (uint32_t a : m.acks) out.U32(a);
      out.U8(static_cast<uint8_t>(m.runs.size()));
      for (const KeyRun& r : m.runs) {
        out.U8(r.seat);
        out.U32(r.first);
        out.U8(static_cast<uint8_t>(r.keys.size()));
        for (uint8_t k : r.keys) out.U8(k);
      }
      break;
    case Type::Hash:
      out.U32(m.tick);
      out.U8(m.seat);
      out.U64(m.hash);
      out.U8(m.drops);
      break;
    case Type::Drop:
      out.U8(m.seat);
      out.U32(m.tick);
      break;
  }
  return std::move(out.Bytes());
}

ReadResult Decode(const std::string& bytes, Message& m) {
  if (bytes.size() < 4 || bytes.size() > kMaxMessageSize) return ReadResult::Malformed;
  ByteReader in(bytes);
  if (in.U8() != kMagic0 || in.U8() != kMagic1) return ReadResult::Malformed;
  if (in.U8() != kProtocolVersion) return ReadResult::OtherVersion;
  m = Message{};
  uint8_t type = in.U8();
  bool ok = true;
  switch (type) {
    case static_cast<uint8_t>(Type::Hello):
      m.seats = in.U8();
      ok = SeatMask(m.seats) && in.Text(m.text, kMaxText);
      break;
    case static_cast<uint8_t>(Type::Welcome):
    case static_cast<uint8_t>(Type::Lobby):
      m.seats = in.U8();
      ok = SeatMask(m.seats);
      break;
    case static_cast<uint8_t>(Type::Refuse):
    case static_cast<uint8_t>(Type::Stop):
      ok = in.Text(m.text, kMaxText);
      break;
    case static_cast<uint8_t>(Type::Start):
      m.seed = in.U64();
      m.clockStart = ReadDouble(in);
      m.seats = in.U8();
      m.token = in.U64();
      m.rounds = in.U8();
      m.roundTicks = in.U32();
      ok = std::isfinite(m.clockStart) && m.clockStart >= 0 && m.clockStart < 86400 &&
           SeatMask(m.seats) && m.seats != 0 && m.rounds <= tb::kMaxRounds &&
           m.roundTicks <= kMaxTick && (m.rounds == 0 || m.roundTicks != 0);
      {
        uint8_t n = in.U8();
        if (n >= kSeats) return ReadResult::Malformed;
        for (uint8_t i = 0; ok && i < n; ++i) {
          PeerAddress p;
          p.seats = in.U8();
          ok = SeatMask(p.seats) && p.seats != 0 && in.Text(p.address, kMaxText);
          m.peers.push_back(std::move(p));
        }
      }
      break;
    case static_cast<uint8_t>(Type::PeerHello):
      m.seats = in.U8();
      m.token = in.U64();
      ok = SeatMask(m.seats) && m.seats != 0;
      break;
    case static_cast<uint8_t>(Type::Inputs): {
      m.tick = in.U32();
      m.sentMs = in.U32();
      m.echoMs = in.U32();
      for (uint32_t& a : m.acks) {
        a = in.U32();
        ok = ok && a <= kMaxTick;
      }
      ok = ok && m.tick <= kMaxTick;
      uint8_t runs = in.U8();
      if (runs > kSeats) return ReadResult::Malformed;
      uint8_t seen = 0;
      for (uint8_t i = 0; ok && i < runs; ++i) {
        KeyRun r;
        r.seat = in.U8();
        r.first = in.U32();
        uint8_t n = in.U8();
        if (!in.Ok() || r.seat >= kSeats || (seen & (1u << r.seat)) || n == 0 || n > kMaxRun ||
            r.first == 0 || r.first > kMaxTick - n || n > in.Left())
          return ReadResult::Malformed;
        seen = static_cast<uint8_t>(seen | (1u << r.seat));
        r.keys.resize(n);
        for (uint8_t& k : r.keys) {
          k = in.U8();
          ok = ok && (k & ~kKeyBits) == 0;
        }
        m.runs.push_back(std::move(r));
      }
      break;
    }
    case static_cast<uint8_t>(Type::Hash):
      m.tick = in.U32();
      m.seat = in.U8();
      m.hash = in.U64();
      m.drops = in.U8();
      ok = m.tick > 0 && m.tick <= kMaxTick && m.tick % kHashEvery == 0 && m.seat < kSeats;
      break;
    case static_cast<uint8_t>(Type::Drop):
      m.seat = in.U8();
      m.tick = in.U32();
      ok = m.seat < kSeats && m.tick <= kMaxTick;
      break;
    default:
      return ReadResult::Malformed;
  }
  m.type = static_cast<Type>(type);
  // Trailing bytes mean a message this reader does not understand.
  if (!ok || !in.Ok() || in.Left() != 0) return ReadResult::Malformed;
  return ReadResult::Ok;
}

}  // namespace tb::net
