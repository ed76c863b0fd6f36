// The authoring window (Win32 only): standard controls over the portable
// model. Everything it decides about files, captions, strings and packages
// comes from the model and the packer; this file lays out controls, moves
// texts between them and the model, and turns the packing thread's calls
// into messages.
#include "authoring/authoring_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "authoring/authoring_model.h"
#include "authoring/pack_job.h"
#include "authoring/show_panel.h"
#include "authoring/texts.h"
#include "authoring/utf16.h"
#include "authoring/window_ids.h"
#include "format/karu_format.h"
#include "format/rehearsal_times.h"
#include "karupack/errors.h"
#include "karupack/folder_package.h"
#include "karupack/paths.h"
#include "karupack/system.h"
#include "win32/com_scope.h"
#include "win32/handles.h"
#include "win32/window_owner.h"

namespace turv::authoring {

namespace {

namespace fs = std::filesystem;

// The packing thread's news: progress (read from permille_), or the end.
constexpr UINT kProgressMessage = WM_APP + 1;
constexpr ULONGLONG kProgressEveryMs = 25;
constexpr UINT kFinishedMessage = WM_APP + 2;
constexpr UINT kFolderReadMessage = WM_APP + 3;  // the reading thread's end
constexpr UINT_PTR kFolderTimer = 1;
constexpr UINT kFolderDelayMs = 400;  // typing pauses this long before the folder is read
constexpr UINT_PTR kRehearsalTimer = 2;
constexpr UINT kRehearsalPollMs = 500;  // how often the window looks for a rehearsal's times

// The window's environment with one variable set, as CreateProcessW takes
// it: sorted by name regardless of case, as Windows keeps it.
std::wstring EnvironmentWith(std::wstring_view name, std::wstring_view value) {
  const auto upper = [](std::wstring_view text) {
    std::wstring folded(text.substr(0, text.find(L'=', 1)));
    for (wchar_t& c : folded) c = static_cast<wchar_t>(::towupper(c));
    return folded;
  };
  std::vector<std::wstring> entries;
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* at = block; *at != L'\0'; at += std::wcslen(at) + 1) {
      entries.emplace_back(at);
    }
    ::FreeEnvironmentStringsW(block);
  }
  const std::wstring key = upper(name);
  std::erase_if(entries, [&](const std::wstring& entry) { return upper(entry) == key; });
  entries.push_back(std::wstring(name) + L'=' + std::wstring(value));
  std::stable_sort(
      entries.begin(), entries.end(),
      [&](const std::wstring& a, const std::wstring& b) { return upper(a) < upper(b); });
  std::wstring joined;
  for (const std::wstring& entry : entries) joined.append(entry).push_back(L'\0');
  joined.push_back(L'\0');
  return joined;
}

// A rehearsal's whole time as the author reads it: "42 s", "12 min 5 s".
std::string Duration(std::uint64_t milliseconds) {
  const std::uint64_t seconds = (milliseconds + 500) / 1000;
  if (seconds < 60) return std::to_string(seconds) + " s";
  return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
}

inline void DestroyIconHandle(HICON icon) {
  ::DestroyIcon(icon);
}
inline HICON NullIcon() {
  return nullptr;
}
using IconHandle = win32::Owner<HICON, DestroyIconHandle, NullIcon>;

std::wstring Say16(Text text, std::initializer_list<std::string_view> arguments = {}) {
  return Wide(Say(text, arguments));
}

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return "Fehler " + std::to_string(code);
  std::wstring message(text, length);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n')) {
    message.pop_back();
  }
  return Narrow(message);
}

template <typename Function>
Function UserFunction(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

// The window's pixels per inch: its monitor's on Windows 10, else the
// system's (per-monitor scaling came with Windows 8.1).
int DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto forWindow = UserFunction<GetDpiForWindowFn>("GetDpiForWindow");
  if (forWindow != nullptr && window != nullptr) {
    if (const UINT dpi = forWindow(window)) return static_cast<int>(dpi);
  }
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// Where the window's monitor leaves room beside the task bar.
RECT WorkArea(HWND window) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
    return {0, 0, 1024, 768};
  }
  return monitor.rcWork;
}

// The system's message font at the window's scaling.
win32::GdiObject MessageFont(int dpi) {
  using ForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  static const auto forDpi = UserFunction<ForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (forDpi == nullptr ||
      !forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, dpi, DpiOf(nullptr));
  }
  if (metrics.lfMessageFont.lfHeight == 0) metrics.lfMessageFont.lfHeight = -::MulDiv(9, dpi, 72);
  return win32::GdiObject(::CreateFontIndirectW(&metrics.lfMessageFont));
}

template <typename T>
struct ComReleaser {
  void operator()(T* object) const { object->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComReleaser<T>>;

// The shell's file dialog: a folder, a file to open of one type, or a
// package to write. Nothing when the author cancels.
enum class Pick { Folder, Open, Save };
std::optional<fs::path> PickPath(HWND owner, Pick pick, Text title, Text filter = Text::Count,
                                 const wchar_t* pattern = nullptr, const fs::path& proposed = {}) {
  IFileDialog* raw = nullptr;
  const HRESULT made =
      pick == Pick::Save ? ::CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IFileSaveDialog, reinterpret_cast<void**>(&raw))
                         : ::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IFileOpenDialog, reinterpret_cast<void**>(&raw));
  if (FAILED(made) || raw == nullptr) return std::nullopt;
  const ComPtr<IFileDialog> dialog(raw);
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  options |= FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR;
  if (pick == Pick::Folder) options |= FOS_PICKFOLDERS;
  // Replacing a package is the common case; the window asks before
  // replacing anything else.
  if (pick == Pick::Save) options &= ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_OVERWRITEPROMPT);
  dialog->SetOptions(options);
  const std::wstring titleText = Say16(title);
  dialog->SetTitle(titleText.c_str());
  const std::wstring filterText = filter == Text::Count ? L"" : Say16(filter);
  if (pattern != nullptr) {
    const COMDLG_FILTERSPEC type{filterText.c_str(), pattern};
    dialog->SetFileTypes(1, &type);
    dialog->SetDefaultExtension(pattern + 2);  // "*.ico" -> "ico"
  }
  if (!proposed.empty()) dialog->SetFileName(proposed.filename().c_str());
  if (FAILED(dialog->Show(owner))) return std::nullopt;
  IShellItem* item = nullptr;
  if (FAILED(dialog->GetResult(&item)) || item == nullptr) return std::nullopt;
  const ComPtr<IShellItem> result(item);
  wchar_t* path = nullptr;
  if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || path == nullptr) {
    return std::nullopt;
  }
  fs::path chosen(path);
  ::CoTaskMemFree(path);
  return chosen;
}

