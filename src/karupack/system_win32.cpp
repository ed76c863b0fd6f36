// The system layer on Windows: wide-character calls throughout, so that any
// file name the system can hold works.
#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "karupack/errors.h"
#include "karupack/system.h"
#include "win32/handles.h"

namespace turv::karupack {

namespace {

constexpr DWORD kChunk = 1 << 20;

std::string Reason(DWORD code = ::GetLastError()) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return "system error " + std::to_string(code);
  std::wstring message(text, length);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                              message.back() == L'.' || message.back() == L' ')) {
    message.pop_back();
  }
  return Utf8(std::filesystem::path(message));
}

// What an open handle leads to when that is no file on a disk.
std::optional<std::string> KindOf(HANDLE file) {
  switch (::GetFileType(file)) {
    case FILE_TYPE_DISK:
      return std::nullopt;
    case FILE_TYPE_CHAR:
      return "a device";
    case FILE_TYPE_PIPE:
      return "a pipe";
    default:
      return "a special file";
  }
}

// A handle that tells what the path leads to, whatever it is (a folder too).
HANDLE OpenForQuery(const std::filesystem::path& path) {
  return ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Where the path leads, links followed, as a drive path: "C:\...", or
// "\\server\..." on a share.
std::optional<std::filesystem::path> FinalPath(const std::filesystem::path& path) {
  const win32::FileHandle file(OpenForQuery(path));
  if (!file) return std::nullopt;
  std::wstring text(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFinalPathNameByHandleW(file.Get(), text.data(), static_cast<DWORD>(text.size()), 0);
    if (length == 0) return std::nullopt;
    if (length < text.size()) {
      text.resize(length);
      break;
    }
    text.resize(length);
  }
  if (text.starts_with(L"\\\\?\\UNC\\")) return L"\\" + text.substr(7);
  if (text.starts_with(L"\\\\?\\")) return text.substr(4);
  return text;
}

// The console runs its handler on a thread of its own, which can reach the
// guard only through state that outlives any one object.
std::atomic<int>& StopRequest() {
  static std::atomic<int> request{0};
  return request;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    StopRequest() = SIGINT;
    return TRUE;
  }
  if (event == CTRL_CLOSE_EVENT) {
    // The process ends when this returns: give the work a moment to clean up.
    StopRequest() = SIGTERM;
    ::Sleep(4000);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

struct InputFile::Handle : win32::FileHandle {
  using win32::FileHandle::FileHandle;
};
struct OutputFile::Handle : win32::FileHandle {
  using win32::FileHandle::FileHandle;
};

std::optional<FileId> IdentityOf(const std::filesystem::path& path) {
  const win32::FileHandle file(OpenForQuery(path));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !::GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber,
                (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
                info.nNumberOfLinks, path};
}

std::filesystem::path CanonicalPath(const std::filesystem::path& path) {
  if (const auto text = FinalPath(path)) return *text;
  std::error_code error;
  return std::filesystem::absolute(path, error).lexically_normal();
}

// Only symbolic links and junctions: other reparse points (a cloud
// drive's placeholders, deduplicated files) are files like any other.
std::optional<std::filesystem::path> LinkTarget(const std::filesystem::path& path) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  ::FindClose(search);
  if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
      (found.dwReserved0 != IO_REPARSE_TAG_SYMLINK &&
       found.dwReserved0 != IO_REPARSE_TAG_MOUNT_POINT)) {
    return std::nullopt;
  }
  return FinalPath(path).value_or(L"(a target that is not there)");
}

std::optional<std::string> SpecialFileKind(const std::filesystem::path& path) {
  const win32::FileHandle file(OpenForQuery(path));
  if (!file) return std::nullopt;
  return KindOf(file.Get());
}

