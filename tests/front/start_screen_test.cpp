// The start screen's pages driven by keys, controller buttons and typing, and the arguments
// each choice starts with, against what the command line gives for the same choice.
#include <gtest/gtest.h>

#include "app/front/Settings.h"
#include "app/front/StartScreen.h"
#include "tests/front/FrontHelpers.h"

namespace {

using namespace fronttest;
using tb::front::Outcome;
using tb::front::PadInput;
using tb::front::Settings;
using tb::front::StartScreen;
using Page = StartScreen::Page;

StartScreen Fresh(tb::front::StartScreenServices services = {}) {
  return StartScreen(Settings{}, std::move(services));
}

std::string Selected(const StartScreen& s) {
  tb::front::MenuView v = s.View();
  return v.selected >= 0 ? v.rows[v.selected].text : "";
}

TEST(StartScreenPlay, SeatsAndRoundsGiveTheCommandLinesArguments) {
  StartScreen s = Fresh();
  Press(s, {kEnter});  // Play here
  ASSERT_EQ(s.CurrentPage(), Page::kPlay);
  Press(s, {kDown});
  Repeat(s, kRight, 3);       // Red: computer, hard
  Press(s, {kDown, kRight});  // Blue: computer, easy
  Press(s, {kDown, kLeft});   // Yellow: empty, the other way round
  Press(s, {kDown});
  Repeat(s, kRight, 3);  // 3 rounds
  EXPECT_EQ(Selected(s), "Rounds:  3");
  Press(s, {kDown, kEnter});
  Outcome o = s.TakeOutcome();
  ASSERT_EQ(o.kind, Outcome::kStart);
  EXPECT_TRUE(tb::cli::SameGame(o.args, Cli({"--bot", "Red,Blue", "--level", "Red:hard", "--level",
                                             "Blue:easy", "--empty", "Yellow", "--rounds", "3"})));
  EXPECT_EQ(s.TakeOutcome().kind, Outcome::kNone);  // taken once
}

TEST(StartScreenPlay, UntouchedChoicesStartThePlainGame) {
  StartScreen s = Fresh();
  Press(s, {kEnter, kUp, kUp, kEnter});  // Play here, wrap up to Start
  Outcome o = s.TakeOutcome();
  ASSERT_EQ(o.kind, Outcome::kStart);
  EXPECT_TRUE(tb::cli::SameGame(o.args, Cli({})));
  EXPECT_FALSE(o.args.customKeys);
}

TEST(StartScreenPlay, AControllerAloneGetsThere) {
  StartScreen s = Fresh();
  s.Pad(PadInput::kAccept);
  s.Pad(PadInput::kRight);  // Green: computer, easy
  s.Pad(PadInput::kRight);  // normal
  for (int i = 0; i < 4; ++i) s.Pad(PadInput::kDown);
  s.Pad(PadInput::kRight);  // 1 round
  s.Pad(PadInput::kDown);
  s.Pad(PadInput::kAccept);
  Outcome o = s.TakeOutcome();
  ASSERT_EQ(o.kind, Outcome::kStart);
  EXPECT_TRUE(tb::cli::SameGame(o.args, Cli({"--bot", "Green", "--rounds", "1"})));
}

TEST(StartScreenPlay, RoundsWrapBetweenNoneAnd99) {
  StartScreen s = Fresh();
  Press(s, {kEnter});
  Repeat(s, kDown, 4);
  Press(s, {kLeft});
  EXPECT_EQ(Selected(s), "Rounds:  99");
  Press(s, {kRight});
  EXPECT_EQ(Selected(s), "Rounds:  none, play on");
}

TEST(StartScreenNavigation, EscapeGoesBackThenQuits) {
  StartScreen s = Fresh();
  Press(s, {kDown, kDown, kDown, kDown, kEnter});  // Options
  ASSERT_EQ(s.CurrentPage(), Page::kOptions);
  Press(s, {kUp, kUp, kEnter});  // Controls
  ASSERT_EQ(s.CurrentPage(), Page::kControls);
  Press(s, {kEsc});
  EXPECT_EQ(s.CurrentPage(), Page::kOptions);
  Press(s, {kEsc});
  EXPECT_EQ(s.CurrentPage(), Page::kMain);
  EXPECT_EQ(s.TakeOutcome().kind, Outcome::kNone);
  s.Pad(PadInput::kBack);
  EXPECT_EQ(s.TakeOutcome().kind, Outcome::kQuit);
}

TEST(StartScreenNavigation, QuitRowAndUnreadableLinesAreSkipped) {
  StartScreen s = Fresh();
  Press(s, {kUp});
  EXPECT_EQ(Selected(s), "Quit");
  Press(s, {kEnter});
  EXPECT_EQ(s.TakeOutcome().kind, Outcome::kQuit);

  // The controls page's lines cannot be chosen: only Back can.
  StartScreen c = Fresh();
  Press(c, {kDown, kDown, kDown, kDown, kEnter, kUp, kUp, kEnter});
  ASSERT_EQ(c.CurrentPage(), Page::kControls);
  EXPECT_EQ(Selected(c), "Back");
  Press(c, {kDown, kDown});
  EXPECT_EQ(Selected(c), "Back");
}

TEST(StartScreenOptions, ControlsShowEachColoursKeysAndController) {
  tb::front::StartScreenServices services;
  services.padName = [](int seat) { return seat == 1 ? std::string("Pad X") : std::string(); };
  StartScreen s = Fresh(services);
  Press(s, {kDown, kDown, kDown, kDown, kEnter, kUp, kUp, kEnter});
  std::string all;
  for (const auto& row : s.View().rows) all += row.text + "\n";
  EXPECT_NE(all.find("Red  (controller: Pad X)"), std::string::npos) << all;
  EXPECT_NE(all.find("forward Keypad 8, back Keypad 5, fire Keypad 9\nleft Keypad 4, right "
                     "Keypad 6"),
            std::string::npos)
      << all;
}

TEST(StartScreenKeys, TheLongPageScrollsWithTheChosenRow) {
  StartScreen s = Fresh();
  Repeat(s, kDown, 5);
  Press(s, {kEnter});
  tb::front::MenuView v = s.View();
  EXPECT_LE(v.rows.size(), 14u);
  EXPECT_EQ(v.rows.back().text, "\u25BC");  // more below
  Press(s, {kUp});                          // round to Back at the end
  v = s.View();
  EXPECT_EQ(Selected(s), "Back");
  EXPECT_EQ(v.rows.front().text, "\u25B2");  // more above
  EXPECT_LE(v.rows.size(), 14u);
  Press(s, {kUp});  // over the note, which cannot be chosen
  EXPECT_EQ(Selected(s), "Yellow fire:  Keypad 9");
}

TEST(StartScreenOptions, SwitchesCarryIntoEveryStartAndAreSaved) {
  int saves = 0;
  Settings saved;
  tb::front::StartScreenServices services;
  services.save = [&](const Settings& st) {
    ++saves;
    saved = st;
  };
  StartScreen s = Fresh(services);
  Press(s, {kDown, kDown, kDown, kDown, kEnter});    // Options
  Press(s, {kEnter, kDown, kRight, kDown, kEnter});  // full screen, whole, mixed
  EXPECT_EQ(saves, 3);
  EXPECT_TRUE(saved.fullScreen && saved.wholeScale && saved.mixSounds);
  Press(s, {kEsc, kEnter, kUp, kUp, kEnter});  // Play here, Start
  Outcome o = s.TakeOutcome();
  ASSERT_EQ(o.kind, Outcome::kStart);
  EXPECT_TRUE(
      tb::cli::SameGame(o.args, Cli({"--full-screen", "--scale", "whole", "--mix-sounds"})));
}

TEST(StartScreenOnline, HostingGivesTheHostsCommandLine) {
  StartScreen s = Fresh();
  Press(s, {kDown, kEnter});
  ASSERT_EQ(s.CurrentPage(), Page::kHost);
  Press(s, {kRight, kLeft, kLeft});  // port 24641
  Press(s, {kDown});
  s.Text("pw");
  Press(s, {kDown, kDown});                 // Red
  Press(s, {kRight});                       // computer
  Press(s, {kDown, kDown, kDown, kRight});  // hard
  Press(s, {kDown});
  Repeat(s, kRight, 5);
  Press(s, {kDown, kEnter});
  Outcome o = s.TakeOutcome();
  ASSERT_EQ(o.kind, Outcome::kStart);
  EXPECT_TRUE(
      tb::cli::SameGame(o.args, Cli({"--host", "24641", "--password", "pw", "--seats", "Green",
                                     "--bot", "Red", "--bot-level", "hard", "--rounds", "5"})));
}

TEST(StartScreenOnline, HostingWithNobodyHereIsRefused) {
  StartScreen s = Fresh();
  Press(s, {kDown, kEnter, kDown, kDown, kRight});  // Green for a friend
  Repeat(s, kDown, 6);
  EXPECT_EQ(Selected(s), "Start hosting");
  Press(s, {kEnter});
  EXPECT_EQ(s.TakeOutcome().kind, Outcome::kNone);
  EXPECT_EQ(s.View().notice, "Play at least one seat here");
}

TEST(StartScreenOnline, JoiningTakesTheTypedAddressAndSeats) {
  StartScreen s = Fresh();
  Press(s, {kDown, kDown, kEnter});
  ASSERT_EQ(s.CurrentPage(), Page::kJoin);
  s.Text("127.0.0.1:40000x");
  Press(s, {kBack});  // the stray x goes again
  Press(s, {kDown});
  s.Text(
      "se\x01"
      "cret");                              // a control character is dropped
  Press(s, {kDown, kDown, kDown, kEnter});  // Blue played here
  Press(s, {kDown, kDown, kEnter});         // Join
  Outcome o = s.TakeOutcome();
  ASSERT_EQ(o.kind, Outcome::kStart);
  EXPECT_TRUE(tb::cli::SameGame(
      o.args, Cli({"--join", "127.0.0.1:40000", "--password", "secret", "--seats", "Blue"})));
}

TEST(StartScreenOnline, AnAddressThatIsNoneIsSaidAndNotJoined) {
  StartScreen s = Fresh();
  Press(s, {kDown, kDown, kEnter});
  Press(s, {kUp, kUp, kEnter});  // Join with nothing typed
  EXPECT_EQ(s.TakeOutcome().kind, Outcome::kNone);
  EXPECT_FALSE(s.View().notice.empty());
  Press(s, {kDown, kDown});  // back round to the address
  s.Text("host:99999");
  Press(s, {kUp, kUp, kEnter});
  EXPECT_EQ(s.TakeOutcome().kind, Outcome::kNone);
  EXPECT_FALSE(s.View().notice.empty());
}

TEST(StartScreenOnline, FieldsAreBoundedAndRubOutWholeCharacters) {
  StartScreen s = Fresh();
  Press(s, {kDown, kDown, kEnter});
  s.Text(std::string(100, 'a'));
  EXPECT_EQ(s.Current().joinAddress.size(), 64u);
  Press(s, {kDown});
  s.Text("p\xC3\xA4");  // p, a with two dots
  Press(s, {kBack});
  EXPECT_EQ(s.Current().joinPassword, "p");
}

TEST(StartScreenReplays, NewestFirstAndChosenOneIsShown) {
  tb::front::StartScreenServices services;
  services.replays = {{"/r/new.tbr", "2026-12-08 12:30", 3250, 3, 0x05},
                      {"/r/old.tbr", "2026-12-01 09:00", 100, 0, 0}};
  StartScreen s = Fresh(services);
  Press(s, {kDown, kDown, kDown, kEnter});
  ASSERT_EQ(s.CurrentPage(), Page::kReplays);
  Press(s, {kDown});
  EXPECT_EQ(Selected(s), "2026-12-08 12:30   1:05   3 rounds   Green, Blue");
  Press(s, {kDown, kEnter});
  Outcome o = s.TakeOutcome();
  ASSERT_EQ(o.kind, Outcome::kStart);
  EXPECT_TRUE(tb::cli::SameGame(o.args, Cli({"--replay", "/r/old.tbr"})));
}

TEST(StartScreenReplays, RecordingEveryMatchNamesItByDate) {
  tb::front::StartScreenServices services;
  services.replayFolder = "/state";
  services.recordName = [] { return std::string("2026-12-08_12-30-05"); };
  StartScreen s = Fresh(services);
  Press(s, {kDown, kDown, kDown, kEnter, kEnter, kEsc});  // record: on
  EXPECT_TRUE(s.Current().recordAll);
  Press(s, {kEnter, kUp, kUp, kEnter});
  Outcome o = s.TakeOutcome();
  EXPECT_TRUE(tb::cli::SameGame(o.args, Cli({"--record", "/state/2026-12-08_12-30-05.tbr"})));
}

TEST(StartScreenAfterMatch, PlayAgainRepeatsTheChoiceAndBackReturns) {
  StartScreen s = Fresh();
  Press(s, {kEnter, kDown, kRight});  // Red easy
  Repeat(s, kDown, 3);
  Press(s, {kRight, kDown, kEnter});  // 1 round
  Outcome first = s.TakeOutcome();
  s.ShowAfterMatch("Red wins 1 to 0");
  ASSERT_EQ(s.CurrentPage(), Page::kAfter);
  EXPECT_EQ(s.View().rows[0].text, "Red wins 1 to 0");
  EXPECT_EQ(Selected(s), "Play again");
  Press(s, {kEnter});
  Outcome again = s.TakeOutcome();
  ASSERT_EQ(again.kind, Outcome::kStart);
  EXPECT_TRUE(tb::cli::SameGame(again.args, first.args));
  s.ShowAfterMatch("x");
  Press(s, {kDown, kEnter});
  EXPECT_EQ(s.CurrentPage(), Page::kMain);
  EXPECT_EQ(s.TakeOutcome().kind, Outcome::kNone);
}

TEST(StartScreenKeys, ANewKeyIsTakenAndATakenOneRefused) {
  Settings saved;
  tb::front::StartScreenServices services;
  services.save = [&](const Settings& st) { saved = st; };
  StartScreen s = Fresh(services);
  Repeat(s, kDown, 5);
  Press(s, {kEnter});
  ASSERT_EQ(s.CurrentPage(), Page::kKeys);
  Press(s, {kDown});  // Green turn right: D
  EXPECT_EQ(Selected(s), "Green turn right:  D");
  Press(s, {kEnter});
  EXPECT_TRUE(s.Capturing());
  s.Key('J');  // Red's turn left
  EXPECT_TRUE(s.Capturing());
  EXPECT_EQ(s.View().notice, "J is Red's turn left already; press another key");
  s.Key(0x0D);  // Enter steers nothing
  EXPECT_TRUE(s.Capturing());
  s.Key('D');  // its own key again is fine
  EXPECT_FALSE(s.Capturing());
  Press(s, {kEnter});
  s.Key('Q');
  EXPECT_EQ(Selected(s), "Green turn right:  Q");
  EXPECT_EQ(saved.keys[0][0], 'Q');
  Press(s, {kEnter, kEsc});  // Escape keeps the key
  EXPECT_FALSE(s.Capturing());
  EXPECT_EQ(s.Current().keys[0][0], 'Q');
  EXPECT_EQ(s.CurrentPage(), Page::kKeys);
  // The changed keys go with a match started here.
  Press(s, {kEsc, kEnter, kUp, kUp, kEnter});
  Outcome o = s.TakeOutcome();
  ASSERT_EQ(o.kind, Outcome::kStart);
  EXPECT_TRUE(o.args.customKeys);
  EXPECT_EQ(o.args.keys[0][0], 'Q');
}

TEST(StartScreenKeys, TheLaptopLayoutAndBack) {
  StartScreen s = Fresh();
  Repeat(s, kDown, 5);
  Press(s, {kEnter, kEnter});
  EXPECT_EQ(Selected(s), "Layout:  laptop, no keypad");
  EXPECT_EQ(s.Current().keys, tb::front::LaptopKeys());
  Press(s, {kEnter});
  EXPECT_EQ(Selected(s), "Layout:  the game's own");
  EXPECT_EQ(s.Current().keys, tb::cli::StandardKeys());
}

TEST(StartScreenKeys, AControllerCannotGiveAKeyButCanTakeTheWaitBack) {
  StartScreen s = Fresh();
  Repeat(s, kDown, 5);
  Press(s, {kEnter, kDown});
  s.Pad(PadInput::kAccept);
  EXPECT_TRUE(s.Capturing());
  s.Pad(PadInput::kBack);
  EXPECT_FALSE(s.Capturing());
  EXPECT_EQ(s.CurrentPage(), Page::kKeys);
}

}  // namespace

