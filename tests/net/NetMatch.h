#pragma once
// Peers of one online match in one process, on the in-process network, with key scripts
// and a virtual clock; and the same keys played by a plain game window for comparison.
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/sim/NullSurface.h"
#include "app/sim/Script.h"
#include "net/Rollback.h"
#include "net/Session.h"
#include "net/SimNetwork.h"

namespace tbtest {

// Per seat and tick, the keys a generated key script holds.
struct KeyPlan {
  std::string script;                     // the script text, every seat's directives
  std::vector<tb::net::TickKeys> byTick;  // [tick], tick 0 unused
  // A script of random holds for every seat, `ticks` long.
  static KeyPlan Random(uint64_t seed, int64_t ticks);
  // The keys the plain game gets: a dropped seat holds nothing after its last tick.
  tb::sim::KeySet Held(int64_t tick, const std::array<int64_t, 4>& droppedAfter) const;
};

// What playing a replay file back gave.
struct PlayedBack {
  std::string problem;  // "" when it played to its end as recorded
  int64_t ticks = 0;
  std::vector<std::pair<int64_t, uint64_t>> hashes;  // as recorded, every one checked
  uint64_t finalHash = 0;
  int32_t rounds = 0;
  std::array<int, 4> scores{};  // of a match of rounds, at the end
};
PlayedBack PlayBack(const std::string& bytes);

// Plays the keys on a game window directly, without drawing; returns the world hash.
uint64_t PlainGameHash(uint64_t seed, double clockStart, const KeyPlan& plan, int64_t ticks,
                       const std::array<int64_t, 4>& droppedAfter);

class SilentSound final : public tb::SoundPlayer {
 public:
  void PlaySoundFile(const std::string&) override { ++played; }
  int64_t played = 0;
};

// The keys of a peer's own seats on the tick it is about to play, as the plan says.
class PlanKeys final : public tb::KeyState {
 public:
  bool IsKeyDown(uint8_t virtualKey) const override;
  const KeyPlan* plan = nullptr;
  tb::net::Session* session = nullptr;
};

struct NetPeer {
  int node = 0;
  tb::net::SimTransport* transport = nullptr;
  tb::sim::NullSurface screen;
  SilentSound sound;
  std::unique_ptr<tb::net::Session> session;
  tb::net::MaskKeyState keys;  // no keys
  PlanKeys planKeys;
  int64_t phaseUs = 0;  // where in the 20 ms this peer's frames fall
  int64_t nextFrameUs = 0;
  int64_t frameUs = 20000;  // this machine's frame period
  bool alive = true;
  tb::net::LinkId hostLink = 0;  // a spectator's link to the host
};

// A host and joiners, each linked to the host.
class NetMatch {
 public:
  NetMatch(uint64_t netSeed, int peers, const tb::net::LinkConditions& conditions,
           tb::net::SessionOptions host, int64_t lastTick);
  // Runs the virtual clock until every live peer has played and confirmed the last tick,
  // or until `limitUs`; `onFrame` runs before each frame. False on the time limit.
  template <class Fn>
  bool Run(const KeyPlan& plan, int64_t limitUs, Fn&& onFrame);
  bool Run(const KeyPlan& plan, int64_t limitUs) {
    return Run(plan, limitUs, [](NetPeer&, int64_t) {});
  }
  // Joins the peers one after another, then the host starts (spectators are not waited for).
  bool Gather(int64_t limitUs);
  // A spectator with the host's password, linked to the host now (on `conditions` when given);
  // it plays to the last tick and records like the others. Returns its index in Peers().
  int Watch(tb::net::SessionOptions host, const tb::net::LinkConditions* conditions = nullptr);
  // Frames with no keys, for what is still in flight to arrive.
  void Settle(int frames);
  void Kill(int peer);
  std::vector<std::unique_ptr<NetPeer>>& Peers() { return peers_; }
  tb::net::SimNetwork& Network() { return net_; }
  int64_t Now() const { return net_.Now(); }
  bool Finished() const;

 private:
  void StepEarliest();
  void FrameOf(NetPeer& p, int64_t now, const KeyPlan* plan);
  tb::net::SimNetwork net_;
  std::vector<std::unique_ptr<NetPeer>> peers_;
  tb::net::LinkConditions conditions_;
  int64_t lastTick_;
};

template <class Fn>
bool NetMatch::Run(const KeyPlan& plan, int64_t limitUs, Fn&& onFrame) {
  while (!Finished()) {
    NetPeer* next = nullptr;
    for (auto& p : peers_)
      if (p->alive && (next == nullptr || p->nextFrameUs < next->nextFrameUs)) next = p.get();
    if (next == nullptr || next->nextFrameUs > limitUs) return false;
    onFrame(*next, next->nextFrameUs);
    if (next->alive) FrameOf(*next, next->nextFrameUs, &plan);
  }
  return true;
}

}  // namespace tbtest