// Only a fixed drive has a recycle bin (a USB stick or a network share has
// none), and only where the shell can tell what it holds.
bool HasRecycleBin(const fs::path& file) {
  std::wstring root(MAX_PATH + 1, L'\0');
  if (!::GetVolumePathNameW(file.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
    return false;
  }
  if (::GetDriveTypeW(root.c_str()) != DRIVE_FIXED) return false;
  SHQUERYRBINFO bin{};
  bin.cbSize = sizeof bin;
  return SUCCEEDED(::SHQueryRecycleBinW(root.c_str(), &bin));
}

// A settings file taken out or replaced goes to the recycle bin, from where
// it can come back. Where there is none, the author is asked first; where
// the bin cannot take this file (too large for it), the shell asks
// (FOF_WANTNUKEWARNING). False when the author keeps it.
bool ToRecycleBin(HWND owner, const fs::path& file) {
  if (!HasRecycleBin(file)) {
    const std::wstring question = Say16(Text::AskDeleteForGood, {karupack::Utf8(file.filename())});
    if (::MessageBoxW(owner, question.c_str(), L"karupack",
                      MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
      return false;
    }
    if (!::DeleteFileW(file.c_str())) {
      throw karupack::Failure(file, "cannot delete it: " + SystemMessage(::GetLastError()));
    }
    return true;
  }
  std::wstring from = file.wstring();
  from.push_back(L'\0');  // the list ends with two
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = owner;
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags =
      FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING | FOF_SILENT | FOF_NOERRORUI;
  const int code = ::SHFileOperationW(&operation);
  if (operation.fAnyOperationsAborted) return false;
  if (code != 0) {
    throw karupack::Failure(file,
                            "cannot move it to the recycle bin (" + std::to_string(code) + ")");
  }
  return true;
}

class AuthoringWindow {
 public:
  AuthoringWindow(HINSTANCE instance, Opened how);
  AuthoringWindow(const AuthoringWindow&) = delete;
  AuthoringWindow& operator=(const AuthoringWindow&) = delete;
  ~AuthoringWindow();

  int Run();

 private:
  friend struct win32::OwnerProcedure<AuthoringWindow>;
  static void Report(HWND window, const std::exception_ptr& error) noexcept;
  void Detached() { list_ = nullptr; }
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Command(int id, int code);
  LRESULT Notify(const NMHDR& header);

  HWND Add(const wchar_t* type, const std::wstring& text, DWORD style, int id, DWORD extended = 0);
  void CreateControls();
  void Scale(int dpi);
  void Layout();
  HWND Item(int id) const { return ::GetDlgItem(window_, id); }

  void FolderTyped();
  void OpenFolder(const fs::path& folder);
  void ReadFolder(const fs::path& folder);
  void FolderRead();
  bool SaveOrDiscard();  // before the model goes: false when the author stays
  bool Save();
  void ShowFiles();
  void ShowRow(int row);
  void ShowIcon();
  void ShowPlayer();
  void ShowState();
  void Status(const std::string& text);
  fs::path Output() const;
  void StartPack();
  void PackFinished();
  void Busy(bool busy);
  void TestPackage();
  // "Probelauf": the package's show started as a rehearsal, and its times
  // offered as the slides' seconds once its file is there.
  void StartRehearsal();
  void WatchRehearsal();
  void Dropped(HDROP drop);
  bool Close();

  HINSTANCE instance_;
  HWND window_ = nullptr;  // destroyed by the close, or by the destructor
  HWND list_ = nullptr;
  int dpi_ = 96;
  win32::GdiObject font_;
  int baseX_ = 6, baseY_ = 13;  // the font's average width and height: the layout's units
  int buttonWidth_ = 96;
  IconHandle icon_;
  std::optional<AuthoringModel> model_;
  ShowPanel panel_;  // the show's part
  std::unique_ptr<PackJob> job_;
  bool closeWhenPacked_ = false;  // closed during a pack: closes at its end
  // A folder is read on a thread of its own (a large captions.txt takes a
  // while); the window takes the outcome when the thread's end arrives.
  std::thread reader_;
  std::optional<AuthoringModel> read_;
  std::string readFailure_;
  std::optional<fs::path> nextFolder_;  // asked for while one was read
  fs::path target_;                     // the package being packed
  fs::path packed_;                     // the package the last pack made, for "Testen"
  // The running rehearsal's times file and folder; the rows that took times.
  std::optional<std::pair<fs::path, fs::path>> rehearsal_;
  std::set<std::string> rehearsed_;
  // The packing thread's progress, read by the window thread.
  std::atomic<int> permille_{0};
  std::atomic<bool> progressPosted_{false};
  ULONGLONG lastProgress_ = 0;  // the packing thread's own
  bool quiet_ = false;          // texts set by the window itself: no change events
  bool running_ = false;
  HWND lastFocus_ = nullptr;
};

AuthoringWindow::AuthoringWindow(HINSTANCE instance, Opened how) : instance_(instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = win32::OwnerProcedure<AuthoringWindow>::Procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (::RegisterClassExW(&windowClass) == 0) {
    throw karupack::Failure("karupack.exe",
                            "cannot register its window: " + SystemMessage(::GetLastError()));
  }
  ::CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Say16(Text::WindowTitle).c_str(),
                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 800, 700,
                    nullptr, nullptr, instance, this);
  if (window_ == nullptr) {
    throw karupack::Failure("karupack.exe",
                            "cannot create its window: " + SystemMessage(::GetLastError()));
  }
  CreateControls();
  Scale(DpiOf(window_));
  ::DragAcceptFiles(window_, TRUE);
  Status(Say(how == Opened::OnOtherThings ? Text::DropOneFolder : Text::Welcome));
  ShowIcon();
  ShowPlayer();
  Busy(false);
}

AuthoringWindow::~AuthoringWindow() {
  job_.reset();  // cancelled and waited for: the package's temporary file goes
  if (reader_.joinable()) reader_.join();
  if (window_ != nullptr) ::DestroyWindow(window_);
}

int AuthoringWindow::Run() {
  // COM for the shell's dialogs, as long as the window runs.
  const win32::ComScope com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  running_ = true;
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::UpdateWindow(window_);
  ::SetFocus(Item(kFolderEdit));
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The dialog manager gives Tab, the mnemonics, Enter and Esc; not while
    // a caption is edited in the list, whose editor takes Enter and Esc.
    const bool editing = list_ != nullptr && ListView_GetEditControl(list_) != nullptr;
    if (!editing && window_ != nullptr && ::IsDialogMessageW(window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

void AuthoringWindow::Report(HWND window, const std::exception_ptr& error) noexcept {
  std::string what = "?";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  ::MessageBoxW(window, Say16(Text::InternalError, {what}).c_str(), L"karupack",
                MB_OK | MB_ICONERROR);
}

LRESULT AuthoringWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      const RECT work = WorkArea(window_);
      limits->ptMinTrackSize = {std::min<int>(::MulDiv(560, dpi_, 96), work.right - work.left),
                                std::min<int>(::MulDiv(760, dpi_, 96), work.bottom - work.top)};
      return 0;
    }
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      Scale(HIWORD(wParam));
      ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_ACTIVATE:
      // Focus comes back where it was, as in a dialog.
      if (LOWORD(wParam) == WA_INACTIVE) {
        lastFocus_ = ::GetFocus();
      } else if (lastFocus_ != nullptr && ::IsChild(window_, lastFocus_)) {
        ::SetFocus(lastFocus_);
        return 0;
      }
      break;
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return Notify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
      if (wParam == kFolderTimer) {
        ::KillTimer(window_, kFolderTimer);
        FolderTyped();
      } else if (wParam == kRehearsalTimer) {
        WatchRehearsal();
      }
      return 0;
    case WM_DROPFILES:
      Dropped(reinterpret_cast<HDROP>(wParam));
      return 0;
    case kProgressMessage:
      progressPosted_ = false;
      ::SendMessageW(Item(kProgressBar), PBM_SETPOS, static_cast<WPARAM>(permille_.load()), 0);
      return 0;
    case kFinishedMessage:
      PackFinished();
      return 0;
    case kFolderReadMessage:
      FolderRead();
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY:
      if (running_) ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

void AuthoringWindow::Command(int id, int code) {
  const auto value = [&](Field field, int edit) {
    if (code == EN_CHANGE && !quiet_ && model_) {
      model_->SetValue(field, Narrow(TextOf(Item(edit))));
      ShowState();
    }
  };
  switch (id) {
    case kFolderEdit:
      if (code == EN_CHANGE && !quiet_) ::SetTimer(window_, kFolderTimer, kFolderDelayMs, nullptr);
      break;
    case kBrowseButton:
      if (const auto folder = PickPath(window_, Pick::Folder, Text::ChooseFolderTitle)) {
        OpenFolder(*folder);
      }
      break;
    case kTitleEdit:
      value(Field::Title, id);
      break;
    case kDescriptionEdit:
      value(Field::Description, id);
      break;
    case kCompanyEdit:
      value(Field::Company, id);
      break;
    case kCopyrightEdit:
      value(Field::Copyright, id);
      break;
    case kVersionEdit:
      value(Field::Version, id);
      break;
    case kChooseIconButton:
      if (!model_) break;
      if (const auto file =
              PickPath(window_, Pick::Open, Text::ChooseIcon, Text::IconFilter, L"*.ico")) {
        if (const auto why = model_->SetIcon(*file)) Status(*why);
        ShowIcon();
      }
      break;
    case kRemoveIconButton:
      if (model_) model_->RemoveIcon();
      ShowIcon();
      break;
    case kLumiraxRadio:
      if (code == BN_CLICKED && model_ && model_->Player()) model_->SetPlayer(std::nullopt);
      ShowPlayer();
      break;
    case kOwnPlayerRadio:
    case kChoosePlayerButton:
      if (code != BN_CLICKED || !model_ || (id == kOwnPlayerRadio && model_->Player())) break;
      if (const auto program =
              PickPath(window_, Pick::Open, Text::ChoosePlayer, Text::ProgramFilter, L"*.exe")) {
        model_->SetPlayer(*program);
      }
      ShowPlayer();
      break;
    case kSaveAsButton:
      if (const auto file = PickPath(window_, Pick::Save, Text::SaveAs, Text::PackageFilter,
                                     L"*.exe", Output())) {
        ::SetWindowTextW(Item(kPackageEdit), file->c_str());
      }
      break;
    case kPackButton:
      StartPack();
      break;
    case kCancelButton:
      if (job_) {
        job_->Cancel();
        Status(Say(Text::Stopping));
      }
      break;
    case kTestButton:
      TestPackage();
      break;
    case kRehearseButton:
      StartRehearsal();
      break;
    case kCloseButton:
      // Esc stops a pack first; pressed again, it closes.
      if (job_) {
        job_->Cancel();
        Status(Say(Text::Stopping));
      } else {
        Close();
      }
      break;
    default:
      if (std::string said; model_ && panel_.Command(window_, *model_, id, code, said)) {
        // A sound or the music changes how other rows are marked.
        for (int row = 0; row < static_cast<int>(model_->Files().size()); ++row) ShowRow(row);
        ShowState();
        if (!said.empty()) Status(said);
      }
      break;
  }
}

LRESULT AuthoringWindow::Notify(const NMHDR& header) {
  if (header.idFrom != kFileList || !model_) return 0;
  switch (header.code) {
    case LVN_KEYDOWN:
      if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_F2) {
        const int row = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
        if (row >= 0) ListView_EditLabel(list_, row);
      }
      return 0;
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if ((change.uNewState & LVIS_SELECTED) != 0) panel_.Select(window_, &*model_, change.iItem);
      return 0;
    }
    case LVN_BEGINLABELEDITW: {
      // Only a file that is packed has a caption.
      const auto& item = reinterpret_cast<const NMLVDISPINFOW&>(header).item;
      const auto& files = model_->Files();
      const bool editable = !job_ && item.iItem >= 0 &&
                            static_cast<std::size_t>(item.iItem) < files.size() &&
                            !files[static_cast<std::size_t>(item.iItem)].skipped &&
                            !files[static_cast<std::size_t>(item.iItem)].link;
      return editable ? FALSE : TRUE;
    }
    case LVN_ENDLABELEDITW: {
      const auto& item = reinterpret_cast<const NMLVDISPINFOW&>(header).item;
      if (item.pszText == nullptr || item.iItem < 0) return FALSE;  // the edit was cancelled
      model_->SetCaption(static_cast<std::size_t>(item.iItem), Narrow(item.pszText));
      // A caption can change what other rows say (a name taken twice).
      for (int row = 0; row < static_cast<int>(model_->Files().size()); ++row) ShowRow(row);
      ShowState();
      return FALSE;  // the rows are shown from the model already
    }
    default:
      return 0;
  }
}

HWND AuthoringWindow::Add(const wchar_t* type, const std::wstring& text, DWORD style, int id,
                          DWORD extended) {
  HWND control = ::CreateWindowExW(
      extended, type, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  if (control == nullptr) {
    throw karupack::Failure("karupack.exe",
                            "cannot create its window: " + SystemMessage(::GetLastError()));
  }
  return control;
}

// In tab order: each label first, so that its mnemonic reaches the control
// behind it.
void AuthoringWindow::CreateControls() {
  constexpr DWORD kLabel = SS_LEFT;
  constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
  constexpr DWORD kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
  Add(L"STATIC", Say16(Text::FolderLabel), kLabel, kFolderLabel);
  Add(L"EDIT", L"", kEdit, kFolderEdit, WS_EX_CLIENTEDGE);
  Add(L"BUTTON", Say16(Text::Browse), kButton, kBrowseButton);
  Add(L"STATIC", Say16(Text::FilesLabel), kLabel | SS_ENDELLIPSIS, kFilesLabel);
  list_ =
      Add(WC_LISTVIEWW, L"",
          WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_EDITLABELS | LVS_SHOWSELALWAYS | LVS_SINGLESEL,
          kFileList);
  ListView_SetExtendedListViewStyle(list_,
                                    LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
  const std::array columns = {
      std::pair(Text::ColumnCaption, LVCFMT_LEFT), std::pair(Text::ColumnFile, LVCFMT_LEFT),
      std::pair(Text::ColumnSize, LVCFMT_RIGHT),   std::pair(Text::ColumnSeconds, LVCFMT_RIGHT),
      std::pair(Text::ColumnSound, LVCFMT_LEFT),   std::pair(Text::ColumnNote, LVCFMT_LEFT)};
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    std::wstring title = Say16(columns[static_cast<std::size_t>(i)].first);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    column.fmt = columns[static_cast<std::size_t>(i)].second;
    column.cx = 100;
    column.pszText = title.data();
    ListView_InsertColumn(list_, i, &column);
  }
  const auto add = [this](const wchar_t* type, const std::wstring& text, DWORD style, int id,
                          DWORD extended) { return Add(type, text, style, id, extended); };
  panel_.CreateEntry(add);
  panel_.CreateShow(add);
  Add(L"STATIC", Say16(Text::IconLabel), kLabel, kIconLabel);
  Add(L"STATIC", L"", SS_ICON | SS_CENTERIMAGE | SS_REALSIZECONTROL, kIconPreview);
  Add(L"STATIC", L"", kLabel | SS_PATHELLIPSIS | SS_NOPREFIX, kIconName);
  Add(L"BUTTON", Say16(Text::ChooseIcon), kButton, kChooseIconButton);
  Add(L"BUTTON", Say16(Text::RemoveIcon), kButton, kRemoveIconButton);
  for (const auto& [label, labelId, edit] :
       {std::tuple(Text::TitleLabel, kTitleLabel, kTitleEdit),
        std::tuple(Text::DescriptionLabel, kDescriptionLabel, kDescriptionEdit),
        std::tuple(Text::CompanyLabel, kCompanyLabel, kCompanyEdit),
        std::tuple(Text::CopyrightLabel, kCopyrightLabel, kCopyrightEdit),
        std::tuple(Text::VersionLabel, kVersionLabel, kVersionEdit)}) {
    Add(L"STATIC", Say16(label), kLabel, labelId);
    Add(L"EDIT", L"", kEdit, edit, WS_EX_CLIENTEDGE);
  }
  Add(L"STATIC", Say16(Text::PlayerLabel), kLabel, kPlayerLabel);
  Add(L"BUTTON", Say16(Text::PlayerLumirax), WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
      kLumiraxRadio);
  Add(L"BUTTON", Say16(Text::PlayerOwn), BS_AUTORADIOBUTTON, kOwnPlayerRadio);
  Add(L"STATIC", L"", WS_GROUP | kLabel | SS_PATHELLIPSIS | SS_NOPREFIX, kPlayerName);
  Add(L"BUTTON", Say16(Text::ChoosePlayer), kButton, kChoosePlayerButton);
  Add(L"STATIC", Say16(Text::PackageLabel), kLabel, kPackageLabel);
  Add(L"EDIT", L"", kEdit, kPackageEdit, WS_EX_CLIENTEDGE);
  Add(L"BUTTON", Say16(Text::SaveAs), kButton, kSaveAsButton);
  Add(L"STATIC", Say16(Text::KeptIn), kLabel | SS_NOPREFIX, kKeptInNote);
  Add(L"STATIC", L"", kLabel | SS_NOPREFIX, kStatusText);
  Add(PROGRESS_CLASSW, L"", PBS_SMOOTH, kProgressBar);
  ::SendMessageW(Item(kProgressBar), PBM_SETRANGE32, 0, 1000);
  Add(L"BUTTON", Say16(Text::Pack), WS_TABSTOP | BS_DEFPUSHBUTTON, kPackButton);
  Add(L"BUTTON", Say16(Text::Cancel), kButton, kCancelButton);
  Add(L"BUTTON", Say16(Text::Test), kButton, kTestButton);
  Add(L"BUTTON", Say16(Text::Rehearse), kButton, kRehearseButton);
  Add(L"BUTTON", Say16(Text::Close), kButton, kCloseButton);
}

// Fonts and sizes for the monitor's scaling; the layout's units come from
// the font, as a dialog's do.
void AuthoringWindow::Scale(int dpi) {
  dpi_ = dpi;
  font_ = MessageFont(dpi);
  HDC dc = ::GetDC(window_);
  HGDIOBJ old = ::SelectObject(dc, font_.Get());
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  SIZE alphabet{};
  ::GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                          &alphabet);
  baseY_ = std::max<int>(1, metrics.tmHeight);
  baseX_ = std::max<int>(1, (alphabet.cx / 26 + 1) / 2);
  // Buttons as wide as the widest text needs, and a dialog's at least.
  buttonWidth_ = ::MulDiv(64, baseX_, 4);
  for (const int id :
       {kBrowseButton, kChooseIconButton, kRemoveIconButton, kChoosePlayerButton, kSaveAsButton,
        kPackButton, kCancelButton, kTestButton, kRehearseButton, kCloseButton}) {
    std::wstring text = TextOf(Item(id));
    std::erase(text, L'&');
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    buttonWidth_ = std::max<int>(buttonWidth_, extent.cx + ::MulDiv(12, baseX_, 4));
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(window_, dc);
  for (HWND child = ::GetWindow(window_, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  }
  // Before the window is shown it takes its size for this scaling, within
  // its monitor's work area; later the system proposes one (WM_DPICHANGED).
  if (!::IsWindowVisible(window_)) {
    const RECT work = WorkArea(window_);
    const int width = std::min<int>(::MulDiv(780, dpi, 96), work.right - work.left);
    const int height = std::min<int>(::MulDiv(880, dpi, 96), work.bottom - work.top);
    ::SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowIcon();  // lays out too
  ::InvalidateRect(window_, nullptr, TRUE);
}

// Dialog units: a quarter of the font's average width, an eighth of its height.
void AuthoringWindow::Layout() {
  if (list_ == nullptr) return;
  const auto dx = [&](int units) { return ::MulDiv(units, baseX_, 4); };
  const auto dy = [&](int units) { return ::MulDiv(units, baseY_, 8); };
  RECT client{};
  ::GetClientRect(window_, &client);
  const int margin = dx(7), gap = dx(4), row = dy(14), line = baseY_;
  const int width = std::max<int>(client.right - 2 * margin, dx(200));
  const int button = buttonWidth_, labelWidth = dx(52);
  const auto place = [&](int id, int x, int y, int w, int h) {
    ::MoveWindow(Item(id), x, y, std::max(w, 0), std::max(h, 0), FALSE);
  };
  const auto label = [&](int id, int x, int y, int w) {
    place(id, x, y + (row - line) / 2, w, line);
  };

  // From the top: the folder and the list's label.
  int y = margin;
  label(kFolderLabel, margin, y, width);
  y += line + dy(2);
  place(kFolderEdit, margin, y, width - button - gap, row);
  place(kBrowseButton, margin + width - button, y, button, row);
  y += row + dy(6);
  label(kFilesLabel, margin, y, width);
  y += line + dy(2);
  const int listTop = y;

  // From the bottom: buttons, bar, status, the note, package, player,
  // strings, icon. The list takes what is left.
  int bottom = client.bottom - margin;
  int x = margin + width;
  for (const int id : {kCloseButton, kRehearseButton, kTestButton, kCancelButton, kPackButton}) {
    x -= button;
    place(id, x, bottom - row, button, row);
    x -= gap;
  }
  bottom -= row + dy(4);
  // Five buttons leave the bar no room beside them: it has a row of its own.
  place(kProgressBar, margin, bottom - dy(6), width, dy(6));
  bottom -= dy(6) + dy(4);
  place(kStatusText, margin, bottom - 3 * line, width, 3 * line);
  bottom -= 3 * line + dy(4);
  place(kKeptInNote, margin, bottom - 2 * line, width, 2 * line);
  bottom -= 2 * line + dy(6);

  bottom -= row;
  label(kPackageLabel, margin, bottom, labelWidth);
  place(kPackageEdit, margin + labelWidth, bottom, width - labelWidth - button - gap, row);
  place(kSaveAsButton, margin + width - button, bottom, button, row);
  bottom -= row + dy(4);

  const int radio = dx(100);
  label(kPlayerLabel, margin, bottom, labelWidth);
  place(kLumiraxRadio, margin + labelWidth, bottom, radio, row);
  place(kOwnPlayerRadio, margin + labelWidth + radio + gap, bottom, dx(76), row);
  const int nameLeft = margin + labelWidth + radio + gap + dx(76) + gap;
  label(kPlayerName, nameLeft, bottom, margin + width - button - gap - nameLeft);
  place(kChoosePlayerButton, margin + width - button, bottom, button, row);
  bottom -= dy(6);

  // The strings in two columns, the version alone in the last row.
  const int column = (width - gap) / 2;
  const std::array<std::pair<int, int>, 5> strings = {
      std::pair(kTitleLabel, kTitleEdit), std::pair(kCompanyLabel, kCompanyEdit),
      std::pair(kDescriptionLabel, kDescriptionEdit), std::pair(kCopyrightLabel, kCopyrightEdit),
      std::pair(kVersionLabel, kVersionEdit)};
  const int stringRows = 3;
  const int stringsTop = bottom - stringRows * row - (stringRows - 1) * dy(4);
  for (std::size_t i = 0; i < strings.size(); ++i) {
    const int left = margin + static_cast<int>(i % 2) * (column + gap);
    const int top = stringsTop + static_cast<int>(i / 2) * (row + dy(4));
    label(strings[i].first, left, top, labelWidth);
    place(strings[i].second, left + labelWidth, top, column - labelWidth, row);
  }
  bottom = stringsTop - dy(6);

  const int iconSize = ::MulDiv(32, dpi_, 96);
  const int iconRow = std::max(row, iconSize);
  bottom -= iconRow;
  label(kIconLabel, margin, bottom + (iconRow - row) / 2, labelWidth);
  place(kIconPreview, margin + labelWidth, bottom, iconSize, iconSize);
  const int iconNameLeft = margin + labelWidth + iconSize + gap;
  const int buttonsLeft = margin + width - 2 * button - gap;
  label(kIconName, iconNameLeft, bottom + (iconRow - row) / 2, buttonsLeft - gap - iconNameLeft);
  place(kChooseIconButton, buttonsLeft, bottom + (iconRow - row) / 2, button, row);
  place(kRemoveIconButton, buttonsLeft + button + gap, bottom + (iconRow - row) / 2, button, row);
  bottom -= dy(6);
  bottom =
      panel_.Layout(window_, {margin, width, gap, row, line, labelWidth, button, dy(4)}, bottom);

  place(kFileList, margin, listTop, width, std::max(bottom - listTop, 3 * row));
  const std::array<int, kColumnCount> share = {22, 17, 9, 10, 22, 20};  // percent of the width
  const int inner = width - ::GetSystemMetrics(SM_CXVSCROLL) - dx(4);
  for (int i = 0; i < kColumnCount; ++i) {
    ListView_SetColumnWidth(list_, i, inner * share[static_cast<std::size_t>(i)] / 100);
  }
  ::InvalidateRect(window_, nullptr, TRUE);
}

void AuthoringWindow::FolderTyped() {
  const std::wstring typed = TextOf(Item(kFolderEdit));
  if (typed.empty()) return;
  std::error_code error;
  const fs::path folder(typed);
  if (!fs::is_directory(folder, error)) {
    Status(Say(Text::NoSuchFolder, {karupack::Utf8(folder)}));
    return;
  }
  // Typed again, the folder is read again; with changes not saved, it stays.
  if (model_ && model_->Dirty() && fs::equivalent(folder, model_->Folder(), error)) return;
  OpenFolder(folder);
}

bool AuthoringWindow::SaveOrDiscard() {
  if (!model_ || !model_->Dirty()) return true;
  const int answer = ::MessageBoxW(
      window_, Say16(Text::AskSave, {karupack::Utf8(model_->Folder().filename())}).c_str(),
      L"karupack", MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) return false;
  return answer == IDNO || Save();
}

// Saves into the folder; what could not be saved, or was held back, is
// said, and the window stays.
bool AuthoringWindow::Save() {
  const auto said =
      model_->Save([this](const fs::path& file) { return ToRecycleBin(window_, file); });
  ShowIcon();
  ShowPlayer();
  // Saved, a refused line of show.ini is a comment: no row names it now.
  for (int row = 0; row < static_cast<int>(model_->Files().size()); ++row) ShowRow(row);
  panel_.Fill(window_, &*model_, ListView_GetNextItem(list_, -1, LVNI_SELECTED));
  if (said) Status(*said);
  return !said;
}

void AuthoringWindow::OpenFolder(const fs::path& folder) {
  if (job_) return;
  if (reader_.joinable()) {
    nextFolder_ = folder;  // read once the folder in hand is
    return;
  }
  if (!SaveOrDiscard()) {
    quiet_ = true;
    ::SetWindowTextW(Item(kFolderEdit), model_ ? model_->Folder().c_str() : L"");
    quiet_ = false;
    return;
  }
  ReadFolder(folder);
}

// The window answers while the thread reads; nothing can be edited or
// packed meanwhile.
void AuthoringWindow::ReadFolder(const fs::path& folder) {
  model_.reset();
  rehearsed_.clear();
  read_.reset();
  readFailure_.clear();
  ListView_DeleteAllItems(list_);
  ShowIcon();
  ShowPlayer();
  Busy(false);
  Status(Say(Text::Reading));
  HWND window = window_;
  reader_ = std::thread([this, folder, window] {
    try {
      read_.emplace(folder);
    } catch (const std::exception& error) {
      readFailure_ = Say(Text::FolderUnreadable, {error.what()});
    } catch (...) {
      readFailure_ = Say(Text::FolderUnreadable, {"?"});
    }
    ::PostMessageW(window, kFolderReadMessage, 0, 0);
  });
}

void AuthoringWindow::FolderRead() {
  if (!reader_.joinable()) return;
  reader_.join();  // its last step was to post this message
  if (nextFolder_) {
    const fs::path next = *nextFolder_;
    nextFolder_.reset();
    ReadFolder(next);
    return;
  }
  if (!read_) {
    Status(readFailure_);
    return;
  }
  model_ = std::move(read_);
  rehearsed_.clear();
  read_.reset();
  packed_.clear();
  quiet_ = true;
  ::SetWindowTextW(Item(kFolderEdit), model_->Folder().c_str());
  ::SetWindowTextW(Item(kPackageEdit), karupack::PackageBeside(model_->Folder()).c_str());
  for (const auto& [field, edit] :
       {std::pair(Field::Title, kTitleEdit), std::pair(Field::Description, kDescriptionEdit),
        std::pair(Field::Company, kCompanyEdit), std::pair(Field::Copyright, kCopyrightEdit),
        std::pair(Field::Version, kVersionEdit)}) {
    ::SetWindowTextW(Item(edit), Wide(model_->Value(field)).c_str());
  }
  quiet_ = false;
  ShowFiles();
  panel_.Fill(window_, &*model_, model_->Files().empty() ? -1 : 0);
  ShowIcon();
  ShowPlayer();
  ShowState();
  ::SendMessageW(Item(kProgressBar), PBM_SETPOS, 0, 0);
  Busy(false);
}

void AuthoringWindow::ShowFiles() {
  ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list_);
  const auto count = static_cast<int>(model_->Files().size());
  for (int row = 0; row < count; ++row) {
    wchar_t empty[] = L"";
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = empty;
    ListView_InsertItem(list_, &item);
    ShowRow(row);
  }
  if (count > 0) {
    ListView_SetItemState(list_, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  }
  ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list_, nullptr, TRUE);
}

void AuthoringWindow::ShowRow(int row) {
  const FileRow& file = model_->Files()[static_cast<std::size_t>(row)];
  // Names and captions come from outside: shown escaped, as printed.
  const auto show = ShowPanel::Cells(*model_, static_cast<std::size_t>(row));
  std::array<std::string, kColumnCount> cells = {
      file.skipped ? std::string() : format::Printable(file.Shown()),
      format::Printable(file.name),
      file.skipped ? std::string() : Digits(file.size),
      show[0],
      show[1],
      file.note.empty() ? ShowPanel::Note(*model_, static_cast<std::size_t>(row)) : file.note};
  if (rehearsed_.contains(file.name)) {
    cells[kNoteColumn] =
        Say(Text::SecondsRehearsed) + (cells[kNoteColumn].empty() ? "" : " " + cells[kNoteColumn]);
  }
  for (int column = 0; column < kColumnCount; ++column) {
    std::wstring text = Wide(cells[static_cast<std::size_t>(column)]);
    ListView_SetItemText(list_, row, column, text.data());
  }
}

void AuthoringWindow::ShowIcon() {
  if (list_ == nullptr) return;
  const int size = ::MulDiv(32, dpi_, 96);
  const std::optional<fs::path> file = model_ ? model_->Icon() : std::nullopt;
  icon_.Reset(file ? static_cast<HICON>(::LoadImageW(nullptr, file->c_str(), IMAGE_ICON, size, size,
                                                     LR_LOADFROMFILE))
                   : static_cast<HICON>(
                         ::LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0)));
  ::SendMessageW(Item(kIconPreview), STM_SETICON, reinterpret_cast<WPARAM>(icon_.Get()), 0);
  ::SetWindowTextW(
      Item(kIconName),
      (file ? Wide(format::Printable(karupack::Utf8(*file))) : Say16(Text::NoIcon)).c_str());
  ::EnableWindow(Item(kRemoveIconButton), model_ && file && !job_);
  Layout();
}

void AuthoringWindow::ShowPlayer() {
  const bool own = model_ && model_->Player();
  ::CheckRadioButton(window_, kLumiraxRadio, kOwnPlayerRadio,
                     own ? kOwnPlayerRadio : kLumiraxRadio);
  ::SetWindowTextW(Item(kPlayerName),
                   own ? Wide(format::Printable(karupack::Utf8(*model_->Player()))).c_str() : L"");
}

// The list's sum, then what stands in the way or is worth knowing.
void AuthoringWindow::ShowState() {
  std::string text =
      Say(Text::FilesListed, {Digits(model_->PackedCount()), Digits(model_->PackedBytes())});
  const auto blocker = model_->Blocker();
  if (blocker) text += " " + *blocker;
  for (const std::string& note : model_->Notes()) {
    if (!blocker || note != *blocker) text += " " + note;
  }
  Status(text);
}

void AuthoringWindow::Status(const std::string& text) {
  ::SetWindowTextW(Item(kStatusText), Wide(text).c_str());
}

// The package as typed, relative to the folder's parent; FOLDER.exe when
// nothing is typed.
fs::path AuthoringWindow::Output() const {
  const std::wstring typed = TextOf(Item(kPackageEdit));
  if (!model_) return fs::path(typed);
  if (typed.empty()) return karupack::PackageBeside(model_->Folder());
  return model_->Folder().parent_path() / fs::path(typed);
}

void AuthoringWindow::StartPack() {
  if (job_) return;
  if (!model_) {
    Status(Say(Text::ChooseFolderFirst));
    ::SetFocus(Item(kFolderEdit));
    return;
  }
  if (const auto blocker = model_->Blocker()) {
    Status(*blocker);
    const auto& files = model_->Files();
    const auto refused =
        std::find_if(files.begin(), files.end(), [](const FileRow& row) { return row.refused; });
    if (refused != files.end()) {
      const int row = static_cast<int>(refused - files.begin());
      ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
      ListView_EnsureVisible(list_, row, FALSE);
    }
    return;
  }
  const fs::path output = Output();
  std::error_code error;
  if (fs::exists(fs::symlink_status(output, error))) {
    if (const auto why = karupack::WhyNoPackage(output)) {
      const std::string name = karupack::Utf8(output.filename());
      if (::MessageBoxW(window_, Say16(Text::AskReplace, {name, *why}).c_str(), L"karupack",
                        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
        Status(Say(Text::Replaced, {name}));
        return;
      }
    }
  }
  if (!Save()) return;
  karupack::PackOptions options;
  try {
    options = model_->Options(output);
  } catch (const std::exception& failure) {
    Status(Say(Text::NotPacked, {format::Printable(failure.what())}));
    return;
  }
  packed_.clear();
  target_ = output;
  permille_ = 0;
  ::SendMessageW(Item(kProgressBar), PBM_SETPOS, 0, 0);
  Status(Say(Text::Packing));
  // The bar moves at most every kProgressEveryMs, and one message at a time
  // is on its way: drawing it must not take the packing's time.
  HWND window = window_;
  lastProgress_ = 0;
  job_ = std::make_unique<PackJob>(
      std::move(options),
      [this, window](std::uint64_t done, std::uint64_t total) {
        const ULONGLONG now = ::GetTickCount64();
        if (done < total && now - lastProgress_ < kProgressEveryMs) return;
        lastProgress_ = now;
        permille_ = static_cast<int>(done * 1000 / std::max<std::uint64_t>(total, 1));
        if (!progressPosted_.exchange(true)) ::PostMessageW(window, kProgressMessage, 0, 0);
      },
      [window] { ::PostMessageW(window, kFinishedMessage, 0, 0); });
  Busy(true);
}

void AuthoringWindow::PackFinished() {
  if (!job_) return;
  const PackJob::Outcome outcome = job_->Wait();  // its last step was to post this message
  job_.reset();
  Busy(false);
  if (std::exchange(closeWhenPacked_, false)) {
    Close();
    return;
  }
  switch (outcome.end) {
    case PackJob::End::Packed:
      packed_ = target_;
      {
        // What the save held back stays in view.
        std::string text =
            Say(Text::Packed, {karupack::Utf8(packed_.filename()), Digits(outcome.packed.files),
                               Digits(outcome.packed.dataBytes)});
        for (const std::string& note : model_->Notes()) text += " " + note;
        Status(text);
      }
      ::SendMessageW(Item(kProgressBar), PBM_SETPOS, 1000, 0);
      ::EnableWindow(Item(kTestButton), TRUE);
      ::EnableWindow(Item(kRehearseButton), TRUE);
      break;
    case PackJob::End::Cancelled:
      Status(Say(Text::Cancelled));
      ::SendMessageW(Item(kProgressBar), PBM_SETPOS, 0, 0);
      break;
    case PackJob::End::Failed:
      Status(Say(Text::NotPacked, {outcome.message}));
      ::SendMessageW(Item(kProgressBar), PBM_SETPOS, 0, 0);
      break;
  }
}

// While a pack runs, only cancelling and closing are offered.
void AuthoringWindow::Busy(bool busy) {
  for (const int id :
       {kFolderEdit, kBrowseButton, kFileList, kChooseIconButton, kTitleEdit, kDescriptionEdit,
        kCompanyEdit, kCopyrightEdit, kVersionEdit, kLumiraxRadio, kOwnPlayerRadio,
        kChoosePlayerButton, kPackageEdit, kSaveAsButton, kPackButton}) {
    const bool needsFolder = id != kFolderEdit && id != kBrowseButton;
    ::EnableWindow(Item(id), !busy && (model_ || !needsFolder));
  }
  ::EnableWindow(Item(kRemoveIconButton), !busy && model_ && model_->Icon());
  ::EnableWindow(Item(kTestButton), !busy && !packed_.empty());
  ::EnableWindow(Item(kRehearseButton), !busy && !packed_.empty() && model_);
  ::EnableWindow(Item(kCancelButton), busy);
  panel_.Enable(window_, !busy && model_, model_ ? &*model_ : nullptr);
  if (busy) ::SetFocus(Item(kCancelButton));
}

void AuthoringWindow::TestPackage() {
  if (packed_.empty()) return;
  const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
      window_, nullptr, packed_.c_str(), nullptr, packed_.parent_path().c_str(), SW_SHOWNORMAL));
  if (result <= 32) {
    Status(Say(Text::TestFailed, {SystemMessage(static_cast<DWORD>(result))}));
  }
}

void AuthoringWindow::StartRehearsal() {
  if (packed_.empty() || !model_) return;
  if (rehearsal_) {
    std::error_code ignored;
    fs::remove(rehearsal_->first, ignored);  // a rehearsal before this one no longer counts
  }
  std::error_code error;
  const fs::path times = fs::temp_directory_path(error) /
                         ("karupack-probelauf-" + std::to_string(::GetCurrentProcessId()) + "-" +
                          std::to_string(::GetTickCount64()) + ".txt");
  std::wstring environment =
      EnvironmentWith(Wide(std::string(format::kRehearsalVariable)), times.wstring());
  std::wstring command = L"\"" + packed_.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (error || !::CreateProcessW(packed_.c_str(), command.data(), nullptr, nullptr, FALSE,
                                 CREATE_UNICODE_ENVIRONMENT, environment.data(),
                                 packed_.parent_path().c_str(), &startup, &started)) {
    Status(Say(Text::RehearsalFailed, {error ? error.message() : SystemMessage(::GetLastError())}));
    return;
  }
  const win32::KernelHandle process(started.hProcess), thread(started.hThread);
  rehearsal_.emplace(times, model_->Folder());
  ::SetTimer(window_, kRehearsalTimer, kRehearsalPollMs, nullptr);
  Status(Say(Text::Rehearsing, {karupack::Utf8(packed_.filename())}));
}

// The player writes the times whole under another name and then renames
// them: once the file is there it is complete.
void AuthoringWindow::WatchRehearsal() {
  std::error_code error;
  if (!rehearsal_ || !fs::exists(rehearsal_->first, error)) return;
  ::KillTimer(window_, kRehearsalTimer);
  const auto [file, folder] = *std::exchange(rehearsal_, std::nullopt);
  std::string text;
  try {
    karupack::InputFile in(file);
    if (in.Size() > format::kRehearsalFileLimit) throw karupack::Failure(file, "too large");
    text.resize(static_cast<std::size_t>(in.Size()));
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t got =
          in.Read(std::span(reinterpret_cast<std::uint8_t*>(text.data()) + at, text.size() - at));
      if (got == 0) throw karupack::Failure(file, "ended early");
      at += got;
    }
  } catch (const std::exception& failure) {
    Status(Say(Text::TimesUnreadable, {format::Printable(failure.what())}));
    return;
  }
  fs::remove(file, error);
  const auto times = format::ReadRehearsalTimes(text);
  if (!times) {
    Status(Say(Text::TimesUnreadable, {karupack::Utf8(file)}));
    return;
  }
  if (!model_ || !fs::equivalent(folder, model_->Folder(), error)) {
    Status(Say(Text::TimesForOtherFolder));
    return;
  }
  if (times->empty()) {
    Status(Say(Text::NoTimes));
    return;
  }
  std::uint64_t total = 0;
  for (const format::StoodTime& time : *times) total += time.milliseconds;
  if (::MessageBoxW(window_,
                    Say16(Text::AskTakeTimes, {Digits(times->size()), Duration(total)}).c_str(),
                    L"karupack", MB_YESNO | MB_ICONQUESTION) != IDYES ||
      !model_) {
    Status(Say(Text::TimesNotTaken));
    return;
  }
  const std::vector<std::string> taken = model_->Show().TakeTimes(*times);
  rehearsed_.insert(taken.begin(), taken.end());
  for (int row = 0; row < static_cast<int>(model_->Files().size()); ++row) ShowRow(row);
  panel_.Fill(window_, &*model_, ListView_GetNextItem(list_, -1, LVNI_SELECTED));
  ShowState();
  Status(Say(Text::TimesTaken, {Digits(taken.size())}));
}

