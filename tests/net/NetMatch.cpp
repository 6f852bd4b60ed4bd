#include "tests/net/NetMatch.h"

#include <optional>
#include <sstream>

#include "app/sim/SimPlatform.h"
#include "match/Rounds.h"
#include "shell/Controls.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "state/Replay.h"
#include "state/ReplayPlayer.h"
#include "state/WorldHash.h"

namespace tbtest {

using tb::net::kSeats;

KeyPlan KeyPlan::Random(uint64_t seed, int64_t ticks) {
  static const char* kKeyNames[5] = {"Right", "Left", "Forward", "Backward", "Fire"};
  tb::Pcg32 random(seed, true);
  std::ostringstream text;
  for (int s = 0; s < kSeats; ++s) {
    int64_t t = 1;
    while (t <= ticks) {
      // Holds of a fifth of a second to two seconds; a third of them hold nothing.
      int64_t length = 10 + static_cast<int64_t>(random.Draw() * 90.0f);
      int64_t last = std::min(ticks, t + length - 1);
      uint32_t mask = static_cast<uint32_t>(random.Draw() * 32.0f);
      if (random.Draw() < 0.33f) mask = 0;
      if (mask != 0) {
        text << t << '-' << last;
        for (int b = 0; b < 5; ++b)
          if (mask & (1u << b)) text << ' ' << tb::kPlayerKeys[s].Name << '.' << kKeyNames[b];
        text << '\n';
      }
      t = last + 1;
    }
  }
  KeyPlan plan;
  plan.script = text.str();
  tb::sim::Script script;
  std::string error;
  if (!tb::sim::ParseScript(plan.script, script, error)) throw std::runtime_error(error);
  tb::sim::ScriptCursor cursor(script);
  plan.byTick.resize(static_cast<size_t>(ticks) + 1);
  tb::sim::ScriptedKeys held;
  tb::sim::KeySet set;
  for (int64_t t = 1; t <= ticks; ++t) {
    cursor.Advance(t, set);
    held.Set(set);
    for (int s = 0; s < kSeats; ++s)
      plan.byTick[t][s] = tb::net::MaskFromKeys(held, tb::kPlayerKeys[s]);
  }
  return plan;
}

tb::sim::KeySet KeyPlan::Held(int64_t tick, const std::array<int64_t, 4>& droppedAfter) const {
  tb::sim::KeySet set;
  for (int s = 0; s < kSeats; ++s) {
    if (droppedAfter[s] >= 0 && tick > droppedAfter[s]) continue;
    const tb::PlayerKeys& k = tb::kPlayerKeys[s];
    const uint8_t codes[5] = {k.Right, k.Left, k.Forward, k.Backward, k.Fire};
    for (int b = 0; b < 5; ++b)
      if (byTick[tick][s] & (1u << b)) set.set(codes[b]);
  }
  return set;
}

bool PlanKeys::IsKeyDown(uint8_t virtualKey) const {
  tb::net::RollbackGame* game = session == nullptr ? nullptr : session->Game();
  if (plan == nullptr || game == nullptr) return false;
  const int64_t next = game->Tick() + 1;
  if (next >= static_cast<int64_t>(plan->byTick.size())) return false;
  tb::net::TickKeys keys{};
  for (int s = 0; s < kSeats; ++s)
    if (game->LocalSeats() & (1u << s)) keys[s] = plan->byTick[next][s];
  tb::net::MaskKeyState state;
  state.Set(keys);
  return state.IsKeyDown(virtualKey);
}

PlayedBack PlayBack(const std::string& bytes) {
  PlayedBack out;
  tb::Replay replay;
  if (!tb::ParseReplay(bytes, replay, out.problem)) return out;
  out.ticks = replay.Ticks();
  out.hashes = replay.Hashes;
  out.rounds = replay.Rounds;
  tb::sim::NullSurface surface(static_cast<float>(replay.Width), static_cast<float>(replay.Height));
  tb::match::ScoredCaption scored(surface);
  SilentSound sound;
  tb::ReplayPlayer player(std::move(replay));
  tb::MainFrm form(scored, player.Keys(), sound, player.GameClock(), player.Random(), ".");
  std::optional<tb::match::Rounds> rounds;
  if (player.Data().Rounds > 0) {
    rounds.emplace(player.Data().Rounds, scored, player.Data().RoundTicks);
    player.SetRules(&*rounds);
  }
  player.Start(form);
  while (!player.AtEnd() && player.Step(form, out.problem)) {
  }
  out.finalHash = tb::WorldHash(form);
  if (rounds) out.scores = rounds->Scores();
  return out;
}

uint64_t PlainGameHash(uint64_t seed, double clockStart, const KeyPlan& plan, int64_t ticks,
                       const std::array<int64_t, 4>& droppedAfter) {
  tb::sim::NullSurface surface;
  tb::sim::ScriptedKeys keys;
  SilentSound sound;
  tb::sim::SimClock clock(clockStart);
  tb::Pcg32 random(seed, true);
  tb::MainFrm form(surface, keys, sound, clock, random, ".");
  form.Load();
  for (int64_t t = 1; t <= ticks; ++t) {
    clock.SetTick(t);
    keys.Set(plan.Held(t, droppedAfter));
    form.Timer1Tick();
  }
  return tb::WorldHash(form);
}

NetMatch::NetMatch(uint64_t netSeed, int peers, const tb::net::LinkConditions& conditions,
                   tb::net::SessionOptions host, int64_t lastTick)
    : net_(netSeed), conditions_(conditions), lastTick_(lastTick) {
  net_.SetConditions(conditions);
  host.host = true;
  host.lastTick = lastTick;
  for (int i = 0; i < peers; ++i) {
    auto p = std::make_unique<NetPeer>();
    p->node = i;
    p->transport = &net_.AddNode();
    tb::net::SessionOptions o = host;
    if (i > 0) {
      o.host = false;
      o.seats = 0;
    }
    // One file per peer.
    if (!o.recordPath.empty()) o.recordPath += "." + std::to_string(i);
    p->session = std::make_unique<tb::net::Session>(*p->transport, o, p->screen, p->sound);
    // Frames of different machines fall at different moments of the 20 ms.
    p->phaseUs = static_cast<int64_t>(i) * 7000 % 20000;
    p->nextFrameUs = p->phaseUs;
    peers_.push_back(std::move(p));
  }
}

void NetMatch::FrameOf(NetPeer& p, int64_t now, const KeyPlan* plan) {
  net_.AdvanceTo(now);
  p.planKeys.plan = plan;
  p.planKeys.session = p.session.get();
  p.session->Frame(now, p.planKeys);
  p.nextFrameUs += p.frameUs;
}

bool NetMatch::Gather(int64_t limitUs) {
  // One joiner after another, so that they come in a known order.
  for (size_t i = 1; i < peers_.size(); ++i) {
    if (peers_[i]->session->Watching()) continue;
    net_.Connect(0, static_cast<int>(i), conditions_);
    int64_t until = Now() + 400000;
    while (Now() < until) StepEarliest();
  }
  return Now() < limitUs && peers_[0]->session->Start();
}

int NetMatch::Watch(tb::net::SessionOptions o, const tb::net::LinkConditions* conditions) {
  const int i = static_cast<int>(peers_.size());
  auto p = std::make_unique<NetPeer>();
  p->node = i;
  p->transport = &net_.AddNode();
  o.host = false;
  o.watch = true;
  o.seats = 0;
  o.lastTick = lastTick_;
  if (!o.recordPath.empty()) o.recordPath += "." + std::to_string(i);
  p->session = std::make_unique<tb::net::Session>(*p->transport, o, p->screen, p->sound);
  p->phaseUs = static_cast<int64_t>(i) * 7000 % 20000;
  p->nextFrameUs = (Now() / 20000 + 1) * 20000 + p->phaseUs;
  net_.Connect(0, i, conditions != nullptr ? *conditions : conditions_, &p->hostLink);
  peers_.push_back(std::move(p));
  return i;
}

void NetMatch::Settle(int frames) {
  for (int f = 0; f < frames; ++f) {
    const int64_t now = Now() + 20000;
    net_.AdvanceTo(now);
    for (auto& p : peers_)
      if (p->alive) p->session->Frame(now, p->keys);
  }
}

void NetMatch::StepEarliest() {
  NetPeer* next = nullptr;
  for (auto& p : peers_)
    if (p->alive && (next == nullptr || p->nextFrameUs < next->nextFrameUs)) next = p.get();
  if (next != nullptr) FrameOf(*next, next->nextFrameUs, nullptr);
}

void NetMatch::Kill(int peer) {
  peers_[peer]->alive = false;
  net_.Kill(peers_[peer]->node);
}

bool NetMatch::Finished() const {
  for (const auto& p : peers_) {
    if (!p->alive) continue;
    if (p->session->State() != tb::net::Phase::Playing) return true;  // ended: nothing more
    tb::net::RollbackGame* g = p->session->Game();
    if (g->Tick() < lastTick_ || g->Synced() < lastTick_ || !g->Settled()) return false;
  }
  return true;
}

}  // namespace tbtest
