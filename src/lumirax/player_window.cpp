#include "lumirax/player_window.h"

#include <shellapi.h>

#include <algorithm>
#include <new>

#include "lumirax/win32_files.h"
#include "lumirax/window_names.h"

namespace turv::player {

namespace {

constexpr wchar_t kTitle[] = L"lumirax";

std::wstring ClassName() {
  return Wide(FromCp1252(kWindowClass));
}

HWND Control(HWND parent, const wchar_t* type, DWORD style, int id) {
  HWND control = ::CreateWindowExW(0, type, L"", WS_CHILD | style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr) {
    throw PlayerError(FromCp1252("Das Fenster kann nicht angelegt werden: ") +
                      SystemMessage(::GetLastError()) + u".");
  }
  return control;
}

win32::GdiObject MessageFont(int percent) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW font = metrics.lfMessageFont;
  if (font.lfHeight == 0) font.lfHeight = -12;
  font.lfHeight = ::MulDiv(font.lfHeight, percent, 100);
  return win32::GdiObject(::CreateFontIndirectW(&font));
}

void SetFont(HWND control, const win32::GdiObject& font) {
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
}

// Initialises COM for the shell's handlers, as long as the player runs.
class ComScope {
 public:
  ComScope()
      : ok_(SUCCEEDED(
            ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (ok_) ::CoUninitialize();
  }

 private:
  bool ok_;
};

}  // namespace

void ReportError(HWND owner, const std::exception_ptr& error) noexcept {
  try {
    std::u16string text;
    try {
      std::rethrow_exception(error);
    } catch (const PlayerError& e) {
      text = e.Message();
    } catch (const std::bad_alloc&) {
      text = FromCp1252("Zu wenig Arbeitsspeicher.");
    } catch (const std::exception& e) {
      text = FromCp1252("Interner Fehler: ") + FromUtf8(e.what());
    }
    ::MessageBoxW(owner, Wide(text).c_str(), kTitle, MB_OK | MB_ICONERROR);
  } catch (...) {
    ::MessageBoxW(owner, L"Interner Fehler.", kTitle, MB_OK | MB_ICONERROR);
  }
}

PlayerWindow::PlayerWindow(HINSTANCE instance, const Presentation& presentation,
                           std::u16string workFolder, const std::u16string& statusLine)
    : presentation_(presentation), workFolder_(std::move(workFolder)) {
  const std::wstring className = ClassName();
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));      // IDI_APPLICATION
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className.c_str();
  ::RegisterClassExW(&windowClass);

  HDC screen = ::GetDC(nullptr);
  dpi_ = std::max(96, ::GetDeviceCaps(screen, LOGPIXELSX));
  ::ReleaseDC(nullptr, screen);

  // Without a window manager (a bare X server under Wine) maximising moves
  // nothing, so the window's normal place is the whole work area as well.
  RECT work{0, 0, 800, 600};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const std::wstring title = Wide(ListText(presentation_.Entries().front()));
  ::CreateWindowExW(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                    work.left, work.top, work.right - work.left, work.bottom - work.top, nullptr,
                    nullptr, instance, this);
  if (window_ == nullptr) {
    throw PlayerError(FromCp1252("Das Fenster kann nicht angelegt werden: ") +
                      SystemMessage(::GetLastError()) + u".");
  }
  try {
    CreateControls(statusLine);
  } catch (...) {
    // The window must not outlive this half-made object; no message loop
    // runs yet, so its end asks nobody to quit.
    ::DestroyWindow(window_);
    throw;
  }
}

PlayerWindow::~PlayerWindow() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

int PlayerWindow::Run() {
  const ComScope com;
  running_ = true;
  ::ShowWindow(window_, SW_SHOWMAXIMIZED);
  ::UpdateWindow(window_);
  ::SetFocus(list_);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The dialog manager gives Tab between the controls, and Enter as IDOK.
    if (window_ != nullptr && ::IsDialogMessageW(window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK PlayerWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<PlayerWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<PlayerWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  // No exception may unwind through the system's frames.
  try {
    return self->Handle(message, wParam, lParam);
  } catch (...) {
    ReportError(window, std::current_exception());
    return 0;
  }
}

LRESULT PlayerWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_SETFOCUS:
      ::SetFocus(list_);
      return 0;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CTLCOLORSTATIC:
      // The entry's side is a white page, the read-only text on it too.
      if (reinterpret_cast<HWND>(lParam) == text_ || reinterpret_cast<HWND>(lParam) == info_) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == kListId && code == LBN_SELCHANGE) {
        Select(static_cast<int>(::SendMessageW(list_, LB_GETCURSEL, 0, 0)));
      } else if ((id == kListId && code == LBN_DBLCLK) || id == IDOK) {
        OpenSelected();
      }
      return 0;
    }
    case WM_DESTROY:
      if (running_) ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

int PlayerWindow::Scaled(int pixels) const {
  return ::MulDiv(pixels, dpi_, 96);
}

