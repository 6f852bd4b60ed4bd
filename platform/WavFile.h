#pragma once
// The layout of a RIFF/WAVE file: where its samples lie and what they are. Pure parsing over
// bytes read on demand, so a file of any size is walked without loading it.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace tb {

// The sample formats the player converts itself; anything else is left to another loader.
enum class WavSamples { kU8, kS16, kS24, kS32, kF32 };

// Where the samples of a plain PCM WAV file lie and what they are.
struct WavLayout {
  WavSamples samples = WavSamples::kS16;
  int channels = 0;
  int rate = 0;            // frames a second, capped at 2^20
  int bytesPerSample = 0;  // as stored in the file: 1, 2, 3 or 4
  uint64_t dataOffset = 0;
  uint64_t dataBytes = 0;  // never beyond the end of the file
};

// Copies `size` bytes from `offset` of the file into `out`; false unless all were there.
using WavReader = std::function<bool(uint64_t offset, uint8_t* out, size_t size)>;

// Walks the chunks of a file of `fileSize` bytes up to its samples. False for anything but
// 8-, 16-, 24- or 32-bit integer or 32-bit float PCM of 1 to 8 channels at 1000 frames a
// second or more, with a frame alignment that matches; `layout` is then unspecified.
bool ReadWavLayout(const WavReader& read, uint64_t fileSize, WavLayout& layout);

// The same over a file held in memory.
bool ParseWavLayout(const uint8_t* bytes, size_t size, WavLayout& layout);

}  // namespace tb
