// Hostile peers against real ENet peers on the loopback: a host and honest joiners play a
// short match in real time while an attacker does one thing wrong (the case named on the
// command line). Passes when the honest players still get in and play the very game the
// keys make, the host keeps its 50 ticks a second and memory stays bounded.
//   treadbrawl-hostile silent|flood|liar|host
// Only 127.0.0.0/8 is ever addressed; every loop is bounded in count and in time.
#include <arpa/inet.h>
#include <enet/enet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "net/Protocol.h"
#include "net/Session.h"
#include "net/enet/EnetTransport.h"
#include "tests/net/NetMatch.h"

namespace {

using namespace tb::net;
using Clock = std::chrono::steady_clock;

constexpr int64_t kFrameUs = 20000;
constexpr int64_t kTicks = 400;  // eight seconds of play
constexpr uint64_t kSeed = 77;
constexpr double kClockStart = 36000.0;
constexpr const char* kPassword = "hold the line";

int failures = 0;
void Check(bool ok, const std::string& what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    ++failures;
  }
}

int64_t RssKb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  for (int n = 0; n < 200 && std::getline(in, line); ++n)
    if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6));
  return 0;
}

// A transport that passes everything on, for attackers that change what goes through.
class Wrapper : public Transport {
 public:
  explicit Wrapper(Transport& inner) : inner_(inner) {}
  void Send(LinkId link, const std::string& bytes, Delivery d) override {
    inner_.Send(link, bytes, d);
  }
  bool Poll(LinkEvent& e) override {
    if (!inner_.Poll(e)) return false;
    if (e.kind == LinkEvent::Connected && first_ == 0) first_ = e.link;
    return true;
  }
  void Close(LinkId link) override { inner_.Close(link); }
  void Flush() override { inner_.Flush(); }
  std::string AddressOf(LinkId link) const override { return inner_.AddressOf(link); }
  LinkId Connect(const std::string& address) override { return inner_.Connect(address); }
  void Abort(LinkId link) override { inner_.Abort(link); }
  void Confirm(LinkId link) override { inner_.Confirm(link); }
  std::string MachineOf(LinkId link) const override { return inner_.MachineOf(link); }
  Session* session = nullptr;  // the session it carries, once made

 protected:
  Transport& inner_;
  LinkId first_ = 0;  // a joiner's link to its host
};

// A seated joiner that plays its own seat honestly and lies about everything else.
class Liar final : public Wrapper {
 public:
  using Wrapper::Wrapper;
  void Flush() override {
    if (first_ != 0 && session != nullptr && session->State() == Phase::Playing) Lie();
    inner_.Flush();
  }
  int64_t told = 0;

 private:
  void Lie() {
    ++frame_;
    Message in;
    in.type = Type::Inputs;
    in.tick = frame_ % 2 ? kMaxTick : 0;  // far ahead, far behind
    in.sentMs = static_cast<uint32_t>(frame_);
    in.acks = {kMaxTick, kMaxTick, kMaxTick, kMaxTick};  // forged acknowledgements
    KeyRun theirs{0, static_cast<uint32_t>(1 + frame_ % 300), {}};
    for (int i = 0; i < kMaxRun; ++i) theirs.keys.push_back(static_cast<uint8_t>(random_() & 0x1F));
    KeyRun future{2, kMaxTick - kMaxRun, theirs.keys};  // its own seat, far ahead
    in.runs = {theirs, future};
    Send(first_, Encode(in), Delivery::Unreliable);
    // Its own seat (Blue) again for ticks long played and sent, with other keys. (Keys for
    // ticks it has not sent yet would simply be its keys, and its own world would then differ
    // from everyone's: the hashes stop the match, as they should.)
    const int64_t played = session->Game() != nullptr ? session->Game()->Tick() : 0;
    if (played > 200) {
      in.runs = {KeyRun{2, static_cast<uint32_t>(played - 150), theirs.keys}};
      Send(first_, Encode(in), Delivery::Unreliable);
    }
    Message hash;
    hash.type = Type::Hash;
    hash.tick = static_cast<uint32_t>((frame_ / 5 + 1) * kHashEvery);
    hash.seat = frame_ % 2 ? 0 : 2;  // other seats' worlds
    hash.hash = random_();
    Send(first_, Encode(hash), Delivery::Reliable);
    // The host's messages, from a joiner.
    Message host;
    for (Type t : {Type::Start, Type::Drop, Type::Stop, Type::Welcome, Type::Lobby, Type::Refuse,
                   Type::Challenge, Type::PeerHello, Type::Hello, Type::Answer}) {
      host = Message{};
      host.type = t;
      host.seats = 0x0F;
      host.seed = random_();
      host.seat = 0;
      host.text = "forged";
      Send(first_, Encode(host), frame_ % 3 ? Delivery::Unreliable : Delivery::Reliable);
    }
    told += 14;
  }
  int64_t frame_ = 0;
  std::mt19937_64 random_{5};
};

