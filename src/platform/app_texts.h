// Texts the GUI framework forms the same way on every implementation of the
// platform header: the application title and the error report's text.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace turv::platform {

// The program file's name without its folder, cut before its first ".",
// first character unchanged and the rest in lower case, by characters of the
// system's ANSI code page.
std::string ApplicationTitle(std::string_view modulePath);

// The error report's text for a message: a "." is appended when the message
// is not empty and its last character sorts above ".".
std::string ErrorReportText(std::string_view message);

// The message of the error that is being handled: the error's own text, a
// German text for exhausted memory, a fixed text for anything unknown.
std::string MessageOf(const std::exception_ptr& error);

inline constexpr std::string_view kOutOfMemoryText = "Zu wenig Arbeitsspeicher";
// The GUI framework's report of a window the system refused to create.
inline constexpr std::string_view kNoWindowText = "Fenster kann nicht erstellt werden";

}  // namespace turv::platform
