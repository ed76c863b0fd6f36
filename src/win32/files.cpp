// Folders and files on the real system, through the ANSI calls.
#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace turv::platform {

namespace {

HANDLE AsHandle(std::uintptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

std::uintptr_t OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags, SysError& error) {
  HANDLE h = ::CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return 0;
  }
  error = 0;
  return reinterpret_cast<std::uintptr_t>(h);
}

// Calls an ANSI function of the form f(bufferLength, buffer) -> length until
// the text fits; an empty text when the system fails.
template <typename Call>
std::string GrowingText(Call call) {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD n = call(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n == 0) return {};
    if (n < buffer.size()) return std::string(buffer.data(), n);
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
  return GrowingText([](DWORD n, char* b) { return ::GetCurrentDirectoryA(n, b); });
}

SysError SetCurrentFolder(const std::string& path) {
  return ::SetCurrentDirectoryA(path.c_str()) ? 0 : ::GetLastError();
}

std::uint32_t TempPath(std::uint32_t bufferLength, char* buffer) {
  return ::GetTempPathA(bufferLength, buffer);
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeFolder(const std::string& path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

std::string FullPathName(const std::string& path) {
  const std::string full = GrowingText(
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