// A host that names addresses outside the match for the joiners' direct links.
class Misdirector final : public Wrapper {
 public:
  Misdirector(Transport& inner, std::string inside, std::string outside)
      : Wrapper(inner), inside_(std::move(inside)), outside_(std::move(outside)) {}
  void Send(LinkId link, const std::string& bytes, Delivery d) override {
    Message m;
    if (Decode(bytes, m) == ReadResult::Ok && m.type == Type::Start) {
      for (PeerAddress& p : m.peers) p.address = inside_;
      if (m.peers.size() < kSeats - 1) m.peers.push_back({0x01, outside_});
      return inner_.Send(link, Encode(m), d);
    }
    inner_.Send(link, bytes, d);
  }

 private:
  std::string inside_, outside_;
};

struct Player {
  std::unique_ptr<EnetTransport> net;
  std::unique_ptr<Wrapper> wrapper;
  std::unique_ptr<tbtest::NetPeer> peer;
  bool wrapOnJoin = false;  // the case's wrapper goes round its transport when it joins
  Transport& Used() { return wrapper ? static_cast<Transport&>(*wrapper) : *net; }
};

// The raw socket of an attacker that speaks no ENet at all, bound on the loopback.
class RawSocket {
 public:
  RawSocket(const char* from, uint16_t toPort) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    inet_pton(AF_INET, from, &at.sin_addr);
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
      close(fd_);
      fd_ = -1;
    }
    to_.sin_family = AF_INET;
    to_.sin_port = htons(toPort);
    inet_pton(AF_INET, "127.0.0.1", &to_.sin_addr);
  }
  ~RawSocket() {
    if (fd_ >= 0) close(fd_);
  }
  RawSocket(const RawSocket&) = delete;
  RawSocket& operator=(const RawSocket&) = delete;
  bool Ok() const { return fd_ >= 0; }
  void Send(const void* data, size_t n) {
    if (fd_ >= 0)
      sendto(fd_, data, n, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
  }
  // The first packet of an ENet handshake, never followed up: a half-open link.
  void HalfOpen(uint32_t connectId) {
    struct __attribute__((packed)) {
      ENetProtocolHeader header;
      ENetProtocolConnect connect;
    } p{};
    p.header.peerID =
        ENET_HOST_TO_NET_16(ENET_PROTOCOL_MAXIMUM_PEER_ID | ENET_PROTOCOL_HEADER_FLAG_SENT_TIME);
    p.connect.header.command =
        ENET_PROTOCOL_COMMAND_CONNECT | ENET_PROTOCOL_COMMAND_FLAG_ACKNOWLEDGE;
    p.connect.header.channelID = 0xFF;
    p.connect.header.reliableSequenceNumber = ENET_HOST_TO_NET_16(1);
    p.connect.incomingSessionID = 0xFF;
    p.connect.outgoingSessionID = 0xFF;
    p.connect.mtu = ENET_HOST_TO_NET_32(1400);
    p.connect.windowSize = ENET_HOST_TO_NET_32(32768);
    p.connect.channelCount = ENET_HOST_TO_NET_32(2);
    p.connect.packetThrottleInterval = ENET_HOST_TO_NET_32(5000);
    p.connect.packetThrottleAcceleration = ENET_HOST_TO_NET_32(2);
    p.connect.packetThrottleDeceleration = ENET_HOST_TO_NET_32(2);
    p.connect.connectID = connectId;
    Send(&p, sizeof p);
  }

 private:
  int fd_ = -1;
  sockaddr_in to_{};
};

