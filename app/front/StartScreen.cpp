#include "app/front/StartScreen.h"

#include <algorithm>

#include "app/ScreenText.h"
#include "net/Address.h"
#include "shell/Controls.h"

namespace tb::front {

namespace {

constexpr uint8_t kReturn = 0x0D, kEscape = 0x1B, kBackspace = 0x08;
constexpr uint8_t kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;
constexpr uint32_t kTitle = 0xFFFFFF, kDim = 0x9A9A9A, kPlain = 0xE8E8E8;
constexpr size_t kMaxField = 64;
// The most rows a page shows at once; longer pages scroll with the chosen row.
constexpr int kMaxRows = 13;
const char* const kActionNames[5] = {"turn right", "turn left", "forward", "backward", "fire"};
const char* const kLevels[3] = {"easy", "normal", "hard"};

const char* Name(int seat) { return kPlayerKeys[seat].Name; }

std::string SeatKindText(SeatKind k) {
  switch (k) {
    case SeatKind::kHuman:
      return "a player here";
    case SeatKind::kEasy:
      return "computer, easy";
    case SeatKind::kNormal:
      return "computer, normal";
    case SeatKind::kHard:
      return "computer, hard";
    case SeatKind::kEmpty:
      return "empty";
  }
  return "";
}

std::string HostSeatText(HostSeat k) {
  switch (k) {
    case HostSeat::kHere:
      return "played here";
    case HostSeat::kFriend:
      return "for a friend who joins";
    case HostSeat::kComputer:
      return "computer";
  }
  return "";
}

std::string RoundsText(int rounds) {
  return rounds == 0 ? "none, play on" : std::to_string(rounds);
}

// Steps a value through [0, count) with wrapping.
int Step(int value, int count, int by) { return ((value + by) % count + count) % count; }

std::string OnOff(bool on) { return on ? "on" : "off"; }

std::string Seats(uint8_t mask) {
  std::string out;
  for (int s = 0; s < 4; ++s)
    if ((mask >> s) & 1) out += (out.empty() ? "" : ", ") + std::string(Name(s));
  return out.empty() ? "none" : out;
}

}  // namespace

struct StartScreen::Item {
  std::string text;
  std::function<void(Move)> act;  // null: a line to read, not to choose
  std::string* field = nullptr;   // typed into while chosen
  bool digits = false;            // the field takes digits only
  uint32_t rgb = kPlain;
};

StartScreen::StartScreen(Settings settings, StartScreenServices services)
    : settings_(std::move(settings)), services_(std::move(services)) {}

void StartScreen::Key(uint8_t vk) {
  if (capture_ >= 0) {
    const int seat = capture_ / 5, action = capture_ % 5;
    if (vk == kEscape) {
      capture_ = -1;
      notice_.clear();
      return;
    }
    if (!UsableKey(vk)) {
      notice_ = screen::KeyName(vk) + " cannot drive; press another key (Escape keeps " +
                screen::KeyName(settings_.keys[seat][action]) + ")";
      return;
    }
    for (int s = 0; s < 4; ++s)
      for (int a = 0; a < 5; ++a)
        if (settings_.keys[s][a] == vk && (s != seat || a != action)) {
          notice_ = screen::KeyName(vk) + " is " + Name(s) + "'s " + kActionNames[a] +
                    " already; press another key";
          return;
        }
    settings_.keys[seat][action] = vk;
    capture_ = -1;
    notice_.clear();
    Changed();
    return;
  }
  switch (vk) {
    case kUp:
      return Go(Move::kUp);
    case kDown:
      return Go(Move::kDown);
    case kLeft:
      return Go(Move::kLeft);
    case kRight:
      return Go(Move::kRight);
    case kReturn:
      return Go(Move::kAccept);
    case kEscape:
      return Go(Move::kBack);
    case kBackspace:
      return Go(Move::kErase);
    default:
      return;
  }
}

void StartScreen::Text(const std::string& text) {
  if (capture_ >= 0) return;
  std::vector<Item> items = Items();
  if (cursor_ < 0 || cursor_ >= static_cast<int>(items.size())) return;
  Item& item = items[cursor_];
  if (item.field == nullptr) return;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) continue;  // no control characters in a field
    if (item.digits && (c < '0' || c > '9')) continue;
    if (item.field->size() >= kMaxField) break;
    *item.field += c;
  }
  Changed();
}

