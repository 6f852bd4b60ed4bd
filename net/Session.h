#pragma once
// One peer of an online match: the waiting room, then the match itself over any transport.
// The host seats the joiners, checks the password and starts the match with its seed and
// clock; during the match every peer sends its keys each frame (the host passes them on),
// drops a peer that has gone silent and compares world hashes with the others.
// A spectator follows the match without a seat: the host hands it the final keys of every
// tick from the first, and it plays them a little behind, never predicting.
// The waiting room lives in Lobby.cpp, the match once started in RunningMatch.cpp, the
// spectators' side of both in Watchers.cpp.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bots/Seats.h"
#include "match/Rounds.h"
#include "net/MatchRecording.h"
#include "net/Protocol.h"
#include "net/Rollback.h"
#include "net/SeatMask.h"
#include "net/Transport.h"

namespace tb::net {

// Why a spectator beyond the limit is refused.
inline constexpr const char* kWatchersFull = "the match has 8 spectators already";

struct SessionOptions {
  bool host = false;
  bool watch = false;  // a spectator's: follows the host's match without a seat
  uint8_t seats = 0;   // seats wanted; 0: Green for the host, the next free one for a joiner
  std::string password;
  uint64_t seed = 1;            // the host's; joiners are told
  uint64_t token = 0;           // the host's secret for direct links; 0: made from the seed
  double clockStart = 36000.0;  // the host's; joiners are told
  std::string exeFolder = ".";
  int64_t lastTick = 0;         // 0: the match goes on until closed
  int64_t silenceUs = 3000000;  // a peer not heard from this long is dropped
  // A link that has not shown it belongs to the match this long after it came is closed.
  int64_t helloUs = 5000000;
  int64_t microsPerTick = 20000;
  // The host's: computer drivers for the seats nobody took, and the rounds of the match.
  uint8_t botSeats = 0;
  bots::Level botLevel = bots::Level::Normal;
  int rounds = 0;
  int64_t roundTicks = match::Rounds::kRoundTicks;
  std::string recordPath;  // "": the final ticks are kept in memory only
  // Where the replay of each match played again goes; unset: kept in memory only.
  std::function<std::string()> againRecordPath;
  // Where the replay goes when the match stops on a fault; "": it is not saved.
  std::string replayFolder;
  std::string gameVersion;  // as the replay records it
};

enum class Phase { Joining, Waiting, Playing, Ended };

// How this peer's keys reach another seat's player.
enum class Route {
  None,         // no other player there: a free seat, one of ours, or a computer's
  Direct,       // a link of its own (the host, or a joiner that answered)
  Trying,       // both ends are dialling each other; the host passes the keys meanwhile
  ThroughHost,  // no direct link came up: the host passes the keys on
};

struct SessionStats {
  int64_t waitedFrames = 0;     // frames on which the next tick could not be played yet
  int64_t driftFrames = 0;      // frames left out to fall back in step with the others
  int64_t strangersClosed = 0;  // links closed for not showing in time that they belong
  int64_t caughtUpTicks = 0;    // a spectator's ticks played unseen to catch up
};

class Session {
 public:
  Session(Transport& transport, SessionOptions options, Surface& screen, SoundPlayer& sound);

  // One frame, every 20 ms: reads the network and, during the match, plays at most one tick
  // with the local seats' keys read from `keys`.
  void Frame(int64_t nowUs, const KeyState& keys);
  // The host starts the match (its Enter); false when not the host or not waiting.
  bool Start();
  // The host plays a match of rounds that is over again, with the same seats and rules,
  // the new `seed` (not 0) and the same links; everyone follows. False when it cannot.
  bool PlayAgain(uint64_t seed);
  // The host ends a match of rounds that is over for everyone: all go back to their start.
  bool GoBack();
  // Whether the match ended because the host went back to the start.
  bool WentBack() const { return wentBack_; }
  // Which match this is on these links: 1 for the first, one more for each played again.
  int MatchNumber() const { return matchNumber_; }
  // Whether the match is one of rounds and its last round is scored.
  bool RoundsOver() const { return phase_ == Phase::Playing && rounds_ && rounds_->Over(); }

