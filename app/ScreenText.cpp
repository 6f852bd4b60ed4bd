#include "app/ScreenText.h"

#include "net/Session.h"
#include "platform/SdlKeys.h"
#include "shell/Controls.h"

namespace tb::screen {

namespace {

constexpr uint32_t kPlain = 0xE8E8E8;
constexpr uint32_t kDim = 0xA0A0A0;
constexpr uint32_t kStrong = 0xFFFFFF;
constexpr int kTicksPerSecond = 50;

bool Has(uint8_t seats, int s) { return (seats >> s) & 1; }

}  // namespace

uint32_t SeatColour(int seat) {
  static constexpr uint32_t kColours[4] = {0x50D050, 0xF05050, 0x6090FF, 0xF0E040};
  return seat >= 0 && seat < 4 ? kColours[seat] : kPlain;
}

std::string KeyName(uint8_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, char(vk));
  if (vk >= vk::kNumPad0 && vk <= vk::kNumPad0 + 9)
    return "Keypad " + std::to_string(vk - vk::kNumPad0);
  switch (vk) {
    case vk::kLeft:
      return "Left";
    case vk::kRight:
      return "Right";
    case vk::kUp:
      return "Up";
    case vk::kDown:
      return "Down";
    case vk::kSpace:
      return "Space";
    case vk::kReturn:
      return "Enter";
    case vk::kEscape:
      return "Escape";
    case vk::kBackspace:
      return "Backspace";
    case 0xA0:
      return "Left Shift";
    case 0xA1:
      return "Right Shift";
    case 0xA2:
      return "Left Ctrl";
    case 0xA3:
      return "Right Ctrl";
    default:
      break;
  }
  // The punctuation keys by what they print on a US keyboard.
  static const std::pair<uint8_t, const char*> kMarks[] = {
      {0xBA, ";"}, {0xBB, "="}, {0xBC, ","},  {0xBD, "-"}, {0xBE, "."}, {0xBF, "/"},
      {0xC0, "`"}, {0xDB, "["}, {0xDC, "\\"}, {0xDD, "]"}, {0xDE, "'"}};
  for (const auto& m : kMarks)
    if (m.first == vk) return m.second;
  switch (vk) {
    default:
      return "key " + std::to_string(vk);
  }
}

std::vector<LayerLine> HelpLines(uint8_t seats) {
  std::vector<LayerLine> lines;
  for (int s = 0; s < 4; ++s) {
    if (!Has(seats, s)) continue;
    const PlayerKeys& k = kPlayerKeys[s];
    lines.push_back({k.Name, SeatColour(s)});
    lines.push_back({"forward " + KeyName(k.Forward) + ", back " + KeyName(k.Backward), kPlain});
    lines.push_back({"left " + KeyName(k.Left) + ", right " + KeyName(k.Right), kPlain});
    lines.push_back({"fire " + KeyName(k.Fire), kPlain});
    lines.push_back({"", kPlain});
  }
  lines.push_back({"Escape quits, Alt+Enter full screen", kDim});
  return lines;
}

std::string PlayTime(int64_t ticks) {
  const int64_t seconds = ticks < 0 ? 0 : ticks / kTicksPerSecond;
  const int64_t s = seconds % 60;
  return std::to_string(seconds / 60) + (s < 10 ? ":0" : ":") + std::to_string(s);
}

void AddRounds(const match::Rounds& rounds, LayerContent& out) {
  out.status.push_back(
      {"Round " + std::to_string(rounds.Round()) + " of " + std::to_string(rounds.Count()),
       kStrong});
  for (int s = 0; s < 4; ++s)
    out.status.push_back(
        {std::string(kPlayerKeys[s].Name) + "  " + std::to_string(rounds.Scores()[s]),
         SeatColour(s)});
  if (rounds.Over()) {
    const auto& scores = rounds.Scores();
    int best = 0;
    for (int s = 1; s < 4; ++s)
      if (scores[s] > scores[best]) best = s;
    int leaders = 0;
    for (int score : scores) leaders += score == scores[best];
    if (leaders == 1)
      out.banner.push_back(
          {std::string(kPlayerKeys[best].Name) + " wins the match", SeatColour(best)});
    else
      out.banner.push_back({"The match is a draw", kStrong});
    out.banner.push_back({"Escape closes the window", kDim});
    return;
  }
  if (rounds.PauseLeft() < 0) return;
  const int w = rounds.RoundWinner();
  if (w >= 0)
    out.banner.push_back({std::string(kPlayerKeys[w].Name) + " wins the round", SeatColour(w)});
  else
    out.banner.push_back({w == -1 ? "Nobody wins the round" : "The round is decided", kStrong});
  const int64_t seconds = (rounds.PauseLeft() + kTicksPerSecond - 1) / kTicksPerSecond;
  out.banner.push_back({(rounds.Round() < rounds.Count() ? "Next arena in " : "Final score in ") +
                            std::to_string(seconds) + " s",
                        kPlain});
}

