// Writes the game's icon at each size given into a hicolor-style folder tree:
// `treadbrawl-icon DIR 16 32` writes DIR/16x16/apps/treadbrawl.png and DIR/32x32/apps/....
#include "pictures/Icon.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "pictures/Png.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: treadbrawl-icon DIR SIZE...\n";
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size < 1 || size > 1024) {
      std::cerr << "treadbrawl-icon: bad size " << argv[i] << "\n";
      return 2;
    }
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