void StartScreen::Pad(PadInput input) {
  if (capture_ >= 0) {
    // A controller has no keys to give; B takes the wait back.
    if (input == PadInput::kBack) Key(kEscape);
    return;
  }
  static const Move moves[] = {Move::kUp,    Move::kDown,   Move::kLeft,
                               Move::kRight, Move::kAccept, Move::kBack};
  Go(moves[static_cast<int>(input)]);
}

void StartScreen::Go(Move move) {
  std::vector<Item> items = Items();
  const int n = static_cast<int>(items.size());
  if (move == Move::kBack) {
    notice_.clear();
    if (page_ == Page::kMain) {
      outcome_.kind = Outcome::kQuit;
    } else if (page_ == Page::kControls) {
      Open(Page::kOptions);
    } else {
      Open(Page::kMain);
    }
    return;
  }
  if (move == Move::kUp || move == Move::kDown) {
    notice_.clear();
    for (int i = 0; i < n; ++i) {
      cursor_ = Step(cursor_, n, move == Move::kUp ? -1 : 1);
      if (items[cursor_].act) break;
    }
    return;
  }
  if (cursor_ < 0 || cursor_ >= n || !items[cursor_].act) return;
  Item& item = items[cursor_];
  if (move == Move::kErase) {
    if (item.field != nullptr && !item.field->empty()) {
      // Whole characters of UTF-8 go at once.
      size_t end = item.field->size() - 1;
      while (end > 0 && (static_cast<unsigned char>((*item.field)[end]) & 0xC0) == 0x80) --end;
      item.field->erase(end);
      Changed();
    }
    return;
  }
  item.act(move);
}

void StartScreen::Open(Page page) {
  page_ = page;
  capture_ = -1;
  std::vector<Item> items = Items();
  cursor_ = 0;
  while (cursor_ < static_cast<int>(items.size()) && !items[cursor_].act) ++cursor_;
}

void StartScreen::Changed() {
  if (services_.save) services_.save(settings_);
}

void StartScreen::Common(cli::GameArgs& args) const {
  args.fullScreen = settings_.fullScreen;
  args.wholeScale = settings_.wholeScale;
  args.mixSounds = settings_.mixSounds;
}

std::string StartScreen::RecordPath() const {
  if (!settings_.recordAll) return "";
  const std::string name = services_.recordName ? services_.recordName() : "match";
  return services_.replayFolder + "/" + name + ".tbr";
}

void StartScreen::Start(cli::GameArgs args) {
  Common(args);
  last_ = args;
  outcome_.kind = Outcome::kStart;
  outcome_.args = std::move(args);
}

namespace {

// Keys changed on the keys page hold for every match started here, online too.
void ChangedKeys(const Settings& s, cli::GameArgs& args) {
  if (s.keys == cli::StandardKeys()) return;
  args.customKeys = true;
  args.keys = s.keys;
}

}  // namespace

cli::GameArgs StartScreen::PlayArgs(const Settings& s, const std::string& recordPath) {
  cli::GameArgs args;
  for (int seat = 0; seat < 4; ++seat) {
    const SeatKind k = s.seats[seat];
    if (k == SeatKind::kEmpty) args.emptySeats.push_back(Name(seat));
    if (k == SeatKind::kEasy || k == SeatKind::kNormal || k == SeatKind::kHard) {
      args.botSeats.push_back(Name(seat));
      if (k != SeatKind::kNormal)
        args.seatLevels[Name(seat)] = k == SeatKind::kEasy ? "easy" : "hard";
    }
  }
  args.rounds = s.rounds;
  args.recordPath = recordPath;
  ChangedKeys(s, args);
  return args;
}

