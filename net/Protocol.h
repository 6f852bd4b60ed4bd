#pragma once
// The messages peers exchange, and their one binary form. Every message starts with the
// magic "TB", the protocol version and its type; the reader checks every field against the
// ranges the game can use and refuses the whole message on any fault.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "net/Password.h"

namespace tb::net {

// 2: the Start names the rounds of the match and their length.
// 3: the password is proved by challenge and answer instead of being sent.
// 4: spectators (Watch, Admit; the Lobby counts them); both ends of a link between joiners
//    dial each other, so that home routers let it through.
//    After a match of rounds the host plays again or goes back (Again).
inline constexpr uint8_t kProtocolVersion = 4;
inline constexpr int kSeats = 4;
inline constexpr uint8_t kAllSeats = 0x0F;
// Larger messages are refused unread; the biggest the game sends is far below.
inline constexpr size_t kMaxMessageSize = 1200;
// Ticks of one seat's keys in one message.
inline constexpr int kMaxRun = 64;
// Ticks beyond this are no game anyone plays (about seven months).
inline constexpr uint32_t kMaxTick = 1u << 30;
inline constexpr size_t kMaxText = 80;
// World hashes are compared every this many ticks.
inline constexpr uint32_t kHashEvery = 50;
// A seat's keys on one tick: one bit each for Right, Left, Forward, Backward, Fire.
inline constexpr uint8_t kKeyBits = 0x1F;
// Spectators a match lets in at most.
inline constexpr int kMaxWatchers = 8;

enum class Type : uint8_t {
  Hello = 1,       // joiner to host: the seats wanted and a challenge for the host
  Welcome = 2,     // host to joiner: the seats given, and its answer to the joiner's challenge
  Refuse = 3,      // host to joiner: why not; the link closes after it
  Lobby = 4,       // host to all: which seats are taken, for the waiting screen
  Start = 5,       // host to all: seed, clock start and the seats in play
  Inputs = 6,      // keys of past ticks, acknowledgements and timing
  Hash = 7,        // the world hash of a tick every peer has all keys for
  Drop = 8,        // host to all: a seat's player left; no keys after the given tick
  Stop = 9,        // the match ends for everyone, with the reason
  PeerHello = 10,  // joiner to joiner: a direct link for the keys, with the match's token
  Challenge = 11,  // host to joiner, after the Hello: a challenge for the joiner
  Answer = 12,     // joiner to host: its answer to the host's challenge
  Watch = 14,      // spectator to host: a challenge for the host, like a Hello without seats
  Admit = 15,      // host to spectator: let in, with its answer to the spectator's challenge
  Again = 16,      // host to all after a match of rounds: the next match's seed and seats, or
                   // back to the start (seats 0); the others echo it on every link
};

// Where a joiner can be reached by the others, as the host sees it.
struct PeerAddress {
  uint8_t seats = 0;
  std::string address;
};

// One seat's keys on consecutive ticks from `first`.
struct KeyRun {
  uint8_t seat = 0;
  uint32_t first = 0;
  std::vector<uint8_t> keys;
};

// Every message in one record; each type uses the fields its comment names.
struct Message {
  Type type = Type::Hello;
  uint8_t seats = 0;      // Hello (0: the next free seat), Welcome, Lobby, Start, PeerHello,
                          // Again (0: back to the start)
  uint8_t watchers = 0;   // Lobby: how many spectators follow the match
  std::string text;       // Refuse, Stop: reason
  uint64_t seed = 0;      // Start, Again
  double clockStart = 0;  // Start: seconds since midnight
  uint32_t tick = 0;      // Inputs: sender's tick; Hash: the tick; Drop: last tick with keys
  uint32_t sentMs = 0;    // Inputs: sender's time, echoed back for the round trip
  uint32_t echoMs = 0;    // Inputs: the latest sentMs received from the other side
  std::array<uint32_t, kSeats> acks{};  // Inputs: per seat, the last tick the sender has
  std::vector<KeyRun> runs;             // Inputs: at most one run per seat
  uint64_t hash = 0;                    // Hash
  uint8_t seat = 0;                     // Hash: whose world; Drop: the seat dropped
  uint64_t token = 0;                   // Start, PeerHello: the match's secret for direct links
  std::vector<PeerAddress> peers;       // Start: the joiners, for direct links
  uint8_t drops = 0;                    // Hash: how many seats the sender had seen dropped
  uint8_t rounds = 0;                   // Start: rounds of the match; 0: none
  uint32_t roundTicks = 0;              // Start: the longest a round lasts
  Nonce nonce{};                        // Hello, Watch, Challenge: a fresh challenge
  Proof proof{};  // Welcome, Admit, Answer: the answer to the other's challenge
};

enum class ReadResult { Ok, OtherVersion, Malformed };

std::string Encode(const Message& m);
// A Refuse in the form of an older version when its layout is the same there (since 2), so
// that a peer of that version can still read why.
std::string EncodeRefuse(uint8_t version, const std::string& reason);
// Checks everything; on anything but Ok the message must be ignored (OtherVersion lets a
// host tell a joiner of another version why it is refused).
ReadResult Decode(const std::string& bytes, Message& m);

}  // namespace tb::net
