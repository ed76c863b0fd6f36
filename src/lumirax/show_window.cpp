// Win32 half of the player: the show's window. The slides, their order and
// what to decode ahead are the portable Show's; this draws and takes keys.
#include "lumirax/show_window.h"

#include <algorithm>

#include "lumirax/player_texts.h"
#include "lumirax/player_window.h"
#include "lumirax/win32_files.h"
#include "lumirax/window_names.h"

namespace turv::player {

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(170, 170, 170);

win32::GdiObject Font(int height, int weight) {
  LOGFONTW font{};
  font.lfHeight = -height;
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  wcscpy(font.lfFaceName, L"Segoe UI");
  return win32::GdiObject(::CreateFontIndirectW(&font));
}

// Text in a rectangle, word-wrapped; the height it took.
int DrawTextIn(HDC dc, const std::u16string& text, const win32::GdiObject& font, COLORREF colour,
               RECT area, UINT format) {
  const HGDIOBJ old = ::SelectObject(dc, font.Get());
  ::SetTextColor(dc, colour);
  const std::wstring wide = Wide(text);
  const int height = ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &area,
                                 format | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  ::SelectObject(dc, old);
  return height;
}

}  // namespace

void DrawPixels(HDC dc, const Pixels& pixels, int left, int top) {
  if (pixels.data.empty()) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = pixels.width;
  info.bmiHeader.biHeight = -pixels.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  ::SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(pixels.width),
                      static_cast<DWORD>(pixels.height), 0, 0, 0, static_cast<UINT>(pixels.height),
                      pixels.data.data(), &info, DIB_RGB_COLORS);
}

ShowWindow::ShowWindow(HINSTANCE instance, HWND owner, UINT endMessage, ShowHost& host,
                       const Presentation& presentation, std::vector<bool> pictures,
                       std::size_t start)
    : owner_(owner),
      endMessage_(endMessage),
      host_(host),
      presentation_(presentation),
      show_(std::move(pictures), start) {
  const std::wstring className = Wide(FromCp1252(kShowClass));
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = win32::OwnerProcedure<ShowWindow>::Procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = className.c_str();
  ::RegisterClassExW(&windowClass);  // a second show finds it registered

  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
    monitor.rcMonitor = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  const RECT& screen = monitor.rcMonitor;
  size_ = {screen.right - screen.left, screen.bottom - screen.top};
  captionFont_ = Font(std::max(20, size_.height / 12), FW_SEMIBOLD);
  hintFont_ = Font(std::max(12, size_.height / 36), FW_NORMAL);

  view_ = PrepareView(presentation_, show_.Current());
  FitText();
  ::CreateWindowExW(0, className.c_str(), L"", WS_POPUP | WS_CLIPCHILDREN, screen.left, screen.top,
                    size_.width, size_.height, owner, nullptr, instance, this);
  if (window_ == nullptr) {
    throw PlayerError(std::u16string(text::kNoWindow) + SystemMessage(::GetLastError()) + u".");
  }
  ::ShowWindow(window_, SW_SHOW);
  ::SetForegroundWindow(window_);
  ::SetFocus(window_);
}

ShowWindow::~ShowWindow() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

void ShowWindow::Report(HWND window, const std::exception_ptr& error) noexcept {
  ReportError(window, error);
}

LRESULT ShowWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      switch (wParam) {
        case VK_RETURN:
          if (Opens()) {
            host_.OpenEntry(show_.Current());
            return 0;
          }
          [[fallthrough]];
        case VK_RIGHT:
        case VK_DOWN:
        case VK_NEXT:
        case VK_SPACE:
          Go(Show::Step::Next);
          return 0;
        case VK_LEFT:
        case VK_UP:
        case VK_PRIOR:
        case VK_BACK:
          Go(Show::Step::Previous);
          return 0;
        case VK_HOME:
          Go(Show::Step::First);
          return 0;
        case VK_END:
          Go(Show::Step::Last);
          return 0;
        case VK_ESCAPE:
          End();
          return 0;
        default:
          break;
      }
      break;
    case WM_LBUTTONDOWN:
      Go(Show::Step::Next);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers everything
    case WM_PAINT:
      Paint();
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

SlideRequest ShowWindow::Request(std::size_t index) const {
  return {index, size_, 0x000000};
}

