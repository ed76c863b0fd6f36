// The presenter's console: on the laptop's monitor while the show fills the
// projector's (or alone in the player's window, to rehearse). The current
// slide large, the next one smaller with its caption, the current slide's
// notes, "Folie N von M", the time since the show began and the clock. The
// texts are standard controls, so a screen reader reads them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "lumirax/player_model.h"
#include "lumirax/show_model.h"
#include "lumirax/slide_worker.h"
#include "win32/handles.h"
#include "win32/window_owner.h"

namespace turv::player {

// What the console needs of the show that owns it.
class ConsoleHost {
 public:
  virtual const Slide* Decoded(const SlideRequest& request) const = 0;
  // A key pressed in the console, the show's keys among them; true when taken.
  virtual bool ConsoleKey(WPARAM key) = 0;
  virtual void ScreensChanged() = 0;  // the monitors changed
  // Alt+F4 in the console: the show's to answer, as in the show.
  virtual void ConsoleClosing() = 0;
  // Paints the show's overview into the console's area.
  virtual void PaintOverview(HDC dc, RECT area) const = 0;

 protected:
  virtual ~ConsoleHost() = default;
};

// The overview's grid over an area: columns, rows and one cell's size.
struct Grid {
  int columns = 1, rows = 1;
  Size cell;
  static Grid Over(Size area, std::size_t count);
};
// Draws the overview's page that holds the mark into area: every slide small
// (pictures[i] for the page's i-th, null while not decoded or no picture:
// then its label), its number, the mark framed.
void DrawOverview(HDC dc, RECT area, const Show& show, const Grid& grid,
                  const std::vector<const Slide*>& pictures,
                  const std::vector<std::u16string>& labels);
// The overview's visible slides: from first, count of them.
std::pair<std::size_t, std::size_t> OverviewPage(const Show& show, const Grid& grid);

class ConsoleWindow {
 public:
  // The show's slide i is the packed entry entries[i]; notes[e] are entry
  // e's notes, and a slide without them shows its caption.
  ConsoleWindow(HINSTANCE instance, HWND owner, ConsoleHost& host, const Presentation& presentation,
                std::vector<std::size_t> entries, const std::vector<std::u16string>& notes,
                RECT area);
  ConsoleWindow(const ConsoleWindow&) = delete;
  ConsoleWindow& operator=(const ConsoleWindow&) = delete;
  ~ConsoleWindow();

  HWND Window() const { return window_; }
  void Place(RECT area);
  // The show moved or changed how it looks: texts and pictures follow.
  void Update(const Show& show);
  // The pictures the console wants, most urgent first: the current and
  // the following slide at the console's sizes.
  std::vector<SlideRequest> Wanted(const Show& show) const;
  bool Arrived(const SlideRequest& request);
  void Zoom(int steps);  // the notes' type, Ctrl+plus and Ctrl+minus
  void ToggleTime();
  void ResetTime();
  void Focus();

 private:
  friend struct win32::OwnerProcedure<ConsoleWindow>;
  static void Report(HWND window, const std::exception_ptr& error) noexcept;
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Layout();
  void Tick();  // the times' texts
  void Paint();
  void SetNotesFont();
  SlideRequest Request(std::size_t index, const RECT& area) const;
  HWND Add(const wchar_t* type, DWORD style, int id);
  // A slide in a box: its picture, or its text (a text entry's, else its caption).
  void PaintSlide(HDC dc, std::size_t index, const RECT& area, const View& view);

  ConsoleHost& host_;
  const Presentation& presentation_;
  std::vector<std::size_t> entries_;  // per slide of the show
  std::vector<std::u16string> notes_;
  const Show* show_ = nullptr;  // the show's, as of the last Update
  HWND window_ = nullptr;
  HWND slide_ = nullptr, elapsed_ = nullptr, clock_ = nullptr, notesBox_ = nullptr, next_ = nullptr,
       pause_ = nullptr, reset_ = nullptr;
  RECT currentArea_{}, nextArea_{};
  std::size_t viewed_ = SIZE_MAX;         // the slide the views below were made for
  std::optional<std::size_t> following_;  // the slide after it, if any
  View currentView_, nextView_;
  win32::GdiObject textFont_, bigFont_, notesFont_;
  win32::GdiObject background_;
  int notesHeight_ = 0;  // pixels
  Stopwatch watch_;
};

}  // namespace turv::player
