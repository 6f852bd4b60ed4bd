#pragma once
// Plays the game's sound files through the default audio device. The game's thread only hands
// the path over; a worker thread opens, reads and converts the file and starts it, and SDL's
// audio thread mixes. One sound at a time unless mixing is asked for: the sound a new one cuts
// fades out over 2 ms as the new one fades in. SDL stays inside the .cpp, so including this
// pulls in no SDL.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/SoundMixer.h"
#include "shell/Platform.h"

namespace tb {

struct SoundOptions {
  // How many sounds may overlap: 1 keeps the game's rule of one at a time, up to 8 mix.
  size_t voices = 1;
  // The Sounds folder: if a play finds it missing, that is said once on stderr. Empty: never.
  std::string soundsFolder;
  // Files that would need more than this to convert at once are streamed as they play.
  uint64_t maxWholeBytes = uint64_t{64} << 20;
};

class SdlSoundPlayer final : public SoundPlayer {
 public:
  // Opens the default audio device. Without one it says so once on stderr and stays silent.
  explicit SdlSoundPlayer(SoundOptions options = {});
  ~SdlSoundPlayer() override;
  SdlSoundPlayer(const SdlSoundPlayer&) = delete;
  SdlSoundPlayer& operator=(const SdlSoundPlayer&) = delete;

  // Hands the path to the worker and returns: no file work and no wait on the device. Plays
  // that a later one supersedes before the worker reaches them are never read.
  void PlaySoundFile(const std::string& path) override;

  // Waits until the worker has dealt with every play handed over so far, at most `limit`.
  // Returns whether it has.
  bool WaitIdle(std::chrono::milliseconds limit);

  bool HasDevice() const { return device_ != 0; }
  // Files started, whole or streamed.
  int FilesPlayed() const { return filesPlayed_.load(); }
  // Plays that started the alert in place of their file.
  int AlertsPlayed() const { return alertsPlayed_.load(); }
  // Plays cut by a later one before they started, never read.
  int PlaysSuperseded() const { return superseded_.load(); }
  // Files started as streams (also counted in FilesPlayed).
  int StreamsPlayed() const { return streamsPlayed_.load(); }
  // Size in bytes, in the device's format, of the sound started last (played or not).
  size_t CurrentSoundBytes() const;
  // The device's format: frames a second and channels a frame, signed 16-bit samples.
  int DeviceRate() const { return rate_; }
  int DeviceChannels() const { return channels_; }

 private:
  struct Feed;
  static void Fill(void* self, uint8_t* out, int length);  // the device's callback
  void Work();
  // Reads and starts one file, or the alert.
  void PlayNow(const std::string& path);
  // A file in the device's format: whole, or a stream with its feed; false if unplayable.
  bool Load(const std::string& path, MixerSound& sound, std::unique_ptr<Feed>& feed);
  bool LoadWhole(const std::string& path, MixerSound& sound) const;
  // Moves a streamed file on into its ring until the ring is full; false once it is done.
  bool Pump(Feed& feed);
  // Tops up the rings of streamed sounds; forgets those that are over.
  void FeedStreams();
  void SayIfFolderMissing(const std::string& path);

  SoundOptions options_;
  uint32_t device_ = 0;  // SDL_AudioDeviceID; 0 when silent
  int rate_ = 0;
  int channels_ = 0;
  std::unique_ptr<SoundMixer> mixer_;  // read by the audio thread under the device lock
  std::shared_ptr<const std::vector<int16_t>> alert_;
  std::vector<std::unique_ptr<Feed>> feeds_;  // the worker's own
  bool saidFolder_ = false;                   // the worker's own

  std::mutex mutex_;  // guards the hand-over below
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::string> pending_;
  uint64_t handed_ = 0;  // plays handed over so far
  bool hungry_ = false;
  bool busy_ = false;
  bool quit_ = false;
  std::thread worker_;

  std::atomic<int> filesPlayed_{0};
  std::atomic<int> alertsPlayed_{0};
  std::atomic<int> superseded_{0};
  std::atomic<int> streamsPlayed_{0};
};

}  // namespace tb
