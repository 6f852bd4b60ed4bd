#pragma once
// The whole world as one 64-bit number: replays, tests and the simulator compare games by it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tb {

class MainFrm;

// 64-bit FNV-1a.
class Fnv1a {
 public:
  // Adds bytes; numbers go in little-endian.
  void Bytes(const void* data, size_t size);
  void U32(uint32_t v);
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Float(float v);                   // by its bit pattern, so -0 and each NaN differ
  void Text(const std::string& s);       // length first, so "ab"+"c" differs from "a"+"bc"
  uint64_t Value() const { return h_; }  // the hash so far

 private:
  uint64_t h_ = 14695981039346656037ULL;
};

// The FNV-1a hash of a run of bytes, as the game's files check themselves.
uint64_t Fnv1aOf(const char* data, size_t size);

// Every field of every live thing in collection order (field names included), then the
// given caption and the number of IDs issued.
uint64_t WorldHash(const MainFrm& form, const std::string& caption);
// The same with the window's own caption.
uint64_t WorldHash(const MainFrm& form);
// 16 lower-case hex digits.
std::string HashHex(uint64_t hash);

}  // namespace tb
