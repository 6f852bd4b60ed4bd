#include "app/sim/StateDump.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <type_traits>

namespace tb::sim {

std::string ShortestFloatByPrintf(float value) {
  char buf[64];
  // The fewest significant digits that read back as the same float (nine always do).
  int precision = 0;
  for (; precision < 8; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*e", precision, static_cast<double>(value));
    if (std::strtof(buf, nullptr) == value) break;
  }
  std::snprintf(buf, sizeof buf, "%.*e", precision, static_cast<double>(value));
  // buf is [-]d[.ddd]e(+|-)xx: split it into sign, digits and exponent.
  const char* at = buf;
  std::string sign;
  if (*at == '-') {
    sign = "-";
    ++at;
  }
  std::string digits;
  for (; *at != 'e' && *at != '\0'; ++at)
    if (*at >= '0' && *at <= '9') digits += *at;
  const int exponent = *at == 'e' ? std::atoi(at + 1) : 0;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int n = static_cast<int>(digits.size());

  std::string scientific = sign + digits.substr(0, 1);
  if (n > 1) scientific += "." + digits.substr(1);
  const int magnitude = exponent < 0 ? -exponent : exponent;
  scientific += exponent < 0 ? "e-" : "e+";
  if (magnitude < 10) scientific += '0';
  scientific += std::to_string(magnitude);

  std::string fixed;
  if (exponent >= n - 1) {
    // A whole number: of the texts this long, its exact digits are the nearest.
    std::snprintf(buf, sizeof buf, "%.0f", static_cast<double>(value));
    fixed = buf;
  } else if (exponent >= 0) {
    fixed = sign + digits.substr(0, static_cast<size_t>(exponent) + 1) + "." +
            digits.substr(static_cast<size_t>(exponent) + 1);
  } else {
    fixed = sign + "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  }
  return fixed.size() <= scientific.size() ? fixed : scientific;
}

void AppendJsonFloat(std::string& out, float value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
#if defined(__cpp_lib_to_chars)
  char buf[64];
  // Shortest round-trip form; its exponent style ("1e+20", "1e-05") is valid JSON as is.
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, result.ptr);
#else
  out += ShortestFloatByPrintf(value);
#endif
}

void AppendJsonString(std::string& out, const std::string& text) {
  out += nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string ThingJson(const Thing& thing, std::optional<int64_t> tick) {
  std::string s = "{";
  bool first = true;
  auto key = [&](const char* name) {
    if (!first) s += ',';
    first = false;
    AppendJsonString(s, name);
    s += ':';
  };
  if (tick) {
    key("tick");
    s += std::to_string(*tick);
  }
  thing.VisitFields([&](const char* name, const auto& field) {
    using T = std::decay_t<decltype(field)>;
    key(name);
    if constexpr (std::is_same_v<T, float>) {
      AppendJsonFloat(s, field);
    } else if constexpr (std::is_same_v<T, bool>) {
      s += field ? "true" : "false";
    } else if constexpr (std::is_same_v<T, int32_t>) {
      s += std::to_string(field);
    } else if constexpr (std::is_same_v<T, std::string>) {
      AppendJsonString(s, field);
    } else {
      static_assert(std::is_same_v<T, Corners>, "a field type the dump does not know");
      s += '[';
      for (size_t i = 1; i < field.size(); ++i) {
        if (i > 1) s += ',';
        s += std::to_string(field[i]);
      }
      s += ']';
    }
  });
  s += '}';
  return s;
}

}  // namespace tb::sim
