// Treadbrawl: the window, the keyboard and controllers, sound and the clock, wired to the game.
#include <exception>
#include <iostream>

#include "platform/ExeFolder.h"
#include "platform/SdlGame.h"
#include "platform/SdlKeys.h"
#include "platform/SdlSound.h"
#include "platform/SystemClock.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

namespace {

constexpr int kImageWidth = 582;
constexpr int kImageHeight = 555;

int Play() {
  tb::Raster raster(kImageWidth, kImageHeight);
  // The window first: without a display nothing else is worth starting.
  tb::SdlGame game(tb::GameOptions::FromEnvironment());
  if (!game.Open(raster.Width(), raster.Height(), raster.Caption())) {
    std::cerr << "treadbrawl: " << game.Error() << std::endl;
    return 1;
  }
  tb::SdlKeyState keys;
  tb::SdlSoundPlayer sound;
  tb::SystemClock clock;
  tb::Pcg32 random;
  tb::MainFrm form(raster, keys, sound, clock, random, tb::ExecutableFolder());
  form.Load();
  tb::MainFrmTarget target(form);
  int status = game.Run(target, raster, &keys);
  if (status != 0) std::cerr << "treadbrawl: " << game.Error() << std::endl;
  return status;
}

}  // namespace

int main(int, char**) {
  int status = 1;
  try {
    status = Play();
  } catch (const std::exception& e) {
    std::cerr << "treadbrawl: " << e.what() << std::endl;
    status = 1;
  } catch (...) {
    std::cerr << "treadbrawl: unexpected failure" << std::endl;
    status = 1;
  }
  tb::ShutdownPlatform();
  return status;
}
