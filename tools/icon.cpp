// Draws the game's icon, a green vehicle at a slant, with the game's own drawing code.
#include <iostream>
#include <memory>
#include <string>

#include "app/sim/Png.h"
#include "app/sim/SimPlatform.h"
#include "geometry/Numeric.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: treadbrawl-icon FILE.png\n";
    return 2;
  }
  tb::Raster raster(96, 96);
  tb::sim::ScriptedKeys keys;
  tb::sim::RecordingSoundPlayer sound;
  tb::sim::SimClock clock(0);
  tb::Pcg32 random(1, true);
  tb::MainFrm form(raster, keys, sound, clock, random, ".");
  auto car = std::make_shared<tb::Thing>(form);
  car->Width = 30;
  car->Length = 60;
  car->X = 48;
  car->Y = 48;
  car->Angle = -tb::kPi / 4;
  car->Color = 0x00FF00;
  car->ThingType(tb::Vehicle);
  car->FindPoints();
  raster.Clear();
  car->Draw();
  std::string error;
  if (!tb::sim::WritePng(raster, argv[1], error)) {
    std::cerr << "treadbrawl-icon: " << error << "\n";
    return 1;
  }
  return 0;
}
