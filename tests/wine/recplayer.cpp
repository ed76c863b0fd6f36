// A player that only writes down how it was started: its current folder,
// its argument count, its show mode and its command line, one line a run,
// appended to the file that TURV_TEST_RECORD names.
#include <windows.h>
// needs windows.h first
#include <shellapi.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char record[MAX_PATH] = {};
  if (::GetEnvironmentVariableA("TURV_TEST_RECORD", record, MAX_PATH) == 0) return 1;
  char folder[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, folder);
  int argc = 0;
  if (LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) ::LocalFree(argv);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
  FILE* out = std::fopen(record, "ab");
  if (out == nullptr) return 1;
  std::fprintf(out, "%s|%d|%d|%s\n", folder, argc, show, ::GetCommandLineA());
  std::fclose(out);
  return 0;
}
