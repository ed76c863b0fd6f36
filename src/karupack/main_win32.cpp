// Windows hands the command line over as UTF-16; karupack takes it as UTF-8
// and writes UTF-8 to the console. A folder dropped on karupack.exe in
// Explorer is packed, and the outcome shown in a message box.
#include <windows.h>

#include <string>
#include <vector>

#include "karupack/karupack.h"
#include "karupack/paths.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
  return wide;
}

// Explorer starts a console program with a console of its own (or none);
// a typed command shares its console with the shell it was typed in.
bool StartedByADrop(const std::vector<std::string>& args) {
  if (args.size() != 1) return false;
  DWORD processes[2] = {};
  if (::GetConsoleProcessList(processes, 2) > 1) return false;
  std::error_code error;
  return std::filesystem::is_directory(turv::karupack::PathFromUtf8(args[0]), error);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), length, nullptr, nullptr);
    arg.pop_back();  // the terminating zero
    args.push_back(std::move(arg));
  }
  if (StartedByADrop(args)) {
    // The console Windows made for us would only flash up empty.
    if (HWND console = ::GetConsoleWindow()) ::ShowWindow(console, SW_HIDE);
    std::string message;
    const int status = turv::karupack::RunDropped(turv::karupack::PathFromUtf8(args[0]), message);
    ::MessageBoxW(nullptr, Wide(message).c_str(), L"karupack",
                  MB_OK | MB_SETFOREGROUND | (status == 0 ? MB_ICONINFORMATION : MB_ICONERROR));
    return status;
  }
  return turv::karupack::Run(args);
}
