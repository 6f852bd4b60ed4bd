#include "net/Session.h"

#include <algorithm>
#include <cctype>

#include "files/Files.h"
#include "match/Rounds.h"
#include "shell/Controls.h"
#include "state/WorldHash.h"

namespace tb::net {

namespace {

bool Has(uint8_t seats, int seat) { return (seats & (1u << seat)) != 0; }

int FirstSeat(uint8_t seats) {
  for (int s = 0; s < kSeats; ++s)
    if (Has(seats, s)) return s;
  return 0;
}

int SeatCount(uint8_t seats) {
  int n = 0;
  for (int s = 0; s < kSeats; ++s) n += Has(seats, s) ? 1 : 0;
  return n;
}

// Remote hashes older than this many comparisons are forgotten.
constexpr size_t kHashesKept = 16;

// Joiners take the seats in this order when they ask for none.
constexpr int kJoinOrder[kSeats] = {1, 2, 3, 0};

}  // namespace

std::string SeatNames(uint8_t seats) {
  std::string out;
  for (int s = 0; s < kSeats; ++s) {
    if (!Has(seats, s)) continue;
    if (!out.empty()) out += ", ";
    out += kPlayerKeys[s].Name;
  }
  return out;
}

bool ParseSeats(const std::string& text, uint8_t& seats, std::string& problem) {
  seats = 0;
  size_t at = 0;
  while (at <= text.size()) {
    size_t comma = text.find(',', at);
    if (comma == std::string::npos) comma = text.size();
    std::string name = text.substr(at, comma - at);
    int found = -1;
    for (int s = 0; s < kSeats; ++s) {
      std::string seat = kPlayerKeys[s].Name;
      if (seat.size() == name.size() &&
          std::equal(seat.begin(), seat.end(), name.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
          }))
        found = s;
    }
    if (found < 0) {
      problem = "'" + name + "' is not a seat (Green, Red, Blue, Yellow)";
      return false;
    }
    seats = static_cast<uint8_t>(seats | (1u << found));
    at = comma + 1;
  }
  return true;
}

Session::Session(Transport& transport, SessionOptions options, Surface& screen, SoundPlayer& sound)
    : transport_(transport), options_(std::move(options)), screen_(screen), sound_(sound) {
  droppedAfter_.fill(-1);
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
      return "Treadbrawl online: joining the host...";
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
      return "Treadbrawl online: " + who + " connected; " + driven +
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
  for (const Remote& r : remotes_) n += r.direct && r.welcomed ? 1 : 0;
  return n;
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
  if (phase_ == Phase::Playing) {
    std::vector<LinkId> silent;
    for (const Remote& r : remotes_)
      if (!r.direct && nowUs_ - r.lastHeardUs > options_.silenceUs) silent.push_back(r.link);
    for (LinkId link : silent) {
      if (Remote* r = Find(link)) DropRemote(*r, "not heard from for 3 seconds");
      if (phase_ != Phase::Playing) break;
    }
  }
  if (phase_ == Phase::Playing) PlayFrame(keys);
  if (phase_ == Phase::Playing) RecordFinal(false);
  if (phase_ == Phase::Playing) SendInputs();
  if (phase_ == Phase::Playing) CheckHashes();
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
        }
        return;
      }
      const bool firstLink = remotes_.empty();
      remotes_.push_back(Remote{});
      remotes_.back().link = e.link;
      remotes_.back().lastHeardUs = nowUs_;
      if (!options_.host && !firstLink) {
        remotes_.back().direct = true;  // another joiner; it must give the token first
        return;
      }
      if (!options_.host) {
        Remote& host = remotes_.back();
        host.seats = kAllSeats;
        host.welcomed = true;
        host.isHost = true;
        Message hello;
        hello.type = Type::Hello;
        hello.seats = options_.seats;
        hello.text = options_.password;
        SendTo(host, hello, Delivery::Reliable);
      }
      return;
    }
    case LinkEvent::Disconnected: {
      Remote* r = Find(e.link);
      if (r == nullptr) return;
      if (r->direct) {
        RemoveRemote(e.link);  // the keys still come through the host
      } else if (!options_.host) {
        End(phase_ == Phase::Joining ? "no answer from the host (is its UDP port open?)"
                                     : "the host left");
      } else if (phase_ == Phase::Playing && r->welcomed) {
        DropRemote(*r, "left");
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
        HandleHello(*r, m, read);
        return;
      }
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
      HandleMessage(*r, m);
      return;
    }
  }
}

