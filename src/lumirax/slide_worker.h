// Pictures decoded off the GUI thread: the window says which slides it
// wants, most urgent first; one worker thread reads and decodes them and
// posts a message to the window for each finished one, which the window
// then takes. The GUI thread never waits for a decode.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "lumirax/picture.h"
#include "lumirax/player_model.h"

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

class SlideWorker {
 public:
  // Posts message to window whenever a slide is finished.
  SlideWorker(const Presentation& presentation, HWND window, UINT message);
  SlideWorker(const SlideWorker&) = delete;
  SlideWorker& operator=(const SlideWorker&) = delete;
  // Lets the slide being decoded finish, drops the rest, and joins.
  ~SlideWorker();

  // What to decode, most urgent first; queued requests not in the list are
  // dropped, and one already finished or under way is not asked again.
  void Want(std::vector<SlideRequest> wanted);
  // The slides finished since the last call.
  std::vector<Slide> Take();

 private:
  void Run();

  const Presentation& presentation_;
  HWND window_;
  UINT message_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<SlideRequest> queue_;
  std::vector<Slide> done_;
  std::optional<SlideRequest> busy_;  // being decoded
  bool stop_ = false;
  std::thread thread_;  // last: starts when everything above is there
};

}  // namespace turv::player
