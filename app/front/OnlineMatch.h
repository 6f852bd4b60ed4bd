#pragma once
// An online match built from the game's arguments: the one set-up of a host or a joiner that
// the command line and the start screen share, so that both start exactly the same game.
#include <cstdint>
#include <string>

#include "app/cli/CommandLine.h"
#include "app/front/LocalMatch.h"
#include "net/Session.h"

namespace tb::front {

// The session's options as `args` asks, with the host's `seed` and `clockStart` (a joiner is
// told them) and the game's files in `exeFolder`.
net::SessionOptions OnlineOptions(const cli::GameArgs& args, uint64_t seed, double clockStart,
                                  const std::string& exeFolder);

// The keys an online match's local seats are read from: through the table of changed keys
// when `args` has one, else the players' keys as they come, as the rules have them.
class OnlineKeys {
 public:
  // `players` is keyboard and controllers together; `keyboard` and `pads` (null: none) are
  // its two halves, read through the table.
  OnlineKeys(const cli::GameArgs& args, const KeyState& players, const KeyState& keyboard,
             const KeyState* pads)
      : mapped_(keyboard, pads, args.keys, 0),
        players_(args.customKeys ? static_cast<const KeyState&>(mapped_) : players) {}
  // What the session reads.
  const KeyState& Keys() const { return players_; }

 private:
  PlayerKeyMap mapped_;
  const KeyState& players_;
};

}  // namespace tb::front
