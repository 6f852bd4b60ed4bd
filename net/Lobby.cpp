// The waiting room: joiners say hello with a password and the seats they want, the host
// seats them and starts the match; joiners then link up with each other directly.
#include <algorithm>

#include "net/Address.h"
#include "net/Session.h"

namespace tb::net {

namespace {

// Joiners take the seats in this order when they ask for none.
constexpr int kJoinOrder[kSeats] = {1, 2, 3, 0};

}  // namespace

void Session::HandleHello(Remote& r, const Message& m, ReadResult read, uint8_t version) {
  if (read == ReadResult::OtherVersion) return Refuse(r, "the host plays another version", version);
  if (read != ReadResult::Ok) return;
  // Spectators may come at any time; players only before the start.
  const bool watch = m.type == Type::Watch || (r.challenged && r.watcher);
  if (phase_ != Phase::Waiting && !watch) return Refuse(r, "the match has already started");
  if ((m.type == Type::Hello || m.type == Type::Watch) && !r.challenged) {
    r.watcher = watch;
    if (watch && Watchers() >= kMaxWatchers) return Refuse(r, kWatchersFull);
    r.hello = m;
    r.challenge = FreshNonce();
    r.challenged = true;
    Message challenge;
    challenge.type = Type::Challenge;
    challenge.nonce = r.challenge;
    SendTo(r, challenge, Delivery::Reliable);
    return;
  }
  if (m.type != Type::Answer || !r.challenged || r.refuseAtUs >= 0) return;
  // Past the limit nothing is checked: the same refusal comes, only later.
  const std::string machine = transport_.MachineOf(r.link);
  if (wrongTries_.Blocked(machine, nowUs_)) {
    r.refuseAtUs = nowUs_ + WrongTries::kDelayUs;
    return;
  }
  if (!SameProof(m.proof, Prove(key_, Prover::Joiner, r.challenge, r.hello.nonce))) {
    wrongTries_.Wrong(machine, nowUs_);
    return Refuse(r, "wrong password");
  }
  if (r.watcher) return AdmitWatcher(r);
  Seat(r);
}

void Session::Seat(Remote& r) {
  uint8_t seats = r.hello.seats;
  if (seats == 0) {
    for (int s : kJoinOrder) {
      if (!Has(taken_, s)) {
        seats = static_cast<uint8_t>(1u << s);
        break;
      }
    }
    if (seats == 0) return Refuse(r, "the match is full");
  } else if (seats & taken_) {
    return Refuse(r, "seat " + SeatNames(seats & taken_) + " is taken");
  }
  r.seats = seats;
  r.welcomed = true;
  r.lastHeardUs = nowUs_;
  transport_.Confirm(r.link);
  taken_ = static_cast<uint8_t>(taken_ | seats);
  Message welcome;
  welcome.type = Type::Welcome;
  welcome.seats = seats;
  // The host proves it knows the password too, so that nobody can pose as it.
  welcome.proof = Prove(key_, Prover::Host, r.hello.nonce, r.challenge);
  SendTo(r, welcome, Delivery::Reliable);
  notices_.push_back(SeatNames(seats) + " joined");
  BroadcastLobby();
}

void Session::HandleChallenge(Remote& r, const Message& m) {
  if (r.answered) return;
  r.answered = true;
  r.hello = m;
  Message answer;
  answer.type = Type::Answer;
  answer.proof = Prove(key_, Prover::Joiner, m.nonce, r.challenge);
  SendTo(r, answer, Delivery::Reliable);
}

void Session::HandleWelcome(Remote& r, const Message& m) {
  if (!r.answered || !SameProof(m.proof, Prove(key_, Prover::Host, r.challenge, r.hello.nonce)))
    return End("the host does not know the password; not joined");
  localSeats_ = m.seats;
  taken_ = m.seats;
  phase_ = Phase::Waiting;
}

void Session::Refuse(Remote& r, const std::string& reason, uint8_t version, bool tell) {
  transport_.Send(r.link, EncodeRefuse(version, reason), Delivery::Reliable);
  transport_.Close(r.link);
  if (tell)
    notices_.push_back((r.watcher ? "refused a spectator: " : "refused a joiner: ") + reason);
  RemoveRemote(r.link);
}

void Session::BroadcastLobby() {
  Message lobby;
  lobby.type = Type::Lobby;
  lobby.seats = taken_;
  lobby.watchers = static_cast<uint8_t>(Watchers());
  for (Remote& r : remotes_)
    if (r.welcomed) SendTo(r, lobby, Delivery::Reliable);
}

bool Session::Start() {
  if (!options_.host || phase_ != Phase::Waiting) return false;
  // Computer drivers take the seats nobody took; their keys go out as the host's own.
  botSeats_ = static_cast<uint8_t>(options_.botSeats & kAllSeats & ~taken_);
  taken_ = static_cast<uint8_t>(taken_ | botSeats_);
  Message start;
  start.type = Type::Start;
  start.seed = options_.seed;
  start.clockStart = options_.clockStart;
  start.seats = taken_;
  start.rounds = static_cast<uint8_t>(std::clamp(options_.rounds, 0, kMaxRounds));
  start.roundTicks = static_cast<uint32_t>(std::clamp<int64_t>(options_.roundTicks, 1, kMaxTick));
  start.token = options_.token != 0 ? options_.token : options_.seed ^ 0x9E3779B97F4A7C15ULL;
  for (const Remote& r : remotes_) {
    std::string address = r.welcomed && !r.watcher ? transport_.AddressOf(r.link) : "";
    if (!address.empty() && address.size() <= kMaxText) start.peers.push_back({r.seats, address});
  }
  start_ = start;
  for (Remote& r : remotes_) {
    if (r.welcomed) SendTo(r, r.watcher ? WatcherStart() : start, Delivery::Reliable);
  }
  // Joiners still being let in are not part of this match; spectators may still come.
  std::vector<LinkId> late;
  for (const Remote& r : remotes_)
    if (!r.welcomed && !r.watcher) late.push_back(r.link);
  for (LinkId link : late)
    if (Remote* r = Find(link)) Refuse(*r, "the match has already started");
  Begin(start);
  return true;
}

void Session::ConnectPeers(const std::vector<PeerAddress>& peers) {
  // Joiners link up directly so that keys need not go round by the host. Both ends dial at
  // once: each one's first packets open its own router for the other's, so routers that
  // keep a flow's port let the link through. Without it the host still passes keys on.
  std::string hostAddress;
  for (const Remote& r : remotes_)
    if (r.isHost) hostAddress = transport_.AddressOf(r.link);
  std::vector<std::string> dialled;
  for (const PeerAddress& p : peers) {
    if (p.seats & localSeats_) continue;
    // Only the joiners of this match, each named once, at an address worth dialling.
    if ((p.seats & ~taken_) != 0 || (p.seats & peerSeats_) != 0) continue;
    if (!PeerDialable(p.address, hostAddress) ||
        std::find(dialled.begin(), dialled.end(), p.address) != dialled.end())
      continue;
    dialled.push_back(p.address);
    peerSeats_ = static_cast<uint8_t>(peerSeats_ | p.seats);
    peerGroups_.push_back(p.seats);
    LinkId link = transport_.Connect(p.address);
    if (link == 0 || Find(link) != nullptr) continue;
    remotes_.push_back(Remote{});
    Remote& r = remotes_.back();
    r.link = link;
    r.seats = p.seats;
    r.direct = true;
    r.outgoing = true;
    r.dialler = localSeats_;
    r.lastHeardUs = nowUs_;
    r.cameUs = nowUs_;
  }
  // As long as a dial that never answers is given before it is closed.
  dialUntilUs_ = nowUs_ + options_.helloUs;
  // Links from joiners that spoke before we knew the token.
  std::vector<LinkId> waiting, refused;
  for (Remote& r : remotes_) {
    if (r.direct && !r.welcomed && !r.outgoing && r.hello.type == Type::PeerHello)
      waiting.push_back(r.link);
  }
  for (LinkId link : waiting) {
    Remote* r = Find(link);
    if (r != nullptr && !AcceptPeer(*r, r->hello)) refused.push_back(link);
  }
  for (LinkId link : refused) {
    transport_.Close(link);
    RemoveRemote(link);
  }
}

bool Session::AcceptPeer(Remote& r, const Message& hello) {
  const bool named =
      std::find(peerGroups_.begin(), peerGroups_.end(), hello.seats) != peerGroups_.end();
  bool dropped = false;
  for (int s = 0; s < kSeats; ++s)
    dropped = dropped || (Has(hello.seats, s) && droppedAfter_[s] >= 0);
  if (hello.token != token_ || !named || dropped) return false;
  r.seats = hello.seats;
  r.dialler = hello.seats;
  r.welcomed = true;
  r.heard = true;
  r.lastHeardUs = nowUs_;
  transport_.Confirm(r.link);
  KeepOneLink(r);
  return true;
}

void Session::KeepOneLink(const Remote& r) {
  // Any order of events gives both ends the same choice: the link the lower seat dialled.
  LinkId other = 0;
  bool otherLower = false;
  for (const Remote& o : remotes_) {
    if (o.link == r.link || !o.direct || !o.welcomed || o.seats != r.seats) continue;
    other = o.link;
    otherLower = FirstSeat(o.dialler) < FirstSeat(r.dialler);
  }
  if (other == 0) return;
  const LinkId gone = otherLower ? r.link : other;
  transport_.Close(gone);
  RemoveRemote(gone);
}

}  // namespace tb::net
