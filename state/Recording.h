#pragma once
// Recording a game: decorators that note what the game read from the keyboard and the clock,
// and the recorder that writes it to a replay tick by tick.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/MainFrm.h"
#include "shell/Platform.h"
#include "state/Replay.h"
#include "state/ReplayWriter.h"

namespace tb {

// The recording decorators: they pass everything through and note what the game read.
class RecordingKeys final : public KeyState {
 public:
  explicit RecordingKeys(KeyState& inner) : inner_(inner) {}
  // The inner answer, noting the key when it is held.
  bool IsKeyDown(uint8_t virtualKey) const override;
  // The keys found held since the last call, in ascending order.
  std::vector<uint8_t> TakeHeld();

 private:
  KeyState& inner_;
  mutable std::vector<uint8_t> held_;
};

class RecordingClock final : public Clock {
 public:
  explicit RecordingClock(Clock& inner) : inner_(inner) {}
  float Now() override {
    float v = inner_.Now();
    readings_.push_back(v);
    return v;
  }
  // The readings made since the last call, in order.
  std::vector<float> TakeReadings();

 private:
  Clock& inner_;
  std::vector<float> readings_;
};

// One tick as the game read it: what a replay holds of it.
struct TickRecord {
  int64_t tick = -1;
  std::vector<uint8_t> keys;    // the virtual keys found held, ascending
  std::vector<float> readings;  // every clock reading, in order
  bool hashed = false;          // a checkpoint tick: the world hash after it follows
  uint64_t hash = 0;
};

// The start of a replay of a window just loaded on the decorators: the generator's state,
// the clock readings made while loading and the drawing area; keys noted so far are dropped.
Replay BeginRecord(RecordingKeys& keys, RecordingClock& clock, const MainFrm& form, int32_t width,
                   int32_t height);
// After `tick` has been played: what the game read on it, and the world hash on checkpoint
// ticks. Every recording of a game, local or online, takes its ticks through here.
void EndRecord(RecordingKeys& keys, RecordingClock& clock, const MainFrm& form, int64_t tick,
               TickRecord& into);

// Records a game played on a RecordingKeys and a RecordingClock.
class Recorder {
 public:
  // Records through these decorators, on which the window is built.
  Recorder(RecordingKeys& keys, RecordingClock& clock) : keys_(keys), clock_(clock) {}
  // After the window has loaded: writes the header with the generator's state.
  bool Start(const std::string& path, const MainFrm& form, int32_t width, int32_t height,
             const std::string& gameVersion, std::string& problem, int32_t rounds = 0,
             int64_t roundTicks = 0);
  // After each tick.
  void EndTick(const MainFrm& form);
  // Writes the end and closes the file; false if anything could not be written.
  bool Finish() { return writer_.Close(); }

 private:
  RecordingKeys& keys_;
  RecordingClock& clock_;
  ReplayWriter writer_;
  TickRecord record_;
};

}  // namespace tb
