#pragma once
// What the game needs from the outside world. The platform layer implements these
// for the real game; the simulator and the tests inject their own.
#include <cstdint>
#include <string>

namespace tb {

// The keyboard, polled.
class KeyState {
 public:
  virtual ~KeyState() = default;
  // Whether the key with this virtual-key code is held down now.
  virtual bool IsKeyDown(uint8_t virtualKey) const = 0;
};

// Plays sound files.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Starts the file and returns at once; a file that cannot be played gives the alert.
  virtual void PlaySoundFile(const std::string& path) = 0;
};

// Plays nothing: for worlds nobody hears (tournaments, pictures).
class SilentSound final : public SoundPlayer {
 public:
  void PlaySoundFile(const std::string&) override {}
};

// Passes plays on to another player, or drops them while muted (ticks played again unheard).
class MutableSound final : public SoundPlayer {
 public:
  explicit MutableSound(SoundPlayer& inner) : inner_(inner) {}
  void PlaySoundFile(const std::string& path) override {
    if (!muted_) inner_.PlaySoundFile(path);
  }
  void SetMuted(bool muted) { muted_ = muted; }  // drops plays while set

 private:
  SoundPlayer& inner_;
  bool muted_ = false;
};

// The time of day.
class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since midnight of the day the game started, counting on past 86400.
  virtual float Now() = 0;
};

// The game's one random generator.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // Seeds from the clock at window load; a source with an injected seed may ignore it.
  virtual void Randomize(float clockNow) = 0;
  // Uniform in [0, 1), never 1.
  virtual float Draw() = 0;
  // The generator's whole state, so that a saved game draws on exactly as it would have.
  virtual uint64_t SaveState() const = 0;
  virtual void RestoreState(uint64_t state) = 0;  // as SaveState gave it
};

}  // namespace tb