// A folder dropped on the window opens; an .ico becomes the icon.
void AuthoringWindow::Dropped(HDROP drop) {
  const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring first(length + 1, L'\0');
  ::DragQueryFileW(drop, 0, first.data(), length + 1);
  first.resize(length);
  ::DragFinish(drop);
  const fs::path path(first);
  std::error_code error;
  if (fs::is_directory(path, error)) {
    OpenFolder(path);
  } else if (model_ && !job_ && path.extension() == L".ico") {
    if (const auto why = model_->SetIcon(path)) Status(*why);
    ShowIcon();
  } else {
    Status(Say(Text::DropOneFolder));
  }
}

// Closed during a pack, the pack is cancelled and the window closes at its
// end: the window never waits for the packing thread, which may be in the
// middle of putting the package on the disk.
bool AuthoringWindow::Close() {
  if (job_) {
    job_->Cancel();
    closeWhenPacked_ = true;
    Status(Say(Text::Stopping));
    return false;
  }
  if (!SaveOrDiscard()) return false;
  ::DestroyWindow(window_);
  return true;
}

}  // namespace

int RunAuthoringWindow(HINSTANCE instance, Opened how) noexcept {
  try {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    AuthoringWindow window(instance, how);
    return window.Run();
  } catch (const std::exception& error) {
    ::MessageBoxW(nullptr, Say16(Text::InternalError, {error.what()}).c_str(), L"karupack",
                  MB_OK | MB_ICONERROR);
  } catch (...) {
    ::MessageBoxW(nullptr, Say16(Text::InternalError, {"?"}).c_str(), L"karupack",
                  MB_OK | MB_ICONERROR);
  }
  return 1;
}

}  // namespace turv::authoring
