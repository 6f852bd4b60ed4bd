#include "render/Sound.h"

#include <cmath>

#include "geometry/Numeric.h"
#include "shell/MainFrm.h"
#include "world/Thing.h"

namespace tb {

std::string SoundPath(const std::string& folder, const SoundCategory& category, int32_t n) {
  return folder + category.Text + std::to_string(n) + ".wav";
}

int32_t SoundNumber(float r, const SoundCategory& category) {
  return static_cast<int32_t>(std::floor(D(r) * category.Count)) + 1;
}

void PlayCategory(MainFrm& form, const SoundCategory& category) {
  int32_t n = SoundNumber(form.Random().Draw(), category);
  form.Sound().PlaySoundFile(SoundPath(form.ExeFolder(), category, n));
}

const SoundCategory& ContactSound(int32_t kindA, int32_t kindB) {
  if (kindA == Vehicle && kindB == Vehicle) return kClangSounds;
  if (kindA == Grenade || kindB == Grenade) return kRicochetSounds;
  return kThudSounds;
}

}  // namespace tb