// An ENet host of the attacker's, bound on a loopback address, with many links.
struct AttackHost {
  AttackHost(const char* from, size_t peers) {
    ENetAddress at{};
    enet_address_set_host_ip(&at, from);
    at.port = 0;
    host = enet_host_create(&at, peers, 2, 0, 0);
  }
  ~AttackHost() {
    if (host != nullptr) enet_host_destroy(host);
  }
  AttackHost(const AttackHost&) = delete;
  AttackHost& operator=(const AttackHost&) = delete;
  ENetPeer* Dial(uint16_t port) {
    ENetAddress at{};
    enet_address_set_host_ip(&at, "127.0.0.1");
    at.port = port;
    return host == nullptr ? nullptr : enet_host_connect(host, &at, 2, 0);
  }
  // Takes what came, bounded; counts the links that came up and went.
  void Service() {
    ENetEvent e;
    for (int n = 0; n < 4096 && host != nullptr && enet_host_service(host, &e, 0) > 0; ++n) {
      if (e.type == ENET_EVENT_TYPE_CONNECT) ++connected;
      if (e.type == ENET_EVENT_TYPE_DISCONNECT) ++dropped;
      if (e.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(e.packet);
    }
  }
  ENetHost* host = nullptr;
  int64_t connected = 0, dropped = 0;
};

// The host, honest joiners and perhaps a lying one, played in real time for kTicks.
class Match {
 public:
  explicit Match(int joiners) {
    std::string error;
    SessionOptions hostOptions;
    hostOptions.host = true;
    hostOptions.password = kPassword;
    hostOptions.seed = kSeed;
    hostOptions.clockStart = kClockStart;
    hostOptions.lastTick = kTicks;
    players_.resize(1 + joiners);
    players_[0].net = EnetTransport::Listen("127.0.0.1", 0, error);
    if (!players_[0].net) throw std::runtime_error(error);
    options_.push_back(hostOptions);
    SessionOptions joinOptions;
    joinOptions.password = kPassword;
    joinOptions.lastTick = kTicks;
    for (int i = 1; i <= joiners; ++i) options_.push_back(joinOptions);
  }
  uint16_t Port() const { return players_[0].net->Port(); }
  Player& At(int i) { return players_[i]; }

  // Gathers everyone, starts and plays; `attack` runs before every frame.
  bool Play(const std::function<void(int64_t nowUs)>& attack, int64_t joinAfterUs = 0) {
    plan_ = tbtest::KeyPlan::Random(3, kTicks);
    start_ = Clock::now();
    auto make = [&](size_t i) {
      Player& p = players_[i];
      p.peer = std::make_unique<tbtest::NetPeer>();
      p.peer->session =
          std::make_unique<Session>(p.Used(), options_[i], p.peer->screen, p.peer->sound);
      p.peer->planKeys.plan = &plan_;
      p.peer->planKeys.session = p.peer->session.get();
      if (p.wrapper) p.wrapper->session = p.peer->session.get();
    };
    make(0);
    const uint8_t everyone = static_cast<uint8_t>((1u << players_.size()) - 1);
    bool joined = false, started = false;
    int64_t startedUs = 0, startedTick = 0;
    int64_t next = 0;
    int settle = 0;
    const int64_t limitUs = 60000000;
    for (int64_t frame = 0; frame < limitUs / kFrameUs && NowUs() < limitUs; ++frame) {
      next += kFrameUs;
      std::this_thread::sleep_until(start_ + std::chrono::microseconds(next));
      const int64_t now = NowUs();
      attack(now);
      if (!joined && now >= joinAfterUs) {
        std::string error;
        for (size_t i = 1; i < players_.size(); ++i) {
          players_[i].net = EnetTransport::Connect("127.0.0.1", Port(), error);
          if (!players_[i].net) return Check(false, error), false;
          if (players_[i].wrapOnJoin) players_[i].wrapper = wrap(*players_[i].net);
          make(i);
        }
        joined = true;
      }
      for (Player& p : players_) {
        if (!p.peer) continue;
        p.peer->session->Frame(now, p.peer->planKeys);
        if (p.peer->session->State() == Phase::Ended) {
          Check(false, "a player's match ended: " + p.peer->session->EndReason());
          return false;
        }
      }
      Session& host = *players_[0].peer->session;
      if (!started && joined && host.TakenSeats() == everyone) {
        started = host.Start();
        startedUs = now;
        joinedUs_ = now - joinAfterUs;
        startedTick = 0;
      }
      if (started && Done() && settle < 25) {
        ++settle;  // what is on its way, the last acknowledgements, arrives
        continue;
      }
      if (started && Done()) {
        const double seconds = static_cast<double>(now - startedUs) / 1e6;
        ticksPerSecond_ =
            static_cast<double>(host.Game()->Tick() - startedTick) / (seconds - 25 * 0.02);
        return true;
      }
    }
    Check(false, joined && started ? "the match did not end in time"
                                   : "the players were not all let in within a minute");
    return false;
  }

