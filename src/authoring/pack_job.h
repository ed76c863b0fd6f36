// One pack on a thread of its own, so that a window stays responsive:
// progress as it goes, a way to cancel, and the outcome at the end.
// Portable (std::thread); the window turns the calls into messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "karupack/commands.h"

namespace turv::authoring {

class PackJob {
 public:
  enum class End { Packed, Cancelled, Failed };
  struct Outcome {
    End end = End::Failed;
    karupack::Packed packed;
    std::string message;  // the packer's notes, or why it failed
  };
  using ProgressCall = std::function<void(std::uint64_t done, std::uint64_t total)>;

  // Starts packing. Both calls come on the packing thread: progress after
  // every chunk written, finished once, last.
  PackJob(karupack::PackOptions options, ProgressCall progress, std::function<void()> finished);
  PackJob(const PackJob&) = delete;
  PackJob& operator=(const PackJob&) = delete;
  ~PackJob();  // cancels and waits: a cancelled pack leaves nothing

  // Stops the pack at its next chunk; the unfinished file is removed.
  void Cancel() { cancel_ = true; }
  // Waits for the end.
  const Outcome& Wait();

 private:
  std::atomic<bool> cancel_{false};
  Outcome outcome_;
  std::thread thread_;
};

}  // namespace turv::authoring
