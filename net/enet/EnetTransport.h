#pragma once
// The match's links on ENet: a host that listens on a UDP port, or a joiner that connects to
// one. Channel 0 carries the reliable messages, channel 1 the unreliable ones.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/Address.h"
#include "net/Transport.h"

struct _ENetHost;
struct _ENetPeer;

namespace tb::net {

class EnetTransport final : public Transport {
 public:
  ~EnetTransport() override;
  EnetTransport(const EnetTransport&) = delete;
  EnetTransport& operator=(const EnetTransport&) = delete;

  // Listens on `port` (0: any free one) of `address` ("" for every address of the machine).
  static std::unique_ptr<EnetTransport> Listen(const std::string& address, uint16_t port,
                                               std::string& error);
  // Starts connecting to host:port; Connected or Disconnected follows through Poll.
  static std::unique_ptr<EnetTransport> Connect(const std::string& host, uint16_t port,
                                                std::string& error);
  // The UDP port this end is bound to.
  uint16_t Port() const;

  void Send(LinkId link, const std::string& bytes, Delivery delivery) override;
  bool Poll(LinkEvent& event) override;
  void Close(LinkId link) override;
  void Flush() override;
  std::string AddressOf(LinkId link) const override;
  LinkId Connect(const std::string& address) override;
  void Abort(LinkId link) override;
  void Confirm(LinkId link) override;
  std::string MachineOf(LinkId link) const override;
  // Sends what is queued and waits up to `ms` for the goodbyes to go out.
  void CloseAll(int ms);

  // What the guards against strangers did so far.
  struct Counts {
    int64_t received = 0;   // messages passed on
    int64_t oversized = 0;  // messages refused for their size
    int64_t expired = 0;    // handshakes or goodbyes that took too long
    int64_t evicted = 0;    // unconfirmed links closed to make room
  };
  const Counts& Guarded() const { return counts_; }
  // A handshake not finished after this long is given up (the default is five seconds).
  void SetHandshakeLimit(uint32_t ms) { handshakeMs_ = ms; }

 private:
  // What is known of one of ENet's peer slots.
  struct Slot {
    bool used = false;
    uint32_t since = 0;  // when the slot was first seen in use
    uint64_t order = 0;  // the how-manieth slot seen in use: ties in `since` are common
    bool closed = false;
    uint32_t closedAt = 0;
    bool confirmed = false;
  };
  EnetTransport() = default;
  void Service();
  // Frees slots held by strangers: handshakes and goodbyes that take too long, and the oldest
  // unconfirmed links when one machine holds too many or room runs short.
  void Sweep();
  void Evict(_ENetPeer* peer);
  void Drop(_ENetPeer* peer);
  Slot& SlotOf(_ENetPeer* peer);
  LinkId LinkOf(_ENetPeer* peer);
  void Configure();

  _ENetHost* host_ = nullptr;
  std::map<LinkId, _ENetPeer*> peers_;
  std::deque<LinkEvent> events_;
  LinkId nextLink_ = 1;
  std::vector<Slot> slots_;
  uint64_t slotsSeen_ = 0;
  Counts counts_;
  uint32_t handshakeMs_ = 5000;
};

}  // namespace tb::net
