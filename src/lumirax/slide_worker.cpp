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
    : presentation_(presentation), window_(window), message_(message), thread_([this] { Run(); }) {}

SlideWorker::~SlideWorker() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
    queue_.clear();
  }
  wake_.notify_one();
  thread_.join();
}

void SlideWorker::Want(std::vector<SlideRequest> wanted) {
  {
    const std::lock_guard lock(mutex_);
    queue_.clear();
    for (const SlideRequest& request : wanted) {
      if (!(busy_ && *busy_ == request)) queue_.push_back(request);
    }
  }
  wake_.notify_one();
}

std::vector<Slide> SlideWorker::Take() {
  const std::lock_guard lock(mutex_);
  return std::exchange(done_, {});
}

void SlideWorker::Run() {
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
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
      if (stop_) break;
      request = queue_.front();
      queue_.pop_front();
      busy_ = request;
    }
    Slide slide{request, {}, noDecoder};
    if (decoder) {
      try {
        Bytes body;
        try {
          body = presentation_.ReadBody(request.index, kImageLimit);
        } catch (const PlayerError&) {
          slide.unreadable = true;
          throw;
        }
        slide.pixels =
            RenderPicture(*decoder, body, request.area, JpegOrientation(body), request.background);
      } catch (const PlayerError& error) {
        slide.problem = error.Message();
      } catch (const std::bad_alloc&) {
        slide.problem = text::kPictureNoMemory;
      } catch (const std::exception&) {
        slide.problem = text::kPictureDamaged;
      }
    }
    {
      const std::lock_guard lock(mutex_);
      busy_.reset();
      if (stop_) break;
      done_.push_back(std::move(slide));
    }
    ::PostMessageW(window_, message_, 0, 0);
  }
  decoder.reset();
  if (com) ::CoUninitialize();
}

}  // namespace turv::player
