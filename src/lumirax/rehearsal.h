// A rehearsal without its window: the show started so that the author can
// give it once by hand, and how long each slide stood meanwhile, for the
// authoring window to take as the slides' seconds. Portable; the window
// passes the time in ms (a fake clock in the tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "format/karu_format.h"
#include "format/rehearsal_times.h"
#include "lumirax/show_clock.h"

namespace turv::player {

// The show as a rehearsal gives it: at once, every slide waiting for the
// presenter's key (the time to take is what is measured, not what was
// set), ending after the last slide (no loop) and to be left with Esc (no
// kiosk). The order, sounds, music and fades stay as set.
void ForRehearsal(ShowPlan& plan);

// The time each slide stood, summed over its visits: a slide the presenter
// came back to (to answer a question) stood for all of them, and the show
// that runs itself shows it once for that long.
class Rehearsal {
 public:
  // The slide showing entry came on screen at now; the one before left.
  void Entered(std::size_t entry, std::uint64_t now);
  // The show ended at now; later calls change nothing.
  void Ended(std::uint64_t now);
  bool Over() const { return over_; }

  // Per entry, in the order first shown, the milliseconds it stood; the
  // names are the entries' (UTF-8 in the file).
  std::vector<format::StoodTime> Times(std::span<const format::Entry> entries) const;

 private:
  struct Stood {
    std::size_t entry;
    std::uint64_t milliseconds;
  };
  void Leave(std::uint64_t now);

  std::vector<Stood> stood_;
  std::optional<std::size_t> current_;  // into stood_
  std::uint64_t since_ = 0;
  bool over_ = false;
};

}  // namespace turv::player
