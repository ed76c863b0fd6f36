// The show: one slide at a time on the whole screen, on black, with nothing
// else on it; keys and clicks step through the slides, Esc and the end go
// back to browsing at the slide shown. Timed slides move on by themselves,
// with their narration and the show's music, cross-faded where the
// settings say; the kiosk cannot be left but by Alt+F4.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "lumirax/player_model.h"
#include "lumirax/show_clock.h"
#include "lumirax/show_model.h"
#include "lumirax/slide_worker.h"
#include "lumirax/sound_desk.h"
#include "win32/handles.h"

namespace turv::player {

// Draws a picture 1:1 with its top left corner at (left, top).
void DrawPixels(HDC dc, const Pixels& pixels, int left, int top);

// What the show needs of the browsing window that started it.
class ShowHost {
 public:
  // The decoded slide for a request, or nothing while it is being decoded.
  virtual const Slide* Decoded(const SlideRequest& request) const = 0;
  // The show moved: the slides it wants decoded changed.
  virtual void ShowMoved() = 0;
  virtual void OpenEntry(std::size_t index) = 0;
  // The sounds, or nothing where the player has none.
  virtual SoundDesk* Sounds() = 0;

 protected:
  virtual ~ShowHost() = default;
};

class ShowWindow {
 public:
  // Covers the monitor the owner is on and runs the plan's slides from
  // slide start; pictures says per entry whether the decoder prepares it.
  // At the end it posts endMessage to the owner with the entry shown as
  // wParam; the owner then destroys it.
  ShowWindow(HINSTANCE instance, HWND owner, UINT endMessage, ShowHost& host,
             const Presentation& presentation, const ShowPlan& plan,
             const std::vector<bool>& pictures, std::size_t start);
  ShowWindow(const ShowWindow&) = delete;
  ShowWindow& operator=(const ShowWindow&) = delete;
  ~ShowWindow();

  // The pictures to decode for the show, most urgent first.
  std::vector<SlideRequest> Wanted() const;
  // A decoded slide arrived; true when it is the one on screen.
  bool Arrived(const SlideRequest& request);
  // A sound played to its end.
  void SoundEnded(SoundDesk::Channel channel);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Go(Show::Step step);
  void Take(Effect effect);
  void End();
  void Moved();
  void Entered();  // the slide's sound, count and title
  void Arm();      // the step timer for the slide's due time
  void Timer(UINT_PTR id);
  void PollSound();
  void PointerMoved(LPARAM position);
  void Paint();
  void Compose(HDC dc);  // the current slide, whole
  // A frame off screen whose pixels a fade mixes.
  struct Frame {
    win32::GdiObject bitmap;
    std::uint32_t* bits = nullptr;
  };
  Frame MakeFrame(HDC dc) const;
  RECT TextArea() const;
  void FitText();  // the text font for the current slide
  SlideRequest Request(std::size_t index) const;
  bool Opens() const;  // the current slide is one that Enter opens
  const TimedSlide& Current() const { return plan_.slides[show_.Current()]; }

  HWND owner_;
  UINT endMessage_;
  ShowHost& host_;
  const Presentation& presentation_;
  const ShowPlan& plan_;
  Show show_;
  ShowClock clock_;
  View view_;  // the current slide's
  HWND window_ = nullptr;
  Size size_;
  win32::GdiObject textFont_, captionFont_, hintFont_;
  Frame canvas_;           // the current slide, composed
  Frame previous_;         // the frame a fade comes from
  Frame mix_;              // a fade's frame
  bool composed_ = false;  // canvas_ shows the current slide as it is
  bool fading_ = false;
  LPARAM pointer_ = -1;  // where the pointer was last seen
  bool ended_ = false;
};

}  // namespace turv::player
