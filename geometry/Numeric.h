#pragma once
// Float-to-integer conversion for the whole game: nearest integer, halves to even.
// Values beyond the 32-bit range saturate and NaN gives 0, so a conversion is never UB.
#include <cmath>
#include <cstdint>
#include <limits>

namespace tb {

// The nearest 32-bit integer, halves to even.
inline int32_t RoundToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  // Adding 1.5 * 2^52 leaves no bits below the units, so the sum is v rounded to nearest,
  // halves to even, exactly as nearbyint does, without a library call on the hot path.
  constexpr double kShift = 6755399441055744.0;
  return static_cast<int32_t>((v + kShift) - kShift);
}

// The same, held within 16 bits (pen widths, colour shades).
inline int16_t RoundToInt16(double v) {
  int32_t r = RoundToInt(v);
  if (r > 32767) return 32767;
  if (r < -32768) return -32768;
  return static_cast<int16_t>(r);
}

// Short names for the widening and narrowing casts the game's arithmetic is full of.
inline double D(float v) { return static_cast<double>(v); }
inline float F(double v) { return static_cast<float>(v); }

// Pi and two pi as the 32-bit floats the game computes with.
constexpr float kPi = 3.1415927f;
constexpr float kTwoPi = 6.2831855f;

}  // namespace tb
