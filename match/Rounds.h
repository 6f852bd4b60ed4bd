#pragma once
// A match of rounds, which a player asks for: when at most one vehicle is left, or after
// five minutes, the survivor scores; three seconds later a new arena is built by the same
// set-up as the first; after the last round the winner is named and the game stands still
// until Escape. Without it the game has no end.
#include <array>
#include <cstdint>
#include <string>

#include "match/Tick.h"
#include "render/Surface.h"

namespace tb {
class MainFrm;
// A match has at most this many rounds.
inline constexpr int32_t kMaxRounds = 99;
}  // namespace tb

namespace tb::match {

// The window title with the score after it: the game's own title stays in front.
class ScoredCaption final : public Surface {
 public:
  // Passes every drawing call on to `inner`.
  explicit ScoredCaption(Surface& inner) : inner_(inner) {}
  // Shows this score after the game's title; empty for none.
  void SetScore(const std::string& score);
  // The title as the game set it, without the score.
  const std::string& GameCaption() const { return caption_; }

  // The Surface interface, passed on; only the title gains the score.
  void Clear() override { inner_.Clear(); }
  void SetPenWidth(int16_t width) override { inner_.SetPenWidth(width); }
  void PlotPoint(float x, float y) override { inner_.PlotPoint(x, y); }
  void PlotPoint(float x, float y, int32_t colour) override { inner_.PlotPoint(x, y, colour); }
  void LineTo(float x, float y, int32_t colour) override { inner_.LineTo(x, y, colour); }
  void DrawLine(float x1, float y1, float x2, float y2, int32_t colour) override {
    inner_.DrawLine(x1, y1, x2, y2, colour);
  }
  void SetFillColor(int32_t colour) override { inner_.SetFillColor(colour); }
  void FloodFill(int32_t x, int32_t y, int32_t colour) override { inner_.FloodFill(x, y, colour); }
  int32_t BackgroundColor() const override { return inner_.BackgroundColor(); }
  float DrawableWidth() const override { return inner_.DrawableWidth(); }
  float DrawableHeight() const override { return inner_.DrawableHeight(); }
  void SetCaption(const std::string& text) override;

 private:
  Surface& inner_;
  std::string caption_;
  std::string score_;
};

// The rules of a match of rounds, with its score.
class Rounds final : public TickRules {
 public:
  static constexpr int64_t kRoundTicks = 5 * 60 * 50;  // five minutes at 50 ticks a second
  static constexpr int64_t kPauseTicks = 3 * 50;       // between the end and the next arena

  // A match of `count` rounds (at least 1), showing its score through `caption`; a round
  // lasts at most `roundTicks`.
  Rounds(int count, ScoredCaption& caption, int64_t roundTicks = kRoundTicks);

  // Called after every tick the game has run.
  void AfterTick(MainFrm& form);
  // One tick of the game within the match: none once it is over.
  void PlayTick(MainFrm& form) override;
  // The match's state, for snapshots; restoring shows its score again.
  State Save() const override;
  void Restore(const State& state) override;
  // The last round has been scored: the game should tick no more.
  bool Over() const { return over_; }
  int Round() const { return round_; }  // the current round, from 1
  // The number of rounds in the match.
  int Count() const { return count_; }
  // Ticks until the next arena once the round is decided, -1 while it is played.
  int64_t PauseLeft() const { return pauseLeft_; }
  // Who won the round just decided (0 Green to 3 Yellow), -1 for nobody, -2 when not known
  // (after going back to a snapshot). Only for showing: snapshots do not keep it.
  int RoundWinner() const { return roundWinner_; }
  // Points of Green, Red, Blue and Yellow.
  const std::array<int, 4>& Scores() const { return scores_; }
  // "Green 2 · Red 1 · Blue 0 · Yellow 3", with the winner named once the match is over.
  std::string ScoreText() const;

 private:
  int count_;
  ScoredCaption& caption_;
  int64_t roundTicks_;
  std::array<int, 4> scores_{};
  int round_ = 1;
  int64_t ticks_ = 0;       // ticks of this round so far
  int64_t pauseLeft_ = -1;  // ticks until the next arena, once the round is decided
  bool over_ = false;
  int roundWinner_ = -1;
};

}  // namespace tb::match
