#pragma once
// What the window's loop drives in a game played here: a match, or a replay being watched.
#include <cstdint>
#include <string>

#include "bots/Seats.h"
#include "match/Rounds.h"
#include "platform/SdlGame.h"
#include "shell/MainFrm.h"
#include "shell/Platform.h"
#include "state/Recording.h"
#include "state/ReplayPlayer.h"

namespace tb {

// The game's tick, under a match's rules when there are any, noted in a replay when one is
// written (either may be null).
class MatchTarget final : public TickTarget {
 public:
  // The bare game, or a match under `rules` recorded by `recorder`.
  explicit MatchTarget(MainFrm& form, TickRules* rules = nullptr, Recorder* recorder = nullptr)
      : form_(form), rules_(rules), recorder_(recorder) {}
  // One tick of the match, then its record.
  void Tick() override;
  // A key pressed: the game's own Escape.
  void KeyDown(uint16_t keyCode, int shift) override { form_.KeyDown(keyCode, shift); }
  // Whether the game has closed its window.
  bool Closed() const override { return form_.Closed(); }
  // Tells the player on `layer` about the match's `rounds` and the computer's `drivers`
  // (either may be null), and shows the keys of the seats people drive.
  void ShowOn(ScreenLayer* layer, const match::Rounds* rounds, const bots::Seats* drivers);

 private:
  MainFrm& form_;
  TickRules* rules_;
  Recorder* recorder_;
  ScreenLayer* layer_ = nullptr;
  const match::Rounds* rounds_ = nullptr;
  const bots::Seats* drivers_ = nullptr;
};

// Shows a replay at the game's pace: Space pauses, Right and Left seek, Escape quits.
class ReplayTarget final : public TickTarget {
 public:
  // Plays `player` on `form`; `sound` is muted while seeking.
  ReplayTarget(MainFrm& form, ReplayPlayer& player, MutableSound& sound)
      : form_(form), player_(player), sound_(sound) {}
  // The next recorded tick, unless paused, ended or gone wrong.
  void Tick() override;
  // Space, Right, Left and Escape.
  void KeyDown(uint16_t keyCode, int shift) override;
  // Escape pressed, or the game left the recording.
  bool Closed() const override { return closed_ || !problem_.empty(); }
  // Where the game left the recording; empty while it follows it.
  const std::string& Problem() const { return problem_; }
  // Tells the player on `layer` where the replay is and the score of its `rounds` (may be null).
  void ShowOn(ScreenLayer* layer, const match::Rounds* rounds) {
    layer_ = layer;
    rounds_ = rounds;
  }

  // Ticks skipped by Right and Left: five seconds.
  static constexpr int64_t kSkip = 5 * 50;

 private:
  MainFrm& form_;
  ReplayPlayer& player_;
  MutableSound& sound_;
  void Show();
  bool paused_ = false;
  bool closed_ = false;
  std::string problem_;
  ScreenLayer* layer_ = nullptr;
  const match::Rounds* rounds_ = nullptr;
};

}  // namespace tb
