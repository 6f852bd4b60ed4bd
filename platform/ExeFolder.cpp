#include "platform/ExeFolder.h"

#include <SDL.h>

#include <filesystem>
#include <system_error>

namespace tb {

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ExecutableFolder() {
  if (char* base = SDL_GetBasePath()) {
    std::string folder = WithoutTrailingSlash(base);
    SDL_free(base);
    if (!folder.empty()) return folder;
  }
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error && exe.has_parent_path()) return WithoutTrailingSlash(exe.parent_path().string());
  return ".";
}

}  // namespace tb
