#include "platform/WavFile.h"

#include <algorithm>
#include <cstring>

namespace tb {
namespace {

constexpr uint32_t kTagPcm = 1;
constexpr uint32_t kTagFloat = 3;
constexpr uint32_t kTagExtensible = 0xFFFE;
// A file with more chunks ahead of its samples than this is not one of ours.
constexpr int kMaxChunks = 64;

uint32_t Le(const uint8_t* b, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(b[i]) << (8 * i);
  return v;
}

}  // namespace

bool ReadWavLayout(const WavReader& read, uint64_t fileSize, WavLayout& layout) {
  uint8_t head[40];
  if (!read(0, head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    return false;
  uint32_t tag = 0, bits = 0, align = 0;
  bool haveFormat = false;
  layout.dataOffset = 0;
  uint64_t at = 12;
  for (int chunk = 0; chunk < kMaxChunks && at + 8 <= fileSize; ++chunk) {
    if (!read(at, head, 8)) return false;
    const uint64_t size = Le(head + 4, 4);
    if (std::memcmp(head, "fmt ", 4) == 0 && size >= 16) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(size, sizeof head));
      if (!read(at + 8, head, want)) return false;
      tag = Le(head, 2);
      layout.channels = static_cast<int>(Le(head + 2, 2));
      layout.rate = static_cast<int>(std::min<uint32_t>(Le(head + 4, 4), 1u << 20));
      align = Le(head + 12, 2);
      bits = Le(head + 14, 2);
      if (tag == kTagExtensible && want >= 26) tag = Le(head + 24, 2);  // the sub-format's tag
      haveFormat = true;
    } else if (std::memcmp(head, "data", 4) == 0 && haveFormat) {
      layout.dataOffset = at + 8;
      // Files written as they were recorded may leave the size at 0 or too large: to the end.
      const uint64_t rest = fileSize - layout.dataOffset;
      layout.dataBytes = size == 0 || size > rest ? rest : size;
      break;
    }
    at += 8 + size + (size & 1);  // chunks of odd size are padded to even
  }
  if (!haveFormat || layout.dataOffset == 0) return false;
  if (layout.channels < 1 || layout.channels > 8 || layout.rate < 1000) return false;
  if (tag == kTagPcm && bits == 8) {
    layout.samples = WavSamples::kU8;
  } else if (tag == kTagPcm && bits == 16) {
    layout.samples = WavSamples::kS16;
  } else if (tag == kTagPcm && bits == 24) {
    layout.samples = WavSamples::kS24;
  } else if (tag == kTagPcm && bits == 32) {
    layout.samples = WavSamples::kS32;
  } else if (tag == kTagFloat && bits == 32) {
    layout.samples = WavSamples::kF32;
  } else {
    return false;
  }
  layout.bytesPerSample = static_cast<int>(bits / 8);
  return align == static_cast<uint32_t>(layout.channels * layout.bytesPerSample);
}

bool ParseWavLayout(const uint8_t* bytes, size_t size, WavLayout& layout) {
  const WavReader read = [bytes, size](uint64_t offset, uint8_t* out, size_t count) {
    if (offset > size || count > size - offset) return false;
    std::memcpy(out, bytes + offset, count);
    return true;
  };
  return ReadWavLayout(read, size, layout);
}

}  // namespace tb