void Session::HandleHello(Remote& r, const Message& m, ReadResult read) {
  if (read == ReadResult::OtherVersion) return Refuse(r, "the host plays another version");
  if (read != ReadResult::Ok || m.type != Type::Hello) return;
  if (phase_ != Phase::Waiting) return Refuse(r, "the match has already started");
  if (m.text != options_.password) return Refuse(r, "wrong password");
  uint8_t seats = m.seats;
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
  taken_ = static_cast<uint8_t>(taken_ | seats);
  Message welcome;
  welcome.type = Type::Welcome;
  welcome.seats = seats;
  SendTo(r, welcome, Delivery::Reliable);
  notices_.push_back(SeatNames(seats) + " joined");
  BroadcastLobby();
}

void Session::Refuse(Remote& r, const std::string& reason) {
  Message refuse;
  refuse.type = Type::Refuse;
  refuse.text = reason;
  SendTo(r, refuse, Delivery::Reliable);
  transport_.Close(r.link);
  notices_.push_back("refused a joiner: " + reason);
  RemoveRemote(r.link);
}

void Session::BroadcastLobby() {
  Message lobby;
  lobby.type = Type::Lobby;
  lobby.seats = taken_;
  for (Remote& r : remotes_)
    if (r.welcomed) SendTo(r, lobby, Delivery::Reliable);
}

void Session::HandleMessage(Remote& r, const Message& m) {
  const bool fromHost = r.isHost;
  switch (m.type) {
    case Type::Welcome:
      if (fromHost && phase_ == Phase::Joining && m.seats != 0) {
        localSeats_ = m.seats;
        taken_ = m.seats;
        phase_ = Phase::Waiting;
      }
      return;
    case Type::Refuse:
      if (fromHost && phase_ == Phase::Joining) End("refused by the host: " + m.text);
      return;
    case Type::Lobby:
      if (fromHost && phase_ == Phase::Waiting)
        taken_ = static_cast<uint8_t>(m.seats | localSeats_);
      return;
    case Type::Start:
      if (fromHost && phase_ == Phase::Waiting && (m.seats & localSeats_) == localSeats_) {
        Begin(m);
        ConnectPeers(m.peers);
      }
      return;
    case Type::Inputs:
      if (phase_ == Phase::Playing) HandleInputs(r, m);
      return;
    case Type::Hash:
      if (phase_ == Phase::Playing) HandleHash(r, m);
      return;
    case Type::Drop:
      if (fromHost && phase_ == Phase::Playing && !Has(localSeats_, m.seat) &&
          droppedAfter_[m.seat] < 0) {
        game_->DropSeat(m.seat, m.tick);
        droppedAfter_[m.seat] = m.tick;
        ++drops_;
        // Hashes of later ticks may have been taken with keys the host never had: take
        // them again once the world has gone back.
        const int64_t first = (static_cast<int64_t>(m.tick) / kHashEvery + 1) * kHashEvery;
        nextHash_ = std::min(nextHash_, first);
        ownHashes_.erase(ownHashes_.lower_bound(first), ownHashes_.end());
        std::vector<LinkId> gone;
        for (const Remote& d : remotes_)
          if (d.direct && Has(d.seats, m.seat)) gone.push_back(d.link);
        for (LinkId link : gone) {
          transport_.Close(link);
          RemoveRemote(link);
        }
        notices_.push_back(std::string(kPlayerKeys[m.seat].Name) + " left the match");
      }
      return;
    case Type::Stop:
      if (fromHost && phase_ == Phase::Playing) End(m.text, true);
      return;
    case Type::Hello:
    case Type::PeerHello:
      return;
  }
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
    std::string address = r.welcomed ? transport_.AddressOf(r.link) : "";
    if (!address.empty() && address.size() <= kMaxText) start.peers.push_back({r.seats, address});
  }
  for (Remote& r : remotes_) {
    if (r.welcomed) SendTo(r, start, Delivery::Reliable);
  }
  // Joiners still being let in are not part of this match.
  std::vector<LinkId> late;
  for (const Remote& r : remotes_)
    if (!r.welcomed) late.push_back(r.link);
  for (LinkId link : late)
    if (Remote* r = Find(link)) Refuse(*r, "the match has already started");
  Begin(start);
  return true;
}

