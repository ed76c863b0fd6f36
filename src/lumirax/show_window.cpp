// Win32 half of the player: the show's window. The slides, their order and
// what to decode ahead are the portable Show's, their times, fades and the
// kiosk's rules the ShowClock's and ShowPlan's; this draws, plays, keeps
// the timers and takes keys.
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

// The show's timers: the current slide's time, the frames of a fade, the
// pointer's hiding.
constexpr UINT_PTR kStepTimer = 1;
constexpr UINT_PTR kFadeTimer = 2;
constexpr UINT_PTR kPointerTimer = 3;
constexpr UINT_PTR kSoundTimer = 4;  // the narration's position, while it holds the slide
constexpr UINT kSoundPollMs = 250;
constexpr UINT kFrameMs = 15;
// A timer may come a tick of the system clock early.
constexpr std::uint64_t kEarlyMs = 16;

std::uint64_t Now() {
  return ::GetTickCount64();
}

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

namespace {

// Per slide, whether the decoder prepares it.
std::vector<bool> SlidePictures(const ShowPlan& plan, const std::vector<bool>& pictures) {
  std::vector<bool> decoded;
  for (const TimedSlide& slide : plan.slides) decoded.push_back(pictures[slide.entry]);
  return decoded;
}

}  // namespace

ShowWindow::ShowWindow(HINSTANCE instance, HWND owner, UINT endMessage, ShowHost& host,
                       const Presentation& presentation, const ShowPlan& plan,
                       const std::vector<bool>& pictures, std::size_t start)
    : owner_(owner),
      endMessage_(endMessage),
      host_(host),
      presentation_(presentation),
      plan_(plan),
      show_(SlidePictures(plan, pictures), start, plan.loop) {
  const std::wstring className = Wide(FromCp1252(kShowClass));
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = Procedure;
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

  view_ = PrepareView(presentation_, Current().entry);
  FitText();
  ::CreateWindowExW(0, className.c_str(), L"", WS_POPUP | WS_CLIPCHILDREN, screen.left, screen.top,
                    size_.width, size_.height, owner, nullptr, instance, this);
  if (window_ == nullptr) {
    throw PlayerError(std::u16string(text::kNoWindow) + SystemMessage(::GetLastError()) + u".");
  }
  ::ShowWindow(window_, SW_SHOW);
  ::SetForegroundWindow(window_);
  ::SetFocus(window_);
  clock_.PointerMoved(Now());
  ::SetTimer(window_, kPointerTimer, kPointerIdleMs, nullptr);
  if (SoundDesk* sounds = host_.Sounds(); sounds != nullptr && plan_.music) {
    sounds->Play(SoundDesk::Channel::Music, *plan_.music, plan_.musicVolume, true);
  }
  Entered();
}

ShowWindow::~ShowWindow() {
  if (SoundDesk* sounds = host_.Sounds()) {
    sounds->Stop(SoundDesk::Channel::Narration);
    sounds->Stop(SoundDesk::Channel::Music);
  }
  if (window_ != nullptr) ::DestroyWindow(window_);
}

LRESULT CALLBACK ShowWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<ShowWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<ShowWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  try {
    return self->Handle(message, wParam, lParam);
  } catch (...) {
    ReportError(window, std::current_exception());
    return 0;
  }
}

LRESULT ShowWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      switch (wParam) {
        case VK_RETURN:
          if (Opens()) {
            Take(EffectOf(Gesture::Open, plan_.kiosk));
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
          Take(EffectOf(Gesture::Escape, plan_.kiosk));
          return 0;
        default:
          break;
      }
      break;
    case WM_LBUTTONDOWN:
      Take(EffectOf(Gesture::Click, plan_.kiosk));
      return 0;
    case WM_CLOSE:  // Alt+F4
      Take(EffectOf(Gesture::Close, plan_.kiosk));
      return 0;
    case WM_TIMER:
      Timer(wParam);
      return 0;
    case WM_MOUSEMOVE:
      PointerMoved(lParam);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && clock_.PointerHidden(Now())) {
        ::SetCursor(nullptr);
        return TRUE;
      }
      break;
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

SlideRequest ShowWindow::Request(std::size_t slide) const {
  return {plan_.slides[slide].entry, size_, 0x000000};
}

std::vector<SlideRequest> ShowWindow::Wanted() const {
  std::vector<SlideRequest> wanted;
  for (const std::size_t index : show_.Wanted()) wanted.push_back(Request(index));
  return wanted;
}

