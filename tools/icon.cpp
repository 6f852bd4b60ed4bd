// Writes the game's icon at every size the desktop asks for, into a hicolor-style folder tree:
// DIR/16x16/apps/treadbrawl.png ... DIR/256x256/apps/treadbrawl.png.
#include "render/Icon.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "app/sim/Png.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: treadbrawl-icon DIR\n";
    return 2;
  }
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const std::string edge = std::to_string(size);
    const std::filesystem::path folder =
        std::filesystem::path(argv[1]) / (edge + "x" + edge) / "apps";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      std::cerr << "treadbrawl-icon: cannot create " << folder.string() << ": " << ec.message()
                << "\n";
      return 1;
    }
    const tb::IconImage icon = tb::DrawIcon(size);
    std::string error;
    if (!tb::sim::WriteRgbaPng(icon.size, icon.size, icon.rgba,
                               (folder / "treadbrawl.png").string(), error)) {
      std::cerr << "treadbrawl-icon: " << error << "\n";
      return 1;
    }
  }
  return 0;
}