  Phase State() const { return phase_; }
  // The line the window title shows outside the match.
  std::string Title() const;
  const std::string& EndReason() const { return endReason_; }
  // Lines worth telling the player (a peer left, the match ended), taken once.
  std::vector<std::string> TakeNotices();

  uint8_t LocalSeats() const { return localSeats_; }
  uint8_t TakenSeats() const { return taken_; }
  // How many spectators follow the match (the host counts them, the others are told).
  int Watchers() const;
  bool Watching() const { return options_.watch; }
  RollbackGame* Game() { return game_.get(); }
  const SessionStats& Stats() const { return stats_; }
  // Links to other joiners that are up, known and answering.
  int DirectLinks() const;
  // How the keys go to the player of `seat` during the match.
  Route RouteTo(int seat) const;
  // The tick after which a seat's keys ended because its player left, or -1.
  int64_t DroppedAfter(uint8_t seat) const { return droppedAfter_[seat]; }
  // The replay of the final ticks so far, as a whole file; false when it outgrew its limit.
  bool ReplayBytes(std::string& bytes) const { return recording_.MemoryFile(bytes); }
  // Where the replay was saved when the match stopped on a fault; "" otherwise.
  const std::string& SavedReplay() const { return recording_.Saved(); }
  const match::Rounds* MatchRounds() const { return rounds_.get(); }

 private:
  struct Remote {
    LinkId link = 0;
    uint8_t seats = 0;  // the seats this link speaks for
    bool welcomed = false;
    bool isHost = false;      // a joiner's link to its host
    bool direct = false;      // a link between two joiners, for keys only
    bool outgoing = false;    // a direct link this end opened
    uint8_t dialler = 0;      // a direct link's: the seats of the end that opened it
    bool heard = false;       // a message of the match came on it: the other end answers
    bool watcher = false;     // on the host: a spectator's link
    Message hello;            // a direct link's PeerHello that came before the Start; a
                              // joiner's Hello on the host; the host's Challenge on a joiner
    Nonce challenge{};        // ours to it, before it is welcomed
    bool challenged = false;  // the host has sent its challenge
    bool answered = false;    // the joiner has answered the host's challenge
    int64_t refuseAtUs = -1;  // when a try past the limit of wrong passwords is refused
    int64_t lastHeardUs = 0;
    int64_t cameUs = 0;  // when the link came up
    std::array<int64_t, kSeats> acks{};
    uint32_t echoMs = 0;
    double roundTripMs = -1;
    double advantage = 0;  // how many ticks we are ahead of it, smoothed
    std::map<int64_t, std::pair<uint64_t, uint8_t>> hashes;  // tick: hash, drops seen
    // False from a match played again until this link's Again for it came: what comes
    // before is of the match before.
    bool fresh = true;
    uint64_t againSeed = 0;  // the seed of the last Again this link sent
  };

