#include "platform/SdlSound.h"

#include <SDL.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>

#include "platform/WavFile.h"

namespace tb {
namespace {

// The format our own sound files are in: where the device takes it, a play needs no conversion.
constexpr int kWantedRate = 22050;
constexpr int kWantedChannels = 1;
constexpr int kWantedFrames = 256;  // about 12 ms: well inside one 20 ms game tick
// A cut sound fades out over this, under the start of the next: long enough not to click,
// short enough to keep the cut.
constexpr double kFadeSeconds = 0.002;
// Source frames read and converted at a time for a streamed file.
constexpr size_t kPieceFrames = 8192;
// How long the worker waits for the next play of a burst, and for a whole burst at most:
// within the device's own 12 ms, and far within a streamed sound's second of ring.
constexpr std::chrono::microseconds kSettle{250};
constexpr std::chrono::milliseconds kSettleAtMost{4};

// ALSA without a sound card fills stderr with its configuration errors before it fails, and
// sndio falls back to ALSA. A sound server, if there is one, is tried first in any case.
bool KernelHasSoundCard() {
  std::ifstream cards("/proc/asound/cards");
  std::string line;
  while (std::getline(cards, line)) {
    const size_t at = line.find_first_not_of(' ');
    if (at != std::string::npos && std::isdigit(static_cast<unsigned char>(line[at]))) return true;
  }
  return false;
}

enum class Drivers { kSdlDefault, kWithoutCard, kNone };

// Leaves the drivers to SDL unless there is no sound card and nobody asked for a driver:
// then only those that can play without one.
Drivers ChooseAudioDrivers() {
  const char* asked = std::getenv("SDL_AUDIODRIVER");
  if ((asked != nullptr && *asked != '\0') || KernelHasSoundCard()) {
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return Drivers::kSdlDefault;
  }
  std::string list;
  for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) {
    const std::string name = SDL_GetAudioDriver(i);
    if (name == "alsa" || name == "sndio" || name == "disk" || name == "dummy") continue;
    list += (list.empty() ? "" : ",") + name;
  }
  if (list.empty()) return Drivers::kNone;
  SDL_SetHint(SDL_HINT_AUDIODRIVER, list.c_str());
  return Drivers::kWithoutCard;
}

// Two short beeps at 880 Hz, made once in the device's format so playing it is a plain copy.
std::vector<int16_t> MakeAlert(int rate, int channels) {
  const double kPi = 3.14159265358979323846;
  const double beep = 0.09, gap = 0.06, fade = 0.005;
  const size_t frames = static_cast<size_t>((2.0 * beep + gap) * rate);
  std::vector<int16_t> samples(frames * static_cast<size_t>(channels), 0);
  for (size_t i = 0; i < frames; ++i) {
    double t = static_cast<double>(i) / rate;
    double local = t < beep ? t : t - beep - gap;
    if (local < 0.0 || local >= beep) continue;
    double envelope = std::min({1.0, local / fade, (beep - local) / fade});
    auto value =
        static_cast<int16_t>(std::lround(9800.0 * envelope * std::sin(2.0 * kPi * 880.0 * t)));
    for (int c = 0; c < channels; ++c) samples[i * static_cast<size_t>(channels) + c] = value;
  }
  return samples;
}

// The converter's name for a file's samples. It has no 24-bit format: those are widened to
// 32 bits as they are read.
SDL_AudioFormat SdlFormatOf(WavSamples samples) {
  switch (samples) {
    case WavSamples::kU8:
      return AUDIO_U8;
    case WavSamples::kS16:
      return AUDIO_S16LSB;
    case WavSamples::kS24:
    case WavSamples::kS32:
      return AUDIO_S32LSB;
    case WavSamples::kF32:
      return AUDIO_F32LSB;
  }
  return AUDIO_S16LSB;
}

// The layout of an open file, read through it.
bool ReadLayout(std::FILE* file, uint64_t fileSize, WavLayout& layout) {
  const WavReader read = [file](uint64_t offset, uint8_t* out, size_t size) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fread(out, 1, size, file) == size;
  };
  return ReadWavLayout(read, fileSize, layout);
}

