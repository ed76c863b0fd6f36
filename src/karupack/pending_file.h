// A file that takes its target's place only when complete: written under a
// temporary name beside the target, put on the disk and renamed over it by
// Commit, and removed when it goes without a Commit (a failure or an
// interruption). The target never holds half a file, not even after a
// crash, and a file already there stays as it was.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "karupack/system.h"

namespace turv::karupack {

class PendingFile {
 public:
  // A new target becomes a program (executable) or a document; a file it
  // replaces keeps its permissions.
  PendingFile(const std::filesystem::path& target, bool executable);
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  OutputFile& Out() { return *out_; }
  // The folder's entries are the caller's to flush (FlushFolder), once for
  // all the files it commits there. beforeRename runs once every byte is on
  // the disk: the last moment to give up, by throwing.
  void Commit(const std::function<void()>& beforeRename = {});

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::optional<OutputFile> out_;
  bool committed_ = false;
};

}  // namespace turv::karupack
