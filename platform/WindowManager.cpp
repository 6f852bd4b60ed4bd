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

bool Latin1Title(const std::string& utf8, std::string& out) {
  out.clear();
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
      // U+0080 to U+00FF: two bytes, 110000xx 10xxxxxx.
      out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      out = utf8;
      return false;
    }
  }
  return true;
}

void SetWindowCaption(SDL_Window* window, const std::string& utf8) {
  if (window == nullptr) return;
#ifdef TREADBRAWL_HAVE_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  // On X11 SDL's own title code is not called at all: outside a UTF-8 locale it fails part
  // way and leaks what it converted.
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
    SDL_SetWindowTitle(window, utf8.c_str());
    return;
  }
  Display* display = info.info.x11.display;
  const Window xwindow = info.info.x11.window;
  const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
  const auto bytes = [](const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
  };
  const auto size = [](const std::string& s) { return static_cast<int>(s.size()); };
  for (const char* name : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"})
    XChangeProperty(display, xwindow, XInternAtom(display, name, False), utf8String, 8,
                    PropModeReplace, bytes(utf8), size(utf8));
  std::string legacy;
  const Atom legacyType = Latin1Title(utf8, legacy) ? XA_STRING : utf8String;
  for (Atom name : {XA_WM_NAME, XA_WM_ICON_NAME})
    XChangeProperty(display, xwindow, name, legacyType, 8, PropModeReplace, bytes(legacy),
                    size(legacy));
  XFlush(display);
#else
  SDL_SetWindowTitle(window, utf8.c_str());
#endif
}

}  // namespace tb
