// Headless simulator of the game; see --help and app/sim/Simulator.h.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/sim/Simulator.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return tb::sim::SimMain(args, std::cout, std::cerr);
  } catch (const std::exception& e) {
    // Out of memory on an input it could not refuse sooner: a line, not an abort.
    std::cerr << "treadbrawl-sim: " << e.what() << std::endl;
    return 1;
  }
}