void Session::ConnectPeers(const std::vector<PeerAddress>& peers) {
  // Joiners link up directly so that keys need not go round by the host; the later seat
  // dials the earlier, so each pair opens one link. Without it the host still passes keys on.
  for (const PeerAddress& p : peers) {
    if (p.seats & localSeats_) continue;
    peerSeats_ = static_cast<uint8_t>(peerSeats_ | p.seats);
    if (FirstSeat(p.seats) > FirstSeat(localSeats_)) continue;
    LinkId link = transport_.Connect(p.address);
    if (link == 0 || Find(link) != nullptr) continue;
    remotes_.push_back(Remote{});
    Remote& r = remotes_.back();
    r.link = link;
    r.seats = p.seats;
    r.direct = true;
    r.outgoing = true;
    r.lastHeardUs = nowUs_;
  }
  // Links from joiners that spoke before we knew the token.
  std::vector<LinkId> refused;
  for (Remote& r : remotes_) {
    if (r.direct && !r.welcomed && !r.outgoing && r.hello.type == Type::PeerHello &&
        !AcceptPeer(r, r.hello))
      refused.push_back(r.link);
  }
  for (LinkId link : refused) {
    transport_.Close(link);
    RemoveRemote(link);
  }
}

bool Session::AcceptPeer(Remote& r, const Message& hello) {
  const bool ok = hello.token == token_ && (hello.seats & ~peerSeats_) == 0 &&
                  FirstSeat(hello.seats) > FirstSeat(localSeats_);
  if (!ok) return false;
  r.seats = hello.seats;
  r.welcomed = true;
  r.lastHeardUs = nowUs_;
  return true;
}

void Session::Begin(const Message& match) {
  const uint8_t seats = match.seats;
  taken_ = seats;
  token_ = match.token;
  matchSeed_ = match.seed;
  game_ = std::make_unique<RollbackGame>(screen_, sound_, match.seed, match.clockStart,
                                         options_.exeFolder);
  game_->SetSeats(static_cast<uint8_t>(localSeats_ | botSeats_),
                  static_cast<uint8_t>(kAllSeats & ~seats));
  game_->SetLastTick(options_.lastTick);
  screen_.SetCaption(game_->Form().Caption());
  if (botSeats_ != 0) {
    drivers_ = std::make_unique<bots::Seats>(noKeys_, screen_, game_->MatchClock());
    for (int s = 0; s < kSeats; ++s)
      if (Has(botSeats_, s)) drivers_->Add(kPlayerKeys[s].Name, options_.botLevel, match.seed);
    game_->SetDrivers(botSeats_, [this](const MainFrm& form) {
      drivers_->Think(form);
      TickKeys keys{};
      for (int s = 0; s < kSeats; ++s) keys[s] = MaskFromKeys(*drivers_, kPlayerKeys[s]);
      return keys;
    });
  }
  if (match.rounds > 0) {
    rounds_ = std::make_unique<match::Rounds>(match.rounds, game_->Scored(), match.roundTicks);
    game_->SetRules(rounds_.get());
  }
  for (Remote& r : remotes_) r.lastHeardUs = nowUs_;
  phase_ = Phase::Playing;
  lastDriftTick_ = 0;
  StartRecord(match);
}

