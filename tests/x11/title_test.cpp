// The window's title as the window manager reads it, on a real X server (Xvfb), in the C
// locale the game runs in when nobody set one.
// gtest before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/WindowManager.h"
// clang-format off
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

extern char** environ;

namespace tb {
namespace {

// An Xvfb of our own; it says its display number on a pipe once it accepts clients.
class VirtualServer {
 public:
  VirtualServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb",       "-displayfd", fd.c_str(), "-screen", "0",
                          "800x600x24", "-nolisten",  "tcp",      nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 0, 0);
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
      pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char text[16] = {};
    ssize_t n = pid_ != 0 ? read(fds[0], text, sizeof text - 1) : 0;
    // The server goes when its end of the pipe is closed: keep it open while it is needed.
    readEnd_ = fds[0];
    if (n > 0) display_ = ":" + std::to_string(std::atoi(text));
  }
  ~VirtualServer() {
    if (pid_ != 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (readEnd_ >= 0) close(readEnd_);
  }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = 0;
  int readEnd_ = -1;
  std::string display_;
};

// A text property of the window as a client of the server reads it: its type and bytes.
std::string Property(::Display* d, Window w, const char* name, std::string& type) {
  Atom actual = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::string value;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 4096, False, AnyPropertyType,
                         &actual, &format, &items, &after, &data) == Success &&
      data != nullptr) {
    value.assign(reinterpret_cast<char*>(data), items);
    char* typeName = XGetAtomName(d, actual);
    type = typeName != nullptr ? typeName : "";
    if (typeName != nullptr) XFree(typeName);
  }
  if (data != nullptr) XFree(data);
  return value;
}

TEST(WindowTitle, ReachesTheWindowManagerAsUtf8InTheCLocale) {
  if (std::system("command -v Xvfb >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "Xvfb not installed (apt-get install xvfb): window titles not checked";
  VirtualServer server;
  ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
  std::setlocale(LC_ALL, "C");
  setenv("DISPLAY", server.Display().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("Form1", 0, 0, 582, 555, SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ASSERT_TRUE(SDL_GetWindowWMInfo(window, &info));
  ::Display* reader = XOpenDisplay(server.Display().c_str());  // another client, as a WM is
  ASSERT_NE(reader, nullptr);
  const Window w = info.info.x11.window;

  struct Case {
    std::string title, legacyType, legacy;
  };
  const Case cases[] = {
      {"2 \u2014 Green 0 \u00b7 Red 0 \u00b7 Blue 0 \u00b7 Yellow 0", "UTF8_STRING",
       "2 \u2014 Green 0 \u00b7 Red 0 \u00b7 Blue 0 \u00b7 Yellow 0"},
      {"Green 1 \u00b7 Red 0", "STRING", "Green 1 \xb7 Red 0"},  // Latin-1 fits the old name
      {"Treadbrawl online: joining the host...", "STRING",
       "Treadbrawl online: joining the host..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    SetWindowCaption(window, c.title);
    XSync(info.info.x11.display, False);  // the server has it before the other client asks
    std::string type;
    EXPECT_EQ(Property(reader, w, "_NET_WM_NAME", type), c.title);
    EXPECT_EQ(type, "UTF8_STRING");
    EXPECT_EQ(Property(reader, w, "WM_NAME", type), c.legacy);
    EXPECT_EQ(type, c.legacyType);
  }
  // And as a window manager would decode WM_NAME through Xlib.
  SetWindowCaption(window, cases[1].title);
  XSync(info.info.x11.display, False);
  XTextProperty prop;
  ASSERT_NE(XGetWMName(reader, w, &prop), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(prop.value), prop.nitems), cases[1].legacy);
  XFree(prop.value);
  XCloseDisplay(reader);
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST(WindowTitle, Latin1OnlyWhenEveryCharacterFits) {
  std::string out;
  EXPECT_TRUE(Latin1Title("Red \u00b7 \u00ff", out));
  EXPECT_EQ(out, "Red \xb7 \xff");
  EXPECT_FALSE(Latin1Title("Red \u2014", out));
  EXPECT_EQ(out, "Red \u2014");
  EXPECT_FALSE(Latin1Title("cut \xc3", out)) << "a sequence cut short";
}

}  // namespace
}  // namespace tb