bool ShowWindow::Arrived(const SlideRequest& request) {
  if (request != Request(show_.Current())) return false;
  composed_ = false;
  if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
  return true;
}

void ShowWindow::Go(Show::Step step) {
  if (ended_) return;
  const std::size_t before = show_.Current();
  if (!show_.Go(step)) {
    Take(EffectOf(Gesture::StepPastEnd, plan_.kiosk));
    return;
  }
  if (show_.Current() == before && plan_.slides.size() > 1) return;
  // The frame on screen is where a fade comes from.
  fading_ = clock_.StartFade(Now(), plan_.fadeMilliseconds) && canvas_.bitmap && composed_;
  if (fading_) {
    std::swap(previous_, canvas_);
    ::SetTimer(window_, kFadeTimer, kFrameMs, nullptr);
  } else {
    ::KillTimer(window_, kFadeTimer);
  }
  Moved();
  Entered();
}

void ShowWindow::Take(Effect effect) {
  switch (effect) {
    case Effect::Nothing:
      break;
    case Effect::Next:
      Go(Show::Step::Next);
      break;
    case Effect::Open:
      host_.OpenEntry(Current().entry);
      break;
    case Effect::EndShow:
      End();
      break;
    case Effect::EndPlayer:
      ::PostMessageW(owner_, WM_CLOSE, 0, 0);
      break;
  }
}

// The slide is on screen: its narration starts (the one before stops), its
// count starts, and the window's title names it for screen readers.
void ShowWindow::Entered() {
  const TimedSlide& slide = Current();
  bool sounding = false;
  if (SoundDesk* sounds = host_.Sounds()) {
    sounds->Stop(SoundDesk::Channel::Narration);
    if (slide.sound) {
      sounding = sounds->Play(SoundDesk::Channel::Narration, *slide.sound, slide.volume, false);
    }
  }
  clock_.Entered(Now(), slide.milliseconds, sounding);
  if (sounding) {
    ::SetTimer(window_, kSoundTimer, kSoundPollMs, nullptr);
  } else {
    ::KillTimer(window_, kSoundTimer);
  }
  ::SetWindowTextW(window_, Wide(ListText(presentation_.Entries()[slide.entry])).c_str());
  Arm();
}

