#include "net/Discovery.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

namespace tb::net {

namespace {

constexpr char kQueryTag[] = "TBLQ\x01";
constexpr char kAnswerTag[] = "TBLA\x01";
constexpr size_t kTagBytes = 5;
constexpr size_t kMaxName = 63;
constexpr size_t kMaxVersion = 31;
// A burst of queries is answered a few at a time, so the 20 ms frame never waits on it.
constexpr int kAnswersPerPoll = 8;
// Datagrams read per search at most: far more than a local network holds matches.
constexpr int kMaxAnswersRead = 512;

// Printable ASCII only, at most `limit` characters: what a terminal may safely show.
std::string Printable(const std::string& text, size_t limit) {
  std::string out;
  for (char c : text) {
    if (out.size() >= limit) break;
    out += (c >= 0x20 && c <= 0x7e) ? c : '?';
  }
  return out;
}

// Writes a query's nonce and the fields AnswerFields() names, high byte first.
struct Writer {
  void U8(uint8_t v) { out += static_cast<char>(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v >> 8));
    U8(static_cast<uint8_t>(v & 0xff));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v >> 16));
    U16(static_cast<uint16_t>(v & 0xffff));
  }
  void Flag(bool v) { U8(v ? 1 : 0); }
  // Its length in a byte, then at most `limit` printable characters.
  void Text(const std::string& text, size_t limit) {
    const std::string clean = Printable(text, limit);
    U8(static_cast<uint8_t>(clean.size()));
    out += clean;
  }
  std::string out;
};

// Reads them back from `in` at `at`; once the bytes run short, a flag is neither 0 nor 1 or
// a text is longer than its limit, `ok` stays false.
struct Reader {
  void U8(uint8_t& v) {
    ok = ok && at < in.size();
    v = ok ? static_cast<uint8_t>(in[at++]) : 0;
  }
  void U16(uint16_t& v) {
    uint8_t high = 0, low = 0;
    U8(high);
    U8(low);
    v = static_cast<uint16_t>(high << 8 | low);
  }
  void U32(uint32_t& v) {
    uint16_t high = 0, low = 0;
    U16(high);
    U16(low);
    v = static_cast<uint32_t>(high) << 16 | low;
  }
  void Flag(bool& v) {
    uint8_t b = 0;
    U8(b);
    ok = ok && b <= 1;
    v = b == 1;
  }
  void Text(std::string& text, size_t limit) {
    uint8_t n = 0;
    U8(n);
    ok = ok && n <= limit && in.size() - at >= n;
    if (!ok) return;
    text = Printable(in.substr(at, n), limit);
    at += n;
  }
  const std::string& in;
  size_t at;
  bool ok = true;
};

// An answer's fields after its tag and nonce, in their order on the wire, for the writer and
// the reader alike.
template <class IO, class M>
void AnswerFields(IO& io, M& m) {
  io.U16(m.port);
  io.U8(m.players);
  io.U8(m.free);
  io.Flag(m.password);
  io.Text(m.name, kMaxName);
  io.Text(m.version, kMaxVersion);
}

// A non-blocking UDP socket whose datagrams die at the first router.
int LocalSocket(std::string& problem) {
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (s < 0) {
    problem = std::string("no UDP socket: ") + std::strerror(errno);
    return -1;
  }
  const int ttl = 1;
  setsockopt(s, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
  return s;
}

bool ToAddress(const std::string& dotted, uint16_t port, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(port);
  return inet_pton(AF_INET, dotted.c_str(), &out.sin_addr) == 1;
}

}  // namespace

std::string LanQuery(uint32_t nonce) {
  Writer w{std::string(kQueryTag, kTagBytes)};
  w.U32(nonce);
  return std::move(w.out);
}

bool ParseLanQuery(const std::string& bytes, uint32_t& nonce) {
  if (bytes.size() != kTagBytes + 4 || bytes.compare(0, kTagBytes, kQueryTag, kTagBytes) != 0)
    return false;
  Reader r{bytes, kTagBytes};
  r.U32(nonce);
  return true;
}

std::string LanAnswer(uint32_t nonce, const LanMatch& match) {
  Writer w{std::string(kAnswerTag, kTagBytes)};
  w.U32(nonce);
  AnswerFields(w, match);
  return std::move(w.out);
}

