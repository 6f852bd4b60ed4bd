#pragma once
// Finding matches on the local network: a joiner broadcasts a query on a fixed UDP port next
// to the game's, and hosts whose players are still gathering answer with what they offer.
// Every datagram goes out with a TTL of 1, so none crosses a router.
#include <cstdint>
#include <string>
#include <vector>

namespace tb::net {

// The UDP port hosts listen on for queries, whatever port their match is on.
inline constexpr uint16_t kLanPort = 24643;

// What a waiting host tells a query.
struct LanMatch {
  std::string address;  // dotted, as the answer came from; filled in by the searcher
  uint16_t port = 0;    // the match's UDP port
  std::string name;     // the host machine's name
  uint8_t players = 0;  // seats taken by players
  uint8_t free = 0;     // seats still open
  bool password = false;
  std::string version;
};

// A query with its nonce, as bytes on the wire.
std::string LanQuery(uint32_t nonce);
// The nonce of a query; false when the bytes are not one.
bool ParseLanQuery(const std::string& bytes, uint32_t& nonce);
// The answer to the query with `nonce`; names and versions are cut to a short printable form.
std::string LanAnswer(uint32_t nonce, const LanMatch& match);
// The match an answer describes; false unless it is a whole answer to `nonce`.
bool ParseLanAnswer(const std::string& bytes, uint32_t nonce, LanMatch& match);

// A waiting host's ear for queries: never blocks, answers a few datagrams per call.
class LanAnswerer {
 public:
  // Listens on UDP `port` of every address; Ok() false with Problem() when it cannot.
  explicit LanAnswerer(uint16_t port = kLanPort);
  ~LanAnswerer();
  LanAnswerer(const LanAnswerer&) = delete;
  LanAnswerer& operator=(const LanAnswerer&) = delete;

  bool Ok() const { return socket_ >= 0; }
  const std::string& Problem() const { return problem_; }
  // Answers the queries that came since the last call with `match`; drops them when
  // `answer` is false (the match has started). Returns how many were answered.
  int Poll(const LanMatch& match, bool answer);

 private:
  int socket_ = -1;
  std::string problem_;
};

// The addresses a search goes to: each IPv4 interface's broadcast address, and this machine.
std::vector<std::string> LanTargets();
// Sends a query to each target's `port` and gathers answers for `waitMs`; one entry per match,
// sorted by address and port. False with `problem` when no socket could be had.
bool FindLanMatches(const std::vector<std::string>& targets, uint16_t port, int waitMs,
                    std::vector<LanMatch>& found, std::string& problem);

}  // namespace tb::net
