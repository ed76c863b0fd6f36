#include "karupack/transfer.h"

#include <algorithm>
#include <csignal>
#include <cstdint>

#include "karupack/errors.h"
#include "karupack/input_source.h"

namespace turv::karupack {

namespace {

constexpr std::size_t kPage = 4096;

}  // namespace

Transfer::Transfer(Progress& progress, const std::atomic<bool>* cancel)
    : progress_(progress), cancel_(cancel), storage_(kBuffer + kPage) {
  const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
  buffer_ = std::span(storage_).subspan((kPage - address % kPage) % kPage, kBuffer);
}

void Transfer::Copy(InputFile& in, OutputFile& out, std::uint64_t count) {
  while (count > 0) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer_.size()));
    const std::size_t got = in.Read(buffer_.first(want));
    if (got == 0) throw Failure(in.Path(), "ended early: it changed while karupack was reading it");
    Put(out, buffer_.first(got));
    count -= got;
    progress_.Advance(got);
    CheckInterrupt();
  }
}

void Transfer::Write(OutputFile& out, std::span<const std::uint8_t> bytes) {
  Put(out, bytes);
  progress_.Advance(bytes.size());
  CheckInterrupt();
}

void Transfer::Put(OutputFile& out, std::span<const std::uint8_t> bytes) {
  if (checksum_ != nullptr) checksum_->Add(bytes);
  out.Write(bytes);
}

void Transfer::CheckInterrupt() {
  if (const int signal = guard_.Pending()) throw Interrupted(signal);
  if (cancel_ != nullptr && cancel_->load()) throw Interrupted(SIGINT);
}

void InputSource::Read(std::uint64_t offset, std::span<std::uint8_t> into) const {
  if (offset > file_.Size() || into.size() > file_.Size() - offset) {
    throw seal::SealError("read past the end of the file");
  }
  file_.Seek(offset);
  while (!into.empty()) {
    const std::size_t got = file_.Read(into);
    if (got == 0) throw Failure(file_.Path(), "ended early: it changed while karupack read it");
    into = into.subspan(got);
  }
}

}  // namespace turv::karupack
