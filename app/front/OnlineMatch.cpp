#include "app/front/OnlineMatch.h"

#include "net/SeatMask.h"

namespace tb::front {

net::SessionOptions OnlineOptions(const cli::GameArgs& args, uint64_t seed, double clockStart,
                                  const std::string& exeFolder) {
  net::SessionOptions options;
  options.host = args.host;
  options.watch = args.watch;
  options.seats = args.seats;
  options.password = args.password;
  options.exeFolder = exeFolder;
  options.recordPath = args.recordPath;
  options.gameVersion = cli::GameVersion();
  options.rounds = args.rounds;
  bots::ParseLevel(args.botLevel, options.botLevel);
  std::string ignored;  // the command line has checked every name already
  for (const std::string& seat : args.botSeats) {
    uint8_t mask = 0;
    if (net::ParseSeats(seat, mask, ignored)) options.botSeats |= mask;
  }
  if (args.host) {
    options.seed = seed;
    options.clockStart = clockStart;
  }
  return options;
}

}  // namespace tb::front
