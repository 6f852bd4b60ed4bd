#include "platform/WindowManager.h"

#ifdef TREADBRAWL_HAVE_X11
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace tb {

// On X11 a window manager that follows the desktop conventions names itself on the root
// window.
bool HasWindowManager(SDL_Window* window) {
#ifdef TREADBRAWL_HAVE_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
  Display* display = info.info.x11.display;
  Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  int rc = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                              &type, &format, &items, &after, &data);
  bool found = rc == Success && type == XA_WINDOW && items == 1;
  if (data != nullptr) XFree(data);
  return found;
#else
  (void)window;
  return true;
#endif
}

}  // namespace tb
