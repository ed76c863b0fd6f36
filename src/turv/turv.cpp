// turv: the program entry. Creating the main window runs the creation phase;
// running the application puts the window on screen, whose first
// activation runs the activation phase, which closes the window and so
// ends the program.
#include <windows.h>

#include "core/turv_u.h"
#include "platform/platform.h"

namespace {

// A package is usually started from Downloads, where anyone can leave a
// DLL: from here on, DLLs loaded by name come from the system folder only.
// Windows 7 has SetDefaultDllDirectories only with its 2011 loader update;
// without it, the current folder at least leaves the search.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) ::SetDllDirectoryA("");
}

}  // namespace

int main() {
  RestrictDllSearch();  // before any window or dialog
  turv::platform::Application Application;
  turv::TForm5 Form5;
  Application.CreateForm(Form5);
  return Application.Run();
}
