// The player's one window: captions on the left, the selected entry on the
// right, the start folder in a status line at the bottom.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "lumirax/player_model.h"
#include "win32/handles.h"

namespace turv::player {

// The one place where an error becomes the user's message: a message box
// owned by owner (none before the window exists).
void ReportError(HWND owner, const std::exception_ptr& error) noexcept;

class PlayerWindow {
 public:
  PlayerWindow(HINSTANCE instance, const Presentation& presentation, std::u16string workFolder,
               const std::u16string& statusLine);
  PlayerWindow(const PlayerWindow&) = delete;
  PlayerWindow& operator=(const PlayerWindow&) = delete;
  ~PlayerWindow();

  // Shows the window maximised and runs until it is closed; the exit code.
  int Run();

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls(const std::u16string& statusLine);
  void Layout();
  void Select(int index);
  void OpenSelected();
  void Paint();
  int Scaled(int pixels) const;

  const Presentation& presentation_;
  std::u16string workFolder_;
  HWND window_ = nullptr;  // destroyed by the user's close, or by the destructor
  HWND list_ = nullptr;
  HWND text_ = nullptr;
  HWND info_ = nullptr;
  HWND status_ = nullptr;
  win32::GdiObject listFont_;
  win32::GdiObject textFont_;
  win32::GdiObject statusFont_;
  int dpi_ = 96;
  int statusHeight_ = 0;
  bool running_ = false;  // the message loop runs: closing the window ends it
  RECT viewArea_{};       // the right side, where the entry is shown
  View view_;
};

}  // namespace turv::player