void Session::StartRecord(const Message& match) {
  Replay header = game_->RecordHeader();
  header.GameVersion = options_.gameVersion;
  header.Rounds = match.rounds;
  header.RoundTicks = match.rounds > 0 ? match.roundTicks : 0;
  memoryReplay_.OpenInMemory(header, kMaxMemoryReplay);
  std::string problem;
  if (!options_.recordPath.empty() && !fileReplay_.Open(options_.recordPath, header, problem))
    notices_.push_back(options_.recordPath + ": " + problem + "; the match is not recorded");
}

void Session::RecordFinal(bool all) {
  // A joiner's tick is final once the host has every key of it as well: a seat the host
  // drops ends at the last tick the host had, which may be before keys a joiner already got.
  int64_t limit = INT64_MAX;
  for (const Remote& r : remotes_) {
    if (all || !r.isHost) continue;
    for (uint8_t s = 0; s < kSeats; ++s)
      if (!Has(localSeats_, s) && !game_->Dropped(s)) limit = std::min(limit, r.acks[s]);
  }
  const bool ok = game_->TakeFinal(limit, [this](const TickRecord& t) {
    for (ReplayWriter* w : {&fileReplay_, &memoryReplay_}) {
      w->Tick(t.keys, t.readings);
      if (t.hashed) w->Checkpoint(t.tick, t.hash);
    }
  });
  if (!ok && phase_ == Phase::Playing) StopMatch("this peer lost its way: " + game_->Problem());
}

std::string Session::SaveReplay() {
  if (fileReplay_.IsOpen()) {
    if (fileReplay_.Close()) {
      savedReplay_ = options_.recordPath;
      return "; the replay is saved as " + savedReplay_;
    }
    return "; the replay " + options_.recordPath + " could not be written whole";
  }
  if (options_.replayFolder.empty()) return "";
  std::string bytes;
  if (!memoryReplay_.MemoryFile(bytes)) return "; the match was too long to keep its replay";
  const std::string name =
      "stopped-" + HashHex(matchSeed_) + "-" + kPlayerKeys[FirstSeat(localSeats_)].Name + ".tbr";
  std::string problem;
  for (const std::string& folder : {options_.replayFolder, std::string(".")}) {
    const std::string path = folder + "/" + name;
    if (WriteWholeFile(path, bytes, problem)) {
      savedReplay_ = path;
      return "; the replay is saved as " + path;
    }
  }
  return "; the replay could not be saved: " + problem;
}

void Session::PlayFrame(const KeyState& keys) {
  RollbackGame& game = *game_;
  // Ahead of everyone by more than a tick, on average: leave one frame out, at most once
  // a second, so that the others catch up without anyone being always behind.
  double ahead = 0;
  bool measured = false;
  for (const Remote& r : remotes_) {
    if (!r.welcomed || r.roundTripMs < 0) continue;
    ahead = measured ? std::min(ahead, r.advantage) : r.advantage;
    measured = true;
  }
  const int64_t ticksPerSecond = 1000000 / options_.microsPerTick;
  const bool drift = measured && ahead > 1.0 && game.Tick() - lastDriftTick_ >= ticksPerSecond &&
                     game.CanAdvance();
  const bool advance = !drift && game.CanAdvance();
  if (!game.Reconcile(!advance)) return StopMatch("this peer lost its way: " + game.Problem());
  if (drift) {
    lastDriftTick_ = game.Tick();
    ++stats_.driftFrames;
    return;
  }
  if (!advance) {
    if (options_.lastTick == 0 || game.Tick() < options_.lastTick) ++stats_.waitedFrames;
    return;
  }
  TickKeys local{};
  const bool single = SeatCount(localSeats_) == 1;
  for (int s = 0; s < kSeats; ++s) {
    if (!Has(localSeats_, s)) continue;
    if (single) {
      // One player here: any of the four key sets (and so any controller) steers the seat.
      for (const PlayerKeys& table : kPlayerKeys)
        local[s] = static_cast<uint8_t>(local[s] | MaskFromKeys(keys, table));
    } else {
      local[s] = MaskFromKeys(keys, kPlayerKeys[s]);
    }
  }
  game.Advance(local);
}

