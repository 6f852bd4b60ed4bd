#pragma once
// What the WAV fuzzer checks, shared with the test that replays the inputs it once broke on.
#include <cstddef>
#include <cstdint>

#include "platform/WavFile.h"

namespace tbfuzz {

// Whatever the bytes, a layout that is accepted lies inside them and describes samples the
// player can convert.
inline void CheckWav(const uint8_t* data, size_t size) {
  tb::WavLayout layout;
  if (!tb::ParseWavLayout(data, size, layout)) return;
  const auto require = [](bool ok) {
    if (!ok) __builtin_trap();
  };
  require(layout.dataOffset >= 20 && layout.dataOffset <= size);
  require(layout.dataBytes <= size - layout.dataOffset);
  require(layout.channels >= 1 && layout.channels <= 8);
  require(layout.rate >= 1000 && layout.rate <= (1 << 20));
  require(layout.bytesPerSample >= 1 && layout.bytesPerSample <= 4);
}

}  // namespace tbfuzz
