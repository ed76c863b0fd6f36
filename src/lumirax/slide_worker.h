// Pictures decoded off the GUI thread: the window says which slides it
// wants, most urgent first; one worker thread reads and decodes them and
// posts a message to the window for each finished one, which the window
// then takes. The GUI thread never waits for a decode, not even at the end.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "lumirax/player_model.h"
#include "lumirax/slide_queue.h"

namespace turv::player {

class SlideWorker {
 public:
  // Posts message to window whenever a slide is finished.
  SlideWorker(const Presentation& presentation, HWND window, UINT message);
  SlideWorker(const SlideWorker&) = delete;
  SlideWorker& operator=(const SlideWorker&) = delete;
  // Drops what is queued and waits for a body being read, not for a
  // decode: a thread still decoding is left to stop between bands or to
  // end with the process, and touches nothing of this object's.
  ~SlideWorker();

  // What to decode, most urgent first (see SlideQueue::Want).
  void Want(const std::vector<SlideRequest>& wanted);
  // The slides finished since the last call.
  std::vector<Slide> Take();

 private:
  // What the thread shares with this object; it holds a reference of its own.
  struct State {
    std::mutex mutex;
    std::condition_variable wake;
    SlideQueue queue;
    bool reading = false;  // a body is read from the presentation
    std::atomic<bool> stop = false;
  };
  static void Run(const std::shared_ptr<State>& state, const Presentation& presentation,
                  HWND window, UINT message);

  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::thread thread_;
};

}  // namespace turv::player
