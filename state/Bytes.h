#pragma once
// Little-endian binary writing and bounded reading for the game's files. The reader never
// reads past its input and never trusts a count beyond what the bytes left could hold.
#include <cstdint>
#include <cstring>
#include <string>

namespace tb {

// Whether the bytes start with the file kind's 8-byte magic; if not, the problem: a file cut
// within its magic is truncated, any other is not of that kind.
inline bool HasMagic(const std::string& bytes, const char (&magic)[8], const std::string& kind,
                     std::string& problem) {
  constexpr size_t n = sizeof magic;
  if (bytes.size() >= n && bytes.compare(0, n, magic, n) == 0) return true;
  problem = bytes.size() < n && bytes.compare(0, bytes.size(), magic, bytes.size()) == 0
                ? "truncated: too short for a " + kind
                : "not a " + kind + " file";
  return false;
}

// Builds a file's bytes in memory.
class ByteWriter {
 public:
  // Fixed-size numbers, little-endian; a float by its bit pattern.
  void U8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U64(uint64_t v) {
    for (int i = 0; i < 8; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Float(float v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    U32(bits);
  }
  // Seven bits a byte, low first; small numbers take one byte.
  void Varint(uint64_t v) {
    while (v >= 0x80) {
      U8(static_cast<uint8_t>(v | 0x80));
      v >>= 7;
    }
    U8(static_cast<uint8_t>(v));
  }
  // A text: its length as a varint, then its bytes.
  void Text(const std::string& s) {
    Varint(s.size());
    out_ += s;
  }
  void Raw(const std::string& s) { out_ += s; }  // as it is, no length
  std::string& Bytes() { return out_; }          // all written so far

 private:
  std::string out_;
};

// Reads what ByteWriter wrote, from bytes that may be cut short or corrupt.
class ByteReader {
 public:
  // Over bytes that must outlive the reader.
  ByteReader(const char* data, size_t size) : p_(data), left_(size) {}
  explicit ByteReader(const std::string& s) : ByteReader(s.data(), s.size()) {}
  // False once any read ran past the end; every later read gives zeros.
  bool Ok() const { return ok_; }
  size_t Left() const { return left_; }  // bytes not yet read
  // Bytes read so far, for a reader over `whole`.
  size_t Offset(const std::string& whole) const { return static_cast<size_t>(p_ - whole.data()); }

  // The counterparts of ByteWriter's.
  uint8_t U8() {
    if (!Take(1)) return 0;
    return static_cast<uint8_t>(p_[-1]);
  }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(U8()) << (8 * i);
    return v;
  }
  uint64_t U64() {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(U8()) << (8 * i);
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  float Float() {
    uint32_t bits = U32();
    float v = 0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  uint64_t Varint() {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      uint8_t b = U8();
      v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if ((b & 0x80) == 0) return v;
    }
    ok_ = false;  // more than ten bytes: not a number this writer makes
    return 0;
  }
  // A text of at most maxSize bytes.
  bool Text(std::string& s, size_t maxSize) {
    uint64_t n = Varint();
    if (!ok_ || n > maxSize || n > left_) {
      ok_ = false;
      return false;
    }
    s.assign(p_, static_cast<size_t>(n));
    p_ += n;
    left_ -= static_cast<size_t>(n);
    return true;
  }
  // A count of items of at least minItemSize bytes each, checked against the bytes left.
  bool Count(uint64_t& n, size_t minItemSize) {
    n = Varint();
    if (!ok_ || (minItemSize > 0 && n > left_ / minItemSize)) ok_ = false;
    return ok_;
  }

 private:
  bool Take(size_t n) {
    if (!ok_ || left_ < n) {
      ok_ = false;
      return false;
    }
    p_ += n;
    left_ -= n;
    return true;
  }
  const char* p_;
  size_t left_;
  bool ok_ = true;
};

}  // namespace tb
