#pragma once
// Sound categories and the per-play choice of file.
#include <cstdint>
#include <string>

namespace tb {

class MainFrm;

// A folder of numbered sound files, of which each play picks one.
struct SoundCategory {
  const char* Text;  // e.g. "/Sounds/bombs/bomb"
  int32_t Count;     // files numbered 1..Count
};

// The categories: a random event, a launch, a launch with none left, a pickup, the three
// kinds of contact, and an explosion.
inline constexpr SoundCategory kRandomSounds{"/Sounds/random/random", 7};
inline constexpr SoundCategory kGunSounds{"/Sounds/guns/gun", 4};
inline constexpr SoundCategory kHornSounds{"/Sounds/horns/horn", 4};
inline constexpr SoundCategory kBubbleSounds{"/Sounds/bubbles/bubble", 4};
inline constexpr SoundCategory kClangSounds{"/Sounds/clangs/clang", 4};
inline constexpr SoundCategory kRicochetSounds{"/Sounds/ricochets/ricochet", 4};
inline constexpr SoundCategory kThudSounds{"/Sounds/thuds/thud", 4};
inline constexpr SoundCategory kBombSounds{"/Sounds/bombs/bomb", 4};

// folder + the category's text + n + ".wav".
std::string SoundPath(const std::string& folder, const SoundCategory& category, int32_t n);
// The file number for a draw r in [0, 1).
int32_t SoundNumber(float r, const SoundCategory& category);
// Draws the file number from the game's generator and starts the file.
void PlayCategory(MainFrm& form, const SoundCategory& category);
// Contact sound of two kinds.
const SoundCategory& ContactSound(int32_t kindA, int32_t kindB);

}  // namespace tb
