#pragma once
// Writing a replay file as the game goes, or keeping it in memory.
#include <cstdio>
#include <string>
#include <vector>

#include "state/Replay.h"
#include "state/WorldHash.h"

namespace tb {

struct TickRecord;

// Writes a replay as the game goes: whole checkpoints at a time, so that a crash leaves a
// readable file that lacks at most the last second.
class ReplayWriter {
 public:
  ReplayWriter() = default;
  ~ReplayWriter();
  ReplayWriter(const ReplayWriter&) = delete;
  ReplayWriter& operator=(const ReplayWriter&) = delete;

  // Creates the file and writes the header; false with the problem if it cannot.
  bool Open(const std::string& path, const Replay& header, std::string& problem);
  // Keeps the replay in memory instead, up to `limit` bytes; beyond, it stops keeping.
  void OpenInMemory(const Replay& header, size_t limit);
  // What is kept in memory as a whole replay file ending after the last tick written; false
  // when it outgrew its limit.
  bool MemoryFile(std::string& bytes) const;
  // The next tick's keys and clock readings.
  void Tick(const std::vector<uint8_t>& keys, const std::vector<float>& readings);
  // A tick as recorded, with its checkpoint when it has one.
  void Write(const TickRecord& record);
  // The world hash after the tick just written; flushes the file.
  void Checkpoint(int64_t tick, uint64_t hash);
  // Writes the end and closes; false if anything could not be written.
  bool Close();
  bool IsOpen() const { return file_ != nullptr || inMemory_; }
  int64_t Ticks() const { return ticks_; }  // written so far

 private:
  // Starts a replay with its header, wherever it goes.
  void Begin(const Replay& header);
  void Append(const std::string& bytes);
  bool Flush();
  std::string EndRecord() const;
  std::FILE* file_ = nullptr;
  bool inMemory_ = false;
  std::string memory_;  // the file so far, when kept in memory
  size_t memoryLimit_ = 0;
  std::string pending_;  // written out at each checkpoint
  Fnv1a sum_;            // of the bytes since the last checkpoint record began
  std::vector<uint8_t> lastKeys_;
  uint32_t lastReading_ = 0;
  int64_t ticks_ = 0;
  bool failed_ = false;
};

}  // namespace tb
