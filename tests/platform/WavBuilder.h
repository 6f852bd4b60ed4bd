#pragma once
// WAV files built by hand, so that each field can be set to something the loader must refuse.
#include <cstdint>
#include <vector>

namespace tb {

inline void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The 16 bytes of a PCM format chunk's body, byte rate and block align made to agree.
inline void PutFormat(std::vector<uint8_t>& out, uint16_t formatTag, uint16_t channels,
                      uint32_t rate, uint16_t bits) {
  PutLe(out, formatTag, 2);
  PutLe(out, channels, 2);
  PutLe(out, rate, 4);
  PutLe(out, rate * channels * bits / 8, 4);
  PutLe(out, channels * bits / 8, 2);
  PutLe(out, bits, 2);
}

inline std::vector<uint8_t> Wav(uint16_t formatTag, uint16_t channels, uint32_t rate, uint16_t bits,
                                const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
  PutLe(out, 36 + static_cast<uint32_t>(data.size()), 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(out, 16, 4);
  PutFormat(out, formatTag, channels, rate, bits);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutLe(out, static_cast<uint32_t>(data.size()), 4);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace tb
