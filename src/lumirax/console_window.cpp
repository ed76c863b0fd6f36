// Win32 half of the player: the presenter's console. The show owns it and
// takes its keys; its pictures come from the show's worker at its own sizes.
#include "lumirax/console_window.h"

#include <algorithm>

#include "lumirax/player_texts.h"
#include "lumirax/player_window.h"
#include "lumirax/show_window.h"
#include "lumirax/win32_files.h"
#include "lumirax/window_names.h"

namespace turv::player {

namespace {

constexpr COLORREF kGround = RGB(24, 24, 28);
constexpr COLORREF kInk = RGB(235, 235, 235);
constexpr COLORREF kMarkColour = RGB(255, 190, 0);
constexpr UINT_PTR kTickTimer = 1;

void SetText(HWND control, const std::u16string& text) {
  const std::wstring wide = Wide(text);
  // Unchanged texts are not set again: no flicker, no screen reader chatter.
  std::wstring now(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  now.resize(static_cast<std::size_t>(
      ::GetWindowTextW(control, now.data(), static_cast<int>(now.size()))));
  if (now != wide) ::SetWindowTextW(control, wide.c_str());
}

// Notes as an edit control wants its lines: CR LF.
std::u16string EditLines(const std::u16string& text) {
  std::u16string lines;
  for (const char16_t c : text) {
    if (c == u'\n') lines += u'\r';
    if (c != u'\r') lines += c;
  }
  return lines;
}

void StretchPixels(HDC dc, const Pixels& pixels, RECT box) {
  if (pixels.data.empty()) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = pixels.width;
  info.bmiHeader.biHeight = -pixels.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const Box fitted = FitInto(pixels.width, pixels.height,
                             {box.left, box.top, box.right - box.left, box.bottom - box.top});
  ::SetStretchBltMode(dc, HALFTONE);
  ::StretchDIBits(dc, fitted.left, fitted.top, fitted.width, fitted.height, 0, 0, pixels.width,
                  pixels.height, pixels.data.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace

Grid Grid::Over(Size area, std::size_t count) {
  Grid grid;
  grid.columns = count <= 4 ? 2 : count <= 9 ? 3 : count <= 16 ? 4 : count <= 25 ? 5 : 6;
  grid.rows = grid.columns;
  grid.cell = {std::max(1, area.width / grid.columns), std::max(1, area.height / grid.rows)};
  return grid;
}

std::pair<std::size_t, std::size_t> OverviewPage(const Show& show, const Grid& grid) {
  const std::size_t page = static_cast<std::size_t>(grid.columns) * grid.rows;
  const std::size_t first = show.Mark() / page * page;
  return {first, std::min(page, show.Count() - first)};
}

void DrawOverview(HDC dc, RECT area, const Show& show, const Grid& grid,
                  const std::vector<const Slide*>& pictures,
                  const std::vector<std::u16string>& labels) {
  const int width = (area.right - area.left) / grid.columns;
  const int height = (area.bottom - area.top) / grid.rows;
  const int pad = std::max(3, height / 20);
  const win32::GdiObject font = ShowFont(std::max(10, height / 9), FW_NORMAL);
  const win32::GdiObject frame(::CreatePen(PS_SOLID, pad, kMarkColour));
  const HGDIOBJ oldFont = ::SelectObject(dc, font.Get());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, kInk);
  const auto [first, count] = OverviewPage(show, grid);
  for (std::size_t i = 0; i < count; ++i) {
    const int column = static_cast<int>(i) % grid.columns, row = static_cast<int>(i) / grid.columns;
    const RECT cell{area.left + column * width, area.top + row * height,
                    area.left + (column + 1) * width, area.top + (row + 1) * height};
    RECT box{cell.left + pad * 2, cell.top + pad * 2, cell.right - pad * 2, cell.bottom - pad * 2};
    const Slide* slide = i < pictures.size() ? pictures[i] : nullptr;
    if (slide != nullptr && slide->problem.empty()) {
      StretchPixels(dc, slide->pixels, box);
    } else {
      const HBRUSH tile = ::CreateSolidBrush(RGB(60, 60, 66));
      ::FillRect(dc, &box, tile);
      ::DeleteObject(tile);
      if (i < labels.size()) {
        const std::wstring label = Wide(labels[i]);
        RECT text = box;
        ::InflateRect(&text, -pad, -pad);
        ::DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text,
                    DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
      }
    }
    const std::wstring number = Wide(FromCp1252(std::to_string(first + i + 1)));
    RECT corner{box.left + pad, box.bottom - height / 6, box.right, box.bottom};
    ::DrawTextW(dc, number.c_str(), static_cast<int>(number.size()), &corner,
                DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    if (first + i == show.Mark()) {
      const HGDIOBJ oldPen = ::SelectObject(dc, frame.Get());
      const HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
      ::Rectangle(dc, cell.left + pad, cell.top + pad, cell.right - pad, cell.bottom - pad);
      ::SelectObject(dc, oldBrush);
      ::SelectObject(dc, oldPen);
    }
  }
  ::SelectObject(dc, oldFont);
}

ConsoleWindow::ConsoleWindow(HINSTANCE instance, HWND owner, ConsoleHost& host,
                             const Presentation& presentation, std::vector<std::size_t> entries,
                             const std::vector<std::u16string>& notes, RECT area)
    : host_(host),
      presentation_(presentation),
      entries_(std::move(entries)),
      notes_(notes),
      watch_(::GetTickCount64()) {
  const std::wstring className = Wide(FromCp1252(kConsoleClass));
  background_ = win32::GdiObject(::CreateSolidBrush(kGround));
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = win32::OwnerProcedure<ConsoleWindow>::Procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.lpszClassName = className.c_str();
  ::RegisterClassExW(&windowClass);  // a second console finds it registered

  ::CreateWindowExW(WS_EX_CONTROLPARENT, className.c_str(), Wide(text::kConsoleTitle).c_str(),
                    WS_POPUP | WS_CLIPCHILDREN, area.left, area.top, area.right - area.left,
                    area.bottom - area.top, owner, nullptr, instance, this);
  if (window_ == nullptr) {
    throw PlayerError(std::u16string(text::kNoWindow) + SystemMessage(::GetLastError()) + u".");
  }
  // Static texts are read by screen readers; none takes the focus from
  // the console, so that every key reaches the show.
  slide_ = Add(L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_CENTERIMAGE, kConsoleSlideId);
  elapsed_ = Add(L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_CENTERIMAGE, kConsoleElapsedId);
  clock_ = Add(L"STATIC", SS_RIGHT | SS_NOPREFIX | SS_CENTERIMAGE, kConsoleClockId);
  pause_ = Add(L"BUTTON", BS_PUSHBUTTON, kConsolePauseId);
  reset_ = Add(L"BUTTON", BS_PUSHBUTTON, kConsoleResetId);
  next_ = Add(L"STATIC", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, kConsoleNextId);
  notesBox_ =
      Add(L"EDIT", WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, kConsoleNotesId);
  ::SendMessageW(notesBox_, EM_SETLIMITTEXT, 0, 0);
  ::SetWindowTextW(reset_, Wide(text::kConsoleReset).c_str());
  Place(area);
  ::SetTimer(window_, kTickTimer, 250, nullptr);
  ::ShowWindow(window_, SW_SHOW);
}

ConsoleWindow::~ConsoleWindow() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

void ConsoleWindow::Report(HWND window, const std::exception_ptr& error) noexcept {
  ReportError(window, error);
}

HWND ConsoleWindow::Add(const wchar_t* type, DWORD style, int id) {
  HWND control = ::CreateWindowExW(0, type, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr) {
    throw PlayerError(std::u16string(text::kNoWindow) + SystemMessage(::GetLastError()) + u".");
  }
  return control;
}

void ConsoleWindow::Place(RECT area) {
  ::MoveWindow(window_, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  Layout();
}

void ConsoleWindow::SetNotesFont() {
  notesFont_ = ShowFont(notesHeight_, FW_NORMAL);
  ::SendMessageW(notesBox_, WM_SETFONT, reinterpret_cast<WPARAM>(notesFont_.Get()), TRUE);
}

void ConsoleWindow::Layout() {
  RECT client;
  ::GetClientRect(window_, &client);
  const int width = client.right, height = client.bottom;
  const int margin = std::max(6, height / 60);
  const int bar = std::max(28, height / 14);
  textFont_ = ShowFont(std::clamp(bar / 3, 12, width / 64 + 1), FW_NORMAL);
  bigFont_ = ShowFont(std::clamp(bar * 2 / 5, 14, width / 56 + 1), FW_SEMIBOLD);
  if (notesHeight_ == 0) notesHeight_ = std::max(14, height / 32);
  for (HWND control : {slide_, elapsed_, clock_}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(bigFont_.Get()), FALSE);
  }
  for (HWND control : {pause_, reset_, next_}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.Get()), FALSE);
  }
  SetNotesFont();

  // The bar: the slide, the time and its buttons, the clock.
  const int inner = width - 2 * margin;
  const int columns[] = {inner * 28 / 100, inner * 24 / 100, inner * 14 / 100, inner * 16 / 100};
  int x = margin;
  ::MoveWindow(slide_, x, margin, columns[0], bar, TRUE);
  ::MoveWindow(elapsed_, x += columns[0], margin, columns[1], bar, TRUE);
  ::MoveWindow(pause_, x += columns[1], margin + bar / 6, columns[2] - margin, bar * 2 / 3, TRUE);
  ::MoveWindow(reset_, x += columns[2], margin + bar / 6, columns[3] - margin, bar * 2 / 3, TRUE);
  x += columns[3];
  ::MoveWindow(clock_, x, margin, width - margin - x, bar, TRUE);
  const int top = 2 * margin + bar;
  const int split = margin + (width - 2 * margin) * 3 / 5;
  currentArea_ = {margin, top, split, height - margin};
  const int nextWidth = width - margin - (split + margin);
  nextArea_ = {split + margin, top, width - margin, top + nextWidth * 9 / 16};
  const int caption = bar;
  ::MoveWindow(next_, nextArea_.left, nextArea_.bottom + margin / 2, nextWidth, caption, TRUE);
  const int notesTop = nextArea_.bottom + margin + caption;
  ::MoveWindow(notesBox_, nextArea_.left, notesTop, nextWidth,
               std::max(0, height - margin - notesTop), TRUE);
  Tick();
  ::InvalidateRect(window_, nullptr, TRUE);
}

void ConsoleWindow::Update(const Show& show) {
  show_ = &show;
  const std::size_t current = show.Current();
  const auto& entries = presentation_.Entries();
  following_ = show.Following();
  if (viewed_ != current) {
    viewed_ = current;
    currentView_ = PrepareView(presentation_, entries_[current]);
    nextView_ = following_ ? PrepareView(presentation_, entries_[*following_]) : View{};
  }
  // Slides count as the show shows them: entries that are none are left out.
  std::u16string slide =
      std::u16string(text::kConsoleSlide) + FromCp1252(std::to_string(current + 1)) +
      std::u16string(text::kConsoleOf) + FromCp1252(std::to_string(show.Count()));
  if (show.InOverview()) {
    slide += text::kConsoleOverview;
  } else if (show.Shown() == Show::Screen::Black) {
    slide += text::kConsoleBlack;
  } else if (show.Shown() == Show::Screen::White) {
    slide += text::kConsoleWhite;
  }
  SetText(slide_, slide);
  SetText(next_, following_
                     ? std::u16string(text::kConsoleNext) + ListText(entries[entries_[*following_]])
                     : std::u16string(text::kConsoleLast));
  const std::size_t entry = entries_[current];
  const std::u16string& notes =
      entry < notes_.size() && !notes_[entry].empty() ? notes_[entry] : ListText(entries[entry]);
  SetText(notesBox_, EditLines(notes));
  ::InvalidateRect(window_, nullptr, FALSE);
}

SlideRequest ConsoleWindow::Request(std::size_t index, const RECT& area) const {
  return {entries_[index], {area.right - area.left, area.bottom - area.top}, 0x18181C};
}

std::vector<SlideRequest> ConsoleWindow::Wanted(const Show& show) const {
  std::vector<SlideRequest> wanted;
  const std::vector<std::size_t> ahead = show.Wanted();
  const std::size_t current = show.Current();
  const auto following = show.Following();
  for (const std::size_t index : ahead) {
    if (index == current) wanted.push_back(Request(index, currentArea_));
    if (index == following && index != current) {
      wanted.push_back(Request(index, nextArea_));
      wanted.push_back(Request(index, currentArea_));  // the step shows it large at once
    }
  }
  return wanted;
}

bool ConsoleWindow::Arrived(const SlideRequest& request) {
  if (show_ == nullptr) return false;
  const std::size_t current = show_->Current();
  const bool shown = request == Request(current, currentArea_) ||
                     (following_ && request == Request(*following_, nextArea_));
  if (shown) ::InvalidateRect(window_, nullptr, FALSE);
  return shown;
}

void ConsoleWindow::Zoom(int steps) {
  RECT client;
  ::GetClientRect(window_, &client);
  notesHeight_ = std::clamp(notesHeight_ * (10 + steps) / 10 + steps, 10,
                            std::max(12, static_cast<int>(client.bottom) / 6));
  SetNotesFont();
}

void ConsoleWindow::ToggleTime() {
  watch_.Toggle(::GetTickCount64());
  Tick();
}

void ConsoleWindow::ResetTime() {
  watch_.Reset(::GetTickCount64());
  Tick();
}

void ConsoleWindow::Focus() {
  ::SetForegroundWindow(window_);
  ::SetFocus(window_);
}

void ConsoleWindow::Tick() {
  std::u16string elapsed =
      std::u16string(text::kConsoleElapsed) + MinutesSeconds(watch_.Elapsed(::GetTickCount64()));
  if (watch_.Paused()) elapsed += text::kConsolePaused;
  SetText(elapsed_, elapsed);
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  const auto two = [](int n) {
    return std::u16string{static_cast<char16_t>(u'0' + n / 10),
                          static_cast<char16_t>(u'0' + n % 10)};
  };
  SetText(clock_, std::u16string(text::kConsoleClock) + two(now.wHour) + u":" + two(now.wMinute));
  SetText(pause_, std::u16string(watch_.Paused() ? text::kConsoleGoOn : text::kConsolePause));
}

LRESULT ConsoleWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kTickTimer) Tick();
      return 0;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_KEYDOWN:
      if (host_.ConsoleKey(wParam)) return 0;
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == kConsolePauseId) ToggleTime();
      if (LOWORD(wParam) == kConsoleResetId) ResetTime();
      ::SetFocus(window_);  // the keys go on reaching the show
      return 0;
    case WM_DISPLAYCHANGE:
      host_.ScreensChanged();
      return 0;
    case WM_CLOSE:
      host_.ConsoleClosing();
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, kInk);
      ::SetBkColor(dc, kGround);
      return reinterpret_cast<LRESULT>(background_.Get());
    }
    case WM_LBUTTONDOWN:
      ::SetFocus(window_);  // a stray click steps nothing
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