  // The checks every case makes once the match is played.
  void CheckGame() {
    std::array<int64_t, 4> drops{-1, -1, -1, -1};
    for (size_t s = players_.size(); s < 4; ++s) drops[s] = 0;
    const uint64_t want = tbtest::PlainGameHash(kSeed, kClockStart, plan_, kTicks, drops);
    for (size_t i = 0; i < players_.size(); ++i) {
      Session& s = *players_[i].peer->session;
      const std::string who = "player " + std::to_string(i);
      Check(s.Game()->CurrentHash() == want, who + ": another game than the keys make");
      std::string bytes;
      Check(s.ReplayBytes(bytes), who + ": no replay");
      tbtest::PlayedBack back = tbtest::PlayBack(bytes);
      Check(back.problem.empty() && back.ticks == kTicks && back.finalHash == want,
            who + ": its replay is not the game (" + back.problem + ", " +
                std::to_string(back.ticks) + " ticks)");
    }
    Check(ticksPerSecond_ > 45.0,
          "the host played " + std::to_string(ticksPerSecond_) + " ticks a second");
    const auto& g = players_[0].net->Guarded();
    std::printf(
        "host: %.1f ticks/s, players in after %.2f s; transport passed %lld, refused %lld "
        "oversized, expired %lld, evicted %lld; strangers closed %lld\n",
        ticksPerSecond_, static_cast<double>(joinedUs_) / 1e6, static_cast<long long>(g.received),
        static_cast<long long>(g.oversized), static_cast<long long>(g.expired),
        static_cast<long long>(g.evicted),
        static_cast<long long>(players_[0].peer->session->Stats().strangersClosed));
  }
  int64_t NowUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_).count();
  }
  // Makes the wrapper of the joiners marked wrapOnJoin.
  std::function<std::unique_ptr<Wrapper>(Transport&)> wrap;

 private:
  bool Done() {
    for (Player& p : players_) {
      RollbackGame* g = p.peer->session->Game();
      if (g == nullptr || g->Tick() < kTicks || g->Synced() < kTicks || !g->Settled()) return false;
    }
    return true;
  }

  std::vector<Player> players_;
  std::vector<SessionOptions> options_;
  tbtest::KeyPlan plan_;
  Clock::time_point start_;
  double ticksPerSecond_ = 0;
  int64_t joinedUs_ = 0;
};

// More silent links than the host has room for, from two machines, and half-open
// handshakes; a player joins a second into it.
void Silent() {
  Match match(1);
  AttackHost flood("127.0.0.2", 512);
  AttackHost slow("127.0.0.1", 64);
  RawSocket raw("127.0.0.3", match.Port()), rawSlow("127.0.0.4", match.Port());
  Check(flood.host && slow.host && raw.Ok() && rawSlow.Ok(), "attacker sockets");
  int64_t dialled = 0, halfOpen = 0, frame = 0;
  const bool ok = match.Play(
      [&](int64_t) {
        ++frame;
        // 100 links a second from one machine, one a second from the player's own.
        for (int i = 0; i < 2; ++i) dialled += flood.Dial(match.Port()) != nullptr;
        if (frame % 50 == 0) dialled += slow.Dial(match.Port()) != nullptr;
        if (frame % 5 == 0) raw.HalfOpen(static_cast<uint32_t>(++halfOpen));
        if (frame % 50 == 0) rawSlow.HalfOpen(static_cast<uint32_t>(++halfOpen));
        flood.Service();
        slow.Service();
      },
      1000000);
  if (ok) match.CheckGame();
  std::printf("silent: %lld links dialled (%lld came up), %lld half-open handshakes\n",
              static_cast<long long>(dialled),
              static_cast<long long>(flood.connected + slow.connected),
              static_cast<long long>(halfOpen));
  Check(slow.dropped > 0, "no silent link was closed");
  Check(match.At(0).peer->session->Stats().strangersClosed > 0,
        "no silent link was closed for saying nothing in 5 s");
  Check(match.At(0).net->Guarded().expired > 0, "no half-open handshake was given up");
}

