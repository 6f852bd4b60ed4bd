#pragma once
// Generic access to any field of a Thing by its VisitFields name, private ones included.
// The simulator's hand-made scene and the tests use it to put a thing into a state that
// would take many ticks of play to reach.
#include <string>
#include <type_traits>

#include "world/Thing.h"

namespace tb::sim {

// Sets the named field to value. The field's type must be exactly T (a string field also
// takes a const char*): a mismatch returns false instead of narrowing silently, so a test
// that passes 12.0 for a float field finds out. False too when no field has that name.
template <class T>
bool SetField(Thing& thing, const char* name, T value) {
  bool done = false;
  thing.VisitFields([&](const char* fieldName, auto& field) {
    using Field = std::decay_t<decltype(field)>;
    if (done || std::string(fieldName) != name) return;
    if constexpr (std::is_same_v<Field, T>) {
      field = value;
      done = true;
    } else if constexpr (std::is_same_v<Field, std::string> &&
                         std::is_convertible_v<T, std::string>) {
      field = value;
      done = true;
    }
  });
  return done;
}

// Reads the named field into out; same matching rules as SetField.
template <class T>
bool GetField(const Thing& thing, const char* name, T& out) {
  bool done = false;
  thing.VisitFields([&](const char* fieldName, const auto& field) {
    using Field = std::decay_t<decltype(field)>;
    if (done || std::string(fieldName) != name) return;
    if constexpr (std::is_same_v<Field, T>) {
      out = field;
      done = true;
    }
  });
  return done;
}

}  // namespace tb::sim