cli::GameArgs StartScreen::HostArgs(const Settings& s, const std::string& recordPath) {
  cli::GameArgs args;
  args.host = true;
  args.hostPort = static_cast<uint16_t>(s.hostPort);
  args.password = s.hostPassword;
  for (int seat = 0; seat < 4; ++seat) {
    if (s.hostSeats[seat] == HostSeat::kHere) args.seats |= static_cast<uint8_t>(1u << seat);
    if (s.hostSeats[seat] == HostSeat::kComputer) args.botSeats.push_back(Name(seat));
  }
  args.botLevel = kLevels[std::clamp(s.hostLevel, 0, 2)];
  args.rounds = s.hostRounds;
  args.recordPath = recordPath;
  ChangedKeys(s, args);
  return args;
}

bool StartScreen::JoinArgs(const Settings& s, cli::GameArgs& args, std::string& problem) {
  args = cli::GameArgs{};
  if (s.joinAddress.empty()) {
    problem = "Type the host's address first";
    return false;
  }
  // The same check as --join's.
  if (!net::ParseHostPort(s.joinAddress, args.join, args.joinPort, problem)) return false;
  args.password = s.joinPassword;
  args.seats = s.joinSeats;
  ChangedKeys(s, args);
  return true;
}

void StartScreen::ShowAfterMatch(const std::string& result) {
  result_ = result;
  notice_.clear();
  Open(Page::kAfter);
}

void StartScreen::ShowMain() {
  notice_.clear();
  Open(Page::kMain);
}

Outcome StartScreen::TakeOutcome() {
  Outcome out = std::move(outcome_);
  outcome_ = Outcome{};
  return out;
}

