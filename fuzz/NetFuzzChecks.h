#pragma once
// What the network fuzzer checks, shared with the test that replays the inputs it broke on:
// any bytes, as messages to a host and to a joiner in the middle of a match, are read or
// refused without harm, and a message that is read writes back to bytes that read the same.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "app/sim/NullSurface.h"
#include "net/Protocol.h"
#include "net/Session.h"

namespace tbfuzz {

// Hands the session whatever events were queued; what it sends goes nowhere but the last
// message is kept, for the handshake.
class QueuedTransport final : public tb::net::Transport {
 public:
  void Send(tb::net::LinkId, const std::string& bytes, tb::net::Delivery) override { last = bytes; }
  bool Poll(tb::net::LinkEvent& e) override {
    if (queue.empty()) return false;
    e = std::move(queue.front());
    queue.pop_front();
    return true;
  }
  void Close(tb::net::LinkId) override {}
  void Receive(const std::string& bytes) {
    queue.push_back({tb::net::LinkEvent::Received, 1, bytes});
  }
  // The last message sent, read back.
  tb::net::Message LastSent() const {
    tb::net::Message m;
    RequireNetRead(tb::net::Decode(last, m) == tb::net::ReadResult::Ok);
    return m;
  }
  static void RequireNetRead(bool ok) {
    if (!ok) __builtin_trap();
  }
  std::deque<tb::net::LinkEvent> queue;
  std::string last;
};

class MuteSound final : public tb::SoundPlayer {
 public:
  void PlaySoundFile(const std::string&) override {}
};

class NoKeys final : public tb::KeyState {
 public:
  bool IsKeyDown(uint8_t) const override { return false; }
};

inline void RequireNet(bool ok) {
  if (!ok) __builtin_trap();
}

inline void CheckMessages(const uint8_t* data, size_t size) {
  using namespace tb::net;
  // The input is a run of messages, each after a one-byte length.
  std::deque<std::string> messages;
  for (size_t at = 0; at < size;) {
    size_t n = data[at++];
    n = std::min(n, size - at);
    messages.emplace_back(reinterpret_cast<const char*>(data + at), n);
    at += n;
  }
  for (const std::string& bytes : messages) {
    Message m;
    if (Decode(bytes, m) == ReadResult::Ok) {
      std::string again = Encode(m);
      Message back;
      RequireNet(Decode(again, back) == ReadResult::Ok && Encode(back) == again);
    }
  }
  // A host with Red joined, and a joiner that has been seated and started, both playing.
  tb::sim::NullSurface screen;
  MuteSound sound;
  NoKeys keys;
  QueuedTransport hostNet, joinerNet;
  SessionOptions hostOptions;
  hostOptions.host = true;
  Session host(hostNet, hostOptions, screen, sound);
  // Both sides of the handshake, with the empty password.
  PasswordKey key{};
  RequireNet(DeriveKey("", key));
  Message hello;
  hello.type = Type::Hello;
  hello.nonce = FreshNonce();
  hostNet.queue.push_back({LinkEvent::Connected, 1, {}});
  hostNet.Receive(Encode(hello));
  host.Frame(0, keys);
  Message answer;
  answer.type = Type::Answer;
  answer.proof = Prove(key, Prover::Joiner, hostNet.LastSent().nonce, hello.nonce);
  hostNet.Receive(Encode(answer));
  host.Frame(0, keys);
  RequireNet(host.Start());
  Session joiner(joinerNet, SessionOptions{}, screen, sound);
  joinerNet.queue.push_back({LinkEvent::Connected, 1, {}});
  joiner.Frame(0, keys);
  const Nonce joinerNonce = joinerNet.LastSent().nonce;
  Message challenge;
  challenge.type = Type::Challenge;
  challenge.nonce = FreshNonce();
  joinerNet.Receive(Encode(challenge));
  Message welcome;
  welcome.type = Type::Welcome;
  welcome.seats = 0x02;
  welcome.proof = Prove(key, Prover::Host, joinerNonce, challenge.nonce);
  Message start;
  start.type = Type::Start;
  start.seats = 0x03;
  joinerNet.Receive(Encode(welcome));
  joinerNet.Receive(Encode(start));
  joiner.Frame(0, keys);
  RequireNet(joiner.State() == Phase::Playing);
  int64_t frames = 1;
  for (const std::string& bytes : messages) {
    hostNet.Receive(bytes);
    joinerNet.Receive(bytes);
    host.Frame(frames * 20000, keys);
    joiner.Frame(frames * 20000, keys);
    ++frames;
    for (Session* s : {&host, &joiner}) {
      if (s->Game() == nullptr) continue;
      RequireNet(s->Game()->Tick() <= frames);
      RequireNet(s->Game()->Tick() - s->Game()->Synced() <= tb::net::RollbackGame::kMaxAhead);
    }
  }
}

}  // namespace tbfuzz