// Holds the device lock for a scope, so that nothing thrown leaves it held.
class DeviceLock {
 public:
  explicit DeviceLock(SDL_AudioDeviceID device) : device_(device) { SDL_LockAudioDevice(device); }
  ~DeviceLock() { SDL_UnlockAudioDevice(device_); }
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

 private:
  SDL_AudioDeviceID device_;
};

}  // namespace

// A file streamed while it plays: read and converted a piece at a time into its sound's ring.
struct SdlSoundPlayer::Feed {
  std::FILE* file = nullptr;
  SDL_AudioStream* stream = nullptr;
  WavLayout layout;
  SDL_AudioFormat format = 0;  // the layout's samples, as handed to the converter
  uint64_t left = 0;           // bytes of samples not yet read
  bool flushed = false;
  uint64_t promised = 0;  // samples the whole sound has once converted
  uint64_t emitted = 0;   // samples taken from the converter so far
  std::shared_ptr<SoundRing> ring;
  std::vector<uint8_t> piece;
  std::vector<int16_t> converted;  // converted, not yet in the ring
  size_t convertedAt = 0;
  ~Feed() {
    if (file != nullptr) std::fclose(file);
    if (stream != nullptr) SDL_FreeAudioStream(stream);
  }
};

SdlSoundPlayer::SdlSoundPlayer(SoundOptions options) : options_(std::move(options)) {
  options_.voices = std::clamp<size_t>(options_.voices, 1, 8);
  const Drivers drivers = ChooseAudioDrivers();
  if (drivers == Drivers::kNone || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(
        stderr, "treadbrawl: no audio device (%s); playing silent\n",
        drivers == Drivers::kSdlDefault ? SDL_GetError() : "no sound card and no sound server");
    return;
  }
  SDL_AudioSpec wanted{};
  wanted.freq = kWantedRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = kWantedChannels;
  wanted.samples = kWantedFrames;
  wanted.callback = Fill;
  wanted.userdata = this;
  SDL_AudioSpec obtained{};
  // No format changes allowed: SDL resamples for the hardware on its own audio thread.
  SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (id == 0) {
    std::fprintf(stderr, "treadbrawl: no audio device (%s); playing silent\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  rate_ = obtained.freq;
  channels_ = obtained.channels;
  alert_ = std::make_shared<const std::vector<int16_t>>(MakeAlert(rate_, channels_));
  const auto fadeFrames = static_cast<size_t>(std::lround(kFadeSeconds * rate_));
  mixer_ = std::make_unique<SoundMixer>(channels_, fadeFrames, options_.voices);
  try {
    worker_ = std::thread([this] {
      Work();
      SDL_TLSCleanup();  // SDL keeps its error text per thread; ours is not one SDL made
    });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "treadbrawl: no sound thread (%s); playing silent\n", e.what());
    SDL_CloseAudioDevice(id);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  device_ = id;
  SDL_PauseAudioDevice(id, 0);
}

SdlSoundPlayer::~SdlSoundPlayer() {
  if (device_ == 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  worker_.join();
  // Closing stops the audio thread, so the mixer it reads from can go after this.
  SDL_CloseAudioDevice(device_);
  feeds_.clear();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlSoundPlayer::Fill(void* self, uint8_t* out, int length) {
  auto* player = static_cast<SdlSoundPlayer*>(self);
  const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(player->channels_);
  const size_t frames = static_cast<size_t>(std::max(length, 0)) / frameBytes;
  // SDL hands an aligned buffer of the format asked for, whole frames of signed 16 bits.
  if (!player->mixer_->Mix(reinterpret_cast<int16_t*>(out), frames)) return;
  {
    std::lock_guard<std::mutex> lock(player->mutex_);
    player->hungry_ = true;
  }
  player->wake_.notify_one();
}

void SdlSoundPlayer::PlaySoundFile(const std::string& path) {
  if (device_ == 0) return;
  try {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (pending_.size() >= options_.voices) {
        // The oldest would be cut before it was heard: never read. Its place (and its
        // buffer) takes the new path, and the worker, told of it already, need not be woken:
        // a tick that plays thousands hands each over in a few dozen nanoseconds.
        std::rotate(pending_.begin(), pending_.begin() + 1, pending_.end());
        pending_.back().assign(path);
        ++handed_;
        superseded_.fetch_add(1, std::memory_order_relaxed);
        return;
      }
    }
    std::string copy = path;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (pending_.size() >= options_.voices) {
        pending_.pop_front();  // another play came in between (the game plays from one thread)
        superseded_.fetch_add(1, std::memory_order_relaxed);
      }
      pending_.push_back(std::move(copy));
      ++handed_;
    }
    wake_.notify_one();
  } catch (...) {
    // Out of memory for one path: the game goes on without the sound.
  }
}

bool SdlSoundPlayer::WaitIdle(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return idle_.wait_for(lock, limit, [this] { return pending_.empty() && !busy_; });
}

void SdlSoundPlayer::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || hungry_ || !pending_.empty(); });
    if (quit_) return;
    // A tick may start thousands of plays, each cutting the one before: the burst is let end
    // (no new play for a moment, or a few milliseconds in all) before any is read, so that
    // only the last ones are, and the game's thread meanwhile finds the lock free.
    if (!pending_.empty()) {
      const auto latest = std::chrono::steady_clock::now() + kSettleAtMost;
      for (uint64_t seen = handed_;; seen = handed_) {
        wake_.wait_for(lock, kSettle, [this] { return quit_; });
        if (quit_) return;
        if (handed_ == seen || std::chrono::steady_clock::now() >= latest) break;
      }
    }
    std::string path;
    const bool play = !pending_.empty();
    if (play) {
      path = std::move(pending_.front());
      pending_.pop_front();
    }
    hungry_ = false;
    busy_ = true;
    lock.unlock();
    try {
      if (play) PlayNow(path);
      FeedStreams();
    } catch (...) {
      // Out of memory for one sound or its stream: the next play starts afresh.
    }
    lock.lock();
    busy_ = false;
    idle_.notify_all();
  }
}

