// Inside the GUI framework: what its units share and nobody else sees.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "platform/platform.h"
#include "win32/handles.h"

namespace turv::platform {

// Posted to a form on its activation; handled once the window has painted.
inline constexpr UINT kActivatedMessage = WM_APP + 1;

struct Form::Impl {
  Form& form;
  FormDesign design;
  HWND window = nullptr;  // owned: destroyed with the form unless closed before
  bool isMain = false;
  bool activationPending = false;
  Rgb color{};
  win32::GdiObject brush;
  bool scaled = false;
  int fontSize = 0;  // points
  int fontPixelsPerInch = 96;
  win32::GdiObject font;
  WindowState state = WindowState::Normal;

  Impl(Form& f, const FormDesign& d) : form(f), design(d) {}
  ~Impl() {
    if (window != nullptr) ::DestroyWindow(window);
  }
};

// The framework's way into a form's protected events.
struct FormAccess {
  static Form::Impl& ImplOf(Form& form) { return *form.impl_; }
  static void Create(Form& form) { form.FormCreate(); }
  static void Activate(Form& form) { form.FormActivate(); }
};

// Registers the form window class once per process; nullptr when the
// system refuses it.
const char* FormWindowClass();
// Creates the form's window, hidden, at its design place and size; false
// when the system refuses it.
bool CreateFormWindow(Form& form);

// The application's default report of an error that escaped an event: a
// system message box with the stop icon, owned by the main form so that the
// application's windows are disabled while it is up.
void ReportError(const std::exception_ptr& error) noexcept;

// The live application's main window and title (none and empty outside
// an application's lifetime).
HWND MainWindow();
std::string CurrentTitle();
// Gives a window the application title (title): where the ANSI code page
// cannot hold the program's name, its wide form.
void SetTitleOf(HWND window, const std::string& title);
// A system message box titled with the application title, the same way.
int TitledMessageBox(HWND owner, const std::string& text, UINT flags);

}  // namespace turv::platform
