#include "match/Rounds.h"

#include "shell/Controls.h"
#include "shell/MainFrm.h"

namespace tb::match {

void ScoredCaption::SetCaption(const std::string& text) {
  caption_ = text;
  inner_.SetCaption(score_.empty() ? caption_ : caption_ + " \u2014 " + score_);
}

void ScoredCaption::SetScore(const std::string& score) {
  score_ = score;
  SetCaption(caption_);
}

Rounds::Rounds(int count, ScoredCaption& caption, int64_t roundTicks)
    : count_(count < 1 ? 1 : count), caption_(caption), roundTicks_(roundTicks) {
  caption_.SetScore(ScoreText());
}

std::string Rounds::ScoreText() const {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) text += " \u00b7 ";
    text += std::string(kPlayerKeys[i].Name) + " " + std::to_string(scores_[i]);
  }
  if (over_) {
    int best = 0;
    for (int i = 1; i < 4; ++i)
      if (scores_[i] > scores_[best]) best = i;
    int leaders = 0;
    for (int s : scores_) leaders += s == scores_[best];
    text += leaders == 1 ? std::string(" \u2014 ") + kPlayerKeys[best].Name + " wins"
                         : std::string(" \u2014 a draw");
  }
  return text;
}

void Rounds::AfterTick(MainFrm& form) {
  if (over_ || !form.Started()) return;
  if (pauseLeft_ >= 0) {
    if (pauseLeft_ > 0) --pauseLeft_;
    if (pauseLeft_ > 0) return;
    pauseLeft_ = -1;
    if (round_ >= count_) {
      over_ = true;
    } else {
      ++round_;
      ticks_ = 0;
      form.StartNewArena();
    }
    caption_.SetScore(ScoreText());
    return;
  }
  ++ticks_;
  int alive = 0;
  int last = -1;
  for (int i = 0; i < 4; ++i) {
    const Thing* v = form.Player(kPlayerKeys[i].Name);
    if (v != nullptr && form.ThingCollection.Contains(v->ID)) {
      ++alive;
      last = i;
    }
  }
  if (alive > 1 && ticks_ < roundTicks_) return;
  int winner = alive == 1 ? last : -1;
  if (alive > 1) {
    // Time is up: the least damaged vehicle left wins the round, if only one is least.
    int32_t least = 0;
    int count = 0;
    for (int i = 0; i < 4; ++i) {
      const Thing* v = form.Player(kPlayerKeys[i].Name);
      if (v == nullptr || !form.ThingCollection.Contains(v->ID)) continue;
      if (count == 0 || v->DamageTaken() < least) {
        least = v->DamageTaken();
        winner = i;
        count = 1;
      } else if (v->DamageTaken() == least) {
        ++count;
      }
    }
    if (count != 1) winner = -1;
  }
  if (winner >= 0) ++scores_[winner];
  roundWinner_ = winner;
  pauseLeft_ = kPauseTicks;
  caption_.SetScore(ScoreText());
}

void Rounds::PlayTick(MainFrm& form) {
  if (over_) return;
  form.Timer1Tick();
  AfterTick(form);
}

TickRules::State Rounds::Save() const {
  return {scores_[0], scores_[1], scores_[2], scores_[3],
          round_,     ticks_,     pauseLeft_, over_ ? 1 : 0};
}

void Rounds::Restore(const State& s) {
  for (int i = 0; i < 4; ++i) scores_[i] = static_cast<int>(s[i]);
  round_ = static_cast<int>(s[4]);
  ticks_ = s[5];
  pauseLeft_ = s[6];
  over_ = s[7] != 0;
  roundWinner_ = pauseLeft_ >= 0 ? -2 : -1;
  caption_.SetScore(ScoreText());
}

}  // namespace tb::match
