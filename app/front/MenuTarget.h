#pragma once
// The start screen in the game's window, and the guard around a match started from it.
#include <cstdint>
#include <string>
#include <vector>

#include "app/front/StartScreen.h"
#include "match/Rounds.h"
#include "platform/LayerContent.h"
#include "platform/SdlGame.h"

namespace tb::front {

// A page of the start screen as lines of the on-screen layer: the title, the rows with the
// chosen one marked, the notice and the keys that work.
std::vector<LayerLine> MenuLines(const MenuView& view);

// The start screen driven by the window's loop; it closes once something is chosen.
class MenuTarget final : public TickTarget {
 public:
  // Shows `screen` on `layer` (may be null).
  MenuTarget(StartScreen& screen, ScreenLayer* layer) : screen_(screen), layer_(layer) {}
  // Draws the page.
  void Tick() override;
  // Keys go to the screen as they are.
  void KeyDown(uint16_t keyCode, int shift) override;
  // Typing goes into the chosen field.
  void TextInput(const std::string& text) override;
  // A: take, B: back, d-pad and stick: choose and change.
  void PadPressed(PadButton button) override;
  // Whether something has been chosen.
  bool Closed() const override { return outcome_.kind != Outcome::kNone; }
  // What was chosen.
  const Outcome& Chosen() const { return outcome_; }

 private:
  void Take();
  StartScreen& screen_;
  ScreenLayer* layer_;
  Outcome outcome_;
};

// A match started from the start screen: Escape asks before leaving and a second Escape
// leaves; a match of rounds ends a little after its winner is known.
class GuardedTarget final : public TickTarget {
 public:
  // Wraps `inner`; `rounds` may be null; `layer` (may be null) shows the question.
  GuardedTarget(TickTarget& inner, const match::Rounds* rounds, ScreenLayer* layer)
      : inner_(inner), rounds_(rounds), layer_(layer) {}
  // A tick of the match, unless it waits for an answer or stands at its end.
  void Tick() override;
  // Escape asks, a second leaves, another key answers "play on"; the rest go to the match.
  void KeyDown(uint16_t keyCode, int shift) override;
  // Left, ended, or closed by the match itself.
  bool Closed() const override { return inner_.Closed() || leave_ || shownOver_ >= kOverTicks; }
  // Whether the player is being asked whether to leave.
  bool Asking() const { return asking_; }
  // Whether the match of rounds came to its end.
  bool MatchOver() const { return shownOver_ >= kOverTicks; }

  // The winner stays on the arena this long before the choices come: three seconds.
  static constexpr int kOverTicks = 150;

 private:
  TickTarget& inner_;
  const match::Rounds* rounds_;
  ScreenLayer* layer_;
  bool asking_ = false;
  bool leave_ = false;
  int shownOver_ = 0;
};

}  // namespace tb::front
