// The ANSI code page on the real system: conversions, two-byte characters,
// lower case, and the one table of paths outside the code page.
#include "win32/system_text.h"

#include <windows.h>

#include <optional>

#include "platform/ansi_paths.h"
#include "platform/platform.h"

namespace turv::win32 {

namespace {

std::u16string Utf16(std::wstring_view text) {
  return {text.begin(), text.end()};
}
std::wstring Wide(std::u16string_view text) {
  return {text.begin(), text.end()};
}

// Characters the code page cannot hold become "?", never a look-alike
// (best fit would turn "ş" into "s" and so name another file). A code page
// without that choice (UTF-8) holds every character anyway.
std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  const char* fallback = "?";
  int n = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, fallback, nullptr);
  if (n == 0) {
    flags = 0;
    fallback = nullptr;
    n = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
  }
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  ::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, text.data(), n, fallback, nullptr);
  return text;
}

class SystemPaths : public platform::PathSystem {
 public:
  std::string ToAnsi(std::u16string_view wide, bool& exact) const override {
    return AnsiText(Wide(wide), exact);
  }
  std::u16string FromAnsi(std::string_view ansi) const override { return Utf16(WideText(ansi)); }
  std::optional<std::u16string> ShortForm(std::u16string_view wide) const override {
    const std::wstring path = Wide(wide);
    std::wstring buffer(path.size() + 1, L'\0');
    for (;;) {
      const DWORD n =
          ::GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n == 0) return std::nullopt;
      if (n < buffer.size()) return Utf16(std::wstring_view(buffer.data(), n));
      buffer.assign(n, L'\0');
    }
  }
};

// The process's paths outside the code page live as long as the process,
// as the system's own current folder does.
platform::AnsiPaths& Paths() {
  static const SystemPaths system;
  static platform::AnsiPaths paths(system);
  return paths;
}

}  // namespace

std::wstring WidePath(const std::string& ansi) {
  return Wide(Paths().ToSystem(ansi));
}

std::string AnsiPath(const std::wstring& wide) {
  return Paths().FromSystem(Utf16(wide));
}

std::wstring WideText(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int length = static_cast<int>(ansi.size());
  const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), n);
  return wide;
}

std::string AnsiText(std::wstring_view wide, bool& exact) {
  std::string text = Narrow(wide);
  exact = WideText(text) == wide;
  return text;
}

std::wstring ModulePathWide() {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return buffer.substr(0, n);
    buffer.resize(buffer.size() * 2);  // cut short: ask again with more room
  }
}

}  // namespace turv::win32

namespace turv::platform {

bool IsLeadByte(char c) {
  return ::IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(c)) != 0;
}

std::string LowerCase(std::string_view text) {
  std::string lowered(text);
  if (!lowered.empty()) ::CharLowerBuffA(lowered.data(), static_cast<DWORD>(lowered.size()));
  return lowered;
}

}  // namespace turv::platform
