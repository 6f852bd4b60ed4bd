#include "state/Recording.h"

#include <algorithm>

#include "state/WorldHash.h"

namespace tb {

bool RecordingKeys::IsKeyDown(uint8_t virtualKey) const {
  bool down = inner_.IsKeyDown(virtualKey);
  if (down && std::find(held_.begin(), held_.end(), virtualKey) == held_.end())
    held_.push_back(virtualKey);
  return down;
}

std::vector<uint8_t> RecordingKeys::TakeHeld() {
  std::vector<uint8_t> held;
  held.swap(held_);
  std::sort(held.begin(), held.end());
  return held;
}

std::vector<float> RecordingClock::TakeReadings() {
  std::vector<float> readings;
  readings.swap(readings_);
  return readings;
}

bool Recorder::Start(const std::string& path, const MainFrm& form, int32_t width, int32_t height,
                     const std::string& gameVersion, std::string& problem, int32_t rounds,
                     int64_t roundTicks) {
  Replay header;
  header.Rounds = rounds;
  header.RoundTicks = roundTicks;
  header.GameVersion = gameVersion;
  header.Seed = const_cast<MainFrm&>(form).Random().SaveState();
  header.Width = width;
  header.Height = height;
  header.LoadReadings = clock_.TakeReadings();
  keys_.TakeHeld();
  tick_ = 0;
  return writer_.Open(path, header, problem);
}

void Recorder::EndTick(const MainFrm& form) {
  writer_.Tick(keys_.TakeHeld(), clock_.TakeReadings());
  ++tick_;
  if (tick_ % kCheckpointTicks == 0) writer_.Checkpoint(tick_, WorldHash(form));
}

}  // namespace tb
