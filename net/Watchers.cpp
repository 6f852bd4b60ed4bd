// Spectators: the host lets them in at any time, keeps every final tick's keys for them and
// sends each what it lacks; a spectator plays those keys as they come, never guessing, and
// never holds up the players (the host only ever sends to it, and lets it go when silent).
#include <algorithm>

#include "net/Session.h"

namespace tb::net {

namespace {

// Final ticks kept for spectators that come late (about eleven hours, 8 MiB).
constexpr size_t kMaxWatchTicks = size_t{1} << 21;
// Messages of keys to one spectator in a frame: its window of keys ahead of its game.
constexpr int kWatchParts = RollbackGame::kKeyRing / 2 / kMaxRun;
// A spectator further behind than this plays the ticks up to kWatchBehind unseen, at most
// kWatchCatchUp in a frame; closer, one tick a frame.
constexpr int64_t kWatchSlack = 10;
constexpr int64_t kWatchBehind = 3;
constexpr int64_t kWatchCatchUp = 64;

}  // namespace

int Session::Watchers() const {
  if (!options_.host) return watchers_;
  int n = 0;
  for (const Remote& r : remotes_) n += r.watcher && r.welcomed ? 1 : 0;
  return n;
}

Message Session::WatcherStart() const {
  // The joiners' addresses and the token of their direct links are none of its business.
  Message start = start_;
  start.token = 0;
  start.peers.clear();
  return start;
}

void Session::AdmitWatcher(Remote& r) {
  if (Watchers() >= kMaxWatchers) return Refuse(r, kWatchersFull);
  if (finalKeys_.size() >= kMaxWatchTicks * kSeats)
    return Refuse(r, "the match is too long to follow from its start");
  r.welcomed = true;
  r.lastHeardUs = nowUs_;
  transport_.Confirm(r.link);
  Message welcome;
  welcome.type = Type::Admit;
  welcome.proof = Prove(key_, Prover::Host, r.hello.nonce, r.challenge);
  SendTo(r, welcome, Delivery::Reliable);
  notices_.push_back("a spectator came to watch");
  BroadcastLobby();
  if (phase_ != Phase::Playing) return;
  // Late: the match as it began, and the seats that left since; the keys follow.
  SendTo(r, WatcherStart(), Delivery::Reliable);
  for (uint8_t s = 0; s < kSeats; ++s) {
    if (droppedAfter_[s] < 0) continue;
    Message drop;
    drop.type = Type::Drop;
    drop.seat = s;
    drop.tick = static_cast<uint32_t>(droppedAfter_[s]);
    SendTo(r, drop, Delivery::Reliable);
  }
}

void Session::RemoveWatcher(Remote& r, const std::string& why) {
  transport_.Close(r.link);
  RemoveRemote(r.link);
  notices_.push_back("a spectator left" + (why.empty() ? std::string() : " (" + why + ")"));
  BroadcastLobby();
}

void Session::LogFinal(int64_t tick) {
  const int64_t logged = static_cast<int64_t>(finalKeys_.size() / kSeats);
  if (tick != logged + 1 || finalKeys_.size() >= kMaxWatchTicks * kSeats) return;
  for (uint8_t s = 0; s < kSeats; ++s) finalKeys_.push_back(game_->KeysOf(s, tick));
}

bool Session::SendToWatcher(Remote& r) {
  const int64_t logged = static_cast<int64_t>(finalKeys_.size() / kSeats);
  // Its acknowledgements say what it has; everything after goes again until it has it, a
  // window at a time, so nothing piles up for a spectator that does not keep up.
  for (int part = 0; part < kWatchParts; ++part) {
    Message m;
    m.type = Type::Inputs;
    m.tick = static_cast<uint32_t>(game_->Tick());
    m.sentMs = NowMs() == 0 ? 1 : NowMs();
    m.echoMs = r.echoMs;
    for (int s = 0; s < kSeats; ++s) m.acks[s] = static_cast<uint32_t>(game_->Known(s));
    for (uint8_t s = 0; s < kSeats; ++s) {
      if (!Has(taken_, s)) continue;
      const int64_t last = droppedAfter_[s] >= 0 ? std::min(logged, droppedAfter_[s]) : logged;
      const int64_t from = r.acks[s] + 1 + int64_t{part} * kMaxRun;
      const int64_t to = std::min(last, from + kMaxRun - 1);
      if (to < from) continue;
      KeyRun run;
      run.seat = s;
      run.first = static_cast<uint32_t>(from);
      for (int64_t t = from; t <= to; ++t)
        run.keys.push_back(finalKeys_[static_cast<size_t>(t - 1) * kSeats + s]);
      m.runs.push_back(std::move(run));
    }
    if (part == 0 && m.runs.empty() && finalKeys_.size() >= kMaxWatchTicks * kSeats) {
      // It has all that is kept, and no more will be.
      Message stop;
      stop.type = Type::Stop;
      stop.text = "the match is too long to follow further";
      SendTo(r, stop, Delivery::Reliable);
      return false;
    }
    if (part > 0 && m.runs.empty()) break;
    SendTo(r, m, Delivery::Unreliable);
  }
  return true;
}

void Session::FollowFrame() {
  RollbackGame& game = *game_;
  // Nothing is guessed here; only a host's late word of a drop can make a tick play again.
  if (!game.Reconcile(false)) return StopMatch("this peer lost its way: " + game.Problem());
  int64_t ready = game.Complete() - game.Tick();
  if (options_.lastTick > 0) ready = std::min(ready, options_.lastTick - game.Tick());
  if (ready <= 0) {
    if (options_.lastTick == 0 || game.Tick() < options_.lastTick) ++stats_.waitedFrames;
    return;
  }
  const int64_t n = ready > kWatchSlack ? std::min(ready - kWatchBehind, kWatchCatchUp) : 1;
  for (int64_t i = 1; i <= n && phase_ == Phase::Playing; ++i) {
    game.Advance(TickKeys{}, i == n);
    if (i < n) ++stats_.caughtUpTicks;
    // The tick records are kept for a few dozen ticks only: each goes to the replay at once.
    RecordFinal(false);
  }
}

}  // namespace tb::net
