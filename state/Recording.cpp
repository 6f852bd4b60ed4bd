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

Replay BeginRecord(RecordingKeys& keys, RecordingClock& clock, const MainFrm& form, int32_t width,
                   int32_t height) {
  Replay header;
  header.Seed = const_cast<MainFrm&>(form).Random().SaveState();
  header.Width = width;
  header.Height = height;
  header.LoadReadings = clock.TakeReadings();
  keys.TakeHeld();
  return header;
}

void EndRecord(RecordingKeys& keys, RecordingClock& clock, const MainFrm& form, int64_t tick,
               TickRecord& into) {
  into.tick = tick;
  into.keys = keys.TakeHeld();
  into.readings = clock.TakeReadings();
  into.hashed = tick % kCheckpointTicks == 0;
  into.hash = into.hashed ? WorldHash(form) : 0;
}

bool Recorder::Start(const std::string& path, const MainFrm& form, int32_t width, int32_t height,
                     const std::string& gameVersion, std::string& problem, int32_t rounds,
                     int64_t roundTicks) {
  Replay header = BeginRecord(keys_, clock_, form, width, height);
  header.Rounds = rounds;
  header.RoundTicks = roundTicks;
  header.GameVersion = gameVersion;
  record_ = {};
  record_.tick = 0;
  return writer_.Open(path, header, problem);
}

void Recorder::EndTick(const MainFrm& form) {
  EndRecord(keys_, clock_, form, record_.tick + 1, record_);
  writer_.Write(record_);
}

}  // namespace tb
