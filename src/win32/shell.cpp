// The shell, system message boxes and the screen.
#include <windows.h>
// needs windows.h first
#include <shellapi.h>

#include "platform/platform.h"

namespace turv::platform {

int ShellStart(WindowId owner, const std::string& file, const std::string& parameters,
               const std::string& folder, int showMode) {
  const HINSTANCE result = ::ShellExecuteA(reinterpret_cast<HWND>(owner), nullptr, file.c_str(),
                                           parameters.empty() ? nullptr : parameters.c_str(),
                                           folder.empty() ? nullptr : folder.c_str(), showMode);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption,
                   std::uint32_t flags) {
  return ::MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption.c_str(), flags);
}

int ScreenWidth() {
  return ::GetSystemMetrics(SM_CXSCREEN);
}
int ScreenHeight() {
  return ::GetSystemMetrics(SM_CYSCREEN);
}

}  // namespace turv::platform
