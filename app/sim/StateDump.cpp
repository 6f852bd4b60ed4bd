#include "app/sim/StateDump.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
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

void Fnv1a::Bytes(const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    h_ ^= p[i];
    h_ *= 1099511628211ULL;
  }
}

void Fnv1a::U32(uint32_t v) {
  // Little-endian whatever the machine, so the golden hashes travel.
  unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                        static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
  Bytes(b, sizeof b);
}

void Fnv1a::Float(float v) {
  uint32_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  U32(bits);
}

void Fnv1a::Text(const std::string& s) {
  U32(static_cast<uint32_t>(s.size()));
  Bytes(s.data(), s.size());
}

uint64_t WorldHash(const MainFrm& form, const std::string& caption) {
  Fnv1a h;
  for (const Thing* thing : form.ThingCollection.Items()) {
    h.Text("thing");
    thing->VisitFields([&h](const char* name, const auto& field) {
      using T = std::decay_t<decltype(field)>;
      h.Text(name);
      if constexpr (std::is_same_v<T, float>) {
        h.Float(field);
      } else if constexpr (std::is_same_v<T, bool>) {
        unsigned char b = field ? 1 : 0;
        h.Bytes(&b, 1);
      } else if constexpr (std::is_same_v<T, int32_t>) {
        h.I32(field);
      } else if constexpr (std::is_same_v<T, std::string>) {
        h.Text(field);
      } else {
        static_assert(std::is_same_v<T, Corners>, "a field type the hash does not know");
        for (size_t i = 1; i < field.size(); ++i) h.I32(field[i]);
      }
    });
  }
  h.Text("caption");
  h.Text(caption);
  h.Text("issued");
  h.I32(form.IssuedIDs());
  return h.Value();
}

std::string HashHex(uint64_t hash) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(hash));
  return buf;
}

}  // namespace tb::sim
