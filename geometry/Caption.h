#pragma once
#include <cstdint>
#include <string>

namespace tb {
// The window title after a separation: the mean final step, locale-independent.
std::string SeparationCaption(int32_t total, int32_t count);

// A number as the title shows it: up to 15 significant digits, no trailing zeros, a point
// whatever the locale (printf's "%.15g" in the "C" locale).
std::string FormatStatistic(double v);

// The same text made through snprintf, for standard libraries without a floating-point
// to_chars (the WebAssembly build's); always built, so that tests hold it to the other.
std::string FormatStatisticByPrintf(double v);
}  // namespace tb