// Devices (NUL, CON, COM1, ...) and pipes open like files; only what lies on
// a disk is read.
InputFile::InputFile(const std::filesystem::path& path)
    : path_(path), handle_(std::make_unique<Handle>()) {
  handle_->Reset(::CreateFileW(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!*handle_) throw Failure(path, "cannot open: " + Reason());
  if (const auto kind = KindOf(handle_->Get())) {
    throw Failure(path, "not a regular file (" + *kind + ")");
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle_->Get(), &size)) throw Failure(path, "cannot read: " + Reason());
  size_ = static_cast<std::uint64_t>(size.QuadPart);
}

InputFile::InputFile(InputFile&&) noexcept = default;
InputFile& InputFile::operator=(InputFile&&) noexcept = default;
InputFile::~InputFile() = default;

void InputFile::Seek(std::uint64_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(handle_->Get(), to, nullptr, FILE_BEGIN)) {
    throw Failure(path_, "cannot seek: " + Reason());
  }
}

std::size_t InputFile::Read(std::span<std::uint8_t> into) {
  DWORD got = 0;
  const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size(), kChunk));
  if (!::ReadFile(handle_->Get(), into.data(), want, &got, nullptr)) {
    throw Failure(path_, "cannot read: " + Reason());
  }
  return got;
}

OutputFile::OutputFile(const std::filesystem::path& path)
    : path_(path), handle_(std::make_unique<Handle>()) {}
OutputFile::OutputFile(OutputFile&&) noexcept = default;
OutputFile& OutputFile::operator=(OutputFile&&) noexcept = default;
OutputFile::~OutputFile() = default;

// Windows marks programs by their name: there are no permissions to set.
std::optional<OutputFile> OutputFile::CreateNew(const std::filesystem::path& path,
                                                const std::filesystem::path& target, bool) {
  OutputFile file(target);
  file.handle_->Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!*file.handle_) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return std::nullopt;
    throw Failure(target, "cannot create: " + Reason(code));
  }
  return file;
}

void OutputFile::Write(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    DWORD put = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kChunk));
    if (!::WriteFile(handle_->Get(), bytes.data(), want, &put, nullptr) || put == 0) {
      throw Failure(path_, "cannot write: " + Reason());
    }
    bytes = bytes.subspan(put);
  }
}

void OutputFile::Patch(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD put = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kChunk));
    if (!::WriteFile(handle_->Get(), bytes.data(), want, &put, &at) || put == 0) {
      throw Failure(path_, "cannot write: " + Reason());
    }
    bytes = bytes.subspan(put);
    offset += put;
  }
}

// MOVEFILE_WRITE_THROUGH covers only a move that copies across volumes:
// the file's own bytes go to the disk here. The close can still report
// what the file system kept back.
void OutputFile::Finish() {
  if (!::FlushFileBuffers(handle_->Get())) throw Failure(path_, "cannot write: " + Reason());
  if (!::CloseHandle(handle_->Release())) throw Failure(path_, "cannot write: " + Reason());
}

void MoveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!::MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw Failure(to, "cannot write: " + Reason());
  }
}

// NTFS journals a rename with the folder's other changes: there is no
// folder to flush.
void FlushFolder(const std::filesystem::path&) {}

void RemoveFile(const std::filesystem::path& path) noexcept {
  ::DeleteFileW(path.c_str());
}

struct InterruptGuard::State {};

InterruptGuard::InterruptGuard() : state_(std::make_unique<State>()) {
  StopRequest() = 0;
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

InterruptGuard::~InterruptGuard() {
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

int InterruptGuard::Pending() {
  return StopRequest().exchange(0);
}

int EndByInterrupt(int signal) {
  return 128 + signal;
}

bool StderrIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::filesystem::path DefaultLauncher() {
  if (const wchar_t* chosen = ::_wgetenv(L"TURV_LAUNCHER"); chosen != nullptr && *chosen != 0) {
    return chosen;
  }
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (length == 0) throw Failure("karupack.exe", "cannot find its own folder: " + Reason());
    if (length < self.size()) {
      self.resize(length);
      break;
    }
    self.resize(self.size() * 2);
  }
  return std::filesystem::path(self).parent_path() / L"turv.exe";
}

}  // namespace turv::karupack