void AddReplay(int64_t tick, int64_t total, bool paused, LayerContent& out) {
  out.status.push_back({"Replay " + PlayTime(tick) + " / " + PlayTime(total), kStrong});
  out.status.push_back({"Space pauses, Left and Right skip 5 s", kDim});
  if (tick >= total)
    out.banner.push_back({"End of the replay: Escape closes", kStrong});
  else if (paused)
    out.banner.push_back({"Paused: Space plays on", kStrong});
}

void AddDrivers(const std::vector<bots::Driver>& drivers, LayerContent& out) {
  if (drivers.empty()) return;
  if (!out.status.empty()) out.status.push_back({"", kPlain});
  out.status.push_back({"Computer drivers", kStrong});
  for (const bots::Driver& d : drivers) {
    int seat = -1;
    for (int s = 0; s < 4; ++s)
      if (d.Seat() == kPlayerKeys[s].Name) seat = s;
    out.status.push_back({d.Seat() + ": " + bots::LevelName(d.GetLevel()), SeatColour(seat)});
  }
}

void AddOnline(const net::Session& session, const OnlineInfo& info, LayerContent& out) {
  switch (session.State()) {
    case net::Phase::Joining:
      out.lobby.push_back({(session.Watching() ? "Asking " + info.joinAddress + " to watch"
                                               : "Joining " + info.joinAddress) +
                               " ...",
                           kStrong});
      out.lobby.push_back({"Escape gives up", kDim});
      return;
    case net::Phase::Waiting: {
      const bool host = !info.invite.empty();
      out.lobby.push_back({host                 ? "Waiting for players"
                           : session.Watching() ? "Watching: in the lobby"
                                                : "In the lobby",
                           kStrong});
      for (int s = 0; s < 4; ++s) {
        std::string who = "free";
        if (Has(session.LocalSeats(), s))
          who = "you";
        else if (Has(session.TakenSeats(), s))
          who = "connected";
        else if (Has(info.botSeats, s))
          who = std::string("computer, ") + bots::LevelName(info.botLevel);
        out.lobby.push_back({std::string(kPlayerKeys[s].Name) + ": " + who, SeatColour(s)});
      }
      if (session.Watchers() > 0)
        out.lobby.push_back({"Spectators: " + std::to_string(session.Watchers()), kPlain});
      if (host) {
        out.lobby.push_back({"Friends join with", kPlain});
        out.lobby.push_back({"--join " + info.invite, kStrong});
        out.lobby.push_back({"(or watch with --watch)", kDim});
        out.lobby.push_back({"Enter starts the match", kStrong});
      } else {
        out.lobby.push_back({"The host starts the match", kPlain});
      }
      return;
    }
    case net::Phase::Playing:
      if (const match::Rounds* rounds = session.MatchRounds()) AddRounds(*rounds, out);
      if (session.Watching()) out.lobby.push_back({"Watching", kDim});
      // How each other player's keys come: straight from it, or passed on by the host.
      for (int s = 0; s < 4; ++s) {
        const net::Route route = session.RouteTo(s);
        if (route == net::Route::None) continue;
        const char* how = route == net::Route::Direct   ? "direct"
                          : route == net::Route::Trying ? "linking..."
                                                        : "through the host";
        out.status.push_back({std::string(kPlayerKeys[s].Name) + ": " + how, SeatColour(s)});
      }
      return;
    case net::Phase::Ended:
      if (const match::Rounds* rounds = session.MatchRounds()) AddRounds(*rounds, out);
      out.banner.push_back({session.EndReason(), kStrong});
      if (!session.SavedReplay().empty())
        out.banner.push_back({"Replay saved: " + session.SavedReplay(), kDim});
      out.banner.push_back({"Escape closes the window", kDim});
      return;
  }
}

}  // namespace tb::screen
