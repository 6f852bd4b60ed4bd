#include "state/WorldHash.h"

#include <cstdio>
#include <cstring>
#include <type_traits>

#include "shell/MainFrm.h"

namespace tb {

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

uint64_t Fnv1aOf(const char* data, size_t size) {
  Fnv1a h;
  h.Bytes(data, size);
  return h.Value();
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

uint64_t WorldHash(const MainFrm& form) { return WorldHash(form, form.Caption()); }

std::string HashHex(uint64_t hash) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(hash));
  return buf;
}

}  // namespace tb