void Session::SendInputs() {
  RollbackGame& game = *game_;
  for (Remote& r : remotes_) {
    if (!r.welcomed) continue;
    Message m;
    m.type = Type::Inputs;
    m.tick = static_cast<uint32_t>(game.Tick());
    m.sentMs = NowMs() == 0 ? 1 : NowMs();
    m.echoMs = r.echoMs;
    for (int s = 0; s < kSeats; ++s) m.acks[s] = static_cast<uint32_t>(game.Known(s));
    // The host passes every seat's keys on; a joiner sends its own.
    const uint8_t sending =
        options_.host ? static_cast<uint8_t>(kAllSeats & ~r.seats) : localSeats_;
    for (uint8_t s = 0; s < kSeats; ++s) {
      if (!Has(sending, s)) continue;
      const int64_t known = game.Known(s);
      int64_t from = r.acks[s] + 1;
      // Keys that old are no longer kept; the other side has been silent too long anyway.
      if (from <= known - RollbackGame::kKeyRing / 2) continue;
      int64_t to = std::min(known, from + kMaxRun - 1);
      if (to < from) continue;
      KeyRun run;
      run.seat = s;
      run.first = static_cast<uint32_t>(from);
      for (int64_t t = from; t <= to; ++t) run.keys.push_back(game.KeysOf(s, t));
      m.runs.push_back(std::move(run));
    }
    SendTo(r, m, Delivery::Unreliable);
  }
}

void Session::HandleInputs(Remote& r, const Message& m) {
  RollbackGame& game = *game_;
  if (m.echoMs != 0) {
    double sample = static_cast<double>(static_cast<uint32_t>(NowMs() - m.echoMs));
    if (sample < 60000)
      r.roundTripMs = r.roundTripMs < 0 ? sample : 0.9 * r.roundTripMs + 0.1 * sample;
  }
  // Replies echo the newest time seen, so an old or repeated message cannot fake a round trip.
  if (static_cast<int32_t>(m.sentMs - r.echoMs) > 0 || r.echoMs == 0) r.echoMs = m.sentMs;
  if (r.roundTripMs >= 0) {
    const double oneWayTicks = r.roundTripMs * 500.0 / static_cast<double>(options_.microsPerTick);
    const double theirs = static_cast<double>(m.tick) + oneWayTicks;
    const double sample = static_cast<double>(game.Tick()) - theirs;
    r.advantage = 0.9 * r.advantage + 0.1 * sample;
  }
  for (int s = 0; s < kSeats; ++s)
    r.acks[s] = std::max(r.acks[s], std::min<int64_t>(m.acks[s], game.Known(s)));
  for (const KeyRun& run : m.runs) {
    // A joiner speaks only for its own seats; the host for anyone's but ours.
    if (!Has(r.seats, run.seat) || Has(localSeats_, run.seat)) continue;
    game.AddKeys(run.seat, run.first, run.keys.data(), run.keys.size());
  }
}

void Session::HandleHash(Remote& r, const Message& m) {
  if (r.direct || !Has(r.seats, m.seat) || Has(localSeats_, m.seat)) return;
  const int64_t tick = m.tick;
  // Only hashes near our own game are kept; older or wildly early ones are dropped.
  if (tick + static_cast<int64_t>(kHashesKept * kHashEvery) < nextHash_ ||
      tick > game_->Tick() + static_cast<int64_t>(kHashesKept * kHashEvery))
    return;
  r.hashes[tick] = {m.hash, m.drops};
  while (r.hashes.size() > kHashesKept) r.hashes.erase(r.hashes.begin());
  auto own = ownHashes_.find(tick);
  if (own != ownHashes_.end()) CompareHash(tick, own->second, m.hash, m.drops, r.seats);
}

