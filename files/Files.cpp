#include "files/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tb {

namespace {

// "64 MiB" for whole mebibytes, else the bytes.
std::string SizeText(size_t bytes) {
  constexpr size_t kMiB = size_t{1} << 20;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " bytes";
}

// The game's folder below the XDG base folder named by `variable`, or below `fallback` in
// the home folder; made if missing. Empty when neither is an absolute path.
std::string UserFolder(const char* variable, const char* fallback) {
  const char* base = std::getenv(variable);
  const char* home = std::getenv("HOME");
  std::filesystem::path folder;
  if (base != nullptr && base[0] == '/') {
    folder = std::filesystem::path(base) / "treadbrawl";
  } else if (home != nullptr && home[0] == '/') {
    folder = std::filesystem::path(home) / fallback / "treadbrawl";
  } else {
    return {};
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) return {};
  return folder.string();
}

}  // namespace

bool ReadWholeFile(const std::string& path, size_t maxSize, std::string& bytes,
                   std::string& problem) {
  bytes.clear();
  problem.clear();
  // Not blocking: a FIFO with no writer must not hold the game up at open.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    problem = std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    problem = std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    problem = "is a directory";
  } else if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > maxSize) {
    problem = "larger than " + SizeText(maxSize);
  } else {
    if (S_ISREG(info.st_mode)) bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        problem = "has nothing to read";
        break;
      }
      if (n < 0) {
        problem = std::strerror(errno);
        break;
      }
      if (n == 0) break;
      if (bytes.size() + static_cast<size_t>(n) > maxSize) {
        problem = "larger than " + SizeText(maxSize);
        break;
      }
      bytes.append(buffer, static_cast<size_t>(n));
    }
  }
  close(fd);
  // A pipe nobody writes to reads as empty at once; an empty file is a file, that is not.
  if (problem.empty() && !S_ISREG(info.st_mode) && bytes.empty()) problem = "has nothing to read";
  if (problem.empty()) return true;
  bytes.clear();
  return false;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& problem) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() &&
            std::fflush(f) == 0;
  if (f != nullptr && std::fclose(f) != 0) ok = false;
  if (!ok) problem = std::string("cannot be written: ") + std::strerror(errno);
  return ok;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& problem) {
  const std::string temporary = path + ".new";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (fd >= 0 && close(fd) != 0) ok = false;
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    problem = std::string("cannot be written: ") + std::strerror(errno);
    std::remove(temporary.c_str());
  }
  return ok;
}

std::string ReplayFolder() {
  std::string folder = UserFolder("XDG_STATE_HOME", ".local/state");
  return folder.empty() ? "." : folder;
}

std::string ConfigFolder() { return UserFolder("XDG_CONFIG_HOME", ".config"); }

}  // namespace tb