  void Handle(const LinkEvent& e);
  void HandleMessage(Remote& r, const Message& m);
  // The host's word that a seat left the match after the tick it names.
  void HandleDrop(const Message& m);
  // Drops the peers not heard from for too long.
  void DropSilent();
  // Closes the links that have not shown in time that they belong to the match.
  void CloseStrangers();
  void HandleHello(Remote& r, const Message& m, ReadResult read, uint8_t version);
  // A joiner that has answered the challenge rightly takes its seats.
  void Seat(Remote& r);
  // The joiner's side of proving the password.
  void HandleChallenge(Remote& r, const Message& m);
  void HandleWelcome(Remote& r, const Message& m);
  // A spectator that has answered the challenge rightly is let in, and caught up if late.
  void AdmitWatcher(Remote& r);
  // The host's final keys of every seat, kept from the first tick for late spectators.
  void LogFinal(int64_t tick);
  // The host's keys to one spectator: what it lacks of the final ones, a window at a time;
  // false when it has had all that is kept and must go.
  bool SendToWatcher(Remote& r);
  // The host's Start as a spectator gets it.
  Message WatcherStart() const;
  // A spectator's frame: the ticks whose keys are all known, a few behind, faster when late.
  void FollowFrame();
  void RemoveWatcher(Remote& r, const std::string& why);
  bool AcceptPeer(Remote& r, const Message& hello);
  void ConnectPeers(const std::vector<PeerAddress>& peers);
  // A direct link to `r`'s seats is up: when the other one is up too, both ends keep the
  // one the lower seat dialled.
  void KeepOneLink(const Remote& r);
  // Tells the player once how each other joiner's keys come, and again when that changes.
  void TellRoutes();
  void CompareHash(int64_t tick, uint64_t mine, uint64_t theirs, uint8_t theirDrops, uint8_t seats);
  void HandleInputs(Remote& r, const Message& m);
  void HandleHash(Remote& r, const Message& m);
  void Refuse(Remote& r, const std::string& reason, uint8_t version = kProtocolVersion,
              bool tell = true);
  void BroadcastLobby();
  // The match begins as a Start message says.
  void Begin(const Message& start);
  void StartRecord(const Message& match);
  void RecordFinal(bool all);
  std::string SaveReplay();
  void PlayFrame(const KeyState& keys);
  void SendInputs();
  void CheckHashes();
  // Drops a peer; `why` is told in brackets after "left the match" (empty: it simply left).
  void DropRemote(Remote& r, const std::string& why);
  void StopMatch(const std::string& reason);
  // The host's Again, or another peer's echo of it.
  void HandleAgain(Remote& r, const Message& m);
  // The next match on the same links, with `seats` and `seed`; said on every link.
  void Restart(uint8_t seats, uint64_t seed);
  // The host's spectators are told of the Again and let go.
  void LetWatchersGo(uint8_t seats, uint64_t seed);
  // Ends this peer's match; a fault (a stop) saves the replay for diagnosis.
  void End(const std::string& reason, bool fault = false);
  void SendTo(Remote& r, const Message& m, Delivery d);
  void RemoveRemote(LinkId link);
  Remote* Find(LinkId link);
  void ShowTitle();
  uint32_t NowMs() const { return static_cast<uint32_t>(nowUs_ / 1000); }

  Transport& transport_;
  SessionOptions options_;
  Surface& screen_;
  SoundPlayer& sound_;
  Phase phase_ = Phase::Joining;
  int64_t nowUs_ = 0;
  uint8_t localSeats_ = 0;
  uint8_t taken_ = 0;
  std::vector<Remote> remotes_;
  std::unique_ptr<RollbackGame> game_;
  std::string endReason_;
  std::vector<std::string> notices_;
  std::string shownTitle_;
  std::map<int64_t, uint64_t> ownHashes_;
  int64_t nextHash_ = kHashEvery;
  int64_t lastDriftTick_ = 0;
  uint64_t token_ = 0;
  uint8_t peerSeats_ = 0;               // joiners' seats that may open direct links to us
  std::vector<uint8_t> peerGroups_;     // each other joiner's seats
  int64_t dialUntilUs_ = 0;             // till then a missing direct link is still being tried
  uint8_t toldDirect_ = 0;              // seats the player was told are linked directly
  uint8_t toldHost_ = 0;                // seats the player was told go through the host
  std::array<int64_t, kSeats> lostUs_;  // when a seat's direct link ended; -1: it did not
  uint8_t drops_ = 0;                   // seats dropped so far
  std::array<int64_t, kSeats> droppedAfter_;
  SessionStats stats_;
  uint64_t matchSeed_ = 0;
  uint8_t botSeats_ = 0;  // the host's seats driven by the computer
  MaskKeyState noKeys_;
  std::unique_ptr<bots::Seats> drivers_;
  std::unique_ptr<match::Rounds> rounds_;
  MatchRecording recording_;
  Message start_;                   // the host's Start, for spectators that come late
  std::vector<uint8_t> finalKeys_;  // the host's: kSeats keys per final tick, from tick 1
  int watchers_ = 0;                // a player's or spectator's: the host's last count
  Message lastStart_;               // the Start of this match, what a match played again repeats
  Message pendingAgain_;            // the host's Again, waiting for the end of our match
  bool againPending_ = false;
  bool wentBack_ = false;
  int matchNumber_ = 0;
  PasswordKey key_{};
  WrongTries wrongTries_;
};

}  // namespace tb::net
