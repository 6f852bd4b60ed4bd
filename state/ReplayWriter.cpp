#include "state/ReplayWriter.h"

#include <cerrno>
#include <cstring>

#include "state/Bytes.h"
#include "state/Recording.h"
#include "state/ReplayRecords.h"

namespace tb {

using namespace replay_records;

ReplayWriter::~ReplayWriter() { Close(); }

bool ReplayWriter::Open(const std::string& path, const Replay& header, std::string& problem) {
  Close();
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    problem = std::string("cannot be written: ") + std::strerror(errno);
    return false;
  }
  inMemory_ = false;
  Begin(header);
  if (!Flush()) {
    problem = std::string("cannot be written: ") + std::strerror(errno);
    return false;
  }
  return true;
}

void ReplayWriter::OpenInMemory(const Replay& header, size_t limit) {
  Close();
  inMemory_ = true;
  memory_.clear();
  memoryLimit_ = limit;
  Begin(header);
  Flush();
}

void ReplayWriter::Begin(const Replay& header) {
  ByteWriter w;
  WriteHeader(w, header);
  pending_.clear();
  sum_ = Fnv1a();
  Append(w.Bytes());
  lastKeys_.clear();
  lastReading_ = header.LoadReadings.empty() ? 0 : Bits(header.LoadReadings.back());
  ticks_ = 0;
  failed_ = false;
}

bool ReplayWriter::MemoryFile(std::string& bytes) const {
  if (failed_) return false;
  bytes = memory_ + pending_ + EndRecord();
  return true;
}

std::string ReplayWriter::EndRecord() const {
  ByteWriter w;
  w.U8(kEnd);
  w.Varint(static_cast<uint64_t>(ticks_));
  w.U64(sum_.Value());
  return std::move(w.Bytes());
}

void ReplayWriter::Tick(const std::vector<uint8_t>& keys, const std::vector<float>& readings) {
  if (!IsOpen()) return;
  ByteWriter w;
  WriteTick(w, keys, readings, lastKeys_, lastReading_);
  Append(w.Bytes());
  ++ticks_;
}

void ReplayWriter::Write(const TickRecord& record) {
  Tick(record.keys, record.readings);
  if (record.hashed) Checkpoint(record.tick, record.hash);
}

void ReplayWriter::Checkpoint(int64_t tick, uint64_t hash) {
  if (!IsOpen()) return;
  ByteWriter w;
  w.U8(kCheckpoint);
  w.Varint(static_cast<uint64_t>(tick));
  w.U64(hash);
  w.U64(sum_.Value());
  sum_ = Fnv1a();
  Append(w.Bytes());
  Flush();
}

void ReplayWriter::Append(const std::string& bytes) {
  pending_ += bytes;
  sum_.Bytes(bytes.data(), bytes.size());
}

bool ReplayWriter::Flush() {
  if (inMemory_) {
    if (memory_.size() + pending_.size() > memoryLimit_) failed_ = true;
    if (!failed_) memory_ += pending_;
    pending_.clear();
    return !failed_;
  }
  if (file_ == nullptr) return false;
  if (!pending_.empty() &&
      std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size())
    failed_ = true;
  if (std::fflush(file_) != 0) failed_ = true;
  pending_.clear();
  return !failed_;
}

bool ReplayWriter::Close() {
  if (inMemory_) {
    inMemory_ = false;
    memory_.clear();
    pending_.clear();
    return !failed_;
  }
  if (file_ == nullptr) return !failed_;
  pending_ += EndRecord();
  Flush();
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

}  // namespace tb
