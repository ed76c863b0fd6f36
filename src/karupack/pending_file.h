// A file that takes its target's place only when complete: written under a
// temporary name beside the target, put on the disk and renamed over it by
// Commit, and removed when it goes without a Commit (a failure or an
// interruption). The target never holds half a file, not even after a
// crash, and a file already there stays as it was.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

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
  // The folder's entries are the caller's to flush (FlushCommitted), once
  // for all the files it commits there. beforeRename runs once every byte is
  // on the disk: the last moment to give up, by throwing.
  void Commit(const std::function<void()>& beforeRename = {});

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::optional<OutputFile> out_;
  bool committed_ = false;
};

// Puts the entries of the folder the files were committed in on the disk.
// The files stand there whatever it says: a folder that cannot be flushed
// (one the user may write into but not list) is a one-line warning on
// notes that names the folder and why, and placed ("Kurs.exe is in
// place"), not a failure.
void FlushCommitted(const std::filesystem::path& folder, const std::string& placed,
                    std::ostream& notes);

}  // namespace turv::karupack
