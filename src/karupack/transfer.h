// Streaming copy with a fixed buffer: memory stays the same whatever the
// sizes, and an interruption is noticed between chunks. The bodies lie at
// offsets the layout fixes, off the page grid; reading and writing through
// a page-aligned buffer copies them faster than the system's own file copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "karupack/progress.h"
#include "karupack/system.h"
#include "seal/launcher_image.h"

namespace turv::karupack {

class Transfer {
 public:
  static constexpr std::size_t kBuffer = 1 << 20;

  // A set cancel flag stops the copy between chunks, as an interrupt does.
  explicit Transfer(Progress& progress, const std::atomic<bool>* cancel = nullptr);

  // Copies count bytes from in's position; throws Failure when in ends
  // early and Interrupted when a stop was asked for.
  void Copy(InputFile& in, OutputFile& out, std::uint64_t count);
  void Write(OutputFile& out, std::span<const std::uint8_t> bytes);
  void CheckInterrupt();
  // From now on every byte written is added to checksum as well, while it
  // is still in memory.
  void SumInto(seal::HeaderChecksum& checksum) { checksum_ = &checksum; }

 private:
  void Put(OutputFile& out, std::span<const std::uint8_t> bytes);

  Progress& progress_;
  seal::HeaderChecksum* checksum_ = nullptr;
  const std::atomic<bool>* cancel_;
  InterruptGuard guard_;
  std::vector<std::uint8_t> storage_;
  std::span<std::uint8_t> buffer_;  // page-aligned within storage_
};

}  // namespace turv::karupack
