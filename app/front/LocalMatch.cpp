#include "app/front/LocalMatch.h"

#include <algorithm>

#include "shell/Controls.h"

namespace tb::front {

PlayerKeyMap::PlayerKeyMap(const KeyState& keyboard, const KeyState* pads,
                           const cli::KeyTable& table, uint8_t emptySeats)
    : keyboard_(keyboard), pads_(pads), table_(table), empty_(emptySeats) {}

bool PlayerKeyMap::IsKeyDown(uint8_t virtualKey) const {
  for (int s = 0; s < 4; ++s) {
    const PlayerKeys& k = kPlayerKeys[s];
    const uint8_t codes[5] = {k.Right, k.Left, k.Forward, k.Backward, k.Fire};
    for (int a = 0; a < 5; ++a) {
      if (codes[a] != virtualKey) continue;
      if ((empty_ >> s) & 1) return false;
      return keyboard_.IsKeyDown(table_[s][a]) ||
             (pads_ != nullptr && pads_->IsKeyDown(virtualKey));
    }
  }
  return false;  // the game asks for nothing else
}

uint8_t SeatMask(const std::vector<std::string>& names) {
  uint8_t mask = 0;
  for (const std::string& name : names)
    for (int s = 0; s < 4; ++s)
      if (name == kPlayerKeys[s].Name) mask = static_cast<uint8_t>(mask | (1u << s));
  return mask;
}

namespace {

// Whether the keyboard is read as it is, without a table in between.
bool PlainKeys(const cli::GameArgs& args) { return !args.customKeys && args.emptySeats.empty(); }

}  // namespace

LocalMatch::LocalMatch(const cli::GameArgs& args, Raster& raster, KeyState& players,
                       const KeyState& keyboard, const KeyState* pads, Clock& clock, Pcg32& random,
                       SoundPlayer& sound, const std::string& exeFolder, int64_t roundTicks)
    : args_(args),
      raster_(raster),
      scored_(raster),
      mapped_(keyboard, pads, args.keys, SeatMask(args.emptySeats)),
      // Without keys of its own the game reads the players' keys as they come.
      human_(PlainKeys(args) ? players : static_cast<KeyState&>(mapped_)),
      seats_(human_, raster, clock),
      keySource_(args.botSeats.empty() ? human_ : static_cast<KeyState&>(seats_)),
      recordedKeys_(keySource_),
      recordedClock_(clock),
      recording_(!args.recordPath.empty()),
      roundTicks_(roundTicks > 0 ? roundTicks : match::Rounds::kRoundTicks),
      random_(random),
      form_(args.rounds > 0 ? static_cast<Surface&>(scored_) : raster,
            recording_ ? static_cast<KeyState&>(recordedKeys_) : keySource_, sound,
            recording_ ? static_cast<Clock&>(recordedClock_) : clock, random, exeFolder),
      recorder_(recordedKeys_, recordedClock_) {}

uint8_t LocalMatch::PeopleSeats() const {
  uint8_t people = static_cast<uint8_t>(0x0F & ~SeatMask(args_.emptySeats));
  for (const bots::Driver& d : seats_.Drivers())
    for (int s = 0; s < 4; ++s)
      if (d.Seat() == kPlayerKeys[s].Name) people = static_cast<uint8_t>(people & ~(1u << s));
  return people;
}

bool LocalMatch::Start(std::string& problem) {
  form_.Load();
  bots::Level level = bots::Level::Normal;
  bots::ParseLevel(args_.botLevel, level);
  for (const std::string& seat : args_.botSeats) {
    bots::Level own = level;
    auto it = args_.seatLevels.find(seat);
    if (it != args_.seatLevels.end()) bots::ParseLevel(it->second, own);
    seats_.Add(seat, own, random_.SeedValue());
  }
  if (!seats_.Empty()) seats_.Attach(form_);
  if (args_.rounds > 0) rounds_.emplace(args_.rounds, scored_, roundTicks_);
  if (recording_ && !recorder_.Start(args_.recordPath, form_, raster_.Width(), raster_.Height(),
                                     cli::GameVersion(), problem, args_.rounds,
                                     args_.rounds > 0 ? roundTicks_ : 0))
    return false;
  return true;
}

bool LocalMatch::Finish() { return !recording_ || recorder_.Finish(); }

}  // namespace tb::front
