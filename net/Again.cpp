// After a match of rounds: the host plays again on the same links or sends everyone back to
// the start. Every peer says Again on each of its links as it moves to the next match, so
// that what still comes from the match before is told from what belongs to the new one.
#include <vector>

#include "net/Session.h"

namespace tb::net {

bool Session::PlayAgain(uint64_t seed) {
  if (!options_.host || !RoundsOver() || seed == 0) return false;
  // Seats whose player left stay empty; the rest play on as they did.
  uint8_t seats = lastStart_.seats;
  for (uint8_t s = 0; s < kSeats; ++s)
    if (droppedAfter_[s] >= 0) seats = static_cast<uint8_t>(seats & ~(1u << s));
  LetWatchersGo(seats, seed);
  Restart(seats, seed);
  return true;
}

void Session::LetWatchersGo(uint8_t seats, uint64_t seed) {
  // Spectators follow one match from its first tick: they are told, and let go.
  Message again;
  again.type = Type::Again;
  again.seats = seats;
  again.seed = seed;
  std::vector<LinkId> watchers;
  for (const Remote& r : remotes_)
    if (r.watcher) watchers.push_back(r.link);
  for (LinkId link : watchers) {
    if (Remote* r = Find(link)) {
      SendTo(*r, again, Delivery::Reliable);
      RemoveWatcher(*r, seats == 0 ? "" : "the match is played again");
    }
  }
}

bool Session::GoBack() {
  if (!options_.host || !RoundsOver()) return false;
  LetWatchersGo(0, 0);
  Message back;
  back.type = Type::Again;
  for (Remote& r : remotes_)
    if (r.welcomed && !r.direct) SendTo(r, back, Delivery::Reliable);
  wentBack_ = true;
  End("back to the start screen");
  return true;
}

void Session::HandleAgain(Remote& r, const Message& m) {
  if (options_.watch) {
    if (r.isHost && phase_ == Phase::Playing)
      End(m.seats == 0 ? "the host went back to the start screen"
                       : "the host plays the match again; watch it anew");
    return;
  }
  if (phase_ != Phase::Playing || !rounds_) return;
  if (!r.isHost) {
    // Another peer's echo: its keys from now on are of the match with that seed.
    r.againSeed = m.seed;
    r.fresh = matchNumber_ > 1 && m.seed == matchSeed_;
    return;
  }
  if (m.seats == 0) {
    wentBack_ = true;
    End("the host went back to the start screen");
    return;
  }
  // A host's word for a match that cannot follow this one is not taken: only seats that
  // played, ours among them.
  if ((m.seats & ~lastStart_.seats) != 0 || (m.seats & localSeats_) != localSeats_) return;
  pendingAgain_ = m;
  againPending_ = true;
  r.fresh = false;  // the host plays the new match already
}

void Session::Restart(uint8_t seats, uint64_t seed) {
  // The match before is whole: every tick with all keys goes into its replay.
  RecordFinal(true);
  if (phase_ != Phase::Playing) return;
  recording_.Close();
  options_.recordPath = options_.againRecordPath ? options_.againRecordPath() : "";
  againPending_ = false;
  Message start = lastStart_;
  start.seats = seats;
  start.seed = seed;
  game_.reset();
  drivers_.reset();
  rounds_.reset();
  ownHashes_.clear();
  nextHash_ = kHashEvery;
  drops_ = 0;
  droppedAfter_.fill(-1);
  botSeats_ = static_cast<uint8_t>(botSeats_ & seats);
  for (Remote& r : remotes_) {
    r.acks.fill(0);
    r.hashes.clear();
    r.advantage = 0;
    // The host's Again came before anything of the new match; the others say theirs.
    r.fresh = r.isHost || r.againSeed == seed;
  }
  if (options_.host) {
    start_ = start;  // what spectators that come now are given
    finalKeys_.clear();
  }
  Begin(start);
  Message again;
  again.type = Type::Again;
  again.seats = seats;
  again.seed = seed;
  for (Remote& r : remotes_)
    if (r.welcomed) SendTo(r, again, Delivery::Reliable);
  if (!options_.host) notices_.push_back("the host plays again");
}

}  // namespace tb::net
