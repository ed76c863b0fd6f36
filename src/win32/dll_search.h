// Programs of ours are started from Downloads, where anyone can leave a
// DLL: from the call on, DLLs loaded by name come from the system folder
// only. Windows 7 has SetDefaultDllDirectories only with its 2011 loader
// update; without it, the current folder at least leaves the search.
#pragma once

#include <windows.h>

namespace turv::win32 {

inline void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) ::SetDllDirectoryA("");
}

}  // namespace turv::win32
