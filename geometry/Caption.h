#pragma once
#include <cstdint>
#include <string>

namespace tb {
// The window title after a separation: the mean final step, locale-independent.
std::string SeparationCaption(int32_t total, int32_t count);
}  // namespace tb
