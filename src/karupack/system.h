// What karupack needs from the operating system, implemented once for POSIX
// (system_posix.cpp) and once for Windows (system_win32.cpp). Every call
// that fails throws a Failure naming the file and the system's reason.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace turv::karupack {

// Which file a path leads to, whatever its spelling (links followed), as
// the system identifies it; SameFile (paths.h) says whether two are one.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;  // 0: the volume gives files no number
  std::uint64_t links = 1;  // the names the file has (hard links)
  std::filesystem::path path;
};
std::optional<FileId> IdentityOf(const std::filesystem::path& path);

// The path with every link followed and every "." and ".." taken out, as
// far as the file exists; the path itself where it cannot be resolved.
std::filesystem::path CanonicalPath(const std::filesystem::path& path);

// What a path that is itself a symbolic link (or, on Windows, a junction)
// points to, as it may be shown; nothing for anything else.
std::optional<std::filesystem::path> LinkTarget(const std::filesystem::path& path);

// What the path leads to (links followed) when that is something a package
// must not take the place of: "a named pipe", "a device", ... Nothing for a
// regular file, a folder, or nothing there.
std::optional<std::string> SpecialFileKind(const std::filesystem::path& path);

class InputFile {
 public:
  // Opens a regular file without waiting: anything else (a folder, a named
  // pipe, a device) throws a Failure before a byte is read.
  explicit InputFile(const std::filesystem::path& path);
  InputFile(InputFile&&) noexcept;
  InputFile& operator=(InputFile&&) noexcept;
  ~InputFile();

  const std::filesystem::path& Path() const { return path_; }
  std::uint64_t Size() const { return size_; }  // as found on opening
  void Seek(std::uint64_t offset);
  // Up to into.size() bytes from the current position; 0 at the end.
  std::size_t Read(std::span<std::uint8_t> into);

 private:
  struct Handle;
  std::filesystem::path path_;
  std::uint64_t size_ = 0;
  std::unique_ptr<Handle> handle_;
};

class OutputFile {
 public:
  // Creates path, which must not exist yet (nothing when it does), to take
  // target's place: with the permissions of a file at target, else those
  // of a new program (executable) or document, 0777 or 0666 less the
  // umask, where the system keeps such marks. Messages name it as target.
  static std::optional<OutputFile> CreateNew(const std::filesystem::path& path,
                                             const std::filesystem::path& target, bool executable);
  OutputFile(OutputFile&&) noexcept;
  OutputFile& operator=(OutputFile&&) noexcept;
  ~OutputFile();

  const std::filesystem::path& Path() const { return path_; }  // as shown
  void Write(std::span<const std::uint8_t> bytes);
  // Writes bytes over those already written at offset.
  void Patch(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Puts every byte on the disk, then closes the file: a rename after it
  // never names a file cut short by a crash.
  void Finish();

 private:
  struct Handle;
  explicit OutputFile(const std::filesystem::path& path);
  std::filesystem::path path_;
  std::unique_ptr<Handle> handle_;
};

// Puts from in to's place in one step, replacing a file there.
void MoveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to);
// Puts the folder's entries on the disk (the names renamed into it), where
// the system keeps folders apart from their files.
void FlushFolder(const std::filesystem::path& folder);
void RemoveFile(const std::filesystem::path& path) noexcept;

// While one lives, Ctrl+C and termination requests wait until Pending()
// takes them, so that the work in hand can clean up before it stops.
class InterruptGuard {
 public:
  InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
  ~InterruptGuard();
  // The signal that asked us to stop, or 0.
  int Pending();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Ends the program the way the signal would have; returns the exit status
// where that is not possible.
int EndByInterrupt(int signal);

bool StderrIsTerminal();

// The launcher packed when no -l is given: TURV_LAUNCHER when set, else
// turv.exe beside karupack (as the release archives have it), else, on
// Linux, turv.exe in the win32 build beside this host build.
std::filesystem::path DefaultLauncher();

}  // namespace turv::karupack
