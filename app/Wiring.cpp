#include "app/Wiring.h"

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "pictures/Icon.h"
#include "shell/Controls.h"

namespace tb {

WindowIcon GameWindowIcon() {
  IconImage icon = DrawIcon(64);
  return WindowIcon{icon.size, icon.size, std::move(icon.rgba)};
}

PadKeyTable PlayersPadKeys() {
  static_assert(std::size(kPlayerKeys) == std::tuple_size<PadKeyTable>::value,
                "a pad slot for each player");
  PadKeyTable table{};
  for (size_t i = 0; i < table.size(); ++i) {
    const PlayerKeys& p = kPlayerKeys[i];
    table[i] = PadKeys{p.Right, p.Left, p.Forward, p.Backward, p.Fire};
  }
  return table;
}

long ParsePositiveCount(const char* text) {
  if (text == nullptr || *text == '\0') return 0;
  char* end = nullptr;
  errno = 0;
  long n = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || n <= 0) return 0;
  return n;
}

DeveloperSwitches ReadDeveloperSwitches() {
  DeveloperSwitches switches;
  switches.window.maxTicks = ParsePositiveCount(std::getenv("TREADBRAWL_MAX_TICKS"));
  if (const char* log = std::getenv("TREADBRAWL_TICK_LOG")) switches.window.tickLogPath = log;
  const long startWith = ParsePositiveCount(std::getenv("TREADBRAWL_START_WITH"));
  switches.startWith = startWith <= 4 ? static_cast<int>(startWith) : 0;
  return switches;
}

}  // namespace tb
