// Headless simulator of the game; see --help and app/sim/Simulator.h.
#include <iostream>
#include <string>
#include <vector>

#include "app/sim/Simulator.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  return tb::sim::SimMain(args, std::cout, std::cerr);
}
