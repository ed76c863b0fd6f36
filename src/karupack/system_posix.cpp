// The system layer on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "karupack/errors.h"
#include "karupack/system.h"

namespace turv::karupack {

namespace {

constexpr std::array kStopSignals = {SIGINT, SIGTERM, SIGHUP};

std::string Reason() {
  return std::strerror(errno);
}

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

}  // namespace

struct InputFile::Handle : Fd {
  using Fd::Fd;
};
struct OutputFile::Handle : Fd {
  using Fd::Fd;
};

std::optional<FileId> IdentityOf(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                static_cast<std::uint64_t>(info.st_nlink), path};
}

std::filesystem::path CanonicalPath(const std::filesystem::path& path) {
  std::error_code error;
  auto canonical = std::filesystem::canonical(path, error);
  return error ? std::filesystem::absolute(path, error).lexically_normal() : canonical;
}

std::optional<std::filesystem::path> LinkTarget(const std::filesystem::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return std::nullopt;
  std::error_code error;
  auto target = std::filesystem::read_symlink(path, error);
  if (error) return std::filesystem::path("(unreadable: " + error.message() + ")");
  return target;
}

std::optional<std::string> SpecialFileKind(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) {
    return std::nullopt;
  }
  return KindOf(info.st_mode);
}

// A named pipe would hold an ordinary open until a writer comes, and a
// device may open slowly or never end: such files are turned away before
// they are opened, and, should one take the path's place meanwhile, by a
// check of what was opened without waiting.
InputFile::InputFile(const std::filesystem::path& path)
    : path_(path), handle_(std::make_unique<Handle>(-1)) {
  struct stat info {};
  const auto refuse = [&] {
    return Failure(path, "not a regular file (" + KindOf(info.st_mode) + ")");
  };
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) throw refuse();
  handle_->Reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (handle_->Get() < 0) throw Failure(path, "cannot open: " + Reason());
  if (::fstat(handle_->Get(), &info) != 0) throw Failure(path, "cannot read: " + Reason());
  if (!S_ISREG(info.st_mode)) throw refuse();
  const int flags = ::fcntl(handle_->Get(), F_GETFL);
  if (flags < 0 || ::fcntl(handle_->Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    throw Failure(path, "cannot read: " + Reason());
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
}

InputFile::InputFile(InputFile&&) noexcept = default;
InputFile& InputFile::operator=(InputFile&&) noexcept = default;
InputFile::~InputFile() = default;

void InputFile::Seek(std::uint64_t offset) {
  if (::lseek(handle_->Get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
    throw Failure(path_, "cannot seek: " + Reason());
  }
}

std::size_t InputFile::Read(std::span<std::uint8_t> into) {
  for (;;) {
    const ssize_t got = ::read(handle_->Get(), into.data(), into.size());
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw Failure(path_, "cannot read: " + Reason());
  }
}

OutputFile::OutputFile(const std::filesystem::path& path)
    : path_(path), handle_(std::make_unique<Handle>(-1)) {}
OutputFile::OutputFile(OutputFile&&) noexcept = default;
OutputFile& OutputFile::operator=(OutputFile&&) noexcept = default;
OutputFile::~OutputFile() = default;

std::optional<OutputFile> OutputFile::CreateNew(const std::filesystem::path& path,
                                                const std::filesystem::path& target,
                                                bool executable) {
  OutputFile file(target);
  // Created as a compiler creates its output: the umask takes its bits off.
  file.handle_->Reset(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, executable ? 0777 : 0666));
  if (file.handle_->Get() < 0) {
    if (errno == EEXIST) return std::nullopt;
    throw Failure(target, "cannot create: " + Reason());
  }
  // A file replaced keeps its permissions (never set-user or set-group).
  struct stat replaced {};
  if (::stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode) &&
      ::fchmod(file.handle_->Get(), replaced.st_mode & 0777) != 0) {
    throw Failure(target, "cannot give it the permissions of the file it replaces: " + Reason());
  }
  return file;
}

void OutputFile::Write(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(handle_->Get(), bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      throw Failure(path_, "cannot write: " + Reason());
    }
    bytes = bytes.subspan(static_cast<std::size_t>(put));
  }
}

void OutputFile::Patch(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t put =
        ::pwrite(handle_->Get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (put < 0) {
      if (errno == EINTR) continue;
      throw Failure(path_, "cannot write: " + Reason());
    }
    bytes = bytes.subspan(static_cast<std::size_t>(put));
    offset += static_cast<std::uint64_t>(put);
  }
}

void OutputFile::Finish() {
  if (::fsync(handle_->Get()) != 0) throw Failure(path_, "cannot write: " + Reason());
  if (::close(handle_->Release()) != 0) throw Failure(path_, "cannot write: " + Reason());
}

void MoveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) throw Failure(to, "cannot write: " + Reason());
}

// A rename is kept on the disk only once the folder's entries are: flushed
// through the folder opened for reading. File systems that cannot flush a
// folder say EINVAL.
void FlushFolder(const std::filesystem::path& folder) {
  const std::filesystem::path at = folder.empty() ? "." : folder;
  const Fd fd(::open(at.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() < 0 || (::fsync(fd.Get()) != 0 && errno != EINVAL && errno != ENOTSUP)) {
    throw Failure(at, "cannot write the folder's entries to the disk: " + Reason());
  }
}

void RemoveFile(const std::filesystem::path& path) noexcept {
  ::unlink(path.c_str());
}

struct InterruptGuard::State {
  sigset_t before;
};

// Blocked, the stop signals wait as pending until Pending() takes them; a
// signal the caller set to be ignored stays ignored.
InterruptGuard::InterruptGuard() : state_(std::make_unique<State>()) {
  sigset_t stop;
  sigemptyset(&stop);
  for (const int s : kStopSignals) sigaddset(&stop, s);
  sigprocmask(SIG_BLOCK, &stop, &state_->before);
}

InterruptGuard::~InterruptGuard() {
  sigprocmask(SIG_SETMASK, &state_->before, nullptr);
}

int InterruptGuard::Pending() {
  sigset_t pending;
  sigpending(&pending);
  for (const int s : kStopSignals) {
    if (sigismember(&pending, s) == 1) {
      sigset_t one;
      sigemptyset(&one);
      sigaddset(&one, s);
      int taken = 0;
      sigwait(&one, &taken);
      return s;
    }
  }
  return 0;
}

int EndByInterrupt(int signal) {
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  return 128 + signal;
}

bool StderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

std::filesystem::path DefaultLauncher() {
  if (const char* chosen = std::getenv("TURV_LAUNCHER"); chosen != nullptr && *chosen != 0) {
    return chosen;
  }
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error)
    throw Failure("/proc/self/exe", "cannot find karupack's own folder: " + error.message());
  // Unpacked from the release archive, turv.exe lies beside karupack.
  const auto beside = self.parent_path() / "turv.exe";
  if (std::filesystem::exists(beside, error)) return beside;
  // build/<host>/bin/karupack -> build/win32/bin/turv.exe
  return (self.parent_path() / ".." / ".." / "win32" / "bin" / "turv.exe").lexically_normal();
}

}  // namespace turv::karupack
