// Writes the game's icon (shell/Icon.h) as a PNG file.
#include "shell/Icon.h"

#include <iostream>
#include <string>

#include "app/sim/Png.h"
#include "render/Raster.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: treadbrawl-icon FILE.png\n";
    return 2;
  }
  tb::Raster raster(tb::kIconSize, tb::kIconSize);
  tb::DrawIcon(raster);
  std::string error;
  if (!tb::sim::WritePng(raster, argv[1], error)) {
    std::cerr << "treadbrawl-icon: " << error << "\n";
    return 1;
  }
  return 0;
}
