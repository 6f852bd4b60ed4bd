#pragma once
// The replay of an online match as its ticks become final: always in memory, and in a file
// when one was asked for. A match stopped on a fault saves it for diagnosis.
#include <cstddef>
#include <string>

#include "net/Rollback.h"
#include "state/Replay.h"
#include "state/ReplayWriter.h"

namespace tb::net {

// The replay of an online match kept in memory is dropped beyond this size (hours of play).
inline constexpr size_t kMaxMemoryReplay = size_t{64} << 20;

class MatchRecording {
 public:
  // Starts the replay in memory and, when `path` is not "", in that file; false with a
  // notice for the player when the file cannot be opened (the memory one still runs).
  bool Open(const Replay& header, const std::string& path, std::string& notice);
  // One final tick, with its checkpoint when it has one.
  void Tick(const TickRecord& t);
  // The replay so far, as a whole file; false when it outgrew its limit.
  bool MemoryFile(std::string& bytes) const { return memory_.MemoryFile(bytes); }
  // Finishes the file or, without one, writes the memory replay as `name` into `folder`
  // (the working folder when that fails; nowhere when `folder` is ""). Returns what to add
  // to the reason the match ended.
  std::string Save(const std::string& folder, const std::string& name);
  // Finishes the file, if any; the memory replay stays readable.
  void Close() { file_.Close(); }
  // Where the replay was saved; "" until Save succeeds.
  const std::string& Saved() const { return saved_; }

 private:
  std::string path_;
  ReplayWriter file_;
  ReplayWriter memory_;
  std::string saved_;
};

}  // namespace tb::net
