#pragma once
// Reading and writing whole files, and the user's folders for the game's own files. Every
// reader of a file the player hands the game goes through here, so that memory and time stay
// bounded whatever the path names.
#include <cstddef>
#include <string>

namespace tb {

// Reads a whole file of at most maxSize bytes; false with the problem when it cannot (a
// directory, a larger file, a device that never ends, a pipe with nothing to read).
bool ReadWholeFile(const std::string& path, size_t maxSize, std::string& bytes,
                   std::string& problem);
// Writes a whole file, replacing it; false with the problem when it cannot.
bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& problem);
// Writes a file so that it is either the old one or the new one whole, even after a crash:
// a temporary file beside it, synced, then renamed over it.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& problem);

// The game's folder under $XDG_STATE_HOME (default ~/.local/state/treadbrawl), made if
// missing; "." when there is none: where replays of matches go.
std::string ReplayFolder();
// The game's folder under $XDG_CONFIG_HOME (default ~/.config/treadbrawl), made if missing;
// empty when there is none.
std::string ConfigFolder();

}  // namespace tb
