// Portable core of the player: the show's navigation and its choice of what
// to decode ahead.
#include "lumirax/show_model.h"

#include <algorithm>

namespace turv::player {

Show::Show(std::vector<bool> decoded, std::size_t start, bool loop)
    : decoded_(std::move(decoded)),
      current_(decoded_.empty() ? 0 : std::min(start, decoded_.size() - 1)),
      loop_(loop) {}

bool Show::Go(Step step) {
  if (decoded_.empty()) return false;
  switch (step) {
    case Step::Next:
      if (current_ + 1 < decoded_.size()) {
        ++current_;
      } else if (loop_) {
        current_ = 0;
      } else {
        return false;
      }
      break;
    case Step::Previous:
      if (current_ > 0) --current_;
      break;
    case Step::First:
      current_ = 0;
      break;
    case Step::Last:
      current_ = decoded_.size() - 1;
      break;
  }
  return true;
}

std::vector<std::size_t> Show::Wanted() const {
  std::vector<std::size_t> wanted;
  const auto want = [&](std::size_t i) {
    if (i < decoded_.size() && decoded_[i] &&
        std::find(wanted.begin(), wanted.end(), i) == wanted.end()) {
      wanted.push_back(i);
    }
  };
  want(current_);
  // A looping show's first slide comes after its last.
  want(loop_ && current_ + 1 == decoded_.size() ? 0 : current_ + 1);
  if (current_ > 0) want(current_ - 1);
  return wanted;
}

}  // namespace turv::player
