// Portable core of the player: the decoding thread's queue.
#include "lumirax/slide_queue.h"

#include <algorithm>
#include <utility>

namespace turv::player {

void SlideQueue::Want(const std::vector<SlideRequest>& wanted) {
  queue_.clear();
  for (const SlideRequest& request : wanted) {
    const bool done = std::any_of(done_.begin(), done_.end(),
                                  [&](const Slide& slide) { return slide.request == request; });
    if (request.area.width > 0 && request.area.height > 0 && !done && busy_ != request) {
      queue_.push_back(request);
    }
  }
}

std::optional<SlideRequest> SlideQueue::Next() {
  if (queue_.empty()) return std::nullopt;
  busy_ = queue_.front();
  queue_.pop_front();
  return busy_;
}

void SlideQueue::Finished(Slide slide) {
  busy_.reset();
  done_.push_back(std::move(slide));
}

std::vector<Slide> SlideQueue::Take() {
  return std::exchange(done_, {});
}

void SlideQueue::Clear() {
  queue_.clear();
  busy_.reset();
}

}  // namespace turv::player
