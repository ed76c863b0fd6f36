#include "karupack/pending_file.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <type_traits>

#include "format/karu_format.h"
#include "karupack/errors.h"

namespace turv::karupack {

namespace {

using Text = std::filesystem::path::string_type;
using Unit = Text::value_type;

// Whether a name may not be cut before this unit: a UTF-8 continuation
// byte, or the second half of a UTF-16 surrogate pair.
bool Continues(Unit unit) {
  const std::uint32_t value = static_cast<std::make_unsigned_t<Unit>>(unit);
  return sizeof(Unit) == 1 ? (value & 0xC0) == 0x80 : value >= 0xDC00 && value <= 0xDFFF;
}

// The name a file is written under to take the place of one called name:
// hidden where names starting with "." are, and never longer than name (in
// the system's own units), so that it fits wherever name fits.
std::filesystem::path TemporaryName(const std::filesystem::path& name, std::uint32_t random) {
  const Text& whole = name.native();
  Text digits;
  for (int shift = 28; shift >= 0; shift -= 4) {
    digits.push_back(static_cast<Unit>("0123456789abcdef"[(random >> shift) & 0xF]));
  }
  // ".Kurs-Einfu~1a2b3c4d" for "Kurs-Einfuehrung.exe": as much of the name
  // as leaves room for eight digits, cut between characters.
  constexpr std::size_t kFixed = 2 + 8;
  Text temporary;
  if (whole.size() < kFixed) {
    if (whole.size() > 1) temporary.push_back(Unit('.'));
    temporary.append(digits, 0, std::max<std::size_t>(whole.size(), 2) - 1);
    return temporary;
  }
  std::size_t head = whole.size() - kFixed;
  while (head > 0 && Continues(whole[head])) --head;
  temporary.push_back(Unit('.'));
  temporary.append(whole, 0, head);
  temporary.push_back(Unit('~'));
  temporary.append(digits);
  return temporary;
}

}  // namespace

PendingFile::PendingFile(const std::filesystem::path& target, bool executable) : target_(target) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100 && !out_; ++attempt) {
    temporary_ = target.parent_path() / TemporaryName(target.filename(), random());
    out_ = OutputFile::CreateNew(temporary_, target, executable);
  }
  if (!out_) throw Failure(target, "cannot find a free temporary name beside it");
}

PendingFile::~PendingFile() {
  if (committed_) return;
  out_.reset();  // closed first: Windows removes no open file
  RemoveFile(temporary_);
}

void PendingFile::Commit(const std::function<void()>& beforeRename) {
  out_->Finish();
  if (beforeRename) beforeRename();
  MoveIntoPlace(temporary_, target_);
  committed_ = true;
}

void FlushCommitted(const std::filesystem::path& folder, const std::string& placed,
                    std::ostream& notes) {
  try {
    FlushFolder(folder);
  } catch (const Failure& failure) {
    notes << "karupack: warning: " << format::Printable(failure.what()) << "; " << placed
          << ", but a crash before the system writes the folder could undo that\n";
  }
}

}  // namespace turv::karupack
