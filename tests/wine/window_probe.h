// Looking at other programs' windows the way a user or a screen reader
// does: list them, read their texts, press their buttons, and take a
// picture of the screen. Used by the Windows tests and by winprobe.exe.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace turv::probe {

struct WindowInfo {
  HWND handle = nullptr;
  DWORD pid = 0;
  std::string className;
  std::string text;
  bool visible = false;
  bool iconic = false;
  bool zoomed = false;
  bool enabled = false;
  RECT rect{};
  HWND owner = nullptr;
  int id = 0;  // control id, for children
};

WindowInfo Describe(HWND window);
// Top-level windows, of one process when pid is not 0.
std::vector<WindowInfo> TopLevel(DWORD pid = 0);
std::vector<WindowInfo> Children(HWND parent);
// A window's text through WM_GETTEXT, also across processes; a busy
// window times out instead of blocking. Texts travel as UTF-16 (Wine hands
// no ANSI text of a Unicode window to another process); the narrow forms
// are in the ANSI code page.
std::wstring TextOfW(HWND window);
// A top-level window's title as its title bar shows it.
std::wstring TitleOfW(HWND window);
std::string TextOf(HWND window);
// The items of a list box of any process.
std::vector<std::wstring> ListItemsW(HWND listBox);
std::vector<std::string> ListItems(HWND listBox);
std::string Utf8(const std::wstring& text);

// Polls until a top-level window fits, or the time is up.
std::optional<WindowInfo> WaitFor(const std::function<bool(const WindowInfo&)>& fits,
                                  DWORD timeoutMs);
// Polls until the condition holds, or the time is up.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Presses a button the way a click does.
void Press(HWND button);
// A key pressed in a dialog (VK_RETURN, VK_ESCAPE).
void PressKey(HWND dialog, WPARAM key);
// The first child button of a window whose text is text.
HWND ButtonOf(HWND window, const std::string& text);

// The colour of one screen pixel.
COLORREF ScreenPixel(int x, int y);
// The whole screen as a PNG file.
bool SaveScreenPng(const std::string& path);
// A program file's icon as a shell draws it, at 16, 32, 48 and 64 pixels
// side by side on a light ground, as a PNG file.
bool SaveIconPng(const std::string& program, const std::string& path);

// A started process: how a user's start looks to the program.
struct StartOptions {
  int showMode = SW_SHOWNORMAL;
  std::string folder;                                            // current folder
  std::vector<std::pair<std::string, std::string>> environment;  // set or replaced
  std::string arguments;    // behind the program's quoted path on its command line
  DWORD creationFlags = 0;  // CREATE_NEW_CONSOLE: a console of its own, as Explorer gives
};
struct Process {
  win32::KernelHandle handle;
  DWORD pid = 0;
  // Waits for the end; the exit code, or nothing when the time ran out.
  std::optional<DWORD> Wait(DWORD timeoutMs) const;
  bool Running() const;
};
// Starts program with its own STARTUPINFO (show mode, current folder,
// environment); throws std::runtime_error when it cannot start.
Process Start(const std::string& program, const StartOptions& options);
// The same with wide names, for folders and values outside the ANSI code page.
struct StartOptionsW {
  int showMode = SW_SHOWNORMAL;
  std::wstring folder;
  std::vector<std::pair<std::wstring, std::wstring>> environment;
  std::wstring arguments;
  DWORD creationFlags = 0;
};
Process Start(const std::wstring& program, const StartOptionsW& options);

// Standard controls of another process as a user or a screen reader works
// them: text typed into an edit control (as a paste, which the control
// reports as a change), the cells of a list view, a list view's label
// edited in place and confirmed with Enter, a progress bar's position.
bool TypeText(HWND control, const std::wstring& text);
std::vector<std::vector<std::wstring>> ListViewRows(HWND listView);
bool EditListViewLabel(HWND listView, int item, const std::wstring& text);
int ProgressPosition(HWND bar);
// The screen's pixels under a window, as a PNG file.
bool SaveWindowPng(HWND window, const std::string& path);

}  // namespace turv::probe
