#include "platform/SdlSound.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tb {
namespace {

// The format our own sound files are in: where the device takes it, a play needs no conversion.
constexpr int kWantedRate = 22050;
constexpr int kWantedChannels = 1;
constexpr int kWantedFrames = 256;        // about 12 ms: well inside one 20 ms game tick
constexpr int kDeviceBytesPerSample = 2;  // we always ask for S16 and do not let it change
// Conversion buffers beyond this are refused rather than stall the game thread or eat the
// memory: a few minutes of sound, where ours last a second or so.
constexpr uint64_t kMaxBufferBytes = 64u << 20;

void SDLCALL FillStream(void* userdata, Uint8* stream, int length) {
  static_cast<SoundSlot*>(userdata)->Fill(stream, static_cast<size_t>(std::max(length, 0)));
}

// Two short beeps at 880 Hz, made once in the device's format so playing it is a plain copy.
std::vector<uint8_t> MakeAlert(int rate, int channels) {
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
  std::vector<uint8_t> bytes(samples.size() * sizeof(int16_t));
  if (!bytes.empty()) std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

}  // namespace

std::vector<uint8_t> SoundSlot::Start(std::vector<uint8_t> sound) {
  std::vector<uint8_t> previous = std::move(sound_);
  sound_ = std::move(sound);
  position_ = 0;
  return previous;
}

void SoundSlot::Fill(uint8_t* out, size_t length) {
  size_t count = std::min(length, Remaining());
  if (count > 0) std::memcpy(out, sound_.data() + position_, count);
  position_ += count;
  if (count < length) std::memset(out + count, 0, length - count);  // S16 silence is zero
}

SdlSoundPlayer::SdlSoundPlayer() : slot_(std::make_unique<SoundSlot>()) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "treadbrawl: no audio device (%s); playing silent\n", SDL_GetError());
    return;
  }
  SDL_AudioSpec wanted{};
  wanted.freq = kWantedRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = kWantedChannels;
  wanted.samples = kWantedFrames;
  wanted.callback = FillStream;
  wanted.userdata = slot_.get();
  SDL_AudioSpec obtained{};
  // No format changes allowed: SDL resamples for the hardware on its own audio thread, so
  // the conversion of a play on the game's thread stays cheap on every device.
  SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (id == 0) {
    std::fprintf(stderr, "treadbrawl: no audio device (%s); playing silent\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  device_ = id;
  rate_ = obtained.freq;
  channels_ = obtained.channels;
  alert_ = MakeAlert(rate_, channels_);
  SDL_PauseAudioDevice(id, 0);
}

SdlSoundPlayer::~SdlSoundPlayer() {
  if (device_ == 0) return;
  // Closing stops the audio thread, so the slot it reads from can go after this.
  SDL_CloseAudioDevice(device_);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::vector<uint8_t> SdlSoundPlayer::Load(const std::string& path) const {
  SDL_AudioSpec source{};
  Uint8* data = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV(path.c_str(), &source, &data, &length) == nullptr) return {};

  std::vector<uint8_t> sound;
  const Uint32 frame = static_cast<Uint32>(SDL_AUDIO_BITSIZE(source.format) / 8) * source.channels;
  if (frame > 0) length -= length % frame;  // the converter takes whole frames only
  SDL_AudioCVT cvt;
  if (frame > 0 && length > 0 &&
      SDL_BuildAudioCVT(&cvt, source.format, source.channels, source.freq, AUDIO_S16SYS,
                        static_cast<Uint8>(channels_), rate_) >= 0 &&
      uint64_t{length} * static_cast<uint64_t>(std::max(cvt.len_mult, 1)) <= kMaxBufferBytes) {
    if (cvt.needed) {
      // The converter works in place and needs room for the larger of input and output.
      std::vector<uint8_t> buffer(size_t{length} * static_cast<size_t>(std::max(cvt.len_mult, 1)));
      std::memcpy(buffer.data(), data, length);
      cvt.buf = buffer.data();
      cvt.len = static_cast<int>(length);
      if (SDL_ConvertAudio(&cvt) == 0 && cvt.len_cvt > 0) {
        buffer.resize(static_cast<size_t>(cvt.len_cvt));
        sound = std::move(buffer);
      }
    } else {
      sound.assign(data, data + length);
    }
  }
  SDL_FreeWAV(data);
  const size_t deviceFrame = static_cast<size_t>(kDeviceBytesPerSample * channels_);
  sound.resize(sound.size() - sound.size() % deviceFrame);
  return sound;
}

void SdlSoundPlayer::Start(std::vector<uint8_t> sound) {
  SDL_LockAudioDevice(device_);
  std::vector<uint8_t> previous = slot_->Start(std::move(sound));
  SDL_UnlockAudioDevice(device_);
  // `previous` is freed here, after the audio thread may run again.
}

void SdlSoundPlayer::PlaySoundFile(const std::string& path) {
  if (device_ != 0) {
    try {
      std::vector<uint8_t> sound = Load(path);
      if (sound.empty()) {
        sound = alert_;
        ++alertsPlayed_;
      } else {
        ++filesPlayed_;
      }
      Start(std::move(sound));
    } catch (...) {
      // Out of memory for one sound: the game goes on without it.
    }
  }
}

size_t SdlSoundPlayer::CurrentSoundBytes() const {
  if (device_ == 0) return slot_->Size();
  SDL_LockAudioDevice(device_);
  size_t size = slot_->Size();
  SDL_UnlockAudioDevice(device_);
  return size;
}

}  // namespace tb
