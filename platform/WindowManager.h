#pragma once
// What the window system around the game can do for it.
#include <SDL.h>

namespace tb {

// Whether a window manager that can make windows full screen looks after the window. Without
// one, asking SDL for full screen changes nothing on the screen while SDL believes it did.
// True where it cannot be told (other window systems).
bool HasWindowManager(SDL_Window* window);

}  // namespace tb
