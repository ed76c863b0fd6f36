// Opening an entry: its body copied into the work folder's Dateien on a
// thread of its own, so that the window and the show answer while a large
// video is copied; the window shows the progress and, once the copy is
// there, hands it to its program. A copy of ours still unchanged is opened
// again as it is; one its program holds open gets a second copy beside it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <thread>

#include "lumirax/player_model.h"

namespace turv::player {

class EntryOpener {
 public:
  enum class How { Copied, Existing, Second };
  struct Outcome {
    std::size_t index = 0;
    std::u16string path;  // the copy to open
    How how = How::Copied;
    std::u16string problem;  // when the copy failed: the message
  };

  // Posts progressMessage to window as the copy goes on, doneMessage when
  // it is finished.
  EntryOpener(const Presentation& presentation, std::u16string workFolder, HWND window,
              UINT progressMessage, UINT doneMessage);
  EntryOpener(const EntryOpener&) = delete;
  EntryOpener& operator=(const EntryOpener&) = delete;
  // Cancels a copy under way (its partial file goes) and waits for the
  // piece being written.
  ~EntryOpener();

  // Starts copying the entry; false while another copy is under way or its
  // end not yet taken.
  bool Start(std::size_t index);
  // The entry being copied and how far: bytes done of total.
  bool Busy() const { return busy_; }
  std::size_t Index() const { return index_; }
  std::uint64_t Done() const { return done_; }
  std::uint64_t Total() const { return total_; }
  // After doneMessage: how the copy ended; the next may start.
  Outcome Finish();

 private:
  void Copy(std::size_t index);

  const Presentation& presentation_;
  std::u16string workFolder_;
  HWND window_;
  UINT progressMessage_, doneMessage_;
  std::size_t index_ = 0;
  std::atomic<std::uint64_t> done_ = 0, total_ = 0;
  std::atomic<bool> busy_ = false, stop_ = false;
  Outcome outcome_;  // written by the thread before it ends
  // Our copies as written: of which entry, and their size and time, to know
  // them unchanged (two entries' names may be made safe alike).
  struct Written {
    std::size_t index;
    std::pair<std::uint64_t, std::uint64_t> stamp;
  };
  std::map<std::u16string, Written> ours_;
  std::thread thread_;
};

}  // namespace turv::player
