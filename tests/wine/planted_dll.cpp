// A DLL left beside a package by someone else: when a process loads it, it
// leaves its mark, a file named like itself with ".loaded" appended.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    char mark[MAX_PATH + 8] = {};
    const DWORD n = ::GetModuleFileNameA(self, mark, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      ::lstrcpyA(mark + n, ".loaded");
      HANDLE file = ::CreateFileA(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    }
  }
  return TRUE;
}