void ConsoleWindow::PaintSlide(HDC dc, std::size_t index, const RECT& area, const View& view) {
  if (view.kind == Kind::Picture) {
    const Slide* slide = host_.Decoded(Request(index, area));
    if (slide == nullptr) return;  // on its way
    if (slide->problem.empty()) {
      StretchPixels(dc, slide->pixels, area);
      return;
    }
  }
  // Text on a black page of the slide's proportions.
  const int width = area.right - area.left, height = area.bottom - area.top;
  const int pageHeight = std::min(height, width * 9 / 16);
  const RECT page{area.left, area.top + (height - pageHeight) / 2, area.right,
                  area.top + (height + pageHeight) / 2};
  ::FillRect(dc, &page, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  const std::wstring text = Wide(
      view.kind == Kind::Text ? view.text : ListText(presentation_.Entries()[entries_[index]]));
  RECT inner = page;
  ::InflateRect(&inner, -width / 16, -pageHeight / 12);
  const win32::GdiObject font = ShowFont(std::max(10, pageHeight / 18), FW_NORMAL);
  const HGDIOBJ old = ::SelectObject(dc, font.Get());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, kInk);
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inner,
              DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS | DT_END_ELLIPSIS);
  ::SelectObject(dc, old);
}

void ConsoleWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window_, &paint);
  RECT client;
  ::GetClientRect(window_, &client);
  ::FillRect(dc, &client, static_cast<HBRUSH>(background_.Get()));
  if (show_ != nullptr) {
    const std::size_t current = show_->Current();
    if (show_->InOverview()) {
      host_.PaintOverview(dc, currentArea_);
    } else {
      PaintSlide(dc, current, currentArea_, currentView_);
    }
    if (following_) PaintSlide(dc, *following_, nextArea_, nextView_);
  }
  ::EndPaint(window_, &paint);
}

}  // namespace turv::player