void SdlSoundPlayer::PlayNow(const std::string& path) {
  MixerSound sound;
  std::unique_ptr<Feed> feed;
  bool loaded = false;
  try {
    loaded = Load(path, sound, feed);
  } catch (...) {
    loaded = false;  // out of memory for this one file
  }
  if (!loaded) {
    feed.reset();
    sound = MixerSound{alert_, nullptr, alert_->size() * sizeof(int16_t)};
    SayIfFolderMissing(path);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_.size() >= options_.voices) {
      // Plays handed over while it loaded cut it before it started.
      ++superseded_;
      return;
    }
  }
  std::vector<MixerSound> over;
  try {
    DeviceLock lock(static_cast<SDL_AudioDeviceID>(device_));
    over = mixer_->Start(std::move(sound));
  } catch (...) {
    return;
  }
  ++(loaded ? filesPlayed_ : alertsPlayed_);
  if (feed) {
    ++streamsPlayed_;
    feeds_.push_back(std::move(feed));
  }
  // `over` is freed here, after the audio thread may run again.
}

bool SdlSoundPlayer::Load(const std::string& path, MixerSound& sound, std::unique_ptr<Feed>& feed) {
  // Only plain files: a pipe or device could block the worker on open or read for good.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const auto fileSize = static_cast<uint64_t>(info.st_size);
  auto candidate = std::make_unique<Feed>();
  candidate->file = std::fopen(path.c_str(), "rb");
  if (candidate->file == nullptr) return false;
  WavLayout& layout = candidate->layout;
  if (ReadLayout(candidate->file, fileSize, layout)) {
    const uint64_t frames =
        layout.dataBytes / static_cast<uint64_t>(layout.channels * layout.bytesPerSample);
    const uint64_t converted = frames * static_cast<uint64_t>(rate_) /
                               static_cast<uint64_t>(layout.rate) *
                               static_cast<uint64_t>(channels_) * sizeof(int16_t);
    if (layout.dataBytes + converted > options_.maxWholeBytes) {
      candidate->format = SdlFormatOf(layout.samples);
      candidate->stream =
          SDL_NewAudioStream(candidate->format, static_cast<Uint8>(layout.channels), layout.rate,
                             AUDIO_S16SYS, static_cast<Uint8>(channels_), rate_);
      if (candidate->stream == nullptr ||
          fseeko(candidate->file, static_cast<off_t>(layout.dataOffset), SEEK_SET) != 0)
        return false;
      candidate->left = layout.dataBytes;
      candidate->promised = converted / sizeof(int16_t);
      candidate->ring = std::make_shared<SoundRing>(static_cast<size_t>(rate_ * channels_));
      // Starts with its ring full, so the first callback already has it.
      Pump(*candidate);
      sound = MixerSound{nullptr, candidate->ring, static_cast<size_t>(converted)};
      feed = std::move(candidate);
      return true;
    }
  }
  // SDL's loader reads a whole file into memory: beyond the cap it would stall and swell.
  if (fileSize > options_.maxWholeBytes) return false;
  candidate.reset();
  return LoadWhole(path, sound);
}

