// Win32 half of the player: the show's window. The slides, their order and
// what to decode ahead are the portable Show's, their times, fades and the
// kiosk's rules the ShowClock's and ShowPlan's; this draws, plays, keeps
// the timers and takes keys.
#include "lumirax/show_window.h"

#include <algorithm>
#include <utility>

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

RECT RectOf(const Monitor& monitor) {
  return {monitor.left, monitor.top, monitor.right, monitor.bottom};
}

BOOL CALLBACK AddMonitor(HMONITOR handle, HDC, LPRECT, LPARAM list) {
  MONITORINFOEXW info{};
  info.cbSize = sizeof info;
  if (::GetMonitorInfoW(handle, &info)) {
    const RECT& r = info.rcMonitor;
    reinterpret_cast<std::vector<Monitor>*>(list)->push_back(
        {Utf16(info.szDevice), r.left, r.top, r.right, r.bottom});
  }
  return TRUE;
}

std::vector<Monitor> Monitors() {
  std::vector<Monitor> monitors;
  ::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

std::u16string MonitorOf(HWND window) {
  MONITORINFOEXW info{};
  info.cbSize = sizeof info;
  if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) return {};
  return Utf16(info.szDevice);
}

RECT ScreenRect(const std::vector<Monitor>& monitors, const std::u16string& name) {
  if (const Monitor* monitor = FindMonitor(monitors, name)) return RectOf(*monitor);
  return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

bool Pressed(int key) {
  return ::GetKeyState(key) < 0;
}

}  // namespace

win32::GdiObject ShowFont(int height, int weight) {
  LOGFONTW font{};
  font.lfHeight = -height;
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  wcscpy(font.lfFaceName, L"Segoe UI");
  return win32::GdiObject(::CreateFontIndirectW(&font));
}

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

// Per slide, its packed entry.
std::vector<std::size_t> SlideEntries(const ShowPlan& plan) {
  std::vector<std::size_t> entries;
  for (const TimedSlide& slide : plan.slides) entries.push_back(slide.entry);
  return entries;
}

}  // namespace

ShowWindow::ShowWindow(HINSTANCE instance, HWND owner, UINT endMessage, ShowHost& host,
                       const Presentation& presentation, const ShowPlan& plan,
                       const std::vector<bool>& pictures, std::size_t start, ShowOptions options)
    : owner_(owner),
      endMessage_(endMessage),
      host_(host),
      presentation_(presentation),
      plan_(plan),
      show_(SlidePictures(plan, pictures), start, plan.loop),
      instance_(instance),
      options_(std::move(options)),
      rehearsing_(options_.rehearse) {
  const std::wstring className = Wide(FromCp1252(kShowClass));
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = win32::OwnerProcedure<ShowWindow>::Procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = className.c_str();
  ::RegisterClassExW(&windowClass);  // a second show finds it registered

  const std::vector<Monitor> monitors = Monitors();
  screens_ = Plan(monitors);
  const RECT screen = ScreenRect(monitors, screens_.show);
  size_ = {screen.right - screen.left, screen.bottom - screen.top};
  captionFont_ = ShowFont(std::max(20, size_.height / 12), FW_SEMIBOLD);
  hintFont_ = ShowFont(std::max(12, size_.height / 36), FW_NORMAL);

  show_.SetOverviewColumns(static_cast<std::size_t>(OverviewGrid().columns));
  view_ = PrepareView(presentation_, Current().entry);
  FitText();
  ::CreateWindowExW(0, className.c_str(), L"", WS_POPUP | WS_CLIPCHILDREN, screen.left, screen.top,
                    size_.width, size_.height, owner, nullptr, instance, this);
  if (window_ == nullptr) {
    throw PlayerError(std::u16string(text::kNoWindow) + SystemMessage(::GetLastError()) + u".");
  }
  if (rehearsing_) {
    // To rehearse: the console alone where the browsing window is, the
    // show's times and sounds running as they will.
    RECT over;
    ::GetWindowRect(owner, &over);
    console_ = std::make_unique<ConsoleWindow>(instance, owner, AsConsoleHost(), presentation_,
                                               SlideEntries(plan_), options_.notes, over);
    console_->Update(show_);
    console_->Focus();
  } else {
    ::ShowWindow(window_, SW_SHOW);
    Apply(screens_);
    ::SetForegroundWindow(window_);
    ::SetFocus(window_);
  }
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
  console_.reset();
  if (window_ != nullptr) ::DestroyWindow(window_);
}

void ShowWindow::Report(HWND window, const std::exception_ptr& error) noexcept {
  ReportError(window, error);
}

