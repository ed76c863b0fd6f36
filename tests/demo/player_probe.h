// Reading the player's window as a screen reader does, through the Unicode
// messages: its list box is a Unicode window, and Wine cannot hand a
// Unicode list box's items to another process through the ANSI messages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace turv::demo {

// The items of a list box of any process, as UTF-16.
std::vector<std::wstring> ListItemsW(HWND listBox);
// A window's text through WM_GETTEXT, as UTF-16.
std::wstring TextOfW(HWND window);
// The first child of window with the control id, or null.
HWND ChildById(HWND window, int id);
std::string Utf8(const std::wstring& text);

}  // namespace turv::demo