bool SdlSoundPlayer::LoadWhole(const std::string& path, MixerSound& sound) const {
  SDL_AudioSpec source{};
  Uint8* data = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV(path.c_str(), &source, &data, &length) == nullptr) return false;

  std::vector<uint8_t> bytes;
  const Uint32 frame = static_cast<Uint32>(SDL_AUDIO_BITSIZE(source.format) / 8) * source.channels;
  if (frame > 0) length -= length % frame;  // the converter takes whole frames only
  SDL_AudioCVT cvt;
  if (frame > 0 && length > 0 &&
      SDL_BuildAudioCVT(&cvt, source.format, source.channels, source.freq, AUDIO_S16SYS,
                        static_cast<Uint8>(channels_), rate_) >= 0 &&
      uint64_t{length} * static_cast<uint64_t>(std::max(cvt.len_mult, 1)) <=
          options_.maxWholeBytes) {
    try {
      // The converter works in place and needs room for the larger of input and output.
      bytes.resize(size_t{length} * static_cast<size_t>(std::max(cvt.len_mult, 1)));
      std::memcpy(bytes.data(), data, length);
      if (cvt.needed) {
        cvt.buf = bytes.data();
        cvt.len = static_cast<int>(length);
        bytes.resize(SDL_ConvertAudio(&cvt) == 0 ? static_cast<size_t>(std::max(cvt.len_cvt, 0))
                                                 : 0);
      } else {
        bytes.resize(length);
      }
    } catch (...) {
      bytes.clear();
    }
  }
  SDL_FreeWAV(data);
  const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(channels_);
  const size_t samples = (bytes.size() - bytes.size() % frameBytes) / sizeof(int16_t);
  if (samples == 0) return false;
  auto pcm = std::make_shared<std::vector<int16_t>>(samples);
  std::memcpy(pcm->data(), bytes.data(), samples * sizeof(int16_t));
  sound = MixerSound{std::move(pcm), nullptr, samples * sizeof(int16_t)};
  return true;
}

