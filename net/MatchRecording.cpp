#include "net/MatchRecording.h"

#include "files/Files.h"

namespace tb::net {

bool MatchRecording::Open(const Replay& header, const std::string& path, std::string& notice) {
  path_ = path;
  memory_.OpenInMemory(header, kMaxMemoryReplay);
  std::string problem;
  if (path_.empty() || file_.Open(path_, header, problem)) return true;
  notice = path_ + ": " + problem + "; the match is not recorded";
  return false;
}

void MatchRecording::Tick(const TickRecord& t) {
  for (ReplayWriter* w : {&file_, &memory_}) {
    w->Write(t);
  }
}

std::string MatchRecording::Save(const std::string& folder, const std::string& name) {
  if (file_.IsOpen()) {
    if (file_.Close()) {
      saved_ = path_;
      return "; the replay is saved as " + saved_;
    }
    return "; the replay " + path_ + " could not be written whole";
  }
  if (folder.empty()) return "";
  std::string bytes;
  if (!memory_.MemoryFile(bytes)) return "; the match was too long to keep its replay";
  std::string problem;
  for (const std::string& into : {folder, std::string(".")}) {
    const std::string path = into + "/" + name;
    if (WriteWholeFile(path, bytes, problem)) {
      saved_ = path;
      return "; the replay is saved as " + path;
    }
  }
  return "; the replay could not be saved: " + problem;
}

}  // namespace tb::net
