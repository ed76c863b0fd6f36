// The launcher's only window on the operating system.
//
// Everything the launch needs from Windows is declared here in the
// launcher's own terms: folders and files, the running module and its
// resource, the shell, message boxes, the screen, and a small GUI
// framework (application, form, message dialog, error report).
// Paths and texts are in the system's ANSI code page. src/win32 and src/gui
// implement it on the real system; the test double in tests/double
// implements it over an in-memory Windows for the native tests. The build
// links exactly one of them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace turv::platform {

// A Windows system error code; 0 means success.
using SysError = std::uint32_t;

inline constexpr SysError kErrorFileNotFound = 2;
inline constexpr SysError kErrorPathNotFound = 3;
inline constexpr SysError kErrorAccessDenied = 5;
inline constexpr SysError kErrorSharingViolation = 32;
inline constexpr SysError kErrorDiskFull = 112;
inline constexpr SysError kErrorInvalidName = 123;

// ---- Text in the system's ANSI code page ---------------------------------

// True when c begins a two-byte character (the East Asian code pages): the
// byte after it belongs to the same character, whatever its value.
bool IsLeadByte(char c);
// The text in lower case by the code page's own rules.
std::string LowerCase(std::string_view text);

// ---- Folders (kernel32) ----------------------------------------------------
//
// A path the system gives names the real folder or file even where the code
// page cannot hold its name: its short (8.3) form then, or a form with "?"
// that only this layer's own calls understand (see ansi_paths.h).

// The current folder of the current drive; empty when the system fails.
std::string CurrentFolder();
SysError SetCurrentFolder(const std::string& path);

// The temporary folder with GetTempPathA's buffer contract: writes the path
// (with its trailing backslash and a terminating zero) and returns its
// length when it fits in bufferLength characters; otherwise writes nothing
// and returns the size needed including the zero. Returns 0 when the system
// fails.
std::uint32_t TempPath(std::uint32_t bufferLength, char* buffer);

// GetFileAttributes: true only for an existing folder.
bool FolderExists(const std::string& path);
// CreateDirectory, one level; failure is reported by the result only.
bool MakeFolder(const std::string& path);

std::string FullPathName(const std::string& path);
// The system's own text for an error code, as FormatMessageA gives it
// (at most 255 characters, trailing line break included).
std::string SystemErrorText(SysError code);

// ---- The running module ----------------------------------------------------

// The process's program file, any length.
std::string ModuleFileName();
// FindFirstFile on path, any attribute: the entry's size as a signed 32-bit
// value; nothing when no entry is found.
std::optional<std::int32_t> FindEntrySize(const std::string& path);
// An RT_RCDATA resource of the program file, mapped read-only; nothing when
// it is missing.
std::optional<std::span<const std::uint8_t>> FindRcData(int id);
// The program's finished image size less its player resource's size, as
// the build sealed it after linking; nothing when the seal's check word does
// not hold (a program file the build never sealed).
std::optional<std::int64_t> ImageSizeLessPlayer();

// ---- Files -------------------------------------------------------------------

// An open file; closed when it goes. Every operation returns the system's
// error code, 0 on success.
class File {
 public:
  File() = default;
  File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
  File& operator=(File&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = kNone;
    }
    return *this;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  // Existing file, read only (others may read too).
  static File OpenRead(const std::string& path, SysError& error);
  // Existing file, read and write, no sharing.
  static File OpenReadWrite(const std::string& path, SysError& error);
  // New or truncated file, read and write, no sharing.
  static File Create(const std::string& path, SysError& error);

  bool IsOpen() const { return handle_ != kNone; }
  // The whole size, however large.
  SysError Size(std::uint64_t& size) const;
  SysError Read(void* buffer, std::uint32_t length, std::uint32_t& done);
  SysError Write(const void* buffer, std::uint32_t length, std::uint32_t& done);
  SysError Close();

 private:
  static constexpr std::uintptr_t kNone = 0;
  explicit File(std::uintptr_t handle) : handle_(handle) {}
  std::uintptr_t handle_ = kNone;
};

// ---- Shell and system dialogs -------------------------------------------

using WindowId = std::uintptr_t;  // a window handle; 0 is none

inline constexpr int kShowNormal = 1;
inline constexpr int kShowMinimized = 2;
inline constexpr int kShowMaximized = 3;
inline constexpr int kShowMinNoActive = 7;

// ShellExecute with the default verb; empty parameters or folder mean none.
// Returns the shell's result: above 32 is success.
int ShellStart(WindowId owner, const std::string& file, const std::string& parameters,
               const std::string& folder, int showMode);

inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbIconError = 0x10;

int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption,
                   std::uint32_t flags);

// ---- Screen ------------------------------------------------------------------

int ScreenWidth();
int ScreenHeight();

// ---- GUI framework ---------------------------------------------------------

struct Rgb {
  std::uint8_t red, green, blue;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

enum class WindowState { Normal, Minimized, Maximized };

// A form as designed, in design pixels at design pixels per inch.
struct FormDesign {
  std::string caption;
  int left = 0, top = 0, width = 0, height = 0;
  bool centreOnDesktop = false;
  Rgb color{};
  std::string fontName;
  int fontHeight = 0;  // negative: character height in pixels
  bool keyPreview = false;
  int pixelsPerInch = 96;
};

// A top-level window with no controls. Derived classes handle its events;
// an error that escapes an event goes to the application's error report.
class Form {
 public:
  explicit Form(const FormDesign& design);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  WindowId Handle() const;
  std::string Caption() const;
  Rgb Color() const;
  void SetColor(Rgb color);
  void SetScaled(bool scaled);
  // Rescales the form's font point size by m / d, rounded half away from
  // zero as Windows' MulDiv rounds; the form's position and outer size stay
  // as they are.
  void ScaleBy(int m, int d);
  int FontSize() const;  // points
  int FontPixelsPerInch() const;
  WindowState State() const;
  void SetWindowState(WindowState state);
  // Closes the form; closing the main form ends the application.
  void Close();

 protected:
  virtual void FormCreate() {}
  virtual void FormActivate() {}

 public:
  struct Impl;  // per implementation

 private:
  friend struct FormAccess;  // the framework's way in, per implementation
  std::unique_ptr<Impl> impl_;
};

// The application: one per process.
class Application {
 public:
  Application();  // initialises the GUI
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The title every dialog of the application carries.
  std::string Title() const;
  // Makes form the main form, creates its window (hidden) and runs its
  // creation event. A window that cannot be created is reported in a
  // system message box, and the form stays without window and events.
  void CreateForm(Form& form);
  // Puts the main form on screen as the process was asked to show it and
  // runs the message loop until the main form closes. Returns the program's
  // exit code: 1 when the main form has no window, else 0.
  int Run();

 public:
  struct Impl;  // per implementation

 private:
  std::unique_ptr<Impl> impl_;
};

// The application's plain modal message dialog: centred, titled with the
// application title, no icon, one "OK" button. When the dialog cannot come
// up, a system message box carries the same text and title.
void ShowMessage(const std::string& text);

}  // namespace turv::platform
