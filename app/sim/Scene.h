#pragma once
// A hand-made still picture with every drawing feature in view: walls, a block, and the four
// vehicles at different damage levels, headings and tread positions, one invulnerable and
// one speed-boosted. It is built directly, without the arena set-up of the first tick, so it
// shows the drawing code alone and stays the same whatever the game's random numbers do.
#include <string>

#include "render/Raster.h"
#include "shell/MainFrm.h"

namespace tb::sim {

inline constexpr int kSceneWidth = 582;
inline constexpr int kSceneHeight = 555;

// Registers the scene's things in the window (which must be fresh).
void BuildScene(MainFrm& form);
// Clears the surface and draws every thing once, in collection order.
void DrawThings(MainFrm& form);
// A moving scene for the collision sounds: two vehicles driving into each other (clang), a
// grenade thrown at a block (ricochet), two blocks sliding together and a ball rolling into
// the right-hand wall (thuds), inside the four walls of the arena.
void BuildContactScene(MainFrm& form);
// Builds and draws the scene on a kSceneWidth x kSceneHeight raster, then writes it as PNG.
bool WriteScenePng(const std::string& path, std::string& error);

}  // namespace tb::sim
