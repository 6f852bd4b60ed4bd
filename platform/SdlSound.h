#pragma once
// Plays the game's sound files through the default audio device. One sound at a time: starting
// a sound cuts the one playing. SDL stays inside the .cpp, so including this pulls in no SDL.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shell/Platform.h"

namespace tb {

// The one sound playing, already in the device's format, and how far the device has got.
// Not locked itself: the player holds the device lock around every call.
class SoundSlot {
 public:
  // Starts `sound` from its beginning. The previous sound is handed back so that the caller
  // frees it after letting go of the lock.
  std::vector<uint8_t> Start(std::vector<uint8_t> sound);
  // Writes the next `length` bytes of the sound into `out`, then silence once it has ended.
  void Fill(uint8_t* out, size_t length);
  size_t Size() const { return sound_.size(); }
  size_t Remaining() const { return sound_.size() - position_; }

 private:
  std::vector<uint8_t> sound_;
  size_t position_ = 0;
};

class SdlSoundPlayer final : public SoundPlayer {
 public:
  // Opens the default audio device. Without one it says so once on stderr and stays silent.
  SdlSoundPlayer();
  ~SdlSoundPlayer() override;
  SdlSoundPlayer(const SdlSoundPlayer&) = delete;
  SdlSoundPlayer& operator=(const SdlSoundPlayer&) = delete;

  // Reads the file afresh, converts it and swaps it in; a file that cannot be played gives the
  // alert instead. Never throws and never waits on the device beyond its lock.
  void PlaySoundFile(const std::string& path) override;

  bool HasDevice() const { return device_ != 0; }
  int FilesPlayed() const { return filesPlayed_.load(); }
  int AlertsPlayed() const { return alertsPlayed_.load(); }
  // Size in bytes of the sound now in the slot (played or not), in the device's format.
  size_t CurrentSoundBytes() const;
  int DeviceRate() const { return rate_; }
  int DeviceChannels() const { return channels_; }

 private:
  // Reads and converts a file to the device's format; empty when it cannot be played.
  std::vector<uint8_t> Load(const std::string& path) const;
  void Start(std::vector<uint8_t> sound);

  uint32_t device_ = 0;  // SDL_AudioDeviceID; 0 when silent
  int rate_ = 0;
  int channels_ = 0;
  std::unique_ptr<SoundSlot> slot_;  // fixed address: the audio thread holds a pointer to it
  std::vector<uint8_t> alert_;
  std::atomic<int> filesPlayed_{0};
  std::atomic<int> alertsPlayed_{0};
};

}  // namespace tb
