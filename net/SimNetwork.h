#pragma once
// A network inside one process for tests and measurements: links between nodes with latency,
// jitter, loss, duplication and reordering, driven by a virtual clock so that every run with
// the same seed is the same.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "net/Transport.h"
#include "shell/Random.h"

namespace tb::net {

struct LinkConditions {
  int64_t latencyUs = 0;  // one way
  int64_t jitterUs = 0;   // each message adds a uniform amount in [-jitter, +jitter]
  double loss = 0;        // chance an unreliable message is lost
  double duplicate = 0;   // chance an unreliable message arrives twice
};

class SimNetwork;

// One node's view of the network.
class SimTransport final : public Transport {
 public:
  void Send(LinkId link, const std::string& bytes, Delivery delivery) override;
  bool Poll(LinkEvent& event) override;
  void Close(LinkId link) override;
  // "node:N", the node at the other end.
  std::string AddressOf(LinkId link) const override;
  // A link to "node:N" with the network's usual conditions.
  LinkId Connect(const std::string& address) override;
  // Bytes this node has handed to the network.
  int64_t BytesSent() const { return bytesSent_; }

 private:
  friend class SimNetwork;
  SimTransport(SimNetwork& net, int node) : net_(net), node_(node) {}
  SimNetwork& net_;
  int node_;
  std::deque<LinkEvent> inbox_;
  int64_t bytesSent_ = 0;
};

class SimNetwork {
 public:
  explicit SimNetwork(uint64_t seed) : random_(seed, true) {}
  // A new node; the reference stays valid as long as the network.
  SimTransport& AddNode();
  // Links two nodes; both see a Connected event with their own link id, which is returned
  // for node `a` (and for `b` in *bLink).
  LinkId Connect(int a, int b, const LinkConditions& conditions, LinkId* bLink = nullptr);
  // The conditions of links the nodes open themselves.
  void SetConditions(const LinkConditions& conditions) { conditions_ = conditions; }
  // Virtual time: delivers every message due by `nowUs`.
  void AdvanceTo(int64_t nowUs);
  int64_t Now() const { return now_; }
  // The node falls silent: nothing it sends arrives, nothing sent to it is delivered, and
  // nobody is told.
  void Kill(int node);
  // The links between two nodes fall silent both ways, what is on its way included; nobody
  // is told.
  void Cut(int a, int b);
  // The node sits behind a home router: a link another node dials to it comes up only once
  // the node has dialled that one too (its router then lets the answer in), and only when
  // the router keeps a flow's port, as the address the host saw. Until then the dial is
  // tried again every kRetryUs, and given up after kGiveUpUs with Disconnected.
  void BehindRouter(int node, bool keepsPort = true) { routers_[node] = keepsPort; }
  static constexpr int64_t kRetryUs = 500000;
  static constexpr int64_t kGiveUpUs = 10000000;
  // Links `from` dialled to `to` that are up and not closed.
  int OpenLinks(int from, int to) const;

 private:
  friend class SimTransport;
  struct End {
    int node;
    LinkId link;  // the id the node knows the link by
  };
  struct Link {
    End a, b;
    LinkConditions conditions;
    bool open = true;
    bool cut = false;
    bool up = true;  // false while a dial waits for the other side's router to open
    int64_t dialledUs = 0;
    int64_t lastReliableDue[2] = {0, 0};
  };
  struct InFlight {
    int64_t due;
    uint64_t order;  // ties go in sending order
    int node;
    LinkEvent event;
  };
  void Send(int fromNode, LinkId link, const std::string& bytes, Delivery delivery);
  void Close(int fromNode, LinkId link);
  Link* Find(int node, LinkId link, int& side);
  const Link* Find(int node, LinkId link, int& side) const;
  // A node dials another: at once when nothing stands in the way, else the link waits.
  LinkId Dial(int from, int to);
  // Whether `to`'s router lets in what `from` sends to the address the host saw for it.
  bool LetsIn(int from, int to) const;
  // Waiting dials that the other side's router now lets through, or that took too long.
  void SettleDials();

  Pcg32 random_;
  int64_t now_ = 0;
  uint64_t order_ = 0;
  std::vector<std::unique_ptr<SimTransport>> nodes_;
  std::vector<bool> dead_;
  std::vector<Link> links_;
  std::vector<InFlight> inFlight_;
  LinkId nextId_ = 1;
  LinkConditions conditions_;
  std::map<int, bool> routers_;            // nodes behind a router: whether it keeps ports
  std::set<std::pair<int, int>> dialled_;  // (from, to): `from` has sent to `to`
};

}  // namespace tb::net