bool SdlSoundPlayer::Pump(Feed& feed) {
  const size_t frameBytes =
      static_cast<size_t>(feed.layout.channels) * static_cast<size_t>(feed.layout.bytesPerSample);
  // Bounded: a ring holds a second, a piece gives a good part of one.
  for (int round = 0; round < 64; ++round) {
    bool over = false;
    {
      DeviceLock lock(static_cast<SDL_AudioDeviceID>(device_));
      const size_t waiting = feed.converted.size() - feed.convertedAt;
      feed.convertedAt += feed.ring->Write(feed.converted.data() + feed.convertedAt, waiting);
      if (feed.convertedAt == feed.converted.size() &&
          (feed.emitted >= feed.promised ||
           (feed.flushed && SDL_AudioStreamAvailable(feed.stream) == 0)))
        feed.ring->End();
      over = feed.ring->Abandoned() || feed.ring->Ended();
    }
    if (over) return false;
    if (feed.convertedAt < feed.converted.size()) return true;  // full: wait until it drains
    if (!feed.flushed) {
      const size_t want =
          static_cast<size_t>(std::min<uint64_t>(feed.left, kPieceFrames * frameBytes));
      feed.piece.resize(want);
      size_t got = want > 0 ? std::fread(feed.piece.data(), 1, want, feed.file) : 0;
      got -= got % frameBytes;
      feed.left -= got;
      int status = 0;
      if (got == 0) {
        // The converter keeps the last few samples back for its resampler even when flushed:
        // push them out with silence, trimmed again below to the sound's own length.
        const int width = feed.layout.bytesPerSample == 3 ? 4 : feed.layout.bytesPerSample;
        const std::vector<uint8_t> silence(
            static_cast<size_t>(feed.layout.rate / 20 * feed.layout.channels * width),
            feed.format == AUDIO_U8 ? 0x80 : 0);
        status = SDL_AudioStreamPut(feed.stream, silence.data(), static_cast<int>(silence.size()));
        if (status == 0) status = SDL_AudioStreamFlush(feed.stream);
        feed.flushed = true;
      } else if (feed.layout.bytesPerSample == 3) {
        // The converter has no 24-bit format: widen to 32 bits, little-endian as in the file.
        std::vector<uint8_t> wide(got / 3 * 4);
        for (size_t i = 0, o = 0; i < got; i += 3, o += 4) {
          wide[o] = 0;
          std::memcpy(&wide[o + 1], &feed.piece[i], 3);
        }
        status = SDL_AudioStreamPut(feed.stream, wide.data(), static_cast<int>(wide.size()));
      } else {
        status = SDL_AudioStreamPut(feed.stream, feed.piece.data(), static_cast<int>(got));
      }
      if (status != 0) {
        feed.flushed = true;  // a converter that fails ends the sound where it got to
        SDL_AudioStreamClear(feed.stream);
      }
    }
    const int available = SDL_AudioStreamAvailable(feed.stream);
    feed.converted.resize(static_cast<size_t>(std::max(available, 0)) / sizeof(int16_t));
    const int got = SDL_AudioStreamGet(feed.stream, feed.converted.data(),
                                       static_cast<int>(feed.converted.size() * sizeof(int16_t)));
    feed.converted.resize(static_cast<size_t>(
        std::min<uint64_t>(static_cast<uint64_t>(std::max(got, 0)) / sizeof(int16_t),
                           feed.promised - std::min(feed.emitted, feed.promised))));
    feed.emitted += feed.converted.size();
    feed.convertedAt = 0;
  }
  return true;
}

void SdlSoundPlayer::FeedStreams() {
  for (size_t i = 0; i < feeds_.size();) {
    bool going = false;
    try {
      going = Pump(*feeds_[i]);
    } catch (...) {
      going = false;
    }
    if (going) {
      ++i;
      continue;
    }
    {
      DeviceLock lock(static_cast<SDL_AudioDeviceID>(device_));
      feeds_[i]->ring->End();  // what is in the ring still plays out
    }
    feeds_.erase(feeds_.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void SdlSoundPlayer::SayIfFolderMissing(const std::string& path) {
  const std::string& folder = options_.soundsFolder;
  if (saidFolder_ || folder.empty() || path.compare(0, folder.size(), folder) != 0) return;
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
  saidFolder_ = true;
  std::fprintf(stderr, "treadbrawl: no sound folder at %s; every sound plays the alert\n",
               folder.c_str());
}

size_t SdlSoundPlayer::CurrentSoundBytes() const {
  if (device_ == 0) return 0;
  DeviceLock lock(static_cast<SDL_AudioDeviceID>(device_));
  const MixerSound* newest = mixer_->Newest();
  return newest == nullptr ? 0 : newest->bytes;
}

}  // namespace tb
