#pragma once
// How friends reach a host: the router asked for the game's port (on a thread of its own, so
// the window keeps its 20 ms frame), and matches found on the local network.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tb::net::portmap {
class PortMapping;
}

namespace tb {

// The host's UDP port asked of the router from construction until destruction, its lease
// renewed on the same thread before it runs out.
class RouterPort {
 public:
  // Starts asking for `port`; the answer comes within a few seconds.
  explicit RouterPort(uint16_t port);
  // Stops renewing, waits for a request still under way, then removes the mapping.
  ~RouterPort();
  RouterPort(const RouterPort&) = delete;
  RouterPort& operator=(const RouterPort&) = delete;

  // What the router answered, in lines for the player, taken once.
  std::vector<std::string> TakeNotices();
  // Words for the window title while the players gather; "" until the router answers.
  std::string TitleNote() const;

 private:
  void Ask();
  // Renews the lease until the host stops, the router keeps the mapping without an end, or
  // renewals keep failing.
  void Keep(net::portmap::PortMapping& mapping);
  void Notice(const std::string& line, const std::string& note);

  uint16_t port_;
  mutable std::mutex mutex_;
  std::unique_ptr<net::portmap::PortMapping> mapping_;
  std::vector<std::string> notices_;
  std::string titleNote_;
  bool stopping_ = false;
  std::condition_variable stop_;
  std::thread asker_;
};

// Lists the matches waiting on the local network on stdout: 0 when some were found.
int ListLanMatches();

}  // namespace tb
