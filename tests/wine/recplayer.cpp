// A player that only writes down how it was started: its current folder,
// its argument count, its show mode and its command line, one line a run
// in UTF-8, appended to the file that TURV_TEST_RECORD names.
#include <windows.h>
// needs windows.h first
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {
std::string Utf8(const wchar_t* text) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.pop_back();  // the terminating zero
  return out;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  wchar_t record[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"TURV_TEST_RECORD", record, MAX_PATH) == 0) return 1;
  wchar_t folder[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, folder);
  int argc = 0;
  if (LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) ::LocalFree(argv);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
  FILE* out = ::_wfopen(record, L"ab");
  if (out == nullptr) return 1;
  std::fprintf(out, "%s|%d|%d|%s\n", Utf8(folder).c_str(), argc, show,
               Utf8(::GetCommandLineW()).c_str());
  std::fclose(out);
  return 0;
}
