#pragma once
// The complete state of a game as a value: taken from a running window and put back into
// one, it continues exactly the game that never stopped. Derived helpers (the collision
// grid, remembered quiet looks) are not part of it; restoring keeps them only where the
// restored things match what they remember.
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/Module1.h"
#include "world/Thing.h"

namespace tb {

// The window's whole state, thing by thing.
struct Snapshot {
  // Where a player's vehicle is: in the collection, or out of the world once destroyed.
  struct Player {
    std::string Colour;
    bool InWorld = true;
    uint32_t Index = 0;  // into Things when in the world, else into OutOfWorld
  };
  std::vector<Thing> Things;      // the collection, in its order
  std::vector<Thing> OutOfWorld;  // destroyed vehicles the controls still command
  std::vector<Player> Players;    // by colour name, in name order
  int32_t IDCount = 0;            // IDs issued so far
  bool GameStarted = false;       // the arena has been built
  uint64_t RandomState = 0;       // the game's generator
  Module1::ContactState Contact;  // the geometry module's shared contact state
  std::string Caption;            // the window title
};

}  // namespace tb