std::vector<SlideRequest> ShowWindow::Wanted() const {
  std::vector<SlideRequest> wanted;
  for (const std::size_t index : show_.Wanted()) wanted.push_back(Request(index));
  return wanted;
}

bool ShowWindow::Arrived(const SlideRequest& request) {
  if (request != Request(show_.Current())) return false;
  if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
  return true;
}

void ShowWindow::Go(Show::Step step) {
  if (ended_) return;
  if (!show_.Go(step)) {
    End();
    return;
  }
  Moved();
}

RECT ShowWindow::TextArea() const {
  const int margin = size_.width / 12;
  return {margin, size_.height / 10, size_.width - margin, size_.height - size_.height / 10};
}

// A presentation's type: large enough to read from the back of a room, a
// twentieth of the screen's height, made smaller until the slide's text fits.
void ShowWindow::FitText() {
  if (view_.kind != Kind::Text) return;
  const std::wstring wide = Wide(view_.text);
  const RECT area = TextArea();
  HDC dc = ::GetDC(nullptr);
  for (int height = std::max(16, size_.height / 20);; height = height * 19 / 20) {
    textFont_ = Font(height, FW_NORMAL);
    const HGDIOBJ old = ::SelectObject(dc, textFont_.Get());
    RECT needed = area;
    ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &needed,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    ::SelectObject(dc, old);
    if (needed.bottom <= area.bottom || height <= std::max(10, size_.height / 60)) break;
  }
  ::ReleaseDC(nullptr, dc);
}

void ShowWindow::Moved() {
  view_ = PrepareView(presentation_, show_.Current());
  FitText();
  host_.ShowMoved();
  ::InvalidateRect(window_, nullptr, FALSE);
}

void ShowWindow::End() {
  if (ended_) return;
  ended_ = true;
  ::PostMessageW(owner_, endMessage_, show_.Current(), 0);
}

bool ShowWindow::Opens() const {
  if (view_.kind == Kind::Other) return true;
  if (view_.kind != Kind::Picture) return false;
  const Slide* slide = host_.Decoded(Request(show_.Current()));
  return slide != nullptr && !slide->problem.empty();
}

void ShowWindow::Paint() {
  PAINTSTRUCT paint;
  HDC target = ::BeginPaint(window_, &paint);
  // Drawn off screen first, so that a step never shows a half-drawn slide.
  HDC dc = ::CreateCompatibleDC(target);
  const win32::GdiObject canvas(::CreateCompatibleBitmap(target, size_.width, size_.height));
  const HGDIOBJ oldCanvas = ::SelectObject(dc, canvas.Get());
  const RECT all{0, 0, size_.width, size_.height};
  ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  ::SetBkMode(dc, TRANSPARENT);

  const int margin = size_.width / 12;
  const RECT inner{margin, size_.height / 10, size_.width - margin,
                   size_.height - size_.height / 10};
  const format::Entry& entry = presentation_.Entries()[show_.Current()];
  const std::u16string caption = ListText(entry);
  std::u16string problem;
  if (view_.kind == Kind::Picture) {
    if (const Slide* slide = host_.Decoded(Request(show_.Current()))) {
      if (slide->problem.empty()) {
        DrawPixels(dc, slide->pixels, (size_.width - slide->pixels.width) / 2,
                   (size_.height - slide->pixels.height) / 2);
      } else {
        problem = slide->problem;
      }
    }
  } else if (view_.kind == Kind::Text) {
    DrawTextIn(dc, view_.text, textFont_, kWhite, inner, DT_LEFT);
  }
  // Entries the show cannot set, and pictures that cannot be shown: the
  // caption, why, and that Enter opens them.
  if (view_.kind == Kind::Other || !problem.empty()) {
    RECT at = inner;
    at.top = size_.height / 3;
    at.top += DrawTextIn(dc, caption, captionFont_, kWhite, at, DT_CENTER);
    at.top += size_.height / 30;
    if (!problem.empty()) at.top += DrawTextIn(dc, problem, hintFont_, kGrey, at, DT_CENTER);
    DrawTextIn(dc, std::u16string(text::kShowOpenHint), hintFont_, kGrey, at, DT_CENTER);
  }
  ::BitBlt(target, 0, 0, size_.width, size_.height, dc, 0, 0, SRCCOPY);
  ::SelectObject(dc, oldCanvas);
  ::DeleteDC(dc);
  ::EndPaint(window_, &paint);
}

}  // namespace turv::player