std::vector<StartScreen::Item> StartScreen::Items() {
  std::vector<Item> items;
  auto accept = [](std::function<void()> f) {
    return [f](Move m) {
      if (m == Move::kAccept) f();
    };
  };
  auto line = [&](const std::string& text, uint32_t rgb = kDim) {
    items.push_back({text, nullptr, nullptr, false, rgb});
  };
  Settings& s = settings_;
  switch (page_) {
    case Page::kMain:
      items.push_back({"Play here", accept([this] { Open(Page::kPlay); })});
      items.push_back({"Host online", accept([this] { Open(Page::kHost); })});
      items.push_back({"Join online", accept([this] { Open(Page::kJoin); })});
      items.push_back({"Watch a replay", accept([this] { Open(Page::kReplays); })});
      items.push_back({"Options", accept([this] { Open(Page::kOptions); })});
      items.push_back({"Keys", accept([this] { Open(Page::kKeys); })});
      items.push_back({"Quit", accept([this] { outcome_.kind = Outcome::kQuit; })});
      break;
    case Page::kPlay:
      for (int seat = 0; seat < 4; ++seat) {
        items.push_back({std::string(Name(seat)) + ":  " + SeatKindText(s.seats[seat]),
                         [this, seat](Move m) {
                           int k = static_cast<int>(settings_.seats[seat]);
                           settings_.seats[seat] =
                               static_cast<SeatKind>(Step(k, 5, m == Move::kLeft ? -1 : 1));
                           Changed();
                         },
                         nullptr, false, screen::SeatColour(seat)});
      }
      items.push_back({"Rounds:  " + RoundsText(s.rounds), [this](Move m) {
                         settings_.rounds = Step(settings_.rounds, 100, m == Move::kLeft ? -1 : 1);
                         Changed();
                       }});
      items.push_back({"Start", accept([this] { Start(PlayArgs(settings_, RecordPath())); })});
      items.push_back({"Back", accept([this] { Open(Page::kMain); })});
      break;
    case Page::kHost:
      items.push_back({"Port:  " + std::to_string(s.hostPort), [this](Move m) {
                         if (m == Move::kAccept) return;
                         settings_.hostPort =
                             std::clamp(settings_.hostPort + (m == Move::kLeft ? -1 : 1), 1, 65535);
                         Changed();
                       }});
      items.push_back({"Password:  " + s.hostPassword + "_", [](Move) {}, &s.hostPassword});
      for (int seat = 0; seat < 4; ++seat) {
        items.push_back({std::string(Name(seat)) + ":  " + HostSeatText(s.hostSeats[seat]),
                         [this, seat](Move m) {
                           int k = static_cast<int>(settings_.hostSeats[seat]);
                           settings_.hostSeats[seat] =
                               static_cast<HostSeat>(Step(k, 3, m == Move::kLeft ? -1 : 1));
                           Changed();
                         },
                         nullptr, false, screen::SeatColour(seat)});
      }
      items.push_back({std::string("Computer drivers:  ") + kLevels[std::clamp(s.hostLevel, 0, 2)],
                       [this](Move m) {
                         settings_.hostLevel =
                             Step(settings_.hostLevel, 3, m == Move::kLeft ? -1 : 1);
                         Changed();
                       }});
      items.push_back({"Rounds:  " + RoundsText(s.hostRounds), [this](Move m) {
                         settings_.hostRounds =
                             Step(settings_.hostRounds, 100, m == Move::kLeft ? -1 : 1);
                         Changed();
                       }});
      items.push_back({"Start hosting", accept([this] {
                         if ((HostArgs(settings_, "").seats) == 0) {
                           notice_ = "Play at least one seat here";
                           return;
                         }
                         Start(HostArgs(settings_, RecordPath()));
                       })});
      items.push_back({"Back", accept([this] { Open(Page::kMain); })});
      break;
    case Page::kJoin:
      items.push_back({"Address:  " + s.joinAddress + "_", [](Move) {}, &s.joinAddress});
      items.push_back({"Password:  " + s.joinPassword + "_", [](Move) {}, &s.joinPassword});
      for (int seat = 0; seat < 4; ++seat) {
        const bool here = (s.joinSeats >> seat) & 1;
        items.push_back({std::string(Name(seat)) + ":  " + (here ? "played here" : "not here"),
                         [this, seat](Move) {
                           settings_.joinSeats =
                               static_cast<uint8_t>(settings_.joinSeats ^ (1u << seat));
                           Changed();
                         },
                         nullptr, false, screen::SeatColour(seat)});
      }
      line(s.joinSeats == 0 ? "No colour chosen: the host gives you one" : "");
      items.push_back({"Join", accept([this] {
                         cli::GameArgs args;
                         std::string problem;
                         if (!JoinArgs(settings_, args, problem)) {
                           notice_ = problem;
                           return;
                         }
                         Start(args);
                       })});
      items.push_back({"Back", accept([this] { Open(Page::kMain); })});
      break;
    case Page::kReplays:
      items.push_back({"Record every match:  " + OnOff(s.recordAll), [this](Move) {
                         settings_.recordAll = !settings_.recordAll;
                         Changed();
                       }});
      line("into " + services_.replayFolder);
      if (services_.replays.empty()) line("No replays yet");
      for (const ReplayEntry& r : services_.replays) {
        std::string text = r.when + "   " + screen::PlayTime(r.ticks);
        if (r.rounds > 0) text += "   " + std::to_string(r.rounds) + " rounds";
        if (r.players != 0) text += "   " + Seats(r.players);
        const std::string path = r.path;
        items.push_back({text, accept([this, path] {
                           cli::GameArgs args;
                           args.replayPath = path;
                           Start(args);
                         })});
      }
      items.push_back({"Back", accept([this] { Open(Page::kMain); })});
      break;
    case Page::kOptions:
      items.push_back({"Full screen:  " + OnOff(s.fullScreen), [this](Move) {
                         settings_.fullScreen = !settings_.fullScreen;
                         Changed();
                       }});
      items.push_back(
          {std::string("Scaling:  ") + (s.wholeScale ? "whole multiples only" : "as large as fits"),
           [this](Move) {
             settings_.wholeScale = !settings_.wholeScale;
             Changed();
           }});
      items.push_back(
          {std::string("Sounds:  ") + (s.mixSounds ? "mixed, up to 8" : "one at a time"),
           [this](Move) {
             settings_.mixSounds = !settings_.mixSounds;
             Changed();
           }});
      items.push_back({"Controls", accept([this] { Open(Page::kControls); })});
      items.push_back({"Back", accept([this] { Open(Page::kMain); })});
      break;
    case Page::kControls:
      for (int seat = 0; seat < 4; ++seat) {
        const auto& k = s.keys[seat];
        std::string pad = services_.padName ? services_.padName(seat) : "";
        line(std::string(Name(seat)) + (pad.empty() ? "" : "  (controller: " + pad + ")"),
             screen::SeatColour(seat));
        line("forward " + screen::KeyName(k[2]) + ", back " + screen::KeyName(k[3]) + ", fire " +
                 screen::KeyName(k[4]),
             kPlain);
        line("left " + screen::KeyName(k[1]) + ", right " + screen::KeyName(k[0]), kPlain);
      }
      line("Controllers take the colours in the order they are plugged in:");
      line("d-pad or stick drives, A fires");
      items.push_back({"Back", accept([this] { Open(Page::kOptions); })});
      break;
    case Page::kKeys: {
      const bool standard = s.keys == cli::StandardKeys(), laptop = s.keys == LaptopKeys();
      items.push_back({std::string("Layout:  ") + (standard ? "the game's own"
                                                   : laptop ? "laptop, no keypad"
                                                            : "your own"),
                       [this, standard](Move) {
                         settings_.keys = standard ? LaptopKeys() : cli::StandardKeys();
                         Changed();
                       }});
      for (int seat = 0; seat < 4; ++seat)
        for (int a = 0; a < 5; ++a) {
          const int slot = seat * 5 + a;
          std::string text = std::string(Name(seat)) + " " + kActionNames[a] + ":  " +
                             (capture_ == slot ? "press a key" : screen::KeyName(s.keys[seat][a]));
          items.push_back({text, accept([this, slot] {
                             capture_ = slot;
                             notice_.clear();
                           }),
                           nullptr, false, screen::SeatColour(seat)});
        }
      line("For matches started here only");
      items.push_back({"Back", accept([this] { Open(Page::kMain); })});
      break;
    }
    case Page::kAfter:
      line(result_, kTitle);
      items.push_back({"Play again", accept([this] {
                         cli::GameArgs args = last_;
                         // A new file for the new match when every match is recorded.
                         if (!args.recordPath.empty()) args.recordPath = RecordPath();
                         Start(args);
                       })});
      items.push_back({"Back to the start screen", accept([this] { Open(Page::kMain); })});
      break;
  }
  return items;
}