void PlayerWindow::CreateControls(const std::u16string& statusLine) {
  listFont_ = MessageFont(125);
  textFont_ = MessageFont(150);
  statusFont_ = MessageFont(100);

  list_ = Control(window_, L"LISTBOX",
                  WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_NOTIFY |
                      LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
                  kListId);
  text_ = Control(window_, L"EDIT",
                  WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, kTextId);
  info_ = Control(window_, L"STATIC", SS_LEFT | SS_NOPREFIX, kInfoId);
  status_ = Control(window_, L"STATIC",
                    WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_CENTERIMAGE, kStatusId);
  SetFont(list_, listFont_);
  SetFont(text_, textFont_);
  SetFont(info_, textFont_);
  SetFont(status_, statusFont_);
  ::SendMessageW(text_, EM_SETLIMITTEXT, 0, 0);
  ::SetWindowTextW(status_, Wide(statusLine).c_str());

  HDC dc = ::GetDC(status_);
  HGDIOBJ old = ::SelectObject(dc, statusFont_.Get());
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  ::ReleaseDC(status_, dc);
  statusHeight_ = metrics.tmHeight + Scaled(10);

  // The captions in packed order: the list must not sort.
  for (const auto& entry : presentation_.Entries()) {
    ::SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(ListText(entry)).c_str()));
  }
  ::SendMessageW(list_, LB_SETCURSEL, 0, 0);
  Layout();
  Select(0);
}

void PlayerWindow::Layout() {
  RECT client;
  ::GetClientRect(window_, &client);
  const int margin = Scaled(8);
  const int width = client.right;
  const int height = client.bottom;
  const int listWidth = std::min(std::clamp(width * 28 / 100, Scaled(200), Scaled(480)), width / 2);
  const int bottom = std::max(margin, height - statusHeight_);

  ::MoveWindow(list_, margin, margin, listWidth, bottom - margin, TRUE);
  viewArea_ = {2 * margin + listWidth, margin, std::max(2 * margin + listWidth, width - margin),
               bottom};
  const int inset = Scaled(16);
  ::MoveWindow(text_, viewArea_.left, viewArea_.top, viewArea_.right - viewArea_.left,
               viewArea_.bottom - viewArea_.top, TRUE);
  ::MoveWindow(info_, viewArea_.left + inset, viewArea_.top + inset,
               std::max(0, static_cast<int>(viewArea_.right - viewArea_.left) - 2 * inset),
               std::max(0, static_cast<int>(viewArea_.bottom - viewArea_.top) - 2 * inset), TRUE);
  ::MoveWindow(status_, margin, bottom, std::max(0, width - 2 * margin), statusHeight_, TRUE);
  ::InvalidateRect(window_, nullptr, TRUE);
}

void PlayerWindow::Select(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= presentation_.Entries().size()) return;
  view_ = View{};
  ::SetWindowTextW(text_, L"");
  ::SetWindowTextW(info_, L"");
  ::ShowWindow(text_, SW_HIDE);
  ::ShowWindow(info_, SW_HIDE);
  ::InvalidateRect(window_, &viewArea_, TRUE);
  view_ = PrepareView(presentation_, static_cast<std::size_t>(index));
  if (view_.kind == Kind::Text) {
    ::SetWindowTextW(text_, Wide(view_.text).c_str());
    ::ShowWindow(text_, SW_SHOW);
  } else if (view_.kind == Kind::Other) {
    ::SetWindowTextW(info_, Wide(view_.text).c_str());
    ::ShowWindow(info_, SW_SHOW);
  }
}

void PlayerWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window_, &paint);
  ::FillRect(dc, &viewArea_, ::GetSysColorBrush(COLOR_WINDOW));
  if (view_.kind == Kind::Bitmap) {
    const int margin = Scaled(16);
    const Box area{viewArea_.left + margin, viewArea_.top + margin,
                   viewArea_.right - viewArea_.left - 2 * margin,
                   viewArea_.bottom - viewArea_.top - 2 * margin};
    const BmpLayout& bitmap = view_.bitmap;
    const Box box = FitInto(bitmap.width, bitmap.height, area);
    // Shrinking wants averaging; growing a small slide wants crisp pixels.
    ::SetStretchBltMode(dc, box.width < bitmap.width ? HALFTONE : COLORONCOLOR);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    ::StretchDIBits(dc, box.left, box.top, box.width, box.height, 0, 0, bitmap.width, bitmap.height,
                    view_.body.data() + bitmap.bitsOffset,
                    reinterpret_cast<const BITMAPINFO*>(bitmap.info.data()), DIB_RGB_COLORS,
                    SRCCOPY);
  }
  ::EndPaint(window_, &paint);
}

void PlayerWindow::OpenSelected() {
  const auto selected = ::SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (selected < 0 || static_cast<std::size_t>(selected) >= presentation_.Entries().size()) return;
  const auto index = static_cast<std::size_t>(selected);
  const format::Entry& entry = presentation_.Entries()[index];

  const std::u16string folder = JoinPath(workFolder_, kOpenedFolderName);
  if (!::CreateDirectoryW(Wide(folder).c_str(), nullptr) && !FolderExists(folder)) {
    throw PlayerError(FromCp1252("Der Ordner ") + folder +
                      FromCp1252(" kann nicht angelegt werden: ") +
                      SystemMessage(::GetLastError()) + u".");
  }
  const std::u16string path = OpenedPath(workFolder_, entry.name);
  WriteReplacing(path,
                 [&](const ByteSink& sink) { presentation_.CopyBody(index, 1u << 20, sink); });

  const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
      window_, nullptr, Wide(path).c_str(), nullptr, Wide(folder).c_str(), SW_SHOWNORMAL));
  if (result > 32) return;
  const std::u16string name = FromCp1252("\x84") + FromCp1252(entry.name) + FromCp1252("\x93");
  if (result == SE_ERR_NOASSOC || result == SE_ERR_ASSOCINCOMPLETE) {
    throw PlayerError(FromCp1252("Windows kennt kein Programm f\xFCr ") + name +
                      FromCp1252(". Die Datei liegt in ") + folder + u".");
  }
  throw PlayerError(name +
                    FromCp1252(" kann nicht ge\xF6"
                               "ffnet werden (Fehler ") +
                    FromCp1252(std::to_string(result)) + u").");
}

}  // namespace turv::player
