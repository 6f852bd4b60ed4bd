#include "app/OnlineReach.h"

#include <chrono>
#include <iostream>

#include "net/Discovery.h"
#include "net/portmap/PortMapping.h"

namespace tb {

namespace {

// How long the search for matches waits for answers: hosts answer within one frame.
constexpr int kLanWaitMs = 1200;

}  // namespace

RouterPort::RouterPort(uint16_t port) : port_(port) {
  asker_ = std::thread([this] { Ask(); });
}

RouterPort::~RouterPort() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  if (asker_.joinable()) asker_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!mapping_) return;
  mapping_->Remove();
  std::cerr << "treadbrawl: the router no longer forwards UDP port " << mapping_->OutsidePort()
            << std::endl;
}

void RouterPort::Ask() {
  std::string problem;
  std::unique_ptr<net::portmap::PortMapping> mapping =
      net::portmap::PortMapping::Open(port_, net::portmap::MappingLimits{}, problem);
  std::string line, note;
  const std::string port = std::to_string(port_);
  if (!mapping) {
    line = "the router did not open UDP port " + port + " (" + problem +
           "): friends outside this network need that port forwarded to this machine in the "
           "router's settings, or one of them hosts";
    note = "router did not open the port";
  } else {
    const std::string outsidePort = std::to_string(mapping->OutsidePort());
    std::string via = "the router (" + mapping->Method() + ") opened UDP port " + port;
    if (mapping->OutsidePort() != port_) via += " as outside port " + outsidePort;
    if (mapping->OutsideAddress().empty()) {
      line = via + "; friends outside join this network's public address, port " + outsidePort;
      note = "outside port " + outsidePort;
    } else {
      const std::string at = mapping->OutsideAddress() + ":" + outsidePort;
      line = via + ": friends outside join with --join " + at;
      if (mapping->OutsideIsPrivate())
        line +=
            " (a private address: another router stands in front, so they may not get "
            "through)";
      note = "friends outside join " + at;
    }
  }
  net::portmap::PortMapping* kept = mapping.get();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    mapping_ = std::move(mapping);
  }
  Notice(line, note);
  // Only this thread and, once it has ended, the destructor touch the mapping.
  if (kept != nullptr) Keep(*kept);
}

void RouterPort::Notice(const std::string& line, const std::string& note) {
  std::lock_guard<std::mutex> lock(mutex_);
  notices_.push_back(line);
  titleNote_ = note;
}

void RouterPort::Keep(net::portmap::PortMapping& mapping) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point granted = Clock::now();
  int failures = 0;
  for (;;) {
    const double after = net::portmap::RenewalDelaySeconds(mapping.LeaseSeconds(), failures);
    if (after < 0) {
      if (failures > 0)
        Notice("the router did not renew UDP port " + std::to_string(mapping.OutsidePort()) +
                   ": friends outside may no longer reach this machine",
               "router stopped forwarding the port");
      return;
    }
    {
      std::unique_lock<std::mutex> lock(mutex_);
      const auto due = granted + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(after));
      if (stop_.wait_until(lock, due, [this] { return stopping_; })) return;
    }
    const uint16_t before = mapping.OutsidePort();
    std::string problem;
    if (!mapping.Renew(problem)) {
      ++failures;
      continue;
    }
    granted = Clock::now();
    failures = 0;
    if (mapping.OutsidePort() != before) {
      const std::string outsidePort = std::to_string(mapping.OutsidePort());
      std::string line = "the router moved the game to outside port " + outsidePort;
      if (!mapping.OutsideAddress().empty())
        line +=
            ": friends outside join with --join " + mapping.OutsideAddress() + ":" + outsidePort;
      Notice(line, "outside port " + outsidePort);
    }
  }
}

std::vector<std::string> RouterPort::TakeNotices() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  out.swap(notices_);
  return out;
}

std::string RouterPort::TitleNote() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return titleNote_;
}

int ListLanMatches() {
  std::vector<net::LanMatch> found;
  std::string problem;
  if (!net::FindLanMatches(net::LanTargets(), net::kLanPort, kLanWaitMs, found, problem)) {
    std::cerr << "treadbrawl: cannot search the local network: " << problem << std::endl;
    return 1;
  }
  if (found.empty()) {
    std::cerr << "treadbrawl: no match is waiting on the local network (hosts answer until "
                 "their match starts)"
              << std::endl;
    return 1;
  }
  for (const net::LanMatch& m : found) {
    std::cout << "--join " << m.address << ':' << m.port << "  " << m.name << ", " << int{m.players}
              << (m.players == 1 ? " player" : " players") << " in, " << int{m.free} << " free "
              << (m.free == 1 ? "seat" : "seats") << ", "
              << (m.password ? "password" : "no password") << ", version " << m.version << '\n';
  }
  return 0;
}

}  // namespace tb
