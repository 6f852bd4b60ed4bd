// Treadbrawl: the window, the keyboard and controllers, sound and the clock, wired to the game.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
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

int Play(const tb::cli::GameArgs& args) {
  tb::Raster raster(kImageWidth, kImageHeight);
  tb::GameOptions options = tb::GameOptions::FromEnvironment();
  options.scale = args.wholeScale ? tb::ScaleMode::kWhole : tb::ScaleMode::kFit;
  // The window first: without a display nothing else is worth starting.
  tb::SdlGame game(options);
  if (!game.Open(raster.Width(), raster.Height(), raster.Caption())) {
    std::cerr << "treadbrawl: " << game.Error() << std::endl;
    return 1;
  }
  tb::SdlKeyState keys;
  const std::string folder = tb::ExecutableFolder();
  tb::SoundOptions soundOptions;
  soundOptions.voices = args.mixSounds ? 8 : 1;
  soundOptions.soundsFolder = folder + "/Sounds";
  tb::SdlSoundPlayer sound(soundOptions);
  tb::SystemClock clock;
  tb::Pcg32 random;
  tb::MainFrm form(raster, keys, sound, clock, random, folder);
  form.Load();
  tb::MainFrmTarget target(form);
  int status = game.Run(target, raster, &keys);
  if (status != 0) std::cerr << "treadbrawl: " << game.Error() << std::endl;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  tb::cli::GameArgs args;
  std::string error;
  if (!tb::cli::Parse(std::vector<std::string>(argv + 1, argv + argc), args, error)) {
    std::cerr << "treadbrawl: " << error << std::endl;
    return tb::cli::kExitUsage;
  }
  if (args.help) {
    std::cout << tb::cli::HelpText();
    return tb::cli::kExitOk;
  }
  if (args.version) {
    std::cout << tb::cli::VersionText();
    return tb::cli::kExitOk;
  }
  int status = 1;
  try {
    status = Play(args);
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