LRESULT ShowWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DISPLAYCHANGE:
      ScreensChanged();
      return 0;
    case WM_KEYDOWN:
      if (ShowKey(wParam)) return 0;
      break;
    case WM_LBUTTONDOWN:
      if (help_) {
        Unhelp();
        return 0;
      }
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
  if (show_.InOverview()) {
    // The page on screen, small; the slide that was up stays decoded.
    const auto [first, count] = OverviewPage(show_, OverviewGrid());
    for (std::size_t i = first; i < first + count; ++i) {
      if (show_.Decodes(i)) wanted.push_back(Thumbnail(i));
    }
  }
  for (const std::size_t index : show_.Wanted()) {
    if (!rehearsing_) wanted.push_back(Request(index));
  }
  if (console_) {
    for (const SlideRequest& request : console_->Wanted(show_)) wanted.push_back(request);
  }
  return wanted;
}

bool ShowWindow::Arrived(const SlideRequest& request) {
  if (console_ && console_->Arrived(request)) return true;
  if (show_.InOverview()) {
    const auto [first, count] = OverviewPage(show_, OverviewGrid());
    for (std::size_t i = first; i < first + count; ++i) {
      if (request == Thumbnail(i)) {
        Redraw();
        return true;
      }
    }
  }
  if (request != Request(show_.Current())) return false;
  composed_ = false;
  if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
  return true;
}

