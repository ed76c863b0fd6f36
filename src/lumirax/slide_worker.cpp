// Win32 half of the player: the decoding thread. It owns its own COM
// apartment and decoder; the window only ever holds the lock to swap lists.
#include "lumirax/slide_worker.h"

#include <objbase.h>

#include <new>
#include <optional>
#include <utility>

#include "lumirax/picture_header.h"
#include "lumirax/player_texts.h"
#include "lumirax/wic_decoder.h"

namespace turv::player {

SlideWorker::SlideWorker(const Presentation& presentation, HWND window, UINT message)
    : thread_(Run, state_, std::cref(presentation), window, message) {}

SlideWorker::~SlideWorker() {
  bool decoding = false;
  {
    std::unique_lock lock(state_->mutex);
    state_->stop = true;
    decoding = state_->queue.Busy();
    state_->queue.Clear();
    // The presentation goes after this object; a decode no longer reads it.
    state_->wake.wait(lock, [&] { return !state_->reading; });
  }
  state_->wake.notify_all();
  if (decoding) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

void SlideWorker::Want(const std::vector<SlideRequest>& wanted) {
  {
    const std::lock_guard lock(state_->mutex);
    state_->queue.Want(wanted);
  }
  state_->wake.notify_all();
}

std::vector<Slide> SlideWorker::Take() {
  const std::lock_guard lock(state_->mutex);
  return state_->queue.Take();
}

void SlideWorker::Run(const std::shared_ptr<State>& shared, const Presentation& presentation,
                      HWND window, UINT message) {
  State& state = *shared;
  const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  std::optional<WicDecoder> decoder;
  std::u16string noDecoder;
  try {
    decoder.emplace();
  } catch (const PlayerError& error) {
    noDecoder = error.Message();
  }
  for (;;) {
    SlideRequest request;
    {
      std::unique_lock lock(state.mutex);
      std::optional<SlideRequest> next;
      state.wake.wait(lock, [&] { return state.stop || (next = state.queue.Next()); });
      if (state.stop) break;
      request = *next;
      state.reading = decoder.has_value();
    }
    Slide slide{request, {}, noDecoder};
    if (decoder) {
      try {
        Bytes body;
        try {
          body = presentation.ReadBody(request.index, kImageLimit);
        } catch (const PlayerError&) {
          slide.unreadable = true;
          throw;
        }
        {
          const std::lock_guard lock(state.mutex);
          state.reading = false;
        }
        state.wake.notify_all();
        slide.pixels = RenderPicture(*decoder, body, request.area, JpegOrientation(body),
                                     request.background, &state.stop);
      } catch (const PlayerError& error) {
        slide.problem = error.Message();
      } catch (const std::bad_alloc&) {
        slide.problem = text::kPictureNoMemory;
      } catch (const std::exception&) {
        slide.problem = text::kPictureDamaged;
      }
    }
    bool stopped = false;
    {
      const std::lock_guard lock(state.mutex);
      state.reading = false;
      stopped = state.stop;
      if (!stopped) state.queue.Finished(std::move(slide));
    }
    state.wake.notify_all();
    if (stopped) break;
    ::PostMessageW(window, message, 0, 0);
  }
  decoder.reset();
  if (com) ::CoUninitialize();
}

}  // namespace turv::player
