// A file that takes its target's place only when complete: written under a
// temporary name beside the target, renamed over it by Commit, and removed
// when it goes without a Commit (a failure or an interruption). The target
// never holds half a file, and a file already there stays as it was.
#pragma once

#include <filesystem>
#include <optional>

#include "karupack/system.h"

namespace turv::karupack {

class PendingFile {
 public:
  explicit PendingFile(const std::filesystem::path& target);
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  OutputFile& Out() { return *out_; }
  void Commit(bool executable);

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::optional<OutputFile> out_;
  bool committed_ = false;
};

}  // namespace turv::karupack
