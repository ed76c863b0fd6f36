// Folders and files on the real system. Paths go to the system through the
// wide calls, converted from the launch's ANSI texts (system_text.h).
#include <windows.h>

#include <vector>

#include "platform/platform.h"
#include "win32/system_text.h"

namespace turv::platform {

using win32::AnsiPath;
using win32::WidePath;

namespace {

HANDLE AsHandle(std::uintptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

std::uintptr_t OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags, SysError& error) {
  HANDLE h =
      ::CreateFileW(WidePath(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return 0;
  }
  error = 0;
  return reinterpret_cast<std::uintptr_t>(h);
}

// Calls a function of the form f(bufferLength, buffer) -> length until the
// text fits; an empty text when the system fails.
template <typename Char, typename Call>
std::basic_string<Char> GrowingText(Call call) {
  std::vector<Char> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD n = call(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n == 0) return {};
    if (n < buffer.size()) return std::basic_string<Char>(buffer.data(), n);
    buffer.resize(n + 1);
  }
}

}  // namespace

File File::OpenRead(const std::string& path, SysError& error) {
  return File(OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, error));
}

File File::OpenReadWrite(const std::string& path, SysError& error) {
  return File(
      OpenFile(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, error));
}

File File::Create(const std::string& path, SysError& error) {
  return File(
      OpenFile(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, error));
}

SysError File::Size(std::uint64_t& size) const {
  LARGE_INTEGER whole{};
  if (!::GetFileSizeEx(AsHandle(handle_), &whole)) return ::GetLastError();
  size = static_cast<std::uint64_t>(whole.QuadPart);
  return 0;
}

SysError File::Read(void* buffer, std::uint32_t length, std::uint32_t& done) {
  DWORD n = 0;
  const BOOL ok = ::ReadFile(AsHandle(handle_), buffer, length, &n, nullptr);
  done = n;
  return ok ? 0 : ::GetLastError();
}

SysError File::Write(const void* buffer, std::uint32_t length, std::uint32_t& done) {
  DWORD n = 0;
  const BOOL ok = ::WriteFile(AsHandle(handle_), buffer, length, &n, nullptr);
  done = n;
  return ok ? 0 : ::GetLastError();
}

SysError File::Close() {
  if (handle_ == kNone) return 0;
  const BOOL ok = ::CloseHandle(AsHandle(handle_));
  handle_ = kNone;
  return ok ? 0 : ::GetLastError();
}

std::string CurrentFolder() {
  return AnsiPath(
      GrowingText<wchar_t>([](DWORD n, wchar_t* b) { return ::GetCurrentDirectoryW(n, b); }));
}

SysError SetCurrentFolder(const std::string& path) {
  return ::SetCurrentDirectoryW(WidePath(path).c_str()) ? 0 : ::GetLastError();
}

std::uint32_t TempPath(std::uint32_t bufferLength, char* buffer) {
  const std::wstring wide =
      GrowingText<wchar_t>([](DWORD n, wchar_t* b) { return ::GetTempPathW(n, b); });
  if (wide.empty()) return 0;
  const std::string path = AnsiPath(wide);
  const auto length = static_cast<std::uint32_t>(path.size());
  if (length + 1 > bufferLength) return length + 1;
  path.copy(buffer, length);
  buffer[length] = '\0';
  return length;
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeFolder(const std::string& path) {
  return ::CreateDirectoryW(WidePath(path).c_str(), nullptr) != 0;
}

// Text for a message only: the path as the launch spells it, made whole.
std::string FullPathName(const std::string& path) {
  const std::string full = GrowingText<char>(
      [&](DWORD n, char* b) { return ::GetFullPathNameA(path.c_str(), n, b, nullptr); });
  return full.empty() ? path : full;
}

std::string SystemErrorText(SysError code) {
  char text[256] = {};
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, text, 255, nullptr);
  return std::string(text, n);
}

}  // namespace turv::platform
