#include "app/sim/StateDump.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <type_traits>

namespace tb::sim {

void AppendJsonFloat(std::string& out, float value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  char buf[64];
  // Shortest round-trip form; its exponent style ("1e+20", "1e-05") is valid JSON as is.
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, result.ptr);
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
