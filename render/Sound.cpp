#include "render/Sound.h"

#include <charconv>
#include <cmath>

#include "geometry/Numeric.h"
#include "shell/MainFrm.h"
#include "world/Thing.h"

namespace tb {

namespace {
void FormSoundPath(std::string& path, const std::string& folder, const SoundCategory& category,
                   int32_t n) {
  char digits[12];
  char* end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  path.assign(folder);
  path.append(category.Text);
  path.append(digits, static_cast<size_t>(end - digits));
  path.append(".wav");
}
}  // namespace

std::string SoundPath(const std::string& folder, const SoundCategory& category, int32_t n) {
  std::string path;
  FormSoundPath(path, folder, category, n);
  return path;
}

int32_t SoundNumber(float r, const SoundCategory& category) {
  return static_cast<int32_t>(std::floor(D(r) * category.Count)) + 1;
}

void PlayCategory(MainFrm& form, const SoundCategory& category) {
  int32_t n = SoundNumber(form.Random().Draw(), category);
  // Formed in a buffer kept from play to play: a tick may play thousands (every failed try
  // of a token's placement).
  thread_local std::string path;
  FormSoundPath(path, form.ExeFolder(), category, n);
  form.Sound().PlaySoundFile(path);
}

const SoundCategory& ContactSound(int32_t kindA, int32_t kindB) {
  if (kindA == Vehicle && kindB == Vehicle) return kClangSounds;
  if (kindA == Grenade || kindB == Grenade) return kRicochetSounds;
  return kThudSounds;
}

}  // namespace tb