void ShowWindow::Arm() {
  ::KillTimer(window_, kStepTimer);
  const auto due = clock_.Due();
  if (!due || ended_) return;
  const std::uint64_t now = Now();
  const std::uint64_t wait = *due > now ? *due - now : 0;
  ::SetTimer(window_, kStepTimer, static_cast<UINT>(std::min<std::uint64_t>(wait, 0x7FFF'FFFF)),
             nullptr);
}

void ShowWindow::SoundEnded(SoundDesk::Channel channel) {
  if (channel != SoundDesk::Channel::Narration) return;
  // The end of a sound left behind arrives after the next one started:
  // the channel still plays then.
  if (SoundDesk* sounds = host_.Sounds(); sounds != nullptr && sounds->Where(channel)) return;
  clock_.SoundEnded(Now());
  Arm();
}

// Not every system tells when a sound has ended (or ever starts it): the
// narration's position, asked now and then, tells as well.
void ShowWindow::PollSound() {
  SoundDesk* sounds = host_.Sounds();
  const auto where =
      sounds != nullptr ? sounds->Where(SoundDesk::Channel::Narration) : std::nullopt;
  if (!where) {
    clock_.SoundEnded(Now());
  } else if (!where->paused) {
    clock_.SoundAt(Now(), where->played, where->length);
  }
  if (!clock_.Sounding()) {
    ::KillTimer(window_, kSoundTimer);
    Arm();
  }
}

void ShowWindow::Timer(UINT_PTR id) {
  const std::uint64_t now = Now();
  switch (id) {
    case kStepTimer:
      if (const auto due = clock_.Due(); due && *due <= now + kEarlyMs) {
        ::KillTimer(window_, kStepTimer);
        Go(Show::Step::Next);
      } else {
        Arm();
      }
      break;
    case kFadeTimer:
      ::InvalidateRect(window_, nullptr, FALSE);
      break;
    case kSoundTimer:
      PollSound();
      break;
    case kPointerTimer:
      ::KillTimer(window_, kPointerTimer);
      if (clock_.PointerHidden(now)) ::SetCursor(nullptr);
      break;
    default:
      break;
  }
}

// Windows also reports a pointer that did not move (when a window appears
// under it): only a new place counts.
void ShowWindow::PointerMoved(LPARAM position) {
  if (position == pointer_) return;
  pointer_ = position;
  const std::uint64_t now = Now();
  const bool hidden = clock_.PointerHidden(now);
  clock_.PointerMoved(now);
  if (hidden) ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
  ::SetTimer(window_, kPointerTimer, kPointerIdleMs, nullptr);
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
  view_ = PrepareView(presentation_, Current().entry);
  FitText();
  composed_ = false;
  host_.ShowMoved();
  ::InvalidateRect(window_, nullptr, FALSE);
}

void ShowWindow::End() {
  if (ended_) return;
  ended_ = true;
  ::KillTimer(window_, kStepTimer);
  ::PostMessageW(owner_, endMessage_, Current().entry, 0);
}

bool ShowWindow::Opens() const {
  if (Current().sound == Current().entry) return false;  // an audio slide plays itself
  if (view_.kind == Kind::Other) return true;
  if (view_.kind != Kind::Picture) return false;
  const Slide* slide = host_.Decoded(Request(show_.Current()));
  return slide != nullptr && !slide->problem.empty();
}

void ShowWindow::Paint() {
  PAINTSTRUCT paint;
  HDC target = ::BeginPaint(window_, &paint);
  // Drawn off screen first, so that a step never shows a half-drawn slide,
  // and once per slide: a fade's frames only mix the two.
  if (!canvas_.bitmap) {
    canvas_ = MakeFrame(target);
    composed_ = false;
  }
  if (!canvas_.bitmap) {  // no memory for it: black, until there is
    ::FillRect(target, &paint.rcPaint, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::EndPaint(window_, &paint);
    return;
  }
  HDC dc = ::CreateCompatibleDC(target);
  const HGDIOBJ oldCanvas = ::SelectObject(dc, canvas_.bitmap.Get());
  if (!composed_) {
    Compose(dc);
    ::GdiFlush();  // before the pixels are read
    composed_ = true;
  }
  const std::uint64_t now = Now();
  const bool frame = fading_ && clock_.FadeFrame(now);
  const int level = clock_.FadeLevel(now);
  if (frame && !mix_.bitmap) mix_ = MakeFrame(target);
  if (frame && mix_.bitmap) {
    const auto count =
        static_cast<std::size_t>(size_.width) * static_cast<std::size_t>(size_.height);
    ShowClock::Blend({previous_.bits, count}, {canvas_.bits, count}, {mix_.bits, count}, level);
    ::SelectObject(dc, mix_.bitmap.Get());
  } else if (fading_) {
    fading_ = false;
    ::KillTimer(window_, kFadeTimer);
  }
  ::BitBlt(target, 0, 0, size_.width, size_.height, dc, 0, 0, SRCCOPY);
  ::SelectObject(dc, oldCanvas);
  ::DeleteDC(dc);
  ::EndPaint(window_, &paint);
}

ShowWindow::Frame ShowWindow::MakeFrame(HDC dc) const {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size_.width;
  info.bmiHeader.biHeight = -size_.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Frame frame;
  frame.bitmap = win32::GdiObject(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (frame.bitmap) frame.bits = static_cast<std::uint32_t*>(bits);
  return frame;
}

void ShowWindow::Compose(HDC dc) {
  const RECT all{0, 0, size_.width, size_.height};
  ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  ::SetBkMode(dc, TRANSPARENT);

  const int margin = size_.width / 12;
  const RECT inner{margin, size_.height / 10, size_.width - margin,
                   size_.height - size_.height / 10};
  const format::Entry& entry = presentation_.Entries()[Current().entry];
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
  // caption, why, and that Enter opens them (an audio slide's caption stands
  // alone while it plays; the kiosk opens nothing).
  if (view_.kind == Kind::Other || !problem.empty() || Current().sound == Current().entry) {
    RECT at = inner;
    at.top = size_.height / 3;
    at.top += DrawTextIn(dc, caption, captionFont_, kWhite, at, DT_CENTER);
    at.top += size_.height / 30;
    if (!problem.empty()) at.top += DrawTextIn(dc, problem, hintFont_, kGrey, at, DT_CENTER);
    if (Opens() && EffectOf(Gesture::Open, plan_.kiosk) == Effect::Open) {
      DrawTextIn(dc, std::u16string(text::kShowOpenHint), hintFont_, kGrey, at, DT_CENTER);
    }
  }
}

}  // namespace turv::player