bool ParseLanAnswer(const std::string& bytes, uint32_t nonce, LanMatch& match) {
  if (bytes.compare(0, kTagBytes, kAnswerTag, kTagBytes) != 0) return false;
  Reader r{bytes, kTagBytes};
  uint32_t asked = 0;
  r.U32(asked);
  LanMatch m;
  AnswerFields(r, m);
  if (!r.ok || r.at != bytes.size() || asked != nonce || m.port == 0 || m.players > 4 || m.free > 4)
    return false;
  m.address = match.address;
  match = m;
  return true;
}

LanAnswerer::LanAnswerer(uint16_t port) {
  socket_ = LocalSocket(problem_);
  if (socket_ < 0) return;
  // Several hosts on one machine may each hear the broadcast.
  const int on = 1;
  setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(port);
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(socket_, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
    problem_ = "UDP port " + std::to_string(port) + ": " + std::strerror(errno);
    close(socket_);
    socket_ = -1;
  }
}

LanAnswerer::~LanAnswerer() {
  if (socket_ >= 0) close(socket_);
}

int LanAnswerer::Poll(const LanMatch& match, bool answer) {
  if (socket_ < 0) return 0;
  int answered = 0;
  for (int i = 0; i < kAnswersPerPoll; ++i) {
    char buffer[64];
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const ssize_t n =
        recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (n < 0) break;
    uint32_t nonce = 0;
    if (!answer || !ParseLanQuery(std::string(buffer, static_cast<size_t>(n)), nonce)) continue;
    const std::string reply = LanAnswer(nonce, match);
    if (sendto(socket_, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&from),
               fromSize) == static_cast<ssize_t>(reply.size()))
      ++answered;
  }
  return answered;
}

std::vector<std::string> LanTargets() {
  std::vector<std::string> out{"127.0.0.1"};
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return out;
  for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_BROADCAST) == 0) continue;
    if (i->ifa_broadaddr == nullptr) continue;
    char text[INET_ADDRSTRLEN] = {0};
    const auto* b = reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr);
    if (inet_ntop(AF_INET, &b->sin_addr, text, sizeof text) == nullptr) continue;
    if (std::find(out.begin(), out.end(), text) == out.end()) out.push_back(text);
  }
  freeifaddrs(list);
  return out;
}

bool FindLanMatches(const std::vector<std::string>& targets, uint16_t port, int waitMs,
                    std::vector<LanMatch>& found, std::string& problem) {
  found.clear();
  const int s = LocalSocket(problem);
  if (s < 0) return false;
  const int on = 1;
  setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  const uint32_t nonce = std::random_device{}();
  const std::string query = LanQuery(nonce);
  int sent = 0;
  for (const std::string& target : targets) {
    sockaddr_in to{};
    if (!ToAddress(target, port, to)) continue;
    if (sendto(s, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) == static_cast<ssize_t>(query.size()))
      ++sent;
  }
  if (sent == 0) {
    problem = "the query could not be sent on any interface";
    close(s);
    return false;
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  for (int round = 0; round < kMaxAnswersRead; ++round) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{s, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[256];
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const ssize_t n =
        recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (n < 0) continue;
    char text[INET_ADDRSTRLEN] = {0};
    if (inet_ntop(AF_INET, &from.sin_addr, text, sizeof text) == nullptr) continue;
    LanMatch match;
    match.address = text;
    if (!ParseLanAnswer(std::string(buffer, static_cast<size_t>(n)), nonce, match)) continue;
    const bool known = std::any_of(found.begin(), found.end(), [&](const LanMatch& m) {
      return m.address == match.address && m.port == match.port;
    });
    if (!known) found.push_back(match);
  }
  // A host on this machine answers both the loopback and the broadcast: keep the address
  // the others on the network would use.
  const auto sameMatchElsewhere = [&](const LanMatch& m) {
    return m.address == "127.0.0.1" &&
           std::any_of(found.begin(), found.end(), [&](const LanMatch& o) {
             return o.address != m.address && o.port == m.port && o.name == m.name;
           });
  };
  std::vector<LanMatch> kept;
  for (const LanMatch& m : found)
    if (!sameMatchElsewhere(m)) kept.push_back(m);
  found.swap(kept);
  close(s);
  std::sort(found.begin(), found.end(), [](const LanMatch& a, const LanMatch& b) {
    return a.address != b.address ? a.address < b.address : a.port < b.port;
  });
  return true;
}

}  // namespace tb::net
