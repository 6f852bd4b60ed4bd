// The match once started: pacing against the other peers, keys out and in, world hashes
// compared, the final ticks recorded, and the end of it, quiet or on a fault.
#include <algorithm>

#include "net/Session.h"
#include "shell/Controls.h"
#include "state/WorldHash.h"

namespace tb::net {

namespace {

// Remote hashes older than this many comparisons are forgotten.
constexpr size_t kHashesKept = 16;

}  // namespace

void Session::Begin(const Message& match) {
  const uint8_t seats = match.seats;
  lastStart_ = match;
  ++matchNumber_;
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
  std::string notice;
  if (!recording_.Open(header, options_.recordPath, notice)) notices_.push_back(notice);
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
    recording_.Tick(t);
    if (options_.host) LogFinal(t.tick);
  });
  if (!ok && phase_ == Phase::Playing) StopMatch("this peer lost its way: " + game_->Problem());
}

std::string Session::SaveReplay() {
  const std::string who = options_.watch ? "spectator" : kPlayerKeys[FirstSeat(localSeats_)].Name;
  const std::string name = "stopped-" + HashHex(matchSeed_) + "-" + who + ".tbr";
  return recording_.Save(options_.replayFolder, name);
}

void Session::PlayFrame(const KeyState& keys) {
  if (options_.watch) return FollowFrame();
  RollbackGame& game = *game_;
  // Ahead of everyone by more than a tick, on average: leave one frame out, at most once
  // a second, so that the others catch up without anyone being always behind.
  double ahead = 0;
  bool measured = false;
  for (const Remote& r : remotes_) {
    // Spectators are behind by design and never set anyone's pace.
    if (!r.welcomed || r.roundTripMs < 0 || r.watcher) continue;
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
  std::vector<LinkId> done;
  for (Remote& r : remotes_) {
    if (!r.welcomed) continue;
    if (r.watcher) {
      if (!SendToWatcher(r)) done.push_back(r.link);
      continue;
    }
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
  for (LinkId link : done)
    if (Remote* r = Find(link)) RemoveWatcher(*r, "has seen all that is kept of the match");
}

void Session::HandleInputs(Remote& r, const Message& m) {
  RollbackGame& game = *game_;
  // No player plays that far past us (a spectator is behind by design): such keys are late
  // ones of a match before.
  if (!options_.watch && m.tick > game.Tick() + RollbackGame::kKeyRing) return;
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

void Session::HandleDrop(const Message& m) {
  if (Has(localSeats_, m.seat) || droppedAfter_[m.seat] >= 0) return;
  game_->DropSeat(m.seat, m.tick);
  droppedAfter_[m.seat] = m.tick;
  ++drops_;
  // Hashes of later ticks may have been taken with keys the host never had: take them again
  // once the world has gone back.
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
    // A spectator checks the host's world against its own, and keeps its own to itself.
    for (Remote& r : remotes_) {
      if (r.welcomed && !r.direct && !options_.watch) SendTo(r, m, Delivery::Reliable);
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

void Session::DropSilent() {
  // Links not yet let in are strangers, closed in their own time without a word to anyone.
  std::vector<LinkId> silent;
  for (const Remote& r : remotes_)
    if (r.welcomed && !r.direct && nowUs_ - r.lastHeardUs > options_.silenceUs)
      silent.push_back(r.link);
  for (LinkId link : silent) {
    if (Remote* r = Find(link)) DropRemote(*r, "not heard from for 3 seconds");
    if (phase_ != Phase::Playing) break;
  }
}

void Session::DropRemote(Remote& r, const std::string& why) {
  if (r.watcher) return RemoveWatcher(r, why);
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
  notices_.push_back(SeatNames(seats) + " left the match" + (why.empty() ? "" : " (" + why + ")"));
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
    recording_.Close();
  }
  notices_.push_back(endReason_);
  transport_.Flush();
}

}  // namespace tb::net
