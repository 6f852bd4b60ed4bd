#pragma once
// The start screen as a plain state machine: keys, controller buttons and typed text go in;
// what to draw and, once chosen, the game to start (the same arguments the command line
// gives) come out. Nothing here touches the window, the disk or the clock.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
#include "app/front/Settings.h"

namespace tb::front {

// A replay file in the list to watch.
struct ReplayEntry {
  std::string path;
  std::string when;     // "2026-12-08 12:30"
  int64_t ticks = 0;    // its length
  int rounds = 0;       // 0: no rounds
  uint8_t players = 0;  // seats that moved in it, bit 0 Green
};

// What a controller's buttons mean on the start screen.
enum class PadInput { kUp, kDown, kLeft, kRight, kAccept, kBack };

// One line of the screen.
struct MenuRow {
  std::string text;
  bool selectable = true;
  uint32_t rgb = 0xE8E8E8;
};

// What the screen shows now.
struct MenuView {
  std::string title;
  std::vector<MenuRow> rows;
  int selected = -1;   // index into rows, -1 for none
  std::string notice;  // a refusal or a question, "" for none
  std::string hint;    // the keys that work here
};

// What the player chose.
struct Outcome {
  enum Kind { kNone, kStart, kQuit } kind = kNone;
  cli::GameArgs args;
};

// What the screen needs from outside, all optional.
struct StartScreenServices {
  std::vector<ReplayEntry> replays;              // newest first
  std::string replayFolder = ".";                // where every match is recorded, when asked
  std::function<std::string()> recordName;       // a new replay's name, from the date
  std::function<void(const Settings&)> save;     // called whenever a choice changes
  std::function<std::string(int seat)> padName;  // the controller driving a colour, or ""
};

class StartScreen {
 public:
  // The pages, the first one first.
  enum class Page { kMain, kPlay, kHost, kJoin, kReplays, kOptions, kControls, kKeys, kAfter };

  // Opens on the first page with the remembered `settings`.
  StartScreen(Settings settings, StartScreenServices services);

  // A key pressed, by virtual-key code.
  void Key(uint8_t virtualKey);
  // Text typed (UTF-8).
  void Text(const std::string& text);
  // A controller button.
  void Pad(PadInput input);

  // After a match of rounds started here: the result stays up with play again and back.
  void ShowAfterMatch(const std::string& result);
  // Back at the first page, as after a match without rounds.
  void ShowMain();
  // The replays to offer, newest first, after a match may have added one.
  void SetReplays(std::vector<ReplayEntry> replays) { services_.replays = std::move(replays); }

  // The choice made since the last call, then kNone until the next.
  Outcome TakeOutcome();
  // What to draw now.
  MenuView View() const;
  // The page shown.
  Page CurrentPage() const { return page_; }
  // The choices as they stand.
  const Settings& Current() const { return settings_; }
  // Whether a key is being waited for, on the keys page.
  bool Capturing() const { return capture_ >= 0; }

  // The arguments a match played here starts with, as on the command line.
  static cli::GameArgs PlayArgs(const Settings& s, const std::string& recordPath);
  // The same for hosting and joining; false with a reason for an address that is not one.
  static cli::GameArgs HostArgs(const Settings& s, const std::string& recordPath);
  static bool JoinArgs(const Settings& s, cli::GameArgs& out, std::string& problem);

 private:
  enum class Move { kUp, kDown, kLeft, kRight, kAccept, kBack, kErase };
  struct Item;
  std::vector<Item> Items();
  void Go(Move move);
  void Open(Page page);
  void Changed();
  void Start(cli::GameArgs args);
  std::string RecordPath() const;
  // Applies the options every start carries.
  void Common(cli::GameArgs& args) const;

  Settings settings_;
  StartScreenServices services_;
  Page page_ = Page::kMain;
  int cursor_ = 0;
  int capture_ = -1;  // seat * 5 + action being given a new key
  std::string notice_;
  std::string result_;  // the last match's result, on the page after it
  Outcome outcome_;
  cli::GameArgs last_;  // what "play again" starts
};

}  // namespace tb::front
