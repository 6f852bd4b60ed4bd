#pragma once
// The words of the on-screen layer: what a player needs to know about the match, the replay,
// the computer drivers and the online session, as coloured lines.
#include <cstdint>
#include <string>
#include <vector>

#include "bots/Driver.h"
#include "match/Rounds.h"
#include "platform/LayerContent.h"

namespace tb::net {
class Session;
}

namespace tb::screen {

// A seat's colour on the dark layer (0 Green to 3 Yellow).
uint32_t SeatColour(int seat);
// A key's name as printed on the keyboard: "W", "Up", "Keypad 8".
std::string KeyName(uint8_t virtualKey);
// Each seat in `seats` (a mask, bit 0 Green) with its colour and its five keys.
std::vector<LayerLine> HelpLines(uint8_t seats = 0x0F);
// Minutes and seconds of ticks at 50 a second: "1:05".
std::string PlayTime(int64_t ticks);

// The round, each colour's score, and once decided who won and when the next arena comes.
void AddRounds(const match::Rounds& rounds, LayerContent& out);
// A replay's position of its length, and whether it stands paused or has ended.
void AddReplay(int64_t tick, int64_t total, bool paused, LayerContent& out);
// Which seats the computer drives, at which level.
void AddDrivers(const std::vector<bots::Driver>& drivers, LayerContent& out);

// What the online screen knows beyond the session itself.
struct OnlineInfo {
  std::string invite;       // "192.168.1.20:39999" for friends to join, the host's
  std::string joinAddress;  // "HOST:PORT" being joined, a joiner's
  uint8_t botSeats = 0;     // the host's computer-driven seats
  bots::Level botLevel = bots::Level::Normal;
};
// The lobby before the match (seats, address to give, who starts), the match's rounds
// during it, and the reason once it has ended.
void AddOnline(const net::Session& session, const OnlineInfo& info, LayerContent& out);

}  // namespace tb::screen