// The show is on another slide, by a key, the overview or its time: the
// frame on screen is where a fade comes from, and the slide's sound and
// count start.
void ShowWindow::Stepped() {
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

void ShowWindow::TimedStep() {
  if (ended_) return;
  // Go, not Press: a number being typed is kept.
  if (!show_.Go(Show::Step::Next)) {
    Take(EffectOf(Gesture::StepPastEnd, plan_.kiosk));
    return;
  }
  Stepped();  // a looping show of one slide starts it again
}

void ShowWindow::Take(Effect effect) {
  switch (effect) {
    case Effect::Nothing:
      break;
    case Effect::Next:
      Follow(show_.Press(Show::Key::Next));
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
    // The next slide's narration is made ready, so that it starts with its slide.
    if (const auto next = show_.Following()) {
      if (const auto sound = plan_.slides[*next].sound) sounds->Prepare(*sound);
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
  if (!due || ended_ || Held()) return;
  const std::uint64_t now = Now();
  const std::uint64_t wait = *due > now ? *due - now : 0;
  ::SetTimer(window_, kStepTimer, static_cast<UINT>(std::min<std::uint64_t>(wait, 0x7FFF'FFFF)),
             nullptr);
}

// Black, white, the overview and the help hold a timed show: it waits for
// the presenter, and starts the slide's count anew when the slide is back.
bool ShowWindow::Held() const {
  return show_.Shown() != Show::Screen::Slide || show_.InOverview() || help_;
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
        if (!Held()) TimedStep();
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
    textFont_ = ShowFont(height, FW_NORMAL);
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
  if (console_) console_->Update(show_);
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
  // and once per slide (or per change of black, white, the overview or the
  // help): a fade's frames only mix the two. The canvas is kept from paint
  // to paint: making a screen-sized bitmap anew cost a step more than all
  // its drawing.
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
    PaintOver(dc);
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

bool ShowWindow::TakeKey(const MSG& message) {
  const auto within = [&](HWND window) {
    return window != nullptr && (message.hwnd == window || ::IsChild(window, message.hwnd));
  };
  if (message.message != WM_KEYDOWN) return false;
  if (!within(window_) && !(console_ && within(console_->Window()))) return false;
  ShowKey(message.wParam);
  return true;  // no other key reaches the show's windows
}

// The keys of presenters and clickers, the same in the show and the console.
bool ShowWindow::ShowKey(WPARAM key) {
  if (ended_) return true;
  if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU) return false;
  if (help_) {  // any key only takes the help away
    Unhelp();
    return true;
  }
  if (Pressed(VK_CONTROL)) {
    const bool more = key == VK_OEM_PLUS || key == VK_ADD;
    if ((more || key == VK_OEM_MINUS || key == VK_SUBTRACT) && console_) {
      console_->Zoom(more ? 1 : -1);
    }
    return true;
  }
  if (key >= '0' && key <= '9') return show_.Digit(static_cast<int>(key - '0')), true;
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) {
    return show_.Digit(static_cast<int>(key - VK_NUMPAD0)), true;
  }
  using Key = Show::Key;
  switch (key) {
    case VK_F1:
      help_ = true;
      Redraw();
      return true;
    case VK_F5:  // a clicker's start button: into the show, or nothing
      if (rehearsing_) Reveal();
      return true;
    case 'S':
      Apply(Swap(screens_));
      return true;
    case 'T':
      if (console_) console_->ToggleTime();
      return true;
    case 'Z':
      if (console_) console_->ResetTime();
      return true;
    case 'B':
    case VK_OEM_PERIOD:
    case VK_DECIMAL:
      Follow(show_.Press(Key::Black));
      return true;
    case 'W':
    case VK_OEM_COMMA:
      Follow(show_.Press(Key::White));
      return true;
    case VK_TAB:
      Follow(show_.Press(Key::Overview));
      return true;
    case VK_RETURN: {
      const Show::Outcome outcome = show_.Press(Key::Enter);
      if (outcome != Show::Outcome::Unhandled) {
        Follow(outcome);
      } else if (Opens()) {
        Take(EffectOf(Gesture::Open, plan_.kiosk));
      } else {
        Follow(show_.Press(Key::Next));
      }
      return true;
    }
    case VK_ESCAPE: {
      // Esc leaves the overview, or the show (not the kiosk's).
      const Show::Outcome outcome = show_.Press(Key::Escape);
      if (outcome == Show::Outcome::Ended) {
        Take(EffectOf(Gesture::Escape, plan_.kiosk));
      } else {
        Follow(outcome);
      }
      return true;
    }
    case VK_NEXT:
    case VK_SPACE:
      Follow(show_.Press(Key::Next));
      return true;
    case VK_PRIOR:
    case VK_BACK:
      Follow(show_.Press(Key::Previous));
      return true;
    case VK_HOME:
      Follow(show_.Press(Key::First));
      return true;
    case VK_END:
      Follow(show_.Press(Key::Last));
      return true;
    case VK_LEFT:
      Follow(show_.Press(Key::Left));
      return true;
    case VK_RIGHT:
      Follow(show_.Press(Key::Right));
      return true;
    case VK_UP:
      Follow(show_.Press(Key::Up));
      return true;
    case VK_DOWN:
      Follow(show_.Press(Key::Down));
      return true;
    default:
      return false;
  }
}

void ShowWindow::Follow(Show::Outcome outcome) {
  switch (outcome) {
    case Show::Outcome::Unhandled:
    case Show::Outcome::Kept:
      return;
    case Show::Outcome::Redraw:
      host_.ShowMoved();  // the overview wants its pictures, or no longer
      Redraw();
      Resume();
      return;
    case Show::Outcome::Moved:
      Stepped();
      return;
    case Show::Outcome::Ended:
      // A step past the last slide; the kiosk stays on it (brought back
      // from black or white).
      Take(EffectOf(Gesture::StepPastEnd, plan_.kiosk));
      Redraw();
      return;
  }
}

// Back on the slide from black, white, the overview or the help: a key
// restarts the slide's count.
void ShowWindow::Resume() {
  if (Held() || ended_) return;
  clock_.Restart(Now());
  Arm();
}

void ShowWindow::Unhelp() {
  help_ = false;
  Redraw();
  Resume();
}

void ShowWindow::Redraw() {
  composed_ = false;
  if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
  if (console_) console_->Update(show_);
}

void ShowWindow::Apply(const Screens& screens) {
  const std::vector<Monitor> monitors = Monitors();
  screens_ = screens;
  if (rehearsing_) return;
  Resize(ScreenRect(monitors, screens_.show));
  if (screens_.console.empty()) {
    if (console_) {
      console_.reset();
      ::SetForegroundWindow(window_);  // the keys go on reaching the show
      ::SetFocus(window_);
    }
  } else {
    const RECT area = ScreenRect(monitors, screens_.console);
    if (console_) {
      console_->Place(area);
    } else {
      console_ = std::make_unique<ConsoleWindow>(instance_, owner_, AsConsoleHost(), presentation_,
                                                 SlideEntries(plan_), options_.notes, area);
    }
    console_->Update(show_);
  }
  host_.ShowMoved();
}

void ShowWindow::Resize(const RECT& screen) {
  const Size size{screen.right - screen.left, screen.bottom - screen.top};
  ::SetWindowPos(window_, HWND_TOP, screen.left, screen.top, size.width, size.height,
                 SWP_NOACTIVATE);
  if (size == size_) return;
  size_ = size;
  canvas_ = {};  // made anew at the new size
  previous_ = {};
  mix_ = {};
  fading_ = false;
  ::KillTimer(window_, kFadeTimer);
  captionFont_ = ShowFont(std::max(20, size_.height / 12), FW_SEMIBOLD);
  hintFont_ = ShowFont(std::max(12, size_.height / 36), FW_NORMAL);
  FitText();
  ::InvalidateRect(window_, nullptr, FALSE);
}

void ShowWindow::Reveal() {
  rehearsing_ = false;
  ::ShowWindow(window_, SW_SHOW);
  Apply(Plan(Monitors()));
  ::SetForegroundWindow(window_);
  ::SetFocus(window_);
}

// The kiosk has no presenter: its show covers the player's window on the
// window's own monitor (a browsing window left on another would be open to
// anyone at the stand), and it has no console.
Screens ShowWindow::Plan(const std::vector<Monitor>& monitors) const {
  if (plan_.kiosk) return {MonitorOf(owner_), {}};
  return PlanScreens(monitors, MonitorOf(owner_), options_.lastMonitor);
}

void ShowWindow::ScreensChanged() {
  if (ended_) return;
  if (rehearsing_) return;
  Apply(Replan(screens_, Monitors()));
}

void ShowWindow::ConsoleClosing() {
  Take(EffectOf(Gesture::Close, plan_.kiosk));
}

bool ShowWindow::ConsoleKey(WPARAM key) {
  MSG message{};
  message.hwnd = window_;
  message.message = WM_KEYDOWN;
  message.wParam = key;
  return TakeKey(message);
}

const Slide* ShowWindow::Decoded(const SlideRequest& request) const {
  return host_.Decoded(request);
}

Grid ShowWindow::OverviewGrid() const {
  return Grid::Over(size_, show_.Count());
}

SlideRequest ShowWindow::Thumbnail(std::size_t index) const {
  const Grid grid = OverviewGrid();
  const int pad = std::max(3, grid.cell.height / 20) * 2;
  return {
      plan_.slides[index].entry, {grid.cell.width - 2 * pad, grid.cell.height - 2 * pad}, 0x000000};
}

std::vector<const Slide*> ShowWindow::OverviewPictures() const {
  std::vector<const Slide*> pictures;
  const auto [first, count] = OverviewPage(show_, OverviewGrid());
  for (std::size_t i = first; i < first + count; ++i) {
    pictures.push_back(show_.Decodes(i) ? host_.Decoded(Thumbnail(i)) : nullptr);
  }
  return pictures;
}

std::vector<std::u16string> ShowWindow::OverviewLabels() const {
  std::vector<std::u16string> labels;
  const auto [first, count] = OverviewPage(show_, OverviewGrid());
  for (std::size_t i = first; i < first + count; ++i) {
    labels.push_back(ListText(presentation_.Entries()[plan_.slides[i].entry]));
  }
  return labels;
}

void ShowWindow::PaintOverview(HDC dc, RECT area) const {
  DrawOverview(dc, area, show_, OverviewGrid(), OverviewPictures(), OverviewLabels());
}

void ShowWindow::PaintOver(HDC dc) {
  const RECT all{0, 0, size_.width, size_.height};
  if (show_.InOverview()) {
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    PaintOverview(dc, all);
  } else if (show_.Shown() != Show::Screen::Slide) {
    const bool white = show_.Shown() == Show::Screen::White;
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(white ? WHITE_BRUSH : BLACK_BRUSH)));
  }
  if (help_) {
    // The keys in a dark box in the middle, in the hint's type.
    const RECT box{size_.width / 8, size_.height / 8, size_.width * 7 / 8, size_.height * 7 / 8};
    const win32::GdiObject ground(::CreateSolidBrush(RGB(30, 30, 36)));
    ::FillRect(dc, &box, static_cast<HBRUSH>(ground.Get()));
    RECT inner = box;
    ::InflateRect(&inner, -size_.width / 30, -size_.height / 30);
    const HGDIOBJ old = ::SelectObject(dc, hintFont_.Get());
    ::SetTextColor(dc, kWhite);
    // Two columns: what, then which keys (each line's tab parts them).
    const std::wstring help =
        Wide(std::u16string(text::kShowHelp) +
             std::u16string(plan_.kiosk ? text::kShowHelpEndKiosk : text::kShowHelpEnd));
    const int keys = inner.left + (inner.right - inner.left) * 2 / 5;
    const UINT format = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;
    std::size_t from = 0;
    while (from <= help.size() && inner.top < inner.bottom) {
      const std::size_t end = std::min(help.find(L'\n', from), help.size());
      const std::wstring line = help.substr(from, end - from);
      const std::size_t tab = line.find(L'\t');
      RECT what{inner.left, inner.top, tab == std::wstring::npos ? inner.right : keys - 8,
                inner.bottom};
      const std::wstring left = line.substr(0, tab),
                         right = tab == std::wstring::npos ? std::wstring() : line.substr(tab + 1);
      int height = ::DrawTextW(dc, left.empty() ? L" " : left.c_str(), -1, &what, format);
      if (!right.empty()) {
        RECT which{keys, inner.top, inner.right, inner.bottom};
        height = std::max(height, ::DrawTextW(dc, right.c_str(), -1, &which, format));
      }
      inner.top += height;
      from = end + 1;
    }
    ::SelectObject(dc, old);
  }
}

}  // namespace turv::player
