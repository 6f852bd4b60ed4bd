#pragma once
// A match played at this machine, built from the game's arguments: the one set-up that the
// command line and the start screen share, so that both start exactly the same game.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/cli/CommandLine.h"
#include "bots/Seats.h"
#include "match/Rounds.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Platform.h"
#include "shell/Random.h"
#include "state/Recording.h"

namespace tb::front {

// The players' keys as the game asks for them (the game's own codes), answered from a table of
// other keys on the keyboard, with controllers still pressing those codes. Seats left
// empty answer nothing.
class PlayerKeyMap final : public KeyState {
 public:
  // `pads` may be null: no controllers.
  PlayerKeyMap(const KeyState& keyboard, const KeyState* pads, const cli::KeyTable& table,
               uint8_t emptySeats);
  // Whether the game's own key `virtualKey` counts as held now.
  bool IsKeyDown(uint8_t virtualKey) const override;

 private:
  const KeyState& keyboard_;
  const KeyState* pads_;
  cli::KeyTable table_;
  uint8_t empty_;
};

// The seats in `names` as a mask, bit 0 Green.
uint8_t SeatMask(const std::vector<std::string>& names);

// Everything a local match is made of, wired as `args` asks.
class LocalMatch {
 public:
  // `players` is what the players hold, keyboard and controllers together, read as it is
  // with the game's own keys; `keyboard` and `pads` (null: none) are its two halves, read
  // through the table of keys otherwise. The rest are the game's services; a round lasts at
  // most `roundTicks`. Nothing runs before Start.
  LocalMatch(const cli::GameArgs& args, Raster& raster, KeyState& players, const KeyState& keyboard,
             const KeyState* pads, Clock& clock, Pcg32& random, SoundPlayer& sound,
             const std::string& exeFolder, int64_t roundTicks = match::Rounds::kRoundTicks);
  // Loads the window, seats the drivers and starts the recording; false with the problem
  // when the replay cannot be written.
  bool Start(std::string& problem);
  // Ends the recording; false when the replay could not be written whole.
  bool Finish();

  // The game window of the match.
  MainFrm& Form() { return form_; }
  // The match's rounds, null without.
  match::Rounds* Rounds() { return rounds_ ? &*rounds_ : nullptr; }
  // The recorder, null when not recording.
  Recorder* Recording() { return recording_ ? &recorder_ : nullptr; }
  // The computer drivers, null without.
  const bots::Seats* Drivers() const { return seats_.Empty() ? nullptr : &seats_; }
  // The seats people drive here, a mask.
  uint8_t PeopleSeats() const;

 private:
  const cli::GameArgs args_;
  Raster& raster_;
  match::ScoredCaption scored_;
  PlayerKeyMap mapped_;
  KeyState& human_;
  bots::Seats seats_;
  KeyState& keySource_;
  RecordingKeys recordedKeys_;
  RecordingClock recordedClock_;
  const bool recording_;
  const int64_t roundTicks_;
  Pcg32& random_;
  MainFrm form_;
  std::optional<match::Rounds> rounds_;
  Recorder recorder_;
};

}  // namespace tb::front
