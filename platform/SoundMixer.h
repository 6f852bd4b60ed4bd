#pragma once
// The sounds playing on the audio device, mixed into its signed 16-bit frames. Free of SDL so
// that what the device hears can be checked sample by sample. Not locked itself: the player
// holds the device lock around every call.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tb {

// A sound too long to convert at once, fed in pieces as it plays: a fixed ring of samples
// that the player's worker writes and the mixer reads.
class SoundRing {
 public:
  // Room for `capacity` samples.
  explicit SoundRing(size_t capacity);
  // Samples it has room for now.
  size_t Free() const { return ring_.size() - count_; }
  // Samples written and not yet read.
  size_t Queued() const { return count_; }
  // Appends up to Free() samples; returns how many were taken.
  size_t Write(const int16_t* samples, size_t count);
  // Takes up to `count` samples into `out`; returns how many there were.
  size_t Read(int16_t* out, size_t count);
  // No more samples will come: the sound ends once the ring runs dry.
  void End() { ended_ = true; }
  bool Ended() const { return ended_; }
  // Ended and played out.
  bool Finished() const { return ended_ && count_ == 0; }
  // Nobody will read it any more: the feeder may stop.
  void Abandon() { abandoned_ = true; }
  bool Abandoned() const { return abandoned_; }
  // Whether it has room for a good piece more and still expects it.
  bool Hungry() const { return !ended_ && !abandoned_ && count_ < ring_.size() / 2; }

 private:
  std::vector<int16_t> ring_;
  size_t start_ = 0;
  size_t count_ = 0;
  bool ended_ = false;
  bool abandoned_ = false;
};

// One sound in the device's format: either whole, or a ring fed while it plays.
struct MixerSound {
  std::shared_ptr<const std::vector<int16_t>> whole;
  std::shared_ptr<SoundRing> stream;
  size_t bytes = 0;  // its whole length once converted (for a stream, as its header promises)
};

class SoundMixer {
 public:
  // `channels` interleaved samples a frame; a cut sound fades out over `fadeFrames`; at most
  // `voices` sounds play at once, besides those fading out.
  SoundMixer(int channels, size_t fadeFrames, size_t voices);

  // Starts `sound` from its beginning. When that makes one sound too many, the oldest fades
  // out as the new one fades in, over the same frames. Hands back the sounds that are over, for the
  // caller to free after letting go of the lock.
  std::vector<MixerSound> Start(MixerSound sound);
  // Writes the next `frames` frames of the mix into `out`, silence where nothing plays.
  // Returns whether a fed sound wants more samples.
  bool Mix(int16_t* out, size_t frames);

  // Sounds still sounding, counting those fading out.
  size_t Sounding() const;
  // The sound started last, or null.
  const MixerSound* Newest() const { return voices_.empty() ? nullptr : &voices_.back().sound; }

 private:
  struct Voice {
    MixerSound sound;
    size_t position = 0;  // samples of a whole sound already played
    size_t fadeLeft = 0;  // frames of fade to go, while fading
    bool fading = false;
    size_t riseLeft = 0;  // frames of fade-in to go, for a sound that cut another
    bool over = false;
  };
  static constexpr size_t kBlockFrames = 256;
  // Adds up to `frames` frames of `voice` into the block being mixed.
  void MixVoice(Voice& voice, size_t frames);

  int channels_;
  size_t fadeFrames_;
  size_t maxVoices_;
  std::vector<Voice> voices_;  // oldest first
  std::vector<int32_t> sum_;   // one block, summed before clipping
  std::vector<int16_t> read_;  // one block read from a ring
};

}  // namespace tb
