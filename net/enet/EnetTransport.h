#pragma once
// The match's links on ENet: a host that listens on a UDP port, or a joiner that connects to
// one. Channel 0 carries the reliable messages, channel 1 the unreliable ones.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

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
  // Sends what is queued and waits up to `ms` for the goodbyes to go out.
  void CloseAll(int ms);

 private:
  EnetTransport() = default;
  void Service();
  LinkId LinkOf(_ENetPeer* peer);

  _ENetHost* host_ = nullptr;
  std::map<LinkId, _ENetPeer*> peers_;
  std::deque<LinkEvent> events_;
  LinkId nextLink_ = 1;
};

}  // namespace tb::net
