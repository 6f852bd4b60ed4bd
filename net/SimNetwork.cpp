#include "net/SimNetwork.h"

#include <algorithm>
#include <string>

namespace tb::net {

void SimTransport::Send(LinkId link, const std::string& bytes, Delivery delivery) {
  bytesSent_ += static_cast<int64_t>(bytes.size());
  net_.Send(node_, link, bytes, delivery);
}

bool SimTransport::Poll(LinkEvent& event) {
  if (inbox_.empty()) return false;
  event = std::move(inbox_.front());
  inbox_.pop_front();
  return true;
}

void SimTransport::Close(LinkId link) { net_.Close(node_, link); }

std::string SimTransport::AddressOf(LinkId link) const {
  int side = 0;
  const SimNetwork::Link* l = static_cast<const SimNetwork&>(net_).Find(node_, link, side);
  if (l == nullptr) return "";
  return "node:" + std::to_string(side == 0 ? l->b.node : l->a.node);
}

LinkId SimTransport::Connect(const std::string& address) {
  if (address.rfind("node:", 0) != 0) return 0;
  int node = -1;
  try {
    node = std::stoi(address.substr(5));
  } catch (...) {
    return 0;
  }
  if (node < 0 || node >= static_cast<int>(net_.nodes_.size()) || node == node_) return 0;
  return net_.Dial(node_, node);
}

SimTransport& SimNetwork::AddNode() {
  nodes_.push_back(
      std::unique_ptr<SimTransport>(new SimTransport(*this, static_cast<int>(nodes_.size()))));
  dead_.push_back(false);
  return *nodes_.back();
}

LinkId SimNetwork::Connect(int a, int b, const LinkConditions& conditions, LinkId* bLink) {
  Link link{{a, nextId_++}, {b, nextId_++}, conditions};
  links_.push_back(link);
  nodes_[a]->inbox_.push_back({LinkEvent::Connected, link.a.link, {}});
  nodes_[b]->inbox_.push_back({LinkEvent::Connected, link.b.link, {}});
  if (bLink != nullptr) *bLink = link.b.link;
  return link.a.link;
}

LinkId SimNetwork::Dial(int from, int to) {
  dialled_.insert({from, to});
  if (LetsIn(from, to)) return Connect(from, to, conditions_);
  Link link{{from, nextId_++}, {to, nextId_++}, conditions_};
  link.up = false;
  link.dialledUs = now_;
  links_.push_back(link);
  return link.a.link;
}

int SimNetwork::OpenLinks(int from, int to) const {
  int n = 0;
  for (const Link& l : links_) n += l.a.node == from && l.b.node == to && l.open && l.up ? 1 : 0;
  return n;
}

bool SimNetwork::LetsIn(int from, int to) const {
  auto router = routers_.find(to);
  if (router == routers_.end()) return true;
  // A router that gives each flow a port of its own is reached at the host's only; and one
  // that keeps ports lets in only the port it sent to, which such a router in front of the
  // sender does not keep.
  auto fromRouter = routers_.find(from);
  const bool fromKeeps = fromRouter == routers_.end() || fromRouter->second;
  return router->second && fromKeeps && dialled_.count({to, from}) != 0;
}

void SimNetwork::SettleDials() {
  for (Link& l : links_) {
    if (l.up || !l.open) continue;
    const int64_t waited = now_ - l.dialledUs;
    if (waited >= kGiveUpUs) {
      l.open = false;
      nodes_[l.a.node]->inbox_.push_back({LinkEvent::Disconnected, l.a.link, {}});
    } else if (LetsIn(l.a.node, l.b.node) && waited >= kRetryUs) {
      // The next try after the other side opened its router gets through.
      l.up = true;
      nodes_[l.a.node]->inbox_.push_back({LinkEvent::Connected, l.a.link, {}});
      nodes_[l.b.node]->inbox_.push_back({LinkEvent::Connected, l.b.link, {}});
    }
  }
}

SimNetwork::Link* SimNetwork::Find(int node, LinkId id, int& side) {
  return const_cast<Link*>(static_cast<const SimNetwork*>(this)->Find(node, id, side));
}

const SimNetwork::Link* SimNetwork::Find(int node, LinkId id, int& side) const {
  for (const Link& l : links_) {
    if (l.a.node == node && l.a.link == id) {
      side = 0;
      return &l;
    }
    if (l.b.node == node && l.b.link == id) {
      side = 1;
      return &l;
    }
  }
  return nullptr;
}

void SimNetwork::Send(int fromNode, LinkId id, const std::string& bytes, Delivery delivery) {
  int side = 0;
  Link* l = Find(fromNode, id, side);
  if (l == nullptr || !l->open || !l->up || l->cut || dead_[fromNode]) return;
  const End& to = side == 0 ? l->b : l->a;
  const LinkConditions& c = l->conditions;
  auto delay = [&] {
    double j = (static_cast<double>(random_.Draw()) * 2.0 - 1.0) * static_cast<double>(c.jitterUs);
    return std::max<int64_t>(0, c.latencyUs + static_cast<int64_t>(j));
  };
  int64_t due = now_ + delay();
  int copies = 1;
  if (delivery == Delivery::Reliable) {
    // In order and never lost: a late one holds up those behind it.
    due = std::max(due, l->lastReliableDue[side]);
    l->lastReliableDue[side] = due;
  } else {
    if (random_.Draw() < c.loss) return;
    if (random_.Draw() < c.duplicate) copies = 2;
  }
  for (int i = 0; i < copies; ++i) {
    int64_t when = i == 0 ? due : now_ + delay();
    inFlight_.push_back({when, order_++, to.node, {LinkEvent::Received, to.link, bytes}});
  }
}

void SimNetwork::Close(int fromNode, LinkId id) {
  int side = 0;
  Link* l = Find(fromNode, id, side);
  if (l == nullptr || !l->open) return;
  l->open = false;
  if (!l->up) return;  // the other side never knew of it
  const End& to = side == 0 ? l->b : l->a;
  int64_t due = std::max(now_ + l->conditions.latencyUs, l->lastReliableDue[side]);
  inFlight_.push_back({due, order_++, to.node, {LinkEvent::Disconnected, to.link, {}}});
}

void SimNetwork::AdvanceTo(int64_t nowUs) {
  now_ = std::max(now_, nowUs);
  SettleDials();
  std::vector<InFlight> due;
  auto split = std::stable_partition(inFlight_.begin(), inFlight_.end(),
                                     [&](const InFlight& f) { return f.due > now_; });
  due.assign(std::make_move_iterator(split), std::make_move_iterator(inFlight_.end()));
  inFlight_.erase(split, inFlight_.end());
  std::sort(due.begin(), due.end(), [](const InFlight& x, const InFlight& y) {
    return x.due != y.due ? x.due < y.due : x.order < y.order;
  });
  for (InFlight& f : due) {
    if (!dead_[f.node]) nodes_[f.node]->inbox_.push_back(std::move(f.event));
  }
}

void SimNetwork::Kill(int node) {
  if (node >= 0 && node < static_cast<int>(dead_.size())) dead_[node] = true;
}

void SimNetwork::Cut(int a, int b) {
  for (Link& l : links_) {
    if (!((l.a.node == a && l.b.node == b) || (l.a.node == b && l.b.node == a))) continue;
    l.cut = true;
    inFlight_.erase(std::remove_if(inFlight_.begin(), inFlight_.end(),
                                   [&](const InFlight& f) {
                                     return (f.node == l.a.node && f.event.link == l.a.link) ||
                                            (f.node == l.b.node && f.event.link == l.b.link);
                                   }),
                    inFlight_.end());
  }
}

}  // namespace tb::net
