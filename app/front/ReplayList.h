#pragma once
// The replays in a folder, for the start screen to offer.
#include <string>
#include <vector>

#include "app/front/StartScreen.h"

namespace tb::front {

// The .tbr files in `folder`, newest first, at most `limit`; a file that is not a replay is
// left out.
std::vector<ReplayEntry> ListReplays(const std::string& folder, size_t limit = 40);
// A file name for a recording made now: "2026-12-08_12-30-05".
std::string RecordingName();

}  // namespace tb::front
