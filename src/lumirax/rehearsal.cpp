#include "lumirax/rehearsal.h"

#include <algorithm>

namespace turv::player {

void ForRehearsal(ShowPlan& plan) {
  for (TimedSlide& slide : plan.slides) slide.milliseconds = 0;
  plan.startInShow = true;
  plan.loop = false;
  plan.kiosk = false;
}

void Rehearsal::Leave(std::uint64_t now) {
  // A clock that went back (it does not) counts as no time.
  if (current_) stood_[*current_].milliseconds += now > since_ ? now - since_ : 0;
  since_ = now;
}

void Rehearsal::Entered(std::size_t entry, std::uint64_t now) {
  if (over_ || (current_ && stood_[*current_].entry == entry)) return;
  Leave(now);
  const auto found = std::find_if(stood_.begin(), stood_.end(),
                                  [&](const Stood& stood) { return stood.entry == entry; });
  current_ = static_cast<std::size_t>(found - stood_.begin());
  if (found == stood_.end()) stood_.push_back({entry, 0});
}

void Rehearsal::Ended(std::uint64_t now) {
  if (over_) return;
  Leave(now);
  current_.reset();
  over_ = true;
}

std::vector<format::StoodTime> Rehearsal::Times(std::span<const format::Entry> entries) const {
  std::vector<format::StoodTime> times;
  for (const Stood& stood : stood_) {
    if (stood.entry >= entries.size()) continue;
    times.push_back({format::ToUtf8(entries[stood.entry].name), stood.milliseconds});
  }
  return times;
}

}  // namespace turv::player
