#include "net/enet/EnetTransport.h"

#include <enet/enet.h>

#include <cstdlib>
#include <mutex>

#include "net/Protocol.h"

namespace tb::net {

namespace {

constexpr size_t kMaxPeers = 8;
constexpr size_t kChannels = 2;
constexpr uint8_t kReliableChannel = 0;
constexpr uint8_t kUnreliableChannel = 1;
// ENet gives up on a peer after this long; the match drops a silent one sooner itself.
constexpr enet_uint32 kTimeoutMs = 10000;
// Events taken from ENet per Poll, so that a flood cannot hold the frame.
constexpr int kMaxServicePerPoll = 256;

bool Initialised() {
  static const bool ok = [] {
    if (enet_initialize() != 0) return false;
    std::atexit(enet_deinitialize);
    return true;
  }();
  return ok;
}

}  // namespace

EnetTransport::~EnetTransport() {
  if (host_ != nullptr) enet_host_destroy(host_);
}

std::unique_ptr<EnetTransport> EnetTransport::Listen(const std::string& address, uint16_t port,
                                                     std::string& error) {
  if (!Initialised()) {
    error = "cannot start the network";
    return nullptr;
  }
  ENetAddress at{};
  at.host = ENET_HOST_ANY;
  at.port = port;
  if (!address.empty() && enet_address_set_host(&at, address.c_str()) != 0) {
    error = "cannot find the address " + address;
    return nullptr;
  }
  std::unique_ptr<EnetTransport> t(new EnetTransport());
  t->host_ = enet_host_create(&at, kMaxPeers, kChannels, 0, 0);
  if (t->host_ == nullptr) {
    error = "cannot listen on UDP port " + std::to_string(port) + " (in use?)";
    return nullptr;
  }
  return t;
}

std::unique_ptr<EnetTransport> EnetTransport::Connect(const std::string& host, uint16_t port,
                                                      std::string& error) {
  if (!Initialised()) {
    error = "cannot start the network";
    return nullptr;
  }
  ENetAddress at{};
  if (enet_address_set_host(&at, host.c_str()) != 0) {
    error = "cannot find the host " + host;
    return nullptr;
  }
  at.port = port;
  std::unique_ptr<EnetTransport> t(new EnetTransport());
  // Room for direct links from the other joiners as well as the host.
  t->host_ = enet_host_create(nullptr, kMaxPeers, kChannels, 0, 0);
  if (t->host_ == nullptr) {
    error = "cannot open a UDP socket";
    return nullptr;
  }
  ENetPeer* peer = enet_host_connect(t->host_, &at, kChannels, 0);
  if (peer == nullptr) {
    error = "cannot connect to " + host;
    return nullptr;
  }
  enet_peer_timeout(peer, 0, kTimeoutMs, kTimeoutMs);
  t->LinkOf(peer);
  return t;
}

uint16_t EnetTransport::Port() const {
  ENetAddress at{};
  if (host_ == nullptr || enet_socket_get_address(host_->socket, &at) != 0) return 0;
  return at.port;
}

LinkId EnetTransport::LinkOf(ENetPeer* peer) {
  if (peer->data != nullptr) return static_cast<LinkId>(reinterpret_cast<uintptr_t>(peer->data));
  LinkId id = nextLink_++;
  peer->data = reinterpret_cast<void*>(static_cast<uintptr_t>(id));
  peers_[id] = peer;
  return id;
}

void EnetTransport::Send(LinkId link, const std::string& bytes, Delivery delivery) {
  auto it = peers_.find(link);
  if (it == peers_.end()) return;
  const bool reliable = delivery == Delivery::Reliable;
  ENetPacket* packet =
      enet_packet_create(bytes.data(), bytes.size(),
                         reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
  if (packet == nullptr) return;
  if (enet_peer_send(it->second, reliable ? kReliableChannel : kUnreliableChannel, packet) != 0)
    enet_packet_destroy(packet);
}

void EnetTransport::Service() {
  ENetEvent e;
  for (int n = 0; n < kMaxServicePerPoll && enet_host_service(host_, &e, 0) > 0; ++n) {
    switch (e.type) {
      case ENET_EVENT_TYPE_CONNECT: {
        enet_peer_timeout(e.peer, 0, kTimeoutMs, kTimeoutMs);
        events_.push_back({LinkEvent::Connected, LinkOf(e.peer), {}});
        break;
      }
      case ENET_EVENT_TYPE_RECEIVE: {
        // Oversized packets are dropped here, unread.
        if (e.packet->dataLength <= kMaxMessageSize && e.peer->data != nullptr) {
          events_.push_back(
              {LinkEvent::Received, LinkOf(e.peer),
               std::string(reinterpret_cast<const char*>(e.packet->data), e.packet->dataLength)});
        }
        enet_packet_destroy(e.packet);
        break;
      }
      case ENET_EVENT_TYPE_DISCONNECT: {
        if (e.peer->data != nullptr) {
          LinkId id = LinkOf(e.peer);
          peers_.erase(id);
          e.peer->data = nullptr;
          events_.push_back({LinkEvent::Disconnected, id, {}});
        }
        break;
      }
      case ENET_EVENT_TYPE_NONE:
        break;
    }
  }
}

bool EnetTransport::Poll(LinkEvent& event) {
  if (events_.empty()) Service();
  if (events_.empty()) return false;
  event = std::move(events_.front());
  events_.pop_front();
  return true;
}

void EnetTransport::Close(LinkId link) {
  auto it = peers_.find(link);
  if (it == peers_.end()) return;
  it->second->data = nullptr;
  enet_peer_disconnect_later(it->second, 0);
  peers_.erase(it);
}

void EnetTransport::Flush() { enet_host_flush(host_); }

std::string EnetTransport::AddressOf(LinkId link) const {
  auto it = peers_.find(link);
  if (it == peers_.end()) return "";
  char ip[64] = {};
  if (enet_address_get_host_ip(&it->second->address, ip, sizeof ip) != 0) return "";
  std::string host = ip;
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  return host + ":" + std::to_string(it->second->address.port);
}

LinkId EnetTransport::Connect(const std::string& address) {
  std::string host, problem;
  uint16_t port = 0;
  if (!ParseHostPort(address, host, port, problem)) return 0;
  ENetAddress at{};
  if (enet_address_set_host_ip(&at, host.c_str()) != 0) return 0;  // numbers only: no lookups
  at.port = port;
  ENetPeer* peer = enet_host_connect(host_, &at, kChannels, 0);
  if (peer == nullptr) return 0;
  enet_peer_timeout(peer, 0, kTimeoutMs, kTimeoutMs);
  return LinkOf(peer);
}

void EnetTransport::CloseAll(int ms) {
  for (auto& [id, peer] : peers_) {
    peer->data = nullptr;
    enet_peer_disconnect_later(peer, 0);
  }
  peers_.clear();
  // Bounded: each pass waits at most a few milliseconds for ENet to send the goodbyes.
  ENetEvent e;
  for (int waited = 0; waited < ms; waited += 5) {
    if (enet_host_service(host_, &e, 5) > 0 && e.type == ENET_EVENT_TYPE_RECEIVE)
      enet_packet_destroy(e.packet);
  }
}

}  // namespace tb::net
