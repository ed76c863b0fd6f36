// The show without its window: which slide is on screen, where a key leads,
// when the show ends, and which slides to decode ahead so that a step shows
// at once. Portable.
#pragma once

#include <cstddef>
#include <vector>

namespace turv::player {

class Show {
 public:
  enum class Step { Next, Previous, First, Last };

  // A show of count slides, from slide start; decoded[i] says whether
  // slide i is a picture the decoder must prepare (text is set at once).
  // A looping show goes from the last slide on to the first.
  Show(std::vector<bool> decoded, std::size_t start, bool loop = false);

  std::size_t Current() const { return current_; }
  // Takes the step; false when it ends the show (Next on the last slide
  // without loop), which leaves the current slide where it was.
  bool Go(Step step);

  // The pictures to have decoded, most urgent first: the current slide,
  // then the next and the previous one.
  std::vector<std::size_t> Wanted() const;

 private:
  std::vector<bool> decoded_;
  std::size_t current_;
  bool loop_;
};

}  // namespace turv::player
