// Win32 half of the player: its files and the system's texts.
#include "lumirax/win32_files.h"

#include <algorithm>
#include <vector>

#include "lumirax/player_texts.h"

namespace turv::player {

namespace {

std::u16string ReadProblem(DWORD code) {
  return std::u16string(text::kDataCannotRead) + SystemMessage(code);
}

std::u16string Quoted(const std::u16string& path) {
  return std::u16string(text::kOpenQuote) + path + std::u16string(text::kCloseQuote);
}

// A temporary file that goes away unless it was renamed into place.
class PendingFile {
 public:
  explicit PendingFile(std::u16string path) : path_(std::move(path)) {}
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() {
    if (!committed_) ::DeleteFileW(Wide(path_).c_str());
  }
  const std::u16string& Path() const { return path_; }
  void Committed() { committed_ = true; }

 private:
  std::u16string path_;
  bool committed_ = false;
};

}  // namespace

std::wstring Wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string Utf16(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

std::u16string FromAnsi(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int length = static_cast<int>(ansi.size());
  const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(n, 0)), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), n);
  return Utf16(wide);
}

std::u16string SystemMessage(DWORD code) {
  std::vector<wchar_t> text(1024, L'\0');
  const DWORD n =
      ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text.data(), static_cast<DWORD>(text.size()), nullptr);
  std::u16string message = Utf16(std::wstring_view(text.data(), n));
  while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' ||
                              message.back() == u' ' || message.back() == u'.')) {
    message.pop_back();
  }
  const std::u16string number = std::u16string(text::kError) + FromCp1252(std::to_string(code));
  return message.empty() ? number : message + u" (" + number + u")";
}

std::u16string CurrentFolder() {
  const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(needed, L'\0');
  const DWORD n = ::GetCurrentDirectoryW(needed, folder.data());
  folder.resize(n < needed ? n : 0);
  return Utf16(folder);
}

std::u16string TempFolder() {
  std::wstring path(MAX_PATH + 1, L'\0');
  DWORD n = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
  if (n > path.size()) {
    path.assign(n + 1, L'\0');
    n = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
  }
  path.resize(n <= path.size() ? n : 0);
  std::u16string folder = Utf16(path);
  while (!folder.empty() && folder.back() <= u' ') folder.pop_back();
  while (!folder.empty() && folder.front() <= u' ') folder.erase(0, 1);
  return StripBackslash(folder);
}

bool FolderExists(const std::u16string& path) {
  if (path.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::u16string LongPath(const std::u16string& path) {
  if (path.empty()) return path;
  const std::wstring wide = Wide(path);
  std::wstring buffer(wide.size() + 1, L'\0');
  for (;;) {
    const DWORD n =
        ::GetLongPathNameW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return path;
    if (n < buffer.size()) return Utf16(std::wstring_view(buffer.data(), n));
    buffer.assign(n, L'\0');
  }
}

FileSource::FileSource(std::u16string path) : path_(std::move(path)) {
  const win32::FileHandle file(::CreateFileW(Wide(path_).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                             nullptr));
  if (!file) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
      const auto slash = path_.rfind(u'\\');
      const std::u16string folder = slash == std::u16string::npos ? u"." : path_.substr(0, slash);
      throw PlayerError(DataProblem(std::u16string(text::kDataMissingIn) + folder + u"."));
    }
    throw PlayerError(
        DataProblem(std::u16string(text::kDataCannotOpen) + SystemMessage(code) + u"."));
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size) ||
      !::GetFileTime(file.Get(), nullptr, nullptr, &written_)) {
    throw PlayerError(ReadProblem(::GetLastError()));
  }
  size_ = static_cast<std::uint64_t>(size.QuadPart);
}

win32::FileHandle FileSource::Open() const {
  win32::FileHandle file(::CreateFileW(Wide(path_).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw PlayerError(ReadProblem(::GetLastError()));
  LARGE_INTEGER size{};
  FILETIME written{};
  if (!::GetFileSizeEx(file.Get(), &size) ||
      !::GetFileTime(file.Get(), nullptr, nullptr, &written)) {
    throw PlayerError(ReadProblem(::GetLastError()));
  }
  if (static_cast<std::uint64_t>(size.QuadPart) != size_ ||
      ::CompareFileTime(&written, &written_) != 0) {
    throw PlayerError(std::u16string(text::kDataReplaced));
  }
  return file;
}

void FileSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
  const win32::FileHandle file = Open();
  while (!into.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(file.Get(), into.data(), want, &got, &at)) {
      const DWORD code = ::GetLastError();
      if (code != ERROR_HANDLE_EOF) throw PlayerError(ReadProblem(code));
    }
    if (got == 0) {
      throw PlayerError(std::u16string(text::kDataEndsEarly));
    }
    offset += got;
    into = into.subspan(got);
  }
}

std::optional<Bytes> ReadSmallFile(const std::u16string& path, std::size_t limit) {
  const win32::FileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return std::nullopt;
    throw PlayerError(std::u16string(text::kTheFile) + Quoted(path) +
                      std::u16string(text::kCannotRead) + SystemMessage(code) + u".");
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size) || static_cast<std::uint64_t>(size.QuadPart) > limit) {
    throw PlayerError(std::u16string(text::kTheFile) + Quoted(path) +
                      std::u16string(text::kTooLarge));
  }
  Bytes bytes(static_cast<std::size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
       got != bytes.size())) {
    throw PlayerError(std::u16string(text::kTheFile) + Quoted(path) +
                      std::u16string(text::kCannotRead) + SystemMessage(::GetLastError()) + u".");
  }
  return bytes;
}

std::u16string WriteReplacing(const std::u16string& target,
                              const std::function<void(const ByteSink&)>& produce,
                              const std::function<std::u16string(int)>& alternative) {
  const auto failed = [&](DWORD code) {
    return PlayerError(std::u16string(text::kTheFile) + Quoted(target) +
                       std::u16string(text::kCannotWrite) + SystemMessage(code) + u".");
  };
  PendingFile pending(target + u".~lumirax");
  {
    const win32::FileHandle file(::CreateFileW(Wide(pending.Path()).c_str(), GENERIC_WRITE, 0,
                                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                               nullptr));
    if (!file) throw failed(::GetLastError());
    produce([&](std::span<const std::uint8_t> bytes) {
      while (!bytes.empty()) {
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data(), want, &written, nullptr) || written == 0) {
          throw failed(::GetLastError());
        }
        bytes = bytes.subspan(written);
      }
    });
  }
  const std::wstring from = Wide(pending.Path());
  if (!::MoveFileExW(from.c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD code = ::GetLastError();
    if (!alternative || (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED &&
                         code != ERROR_LOCK_VIOLATION)) {
      throw failed(code);
    }
    // Held open: beside it, under a name nothing holds yet.
    for (int n = 2; n < 100; ++n) {
      const std::u16string other = alternative(n);
      if (::MoveFileExW(from.c_str(), Wide(other).c_str(), 0)) {
        pending.Committed();
        return other;
      }
      const DWORD again = ::GetLastError();
      if (again != ERROR_ALREADY_EXISTS && again != ERROR_FILE_EXISTS) throw failed(again);
    }
    throw failed(code);
  }
  pending.Committed();
  return target;
}

}  // namespace turv::player
