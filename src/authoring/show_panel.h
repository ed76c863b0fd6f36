// The show's part of the authoring window (Win32 only): under the file
// list the selected entry's seconds, sound and notes, and a group for the
// whole show (seconds per slide, loop, start in the show, kiosk, music,
// fade). What a setting means and whether the packer takes it comes from
// the model's ShowSetup; this part moves texts between it and the controls.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>

#include "authoring/authoring_model.h"

namespace turv::authoring {

class ShowPanel {
 public:
  // Makes a child control of the window, as the window makes its own.
  using Adder = std::function<HWND(const wchar_t* type, const std::wstring& text, DWORD style,
                                   int id, DWORD extended)>;
  // The layout's measures, in the window's pixels.
  struct Measures {
    int margin, width, gap, row, line, labelWidth, button, space;
  };

  // In tab order: the entry's controls right after the list, the show's
  // group after them.
  void CreateEntry(const Adder& add);
  void CreateShow(const Adder& add);

  // Every control from the model (none: empty and off); the entry's for
  // the row (-1: none selected).
  void Fill(HWND window, const AuthoringModel* model, int row);
  // The selected entry changed.
  void Select(HWND window, const AuthoringModel* model, int row);
  // A control's news. True when the model changed: the rows and the state
  // are to be shown again; said is a text for the status line, if any.
  bool Command(HWND window, AuthoringModel& model, int id, int code, std::string& said);
  void Enable(HWND window, bool on, const AuthoringModel* model) const;

  // Places the controls upwards from bottom; returns the new bottom.
  int Layout(HWND window, const Measures& m, int bottom) const;

  // The list's seconds and sound cells of a row, and its note about the
  // show (a refused line of its section), if any.
  static std::array<std::string, 2> Cells(const AuthoringModel& model, std::size_t row);
  static std::string Note(const AuthoringModel& model, std::size_t row);

 private:
  void FillEntry(HWND window, const AuthoringModel* model);
  void FillShow(HWND window, const AuthoringModel& model);
  void ShowState(HWND window, const AuthoringModel& model);

  int row_ = -1;
  bool quiet_ = false;  // texts set by the panel itself: no change events
};

}  // namespace turv::authoring
