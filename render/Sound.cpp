#include "render/Sound.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "geometry/Numeric.h"
#include "shell/MainFrm.h"
#include "world/Thing.h"

namespace tb {

namespace {
void FormSoundPath(std::string& path, const std::string& folder, const SoundCategory& category,
                   int32_t n) {
  char digits[12];
  const size_t count =
      static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
  const size_t text = std::strlen(category.Text);
  // Copied into place: a path kept from play to play then never allocates.
  path.resize(folder.size() + text + count + 4);
  char* at = path.data();
  std::memcpy(at, folder.data(), folder.size());
  at += folder.size();
  std::memcpy(at, category.Text, text);
  at += text;
  std::memcpy(at, digits, count);
  std::memcpy(at + count, ".wav", 4);
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
  // The paths of the category played last are kept: a tick may play thousands (every failed
  // try of a token's placement), mostly of one category.
  struct Formed {
    const char* text = nullptr;
    std::string folder;
    std::array<std::string, 8> paths;
  };
  thread_local Formed formed;
  if (formed.text != category.Text || formed.folder != form.ExeFolder()) {
    formed.text = category.Text;
    formed.folder = form.ExeFolder();
    for (std::string& p : formed.paths) p.clear();
  }
  thread_local std::string other;
  const bool kept = n >= 1 && n <= static_cast<int32_t>(formed.paths.size());
  std::string& path = kept ? formed.paths[static_cast<size_t>(n - 1)] : other;
  if (!kept || path.empty()) FormSoundPath(path, form.ExeFolder(), category, n);
  form.Sound().PlaySoundFile(path);
}

const SoundCategory& ContactSound(int32_t kindA, int32_t kindB) {
  if (kindA == Vehicle && kindB == Vehicle) return kClangSounds;
  if (kindA == Grenade || kindB == Grenade) return kRicochetSounds;
  return kThudSounds;
}

}  // namespace tb
