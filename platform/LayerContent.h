#pragma once
// What the on-screen layer shows, as plain text: the game fills it, the platform draws it.
#include <cstdint>
#include <string>
#include <vector>

namespace tb {

// One line of text in a colour, 0xRRGGBB.
struct LayerLine {
  std::string text;
  uint32_t rgb = 0xE8E8E8;
};

// The lines of each kind, in the order they are shown.
struct LayerContent {
  std::vector<LayerLine> status;  // the state of things: score, replay position, drivers
  std::vector<LayerLine> banner;  // what matters now: a decided round, a pause, a failure
  std::vector<LayerLine> lobby;   // who is in before an online match starts
  std::vector<LayerLine> help;    // each player's colour and keys, shown in full screen
  std::vector<LayerLine> menu;    // a page of the start screen, centred over everything
  bool Empty() const {
    return status.empty() && banner.empty() && lobby.empty() && help.empty() && menu.empty();
  }
  void Clear() { status.clear(), banner.clear(), lobby.clear(), help.clear(), menu.clear(); }
};

}  // namespace tb
