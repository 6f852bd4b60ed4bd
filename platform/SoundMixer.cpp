#include "platform/SoundMixer.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tb {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Fading-out sounds kept beside the playing ones; more than this in a burst of starts and the
// oldest go at once, already hidden under the newer ones.
constexpr size_t kMaxFading = 4;

}  // namespace

SoundRing::SoundRing(size_t capacity) : ring_(std::max<size_t>(capacity, 1)) {}

size_t SoundRing::Write(const int16_t* samples, size_t count) {
  count = std::min(count, Free());
  for (size_t i = 0; i < count; ++i) ring_[(start_ + count_ + i) % ring_.size()] = samples[i];
  count_ += count;
  return count;
}

size_t SoundRing::Read(int16_t* out, size_t count) {
  count = std::min(count, count_);
  for (size_t i = 0; i < count; ++i) out[i] = ring_[(start_ + i) % ring_.size()];
  start_ = (start_ + count) % ring_.size();
  count_ -= count;
  return count;
}

SoundMixer::SoundMixer(int channels, size_t fadeFrames, size_t voices)
    : channels_(std::max(channels, 1)),
      fadeFrames_(std::max<size_t>(fadeFrames, 1)),
      maxVoices_(std::max<size_t>(voices, 1)),
      sum_(kBlockFrames * static_cast<size_t>(channels_)),
      read_(kBlockFrames * static_cast<size_t>(channels_)) {
  voices_.reserve(maxVoices_ + kMaxFading + 1);
}

std::vector<MixerSound> SoundMixer::Start(MixerSound sound) {
  std::vector<MixerSound> over;
  size_t playing = 0;
  for (const Voice& v : voices_) playing += !v.over && !v.fading;
  bool cuts = false;
  for (Voice& v : voices_) {
    if (playing < maxVoices_) break;
    if (v.over || v.fading) continue;
    v.fading = true;
    v.fadeLeft = fadeFrames_;
    --playing;
    cuts = true;
  }
  size_t fading = 0;
  for (const Voice& v : voices_) fading += !v.over && v.fading;
  for (Voice& v : voices_) {
    if (fading <= kMaxFading) break;
    if (!v.over && v.fading) {
      v.over = true;
      --fading;
    }
  }
  std::vector<Voice> kept;
  kept.reserve(voices_.capacity());
  for (Voice& v : voices_) {
    if (!v.over) {
      kept.push_back(std::move(v));
      continue;
    }
    if (v.sound.stream) v.sound.stream->Abandon();
    over.push_back(std::move(v.sound));
  }
  voices_.swap(kept);
  Voice fresh;
  fresh.sound = std::move(sound);
  // A cross-fade: the two steepest moments of the two sounds never add up into one step.
  fresh.riseLeft = cuts ? fadeFrames_ : 0;
  voices_.push_back(std::move(fresh));
  return over;
}

bool SoundMixer::Mix(int16_t* out, size_t frames) {
  while (frames > 0) {
    const size_t block = std::min(frames, kBlockFrames);
    const size_t samples = block * static_cast<size_t>(channels_);
    std::fill(sum_.begin(), sum_.begin() + static_cast<std::ptrdiff_t>(samples), 0);
    for (Voice& v : voices_) {
      if (!v.over) MixVoice(v, block);
    }
    for (size_t i = 0; i < samples; ++i)
      out[i] = static_cast<int16_t>(std::clamp<int32_t>(sum_[i], -32768, 32767));
    out += samples;
    frames -= block;
  }
  bool hungry = false;
  for (const Voice& v : voices_)
    hungry = hungry || (!v.over && v.sound.stream && v.sound.stream->Hungry());
  return hungry;
}

void SoundMixer::MixVoice(Voice& voice, size_t frames) {
  const size_t channels = static_cast<size_t>(channels_);
  const int16_t* source = nullptr;
  size_t available = 0;
  if (voice.sound.whole) {
    const std::vector<int16_t>& whole = *voice.sound.whole;
    available = std::min(frames * channels, whole.size() - std::min(voice.position, whole.size()));
    source = whole.data() + voice.position;
    voice.position += available;
  } else if (voice.sound.stream) {
    available = voice.sound.stream->Read(read_.data(), frames * channels);
    source = read_.data();
  }
  const size_t got = available / channels;
  for (size_t f = 0; f < got; ++f) {
    // Raised cosine: no corner where a fade begins or ends.
    double gain = 1.0;
    if (voice.fading) {
      if (voice.fadeLeft == 0) {
        voice.over = true;
        break;
      }
      gain = 0.5 - 0.5 * std::cos(kPi * static_cast<double>(voice.fadeLeft) /
                                  static_cast<double>(fadeFrames_));
      --voice.fadeLeft;
    } else if (voice.riseLeft > 0) {
      gain = 0.5 + 0.5 * std::cos(kPi * static_cast<double>(voice.riseLeft) /
                                  static_cast<double>(fadeFrames_));
      --voice.riseLeft;
    }
    const bool scaled = gain != 1.0;
    for (size_t c = 0; c < channels; ++c) {
      const int16_t s = source[f * channels + c];
      sum_[f * channels + c] += scaled ? static_cast<int32_t>(std::lround(s * gain)) : s;
    }
  }
  if (voice.fading && voice.fadeLeft == 0) voice.over = true;
  if (voice.sound.whole && voice.position >= voice.sound.whole->size()) voice.over = true;
  // A ring that runs dry before its end is a late feeder: silence until it catches up.
  if (voice.sound.stream && voice.sound.stream->Finished()) voice.over = true;
  if (!voice.sound.whole && !voice.sound.stream) voice.over = true;
  if (voice.over && voice.sound.stream) voice.sound.stream->Abandon();
}

size_t SoundMixer::Sounding() const {
  size_t n = 0;
  for (const Voice& v : voices_) n += !v.over;
  return n;
}

}  // namespace tb