void Session::CompareHash(int64_t tick, uint64_t mine, uint64_t theirs, uint8_t theirDrops,
                          uint8_t seats) {
  // A hash taken before a drop this end has seen may be of keys the host never had; the
  // sender takes it again.
  if (theirDrops != drops_ || mine == theirs) return;
  StopMatch("the games differ at tick " + std::to_string(tick) + " (" +
            SeatNames(seats & ~localSeats_) + " and ours); the match stopped");
}

void Session::CheckHashes() {
  RollbackGame& game = *game_;
  // The game keeps the hashes of the last few hundred ticks only; older ones are passed by.
  const int64_t oldest = game.Synced() - RollbackGame::kHashesKept * kHashEvery;
  if (nextHash_ <= oldest) nextHash_ = (oldest / kHashEvery + 1) * kHashEvery;
  uint64_t hash = 0;
  while (phase_ == Phase::Playing && game.FinalHash(nextHash_, hash)) {
    const int64_t tick = nextHash_;
    nextHash_ += kHashEvery;
    ownHashes_[tick] = hash;
    while (ownHashes_.size() > kHashesKept) ownHashes_.erase(ownHashes_.begin());
    Message m;
    m.type = Type::Hash;
    m.tick = static_cast<uint32_t>(tick);
    m.seat = static_cast<uint8_t>(FirstSeat(localSeats_));
    m.hash = hash;
    m.drops = drops_;
    for (Remote& r : remotes_) {
      if (r.welcomed && !r.direct) SendTo(r, m, Delivery::Reliable);
    }
    for (Remote& r : remotes_) {
      if (r.direct) continue;
      auto theirs = r.hashes.find(tick);
      if (theirs == r.hashes.end()) continue;
      CompareHash(tick, hash, theirs->second.first, theirs->second.second, r.seats);
      if (phase_ != Phase::Playing) return;
    }
  }
}

void Session::DropRemote(Remote& r, const std::string& why) {
  if (!options_.host) {
    End("lost the host: " + why);
    return;
  }
  const uint8_t seats = r.seats;
  const LinkId link = r.link;
  transport_.Close(link);
  RemoveRemote(link);
  for (uint8_t s = 0; s < kSeats; ++s) {
    if (!Has(seats, s)) continue;
    const int64_t last = game_->Known(s);
    game_->DropSeat(s, last);
    droppedAfter_[s] = last;
    ++drops_;
    Message drop;
    drop.type = Type::Drop;
    drop.seat = s;
    drop.tick = static_cast<uint32_t>(last);
    for (Remote& other : remotes_)
      if (other.welcomed) SendTo(other, drop, Delivery::Reliable);
  }
  notices_.push_back(SeatNames(seats) + " " + why + " and left the match");
}

void Session::StopMatch(const std::string& reason) {
  Message stop;
  stop.type = Type::Stop;
  stop.text = reason.substr(0, kMaxText);
  for (Remote& r : remotes_)
    if (r.welcomed) SendTo(r, stop, Delivery::Reliable);
  End(reason, true);
}

void Session::End(const std::string& reason, bool fault) {
  if (phase_ == Phase::Ended) return;
  const bool played = phase_ == Phase::Playing;
  phase_ = Phase::Ended;
  endReason_ = reason;
  if (played) {
    // Every tick this peer has all keys for goes into the replay: nothing can change it now.
    RecordFinal(true);
    if (fault) endReason_ += SaveReplay();
    fileReplay_.Close();
  }
  notices_.push_back(endReason_);
  transport_.Flush();
}

}  // namespace tb::net
