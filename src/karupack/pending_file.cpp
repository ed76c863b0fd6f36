#include "karupack/pending_file.h"

#include <cstdio>
#include <random>

#include "karupack/errors.h"

namespace turv::karupack {

PendingFile::PendingFile(const std::filesystem::path& target) : target_(target) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100 && !out_; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(random()));
    std::string name = ".";
    name += Utf8(target.filename());
    name += suffix;
    temporary_ = target.parent_path() / PathFromUtf8(name);
    out_ = OutputFile::CreateNew(temporary_, target);
  }
  if (!out_) throw Failure(target, "cannot find a free temporary name beside it");
}

PendingFile::~PendingFile() {
  if (committed_) return;
  out_.reset();  // closed first: Windows removes no open file
  RemoveFile(temporary_);
}

void PendingFile::Commit(bool executable) {
  out_->Finish(executable);
  MoveIntoPlace(temporary_, target_);
  committed_ = true;
}

}  // namespace turv::karupack
