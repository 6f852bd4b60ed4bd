#pragma once
// What the window system around the game can do for it.
#include <SDL.h>

#include <string>

namespace tb {

// Whether a window manager that can make windows full screen looks after the window. Without
// one, asking SDL for full screen changes nothing on the screen while SDL believes it did.
// True where it cannot be told (other window systems).
bool HasWindowManager(SDL_Window* window);

// Sets the window's title from UTF-8 text, whatever the process locale. On X11 both
// _NET_WM_NAME (UTF-8) and the older WM_NAME (Latin-1 when the text fits, else UTF-8) are
// written directly, not through SDL: SDL converts through the C library's locale, which
// under "C" mangles or drops any character beyond ASCII. Elsewhere SDL sets it.
void SetWindowCaption(SDL_Window* window, const std::string& utf8);

// WM_NAME's text for an X11 title: Latin-1 bytes when every character has one (true),
// otherwise the UTF-8 unchanged (false). Invalid UTF-8 is never Latin-1.
bool Latin1Title(const std::string& utf8, std::string& out);

}  // namespace tb
