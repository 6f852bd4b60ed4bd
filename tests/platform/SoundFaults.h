#pragma once
// A game folder whose Sounds are the built ones, spoilt in one way, and players who fire all
// the time: for the test and the benchmark of the sound player's faults.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "WavBuilder.h"
#include "shell/Controls.h"
#include "shell/Platform.h"

namespace tb {

// Every player holds the fire key: grenades go off, then horns sound, from the first tick.
struct TriggerHappy final : KeyState {
  bool IsKeyDown(uint8_t key) const override {
    return std::any_of(std::begin(kPlayerKeys), std::end(kPlayerKeys),
                       [key](const PlayerKeys& p) { return p.Fire == key; });
  }
};

enum class Fault { None, FolderMissing, Truncated, Directory, Unconvertible, Long };

inline const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::None:
      return "sounds intact";
    case Fault::FolderMissing:
      return "Sounds folder missing";
    case Fault::Truncated:
      return "files cut to 10 bytes";
    case Fault::Directory:
      return "files are directories";
    case Fault::Unconvertible:
      return "files in a format SDL cannot convert";
    case Fault::Long:
      return "every file 30 s of 48 kHz stereo";
  }
  return "";
}

// Made under the temporary folder from the built Sounds in `soundsDir`; the caller removes it.
inline std::filesystem::path GameFolder(Fault fault, const std::string& soundsDir) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("treadbrawl_faults_" + std::to_string(getpid()) +
                                              "_" + std::to_string(static_cast<int>(fault)));
  fs::remove_all(dir);
  fs::create_directories(dir);
  if (fault == Fault::FolderMissing) return dir;
  fs::copy(soundsDir, dir / "Sounds", fs::copy_options::recursive);
  const std::vector<uint8_t> mp3 = Wav(0x55, 1, 22050, 16, std::vector<uint8_t>(4000, 0x20));
  // 30 s of 48 kHz stereo, long to read and resample, which the game's thread must not do;
  // written once and linked under every name.
  const fs::path long30 = dir / "long.wav";
  if (fault == Fault::Long) {
    const std::vector<uint8_t> bytes =
        Wav(1, 2, 48000, 16, std::vector<uint8_t>(30 * 48000 * 4, 0x10));
    std::ofstream(long30, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  for (const auto& entry : fs::recursive_directory_iterator(dir / "Sounds")) {
    if (!entry.is_regular_file() || fault == Fault::None) continue;
    const fs::path file = entry.path();
    if (fault == Fault::Truncated) {
      fs::resize_file(file, 10);
    } else if (fault == Fault::Directory) {
      fs::remove(file);
      fs::create_directory(file);
    } else if (fault == Fault::Long) {
      fs::remove(file);
      fs::create_hard_link(long30, file);
    } else {
      std::ofstream(file, std::ios::binary | std::ios::trunc)
          .write(reinterpret_cast<const char*>(mp3.data()),
                 static_cast<std::streamsize>(mp3.size()));
    }
  }
  return dir;
}

}  // namespace tb
