#include "net/Session.h"

#include <algorithm>

#include "shell/Controls.h"

namespace tb::net {

Session::Session(Transport& transport, SessionOptions options, Surface& screen, SoundPlayer& sound)
    : transport_(transport), options_(std::move(options)), screen_(screen), sound_(sound) {
  droppedAfter_.fill(-1);
  lostUs_.fill(-1);
  if (!DeriveKey(options_.password, key_)) {
    phase_ = Phase::Ended;
    endReason_ = "not enough memory to prepare the password";
    return;
  }
  if (options_.host) {
    localSeats_ = options_.seats != 0 ? options_.seats : 1;
    taken_ = localSeats_;
    phase_ = Phase::Waiting;
  }
  ShowTitle();
}

std::string Session::Title() const {
  switch (phase_) {
    case Phase::Joining:
      return options_.watch ? "Treadbrawl online: asking the host to watch..."
                            : "Treadbrawl online: joining the host...";
    case Phase::Waiting: {
      std::string who;
      for (int s = 0; s < kSeats; ++s) {
        if (!Has(taken_, s)) continue;
        if (!who.empty()) who += ", ";
        who += kPlayerKeys[s].Name;
        if (Has(localSeats_, s)) who += " (you)";
      }
      const uint8_t drivers = options_.host ? (options_.botSeats & kAllSeats & ~taken_) : 0;
      const std::string driven =
          drivers != 0 ? "computer drivers for " + SeatNames(drivers) + "; " : "";
      const int watching = Watchers();
      const std::string watched = watching > 0 ? std::to_string(watching) + " watching; " : "";
      return std::string("Treadbrawl online") + (options_.watch ? " (spectator): " : ": ") +
             (who.empty() ? "nobody" : who) + " connected; " + driven + watched +
             (options_.host ? "Enter starts the match" : "waiting for the host to start");
    }
    case Phase::Playing:
      return game_ ? game_->Form().Caption() : "";
    case Phase::Ended:
      return "Treadbrawl online: " + endReason_;
  }
  return "";
}

void Session::ShowTitle() {
  if (phase_ == Phase::Playing) return;  // the game owns the title during the match
  std::string title = Title();
  if (title != shownTitle_) {
    shownTitle_ = title;
    screen_.SetCaption(title);
  }
}

std::vector<std::string> Session::TakeNotices() {
  std::vector<std::string> out;
  out.swap(notices_);
  return out;
}

int Session::DirectLinks() const {
  int n = 0;
  for (const Remote& r : remotes_) n += r.direct && r.welcomed && r.heard ? 1 : 0;
  return n;
}

Route Session::RouteTo(int seat) const {
  if (seat < 0 || seat >= kSeats || Has(localSeats_, seat) || !Has(taken_, seat) ||
      droppedAfter_[seat] >= 0 || phase_ != Phase::Playing || options_.watch)
    return Route::None;  // a spectator sends no keys
  if (options_.host) return Has(botSeats_, seat) ? Route::None : Route::Direct;
  if (!Has(peerSeats_, seat)) return Route::Direct;  // the host's own seats
  for (const Remote& r : remotes_)
    if (r.direct && r.welcomed && r.heard && Has(r.seats, seat)) return Route::Direct;
  return nowUs_ < dialUntilUs_ ? Route::Trying : Route::ThroughHost;
}

void Session::TellRoutes() {
  for (uint8_t group : peerGroups_) {
    const Route route = RouteTo(FirstSeat(group));
    if (route == Route::Direct && (toldDirect_ & group) == 0) {
      notices_.push_back(SeatNames(group) + ": direct link");
    } else if (route == Route::ThroughHost && (toldHost_ & group) == 0 &&
               (lostUs_[FirstSeat(group)] < 0 ||
                nowUs_ - lostUs_[FirstSeat(group)] > options_.silenceUs)) {
      // A player who closed the game ends its link first: the host's word that it left
      // comes within the time the host waits on silence, and then nothing needs saying.
      notices_.push_back(SeatNames(group) + ": through the host (no direct link)");
    } else {
      continue;
    }
    const bool direct = route == Route::Direct;
    toldDirect_ = static_cast<uint8_t>(direct ? toldDirect_ | group : toldDirect_ & ~group);
    toldHost_ = static_cast<uint8_t>(direct ? toldHost_ & ~group : toldHost_ | group);
  }
}

Session::Remote* Session::Find(LinkId link) {
  for (Remote& r : remotes_)
    if (r.link == link) return &r;
  return nullptr;
}

void Session::RemoveRemote(LinkId link) {
  remotes_.erase(std::remove_if(remotes_.begin(), remotes_.end(),
                                [&](const Remote& r) { return r.link == link; }),
                 remotes_.end());
}

void Session::SendTo(Remote& r, const Message& m, Delivery d) {
  transport_.Send(r.link, Encode(m), d);
}

void Session::Frame(int64_t nowUs, const KeyState& keys) {
  nowUs_ = nowUs;
  LinkEvent e;
  // Bounded, so a flood cannot hold the frame forever; the rest waits for the next frame.
  for (int n = 0; n < 1024 && phase_ != Phase::Ended && transport_.Poll(e); ++n) Handle(e);
  if (phase_ != Phase::Ended) CloseStrangers();
  if (phase_ == Phase::Playing) DropSilent();
  // The host's Again is followed once our own match has come to its end as well.
  if (againPending_ && RoundsOver()) Restart(pendingAgain_.seats, pendingAgain_.seed);
  if (phase_ == Phase::Playing) PlayFrame(keys);
  if (phase_ == Phase::Playing) RecordFinal(false);
  if (phase_ == Phase::Playing) SendInputs();
  if (phase_ == Phase::Playing) CheckHashes();
  if (phase_ == Phase::Playing) TellRoutes();
  transport_.Flush();
  ShowTitle();
}

void Session::Handle(const LinkEvent& e) {
  switch (e.kind) {
    case LinkEvent::Connected: {
      if (Remote* known = Find(e.link)) {
        if (known->outgoing && !known->welcomed) {
          // Our direct link to another joiner is up: say who we are.
          known->welcomed = true;
          known->lastHeardUs = nowUs_;
          Message hello;
          hello.type = Type::PeerHello;
          hello.seats = localSeats_;
          hello.token = token_;
          SendTo(*known, hello, Delivery::Reliable);
          KeepOneLink(*known);
        }
        return;
      }
      const bool firstLink = remotes_.empty();
      remotes_.push_back(Remote{});
      remotes_.back().link = e.link;
      remotes_.back().lastHeardUs = nowUs_;
      remotes_.back().cameUs = nowUs_;
      if (!options_.host && !firstLink) {
        remotes_.back().direct = true;  // another joiner; it must give the token first
        // A spectator hears from its host alone.
        if (options_.watch) {
          transport_.Abort(e.link);
          RemoveRemote(e.link);
        }
        return;
      }
      if (!options_.host) {
        Remote& host = remotes_.back();
        host.seats = kAllSeats;
        host.welcomed = true;
        host.isHost = true;
        host.challenge = FreshNonce();
        Message hello;
        hello.type = options_.watch ? Type::Watch : Type::Hello;
        hello.seats = options_.watch ? 0 : options_.seats;
        hello.nonce = host.challenge;
        SendTo(host, hello, Delivery::Reliable);
      }
      return;
    }
    case LinkEvent::Disconnected: {
      Remote* r = Find(e.link);
      if (r == nullptr) return;
      if (r->direct) {
        if (r->welcomed)
          for (int s = 0; s < kSeats; ++s)
            if (Has(r->seats, s)) lostUs_[s] = nowUs_;
        RemoveRemote(e.link);  // the keys still come through the host
      } else if (r->watcher && r->welcomed) {
        RemoveWatcher(*r, "");
      } else if (!options_.host) {
        End(phase_ == Phase::Joining ? "no answer from the host (is its UDP port open?)"
                                     : "the host left");
      } else if (phase_ == Phase::Playing && r->welcomed) {
        DropRemote(*r, "");
      } else {
        uint8_t freed = r->welcomed ? r->seats : 0;
        RemoveRemote(e.link);
        if (freed != 0) {
          taken_ = static_cast<uint8_t>(taken_ & ~freed);
          BroadcastLobby();
        }
      }
      return;
    }
    case LinkEvent::Received: {
      Remote* r = Find(e.link);
      if (r == nullptr) return;
      Message m;
      ReadResult read = Decode(e.data, m);
      if (options_.host && !r->welcomed) {
        HandleHello(*r, m, read, e.data.size() > 2 ? static_cast<uint8_t>(e.data[2]) : 0);
        return;
      }
      if (read == ReadResult::OtherVersion && r->isHost && phase_ == Phase::Joining)
        return End("the host plays another version of the game");
      if (r->direct && !r->welcomed) {
        if (read != ReadResult::Ok || m.type != Type::PeerHello) return;
        if (phase_ == Phase::Playing) {
          if (!AcceptPeer(*r, m)) {
            transport_.Close(r->link);
            RemoveRemote(r->link);
          }
        } else {
          r->hello = m;  // checked once the Start has told us the token
        }
        return;
      }
      if (read != ReadResult::Ok) return;  // checked and ignored, whatever it was
      r->lastHeardUs = nowUs_;
      r->heard = true;
      HandleMessage(*r, m);
      return;
    }
  }
}

void Session::CloseStrangers() {
  std::vector<LinkId> due;
  for (const Remote& r : remotes_)
    if (r.refuseAtUs >= 0 && nowUs_ >= r.refuseAtUs) due.push_back(r.link);
  for (LinkId link : due)
    if (Remote* r = Find(link)) Refuse(*r, "wrong password", kProtocolVersion, false);
  std::vector<LinkId> late;
  for (const Remote& r : remotes_)
    if (!r.welcomed && nowUs_ - r.cameUs > options_.helloUs) late.push_back(r.link);
  for (LinkId link : late) {
    transport_.Abort(link);
    RemoveRemote(link);
    ++stats_.strangersClosed;
  }
}

void Session::HandleMessage(Remote& r, const Message& m) {
  const bool fromHost = r.isHost;
  switch (m.type) {
    case Type::Challenge:
      if (fromHost && phase_ == Phase::Joining) HandleChallenge(r, m);
      return;
    case Type::Welcome:
      if (fromHost && phase_ == Phase::Joining && m.seats != 0 && !options_.watch)
        HandleWelcome(r, m);
      return;
    case Type::Admit:
      if (fromHost && phase_ == Phase::Joining && options_.watch) HandleWelcome(r, m);
      return;
    case Type::Refuse:
      if (fromHost && phase_ == Phase::Joining) End("refused by the host: " + m.text);
      return;
    case Type::Lobby:
      if (fromHost && phase_ == Phase::Waiting)
        taken_ = static_cast<uint8_t>(m.seats | localSeats_);
      if (fromHost && phase_ != Phase::Joining) watchers_ = m.watchers;
      return;
    case Type::Start:
      if (fromHost && phase_ == Phase::Waiting && (m.seats & localSeats_) == localSeats_) {
        Begin(m);
        if (!options_.watch) ConnectPeers(m.peers);
      }
      return;
    case Type::Inputs:
      if (phase_ == Phase::Playing && r.fresh) HandleInputs(r, m);
      return;
    case Type::Hash:
      if (phase_ == Phase::Playing && r.fresh) HandleHash(r, m);
      return;
    case Type::Again:
      HandleAgain(r, m);
      return;
    case Type::Drop:
      if (fromHost && phase_ == Phase::Playing) HandleDrop(m);
      return;
    case Type::Stop:
      if (fromHost && phase_ == Phase::Playing) End(m.text, true);
      return;
    case Type::Hello:
    case Type::PeerHello:
    case Type::Answer:
    case Type::Watch:
      return;
  }
}

}  // namespace tb::net