// Garbage on every channel and from outside ENet, oversized and fragmented packets.
void Flood() {
  Match match(1);
  AttackHost attacker("127.0.0.2", 4);
  RawSocket raw("127.0.0.2", match.Port());
  Check(attacker.host && raw.Ok(), "attacker sockets");
  ENetPeer* link = nullptr;
  std::mt19937_64 random(9);
  std::string junk(2000, '\0');
  int64_t sent = 0, big = 0;
  const bool ok = match.Play([&](int64_t) {
    attacker.Service();
    if (link == nullptr || link->state == ENET_PEER_STATE_DISCONNECTED)
      link = attacker.Dial(match.Port());
    for (char& c : junk) c = static_cast<char>(random());
    // 100 packets a frame over ENet (5,000 a second) and 100 raw datagrams.
    for (int i = 0; i < 100 && link != nullptr && link->state == ENET_PEER_STATE_CONNECTED; ++i) {
      const size_t n = 1 + random() % 1400;
      const bool reliable = i % 10 == 0;
      ENetPacket* p = enet_packet_create(
          junk.data(), n, reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
      if (enet_peer_send(link, static_cast<uint8_t>(i % 2), p) != 0) enet_packet_destroy(p);
      ++sent;
    }
    if (link != nullptr && link->state == ENET_PEER_STATE_CONNECTED && big < 3 &&
        sent % 5000 == 0) {
      std::string megabyte(1 << 20, 'x');
      ENetPacket* p =
          enet_packet_create(megabyte.data(), megabyte.size(), ENET_PACKET_FLAG_RELIABLE);
      if (enet_peer_send(link, 0, p) != 0) enet_packet_destroy(p);
      ++big;
    }
    for (int i = 0; i < 100; ++i) raw.Send(junk.data(), 1 + random() % 1400);
    attacker.Service();
  });
  if (ok) match.CheckGame();
  std::printf("flood: %lld packets over ENet, %d raw datagrams a frame, %lld fragmented 1 MB\n",
              static_cast<long long>(sent), 100, static_cast<long long>(big));
}

// A seated joiner that lies: other seats' keys, acknowledgements, ticks, hashes, the host's
// messages.
void Lying() {
  Match match(2);
  Liar* liar = nullptr;
  match.wrap = [&liar](Transport& inner) {
    auto w = std::make_unique<Liar>(inner);
    liar = w.get();
    return std::unique_ptr<Wrapper>(std::move(w));
  };
  match.At(2).wrapOnJoin = true;
  const bool ok = match.Play([](int64_t) {});
  if (ok) match.CheckGame();
  std::printf("liar: %lld forged messages\n", static_cast<long long>(liar ? liar->told : 0));
  Check(liar != nullptr && liar->told > 1000, "the liar did not speak");
}

// A host that sends the joiners to addresses outside the match.
void Misdirecting() {
  AttackHost inside("127.0.0.1", 8), outside("127.0.0.2", 8);
  Check(inside.host && outside.host, "decoy sockets");
  auto address = [](ENetHost* h, const char* ip) {
    ENetAddress at{};
    enet_socket_get_address(h->socket, &at);
    return std::string(ip) + ":" + std::to_string(at.port);
  };
  Match match(2);
  const std::string in = address(inside.host, "127.0.0.1"),
                    out = address(outside.host, "127.0.0.2");
  match.At(0).wrapper = std::make_unique<Misdirector>(*match.At(0).net, in, out);
  const bool ok = match.Play([&](int64_t) {
    inside.Service();
    outside.Service();
  });
  if (ok) match.CheckGame();
  std::printf("host: joiners dialled the decoys %lld and %lld times\n",
              static_cast<long long>(inside.connected), static_cast<long long>(outside.connected));
  // Each joiner dials the other's forged address and Green's, once each.
  Check(inside.connected <= 2 && outside.connected <= 2, "a joiner dialled a decoy more than once");
  for (int i = 1; i <= 2; ++i)
    Check(match.At(i).peer->session->DirectLinks() == 0, "a silent decoy was taken for a joiner");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string which = argc == 2 ? argv[1] : "";
  const int64_t rssBefore = RssKb();
  try {
    if (which == "silent") {
      Silent();
    } else if (which == "flood") {
      Flood();
    } else if (which == "liar") {
      Lying();
    } else if (which == "host") {
      Misdirecting();
    } else {
      std::fprintf(stderr, "usage: treadbrawl-hostile silent|flood|liar|host\n");
      return 2;
    }
  } catch (const std::exception& e) {
    Check(false, e.what());
  }
  const int64_t grown = RssKb() - rssBefore;
  std::printf("memory: %lld kB more at the end than at the start\n", static_cast<long long>(grown));
  Check(grown < 200 * 1024, "memory grew by " + std::to_string(grown) + " kB");
  if (failures == 0) std::printf("PASS %s\n", which.c_str());
  return failures == 0 ? 0 : 1;
}
