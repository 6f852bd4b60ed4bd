#include "net/enet/EnetTransport.h"

#include <enet/enet.h>

#include <cstdlib>
#include <mutex>

#include "net/Protocol.h"

namespace tb::net {

namespace {

// Room for many strangers at once, so that silent links cannot keep a player out while they
// wait to be closed; a joiner needs fewer (the host and the other joiners).
constexpr size_t kHostPeers = 64;
constexpr size_t kJoinerPeers = 16;
// Slots kept free for newcomers: when fewer are left, the oldest unconfirmed link goes.
constexpr size_t kSpareSlots = 8;
// Unconfirmed links one machine may hold at once; its oldest goes for a newer one.
constexpr size_t kPerMachine = 8;
// A link we closed that has not said goodbye after this long is dropped.
constexpr uint32_t kGoodbyeMs = 2000;
// The biggest message is far below a packet; a peer may keep a few dozen waiting.
constexpr size_t kMaxWaitingData = 64 * 1024;
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
  t->host_ = enet_host_create(&at, kHostPeers, kChannels, 0, 0);
  if (t->host_ == nullptr) {
    error = "cannot listen on UDP port " + std::to_string(port) + " (in use?)";
    return nullptr;
  }
  t->Configure();
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
  t->host_ = enet_host_create(nullptr, kJoinerPeers, kChannels, 0, 0);
  if (t->host_ == nullptr) {
    error = "cannot open a UDP socket";
    return nullptr;
  }
  t->Configure();
  ENetPeer* peer = enet_host_connect(t->host_, &at, kChannels, 0);
  if (peer == nullptr) {
    error = "cannot connect to " + host;
    return nullptr;
  }
  enet_peer_timeout(peer, 0, kTimeoutMs, kTimeoutMs);
  t->Confirm(t->LinkOf(peer));
  return t;
}

void EnetTransport::Configure() {
  // Anything bigger than a message is refused before ENet gathers its fragments.
  host_->maximumPacketSize = kMaxMessageSize;
  host_->maximumWaitingData = kMaxWaitingData;
  slots_.assign(host_->peerCount, Slot{});
}

EnetTransport::Slot& EnetTransport::SlotOf(ENetPeer* peer) {
  return slots_[static_cast<size_t>(peer - host_->peers)];
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
        if (SlotOf(e.peer).closed) break;  // given up while the handshake finished
        enet_peer_timeout(e.peer, 0, kTimeoutMs, kTimeoutMs);
        events_.push_back({LinkEvent::Connected, LinkOf(e.peer), {}});
        break;
      }
      case ENET_EVENT_TYPE_RECEIVE: {
        // Oversized packets are dropped here, unread.
        if (e.packet->dataLength > kMaxMessageSize) ++counts_.oversized;
        if (e.packet->dataLength <= kMaxMessageSize && e.peer->data != nullptr) {
          ++counts_.received;
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
  Sweep();
}

void EnetTransport::Sweep() {
  const uint32_t now = enet_time_get();
  size_t free = 0;
  std::map<uint32_t, size_t> perMachine;
  for (size_t i = 0; i < host_->peerCount; ++i) {
    ENetPeer* peer = &host_->peers[i];
    Slot& slot = slots_[i];
    if (peer->state == ENET_PEER_STATE_DISCONNECTED) {
      slot = Slot{};
      ++free;
      continue;
    }
    if (!slot.used) {
      slot.used = true;
      slot.since = now;
      slot.order = ++slotsSeen_;
    }
    const bool handshake = peer->state != ENET_PEER_STATE_CONNECTED &&
                           peer->state != ENET_PEER_STATE_DISCONNECT_LATER &&
                           peer->state != ENET_PEER_STATE_DISCONNECTING &&
                           peer->state != ENET_PEER_STATE_ACKNOWLEDGING_DISCONNECT &&
                           peer->state != ENET_PEER_STATE_ZOMBIE;
    if ((slot.closed && now - slot.closedAt > kGoodbyeMs) ||
        (!slot.closed && handshake && peer->data == nullptr && now - slot.since > handshakeMs_)) {
      ++counts_.expired;
      Evict(peer);
      ++free;
      continue;
    }
    if (!slot.closed && !slot.confirmed) ++perMachine[peer->address.host];
  }
  // The oldest unconfirmed slot of a machine over its share, or of any when room runs short;
  // by the order slots came into use, since many come up within the same millisecond and a
  // newcomer must never be taken for the oldest.
  auto oldest = [this](uint32_t machine, bool any) -> ENetPeer* {
    ENetPeer* found = nullptr;
    uint64_t first = 0;
    for (size_t i = 0; i < host_->peerCount; ++i) {
      ENetPeer* peer = &host_->peers[i];
      const Slot& slot = slots_[i];
      if (peer->state == ENET_PEER_STATE_DISCONNECTED || slot.closed || slot.confirmed) continue;
      if (!any && peer->address.host != machine) continue;
      if (found == nullptr || slot.order < first) {
        found = peer;
        first = slot.order;
      }
    }
    return found;
  };
  for (auto& [machine, n] : perMachine) {
    for (; n > kPerMachine; --n) {
      ENetPeer* peer = oldest(machine, false);
      if (peer == nullptr) break;
      ++counts_.evicted;
      Evict(peer);
      ++free;
    }
  }
  for (; free < kSpareSlots; ++free) {
    ENetPeer* peer = oldest(0, true);
    if (peer == nullptr) break;
    ++counts_.evicted;
    Evict(peer);
  }
}

void EnetTransport::Evict(ENetPeer* peer) {
  if (peer->data != nullptr) {
    const LinkId id = LinkOf(peer);
    peers_.erase(id);
    peer->data = nullptr;
    events_.push_back({LinkEvent::Disconnected, id, {}});
  }
  SlotOf(peer) = Slot{};
  Drop(peer);
}

void EnetTransport::Drop(ENetPeer* peer) {
  // A link that came up gets one goodbye, unacknowledged; a half-open handshake nothing, so
  // that forged sources draw no packets. Either way the slot is free at once.
  const bool handshake = peer->state == ENET_PEER_STATE_CONNECTING ||
                         peer->state == ENET_PEER_STATE_ACKNOWLEDGING_CONNECT ||
                         peer->state == ENET_PEER_STATE_CONNECTION_PENDING ||
                         peer->state == ENET_PEER_STATE_CONNECTION_SUCCEEDED;
  if (handshake) {
    enet_peer_reset(peer);
  } else {
    enet_peer_disconnect_now(peer, 0);
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
  ENetPeer* peer = it->second;
  peer->data = nullptr;
  Slot& slot = SlotOf(peer);
  slot.used = true;
  slot.closed = true;
  slot.closedAt = enet_time_get();
  enet_peer_disconnect_later(peer, 0);
  peers_.erase(it);
}

void EnetTransport::Abort(LinkId link) {
  auto it = peers_.find(link);
  if (it == peers_.end()) return;
  ENetPeer* peer = it->second;
  peer->data = nullptr;
  peers_.erase(it);
  SlotOf(peer) = Slot{};
  Drop(peer);
}

void EnetTransport::Confirm(LinkId link) {
  auto it = peers_.find(link);
  if (it != peers_.end()) SlotOf(it->second).confirmed = true;
}

std::string EnetTransport::MachineOf(LinkId link) const {
  auto it = peers_.find(link);
  if (it == peers_.end()) return "";
  char ip[64] = {};
  if (enet_address_get_host_ip(&it->second->address, ip, sizeof ip) != 0) return "";
  return ip;
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
  const LinkId id = LinkOf(peer);
  Confirm(id);  // we chose to dial it
  return id;
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
