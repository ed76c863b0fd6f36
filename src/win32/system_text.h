// The launch's ANSI texts and the system's wide calls. Every path the
// launch hands this layer goes to the system through WidePath, and every
// path the system gives goes to the launch through AnsiPath, so that names
// outside the ANSI code page reach the real folder or file (see
// platform/ansi_paths.h for the rule).
#pragma once

#include <string>
#include <string_view>

namespace turv::win32 {

// The wide path a path from the launch names.
std::wstring WidePath(const std::string& ansi);
// The text the launch uses for a path from the system.
std::string AnsiPath(const std::wstring& wide);

// Plain text (no path) between the ANSI code page and UTF-16; exact tells
// whether the ANSI form converts back to the same wide text.
std::wstring WideText(std::string_view ansi);
std::string AnsiText(std::wstring_view wide, bool& exact);

// The process's program file as the system names it.
std::wstring ModulePathWide();

}  // namespace turv::win32