MenuView StartScreen::View() const {
  static const char* const titles[] = {"Treadbrawl",  "Play here",      "Host online",
                                       "Join online", "Watch a replay", "Options",
                                       "Controls",    "Keys",           "Match over"};
  MenuView view;
  view.title = titles[static_cast<int>(page_)];
  std::vector<Item> items = const_cast<StartScreen*>(this)->Items();
  const int n = static_cast<int>(items.size());
  const int chosen = cursor_ >= 0 && cursor_ < n ? cursor_ : -1;
  // A long page shows the rows around the chosen one, so that it fits the window at 1x.
  int first = 0, last = n;
  if (n > kMaxRows) {
    first = std::clamp(chosen - kMaxRows / 2, 0, n - kMaxRows);
    last = first + kMaxRows;
  }
  if (first > 0) view.rows.push_back({"\u25B2", false, kDim});
  for (int i = first; i < last; ++i) {
    if (i == chosen) view.selected = static_cast<int>(view.rows.size());
    view.rows.push_back({items[i].text, bool(items[i].act), items[i].rgb});
  }
  if (last < n) view.rows.push_back({"\u25BC", false, kDim});
  view.notice = notice_;
  if (capture_ >= 0)
    view.hint = "Press the new key; Escape keeps the old one";
  else if (page_ == Page::kMain)
    view.hint = "Arrows choose, Enter takes, Escape quits (d-pad, A, B)";
  else if (page_ == Page::kAfter)  // nothing here to change
    view.hint = "Arrows choose, Enter takes, Escape goes back";
  else
    view.hint = "Arrows choose and change, Enter takes, Escape goes back";
  return view;
}

}  // namespace tb::front
