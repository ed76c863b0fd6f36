// The show: one slide at a time on the whole screen, on black, with nothing
// else on it; keys and clicks step through the slides, Esc and the end go
// back to browsing at the slide shown. Timed slides move on by themselves,
// with their narration and the show's music, cross-faded where the
// settings say; the kiosk cannot be left but by Alt+F4.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lumirax/console_window.h"
#include "lumirax/player_model.h"
#include "lumirax/screens.h"
#include "lumirax/show_clock.h"
#include "lumirax/show_model.h"
#include "lumirax/slide_worker.h"
#include "lumirax/sound_desk.h"
#include "win32/handles.h"
#include "win32/window_owner.h"

namespace turv::player {

// Segoe UI of the given pixel height, for the show and its console.
win32::GdiObject ShowFont(int height, int weight);

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

// How a show starts besides its slide.
struct ShowOptions {
  std::u16string lastMonitor;         // the monitor the last show filled, when known
  bool rehearse = false;              // the console alone over the owner; F5 starts the show
  std::vector<std::u16string> notes;  // the presenter's notes per entry
};

class ShowWindow : private ConsoleHost {
 public:
  // Covers the monitor the owner is on, or with two monitors or more
  // another and puts the presenter's console on the owner's (the kiosk's
  // show covers the owner, with no console), and runs the plan's slides from slide
  // start; pictures says per entry whether the decoder prepares it. At the
  // end it posts endMessage to the owner with the entry shown as wParam; the
  // owner then destroys it.
  ShowWindow(HINSTANCE instance, HWND owner, UINT endMessage, ShowHost& host,
             const Presentation& presentation, const ShowPlan& plan,
             const std::vector<bool>& pictures, std::size_t start, ShowOptions options = {});
  ShowWindow(const ShowWindow&) = delete;
  ShowWindow& operator=(const ShowWindow&) = delete;
  ~ShowWindow();

  // The pictures to decode for the show, most urgent first.
  std::vector<SlideRequest> Wanted() const;
  // A decoded slide arrived; true when it is the one on screen.
  bool Arrived(const SlideRequest& request);
  // A sound played to its end.
  void SoundEnded(SoundDesk::Channel channel);
  // The entry on screen.
  std::size_t Entry() const { return Current().entry; }
  // A key for the show or its console, from the message loop: true when taken.
  bool TakeKey(const MSG& message);
  // The monitor the show fills, for the next show.
  const std::u16string& ShowMonitor() const { return screens_.show; }

 private:
  friend struct win32::OwnerProcedure<ShowWindow>;
  static void Report(HWND window, const std::exception_ptr& error) noexcept;
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Take(Effect effect);
  void Stepped();    // the show moved to another slide: fade, draw, sound
  void TimedStep();  // the slide's time is up
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

  // The presenter's keys, the console and the monitors.
  bool ShowKey(WPARAM key);
  bool Held() const;  // blank, overview or help: the timed show waits
  void Resume();      // back on the slide: its count starts anew
  void Unhelp();      // the help taken away
  void Follow(Show::Outcome outcome);
  void Redraw();
  Screens Plan(const std::vector<Monitor>& monitors) const;  // where a show starts
  void Apply(const Screens& screens);  // puts the show and the console on their monitors
  void Resize(const RECT& screen);
  void Reveal();           // from rehearsing into the show
  void PaintOver(HDC dc);  // blank, overview and help over the slide
  Grid OverviewGrid() const;
  SlideRequest Thumbnail(std::size_t index) const;
  std::vector<const Slide*> OverviewPictures() const;
  std::vector<std::u16string> OverviewLabels() const;

  // ConsoleHost
  ConsoleHost& AsConsoleHost() { return *this; }
  const Slide* Decoded(const SlideRequest& request) const override;
  bool ConsoleKey(WPARAM key) override;
  void ScreensChanged() override;
  void ConsoleClosing() override;
  void PaintOverview(HDC dc, RECT area) const override;

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
  HINSTANCE instance_;
  ShowOptions options_;
  Screens screens_;
  bool rehearsing_ = false;
  bool help_ = false;  // the keys' help over the show, until any key
  std::unique_ptr<ConsoleWindow> console_;
};

}  // namespace turv::player
