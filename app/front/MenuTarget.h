#pragma once
// The start screen in the game's window, and the guard around a match started from it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/OnlineGame.h"
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

// An online match started from the start screen: Escape asks before leaving, as at home, while
// the match runs on for the others; once a match of rounds is over the host chooses between
// playing again and going back, and the joiners are shown that it does and follow.
class OnlineGuard final : public TickTarget {
 public:
  // Wraps `inner`, the target of `session` (the host's when `host`); `newSeed` gives a match
  // played again its seed; `layer` (may be null) shows the question and the choices.
  OnlineGuard(OnlineTarget& inner, net::Session& session, bool host,
              std::function<uint64_t()> newSeed, ScreenLayer* layer)
      : inner_(inner),
        session_(session),
        host_(host),
        newSeed_(std::move(newSeed)),
        layer_(layer) {}
  // A frame of the session, always: the others are not kept waiting by a question.
  void Tick() override;
  // Escape asks and a second leaves; on the host's choices arrows choose and Enter takes.
  void KeyDown(uint16_t keyCode, int shift) override;
  // The same choices by controller.
  void PadPressed(PadButton button) override;
  // Left, ended by the host going back, or closed by the match itself.
  bool Closed() const override { return inner_.Closed() || leave_ || session_.WentBack(); }
  // Whether the player is being asked whether to leave.
  bool Asking() const { return asking_; }
  // Whether the match's winner stands and the choices show.
  bool Choosing() const { return over_ >= GuardedTarget::kOverTicks; }

 private:
  void Take();
  OnlineTarget& inner_;
  net::Session& session_;
  const bool host_;
  std::function<uint64_t()> newSeed_;
  ScreenLayer* layer_;
  bool asking_ = false;
  bool leave_ = false;
  int over_ = 0;    // frames the match has stood over
  int match_ = 0;   // the session's match these frames count for
  int chosen_ = 0;  // 0: play again, 1: back to the start screen
};

}  // namespace tb::front