namespace {

TEST(CommandLineForTheStartScreen, MenuGoesOnlyWithTheWindowsOptions) {
  tb::cli::GameArgs args;
  std::string error;
  EXPECT_TRUE(tb::cli::Parse({"--menu", "--full-screen", "--scale", "whole"}, args, error));
  EXPECT_TRUE(args.menu && args.fullScreen && args.wholeScale);
  for (const char* other : {"--rounds", "--bots", "--replay", "--keys"}) {
    args = {};
    EXPECT_FALSE(tb::cli::Parse({"--menu", other, "2"}, args, error)) << other;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST(CommandLineForTheStartScreen, NewOptionsAreChecked) {
  tb::cli::GameArgs args;
  std::string error;
  EXPECT_FALSE(tb::cli::Parse({"--level", "Red:hard"}, args, error));  // Red has no driver
  args = {};
  EXPECT_FALSE(tb::cli::Parse({"--bot", "Red", "--level", "Red:best"}, args, error));
  args = {};
  EXPECT_FALSE(tb::cli::Parse({"--bot", "Red", "--level", "Purple:hard"}, args, error));
  args = {};
  EXPECT_FALSE(tb::cli::Parse({"--empty", "Teal"}, args, error));
  args = {};
  ASSERT_TRUE(
      tb::cli::Parse({"--bot", "Red", "--level", "Red:easy", "--empty", "Blue"}, args, error))
      << error;
  EXPECT_EQ(args.seatLevels.at("Red"), "easy");
  EXPECT_EQ(args.emptySeats, std::vector<std::string>{"Blue"});
}

}  // namespace
