// Which slides the decoding thread takes next: the window's wishes, most
// urgent first, less what is under way, finished and not yet taken, or
// asked for an area with nothing to fill (a minimised window). Portable;
// the worker holds its lock around every call.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "lumirax/picture.h"

namespace turv::player {

struct SlideRequest {
  std::size_t index = 0;
  Size area;                     // fitted into this
  std::uint32_t background = 0;  // 0xRRGGBB
  friend bool operator==(const SlideRequest&, const SlideRequest&) = default;
};

struct Slide {
  SlideRequest request;
  Pixels pixels;            // when decoded
  std::u16string problem;   // why not: the line the view shows
  bool unreadable = false;  // the data file failed, not the picture: worth a message
};

class SlideQueue {
 public:
  // Replaces what is queued.
  void Want(const std::vector<SlideRequest>& wanted);
  // The next request, now under way; nothing when none is queued.
  std::optional<SlideRequest> Next();
  // The request under way is finished.
  void Finished(Slide slide);
  // The slides finished since the last call.
  std::vector<Slide> Take();
  // Drops what is queued; the request under way is forgotten.
  void Clear();
  bool Busy() const { return busy_.has_value(); }

 private:
  std::deque<SlideRequest> queue_;
  std::vector<Slide> done_;
  std::optional<SlideRequest> busy_;
};

}  // namespace turv::player
