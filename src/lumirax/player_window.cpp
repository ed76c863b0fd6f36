// Win32 half of the player: the browsing window. What an entry shows is the
// portable model's; pictures come decoded from the worker thread, so the
// window stays responsive while a large photo is decoded.
#include "lumirax/player_window.h"

#include <shellapi.h>

#include <algorithm>
#include <new>

#include "lumirax/player_texts.h"
#include "lumirax/win32_files.h"
#include "lumirax/window_names.h"
#include "win32/com_scope.h"

namespace turv::player {

namespace {

constexpr wchar_t kTitle[] = L"lumirax";
constexpr UINT kSlideReady = WM_APP + 1;    // the worker finished a slide
constexpr UINT kShowEnded = WM_APP + 2;     // wParam: the entry the show ended at
constexpr UINT kCopyProgress = WM_APP + 3;  // an entry's copy for its program goes on
constexpr UINT kCopyDone = WM_APP + 4;      // and is finished
constexpr UINT kSoundEnded = WM_APP + 5;    // wParam: the sound desk's channel
constexpr UINT_PTR kAudioTimer = 1;

std::u16string Text(std::u16string_view text) {
  return std::u16string(text);
}

// The environment variable's value, or empty when it is not set.
std::u16string EnvironmentValue(std::string_view name) {
  const std::wstring wide(name.begin(), name.end());  // ASCII
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length =
        ::GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length < value.size()) {
      value.resize(length);
      return Utf16(value);
    }
    value.resize(length);  // the size it needs, with its terminator
  }
}

PlayerError WindowProblem() {
  return PlayerError(Text(text::kNoWindow) + SystemMessage(::GetLastError()) + u".");
}

HWND Control(HWND parent, const wchar_t* type, DWORD style, int id) {
  HWND control = ::CreateWindowExW(0, type, L"", WS_CHILD | style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr) throw WindowProblem();
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

// A system colour as the pictures' 0xRRGGBB.
std::uint32_t Background(int index) {
  const COLORREF c = ::GetSysColor(index);
  return std::uint32_t{GetRValue(c)} << 16 | std::uint32_t{GetGValue(c)} << 8 | GetBValue(c);
}

}  // namespace

void ReportError(HWND owner, const std::exception_ptr& error) noexcept {
  try {
    std::u16string message;
    try {
      std::rethrow_exception(error);
    } catch (const PlayerError& e) {
      message = e.Message();
    } catch (const std::bad_alloc&) {
      message = Text(text::kNoMemory);
    } catch (const std::exception& e) {
      message = Text(text::kInternal) + FromUtf8(e.what());
    }
    ::MessageBoxW(owner, Wide(message).c_str(), kTitle, MB_OK | MB_ICONERROR);
  } catch (...) {
    ::MessageBoxW(owner, Wide(text::kInternalShort).c_str(), kTitle, MB_OK | MB_ICONERROR);
  }
}

PlayerWindow::PlayerWindow(HINSTANCE instance, const Presentation& presentation,
                           std::u16string workFolder, const std::u16string& statusLine)
    : instance_(instance),
      presentation_(presentation),
      workFolder_(std::move(workFolder)),
      plan_(ReadShow(presentation_, showProblem_)),
      startLine_(showProblem_.empty() ? statusLine
                                      : statusLine + Text(text::kStatusSeparator) + showProblem_),
      notes_(ReadNotes(presentation_)) {
  // A rehearsal gives the show at once and by hand, and writes down its times.
  rehearsalFile_ = EnvironmentValue(format::kRehearsalVariable);
  if (!rehearsalFile_.empty()) {
    ForRehearsal(plan_);
    rehearsal_.emplace();
  }
  for (std::size_t i = 0; i < presentation_.Entries().size(); ++i) {
    const format::Entry& entry = presentation_.Entries()[i];
    pictures_.push_back(KindByName(entry.name) == Kind::Picture &&
                        static_cast<std::uint64_t>(entry.size) <= kImageLimit);
  }
  const std::wstring className = Wide(FromCp1252(kWindowClass));
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  windowClass.lpfnWndProc = win32::OwnerProcedure<PlayerWindow>::Procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));      // IDI_APPLICATION
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className.c_str();
  if (::RegisterClassExW(&windowClass) == 0) throw WindowProblem();

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
  if (window_ == nullptr) throw WindowProblem();
  try {
    worker_ = std::make_unique<SlideWorker>(presentation_, window_, kSlideReady);
    opener_ = std::make_unique<EntryOpener>(presentation_, workFolder_, window_, kCopyProgress,
                                            kCopyDone);
    sound_ = std::make_unique<SoundDesk>(presentation_, workFolder_, window_, kSoundEnded);
    audio_ = std::make_unique<AudioView>(window_, kPositionId, kAudioTimer, *sound_);
    CreateControls(startLine_);
  } catch (...) {
    // The window must not outlive this half-made object; no message loop
    // runs yet, so its end asks nobody to quit.
    audio_.reset();
    sound_.reset();
    opener_.reset();
    worker_.reset();
    ::DestroyWindow(window_);
    throw;
  }
}

PlayerWindow::~PlayerWindow() {
  show_.reset();
  audio_.reset();
  sound_.reset();   // before the window it posts to
  worker_.reset();  // before the window they post to
  opener_.reset();
  if (window_ != nullptr) ::DestroyWindow(window_);
}

int PlayerWindow::Run() {
  // COM for the shell's handlers, as long as the player runs.
  const win32::ComScope com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  running_ = true;
  ::ShowWindow(window_, SW_SHOWMAXIMIZED);
  WantNow();  // asked once, at the size it is shown at
  ::UpdateWindow(window_);
  ::SetFocus(list_);
  // A rehearsal opens into the show as Start=show does (with the console
  // where there is a second monitor).
  if (plan_.startInShow) StartShow(0);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (TakeKey(message)) continue;
    // The dialog manager gives Tab between the controls, and Enter as IDOK.
    if (window_ != nullptr && ::IsDialogMessageW(window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

bool PlayerWindow::TakeKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || window_ == nullptr) return false;
  // Reached from the message loop, not the window procedure: failures are
  // reported here, as the procedure reports its own.
  try {
    if (show_) return show_->TakeKey(message);  // the show's and the console's keys
    if (message.hwnd != window_ && !::IsChild(window_, message.hwnd)) return false;
    return BrowsingKey(message.wParam);
  } catch (...) {
    ReportError(window_, std::current_exception());
    return true;
  }
}

bool PlayerWindow::BrowsingKey(WPARAM key) {
  const auto count = presentation_.Entries().size();
  switch (key) {
    case VK_F5:
      StartShow(::GetKeyState(VK_SHIFT) < 0 ? selected_ : 0);
      return true;
    case 'P':
      Rehearse();
      return true;
    case VK_DOWN:
      if (selected_ + 1 < count) Select(static_cast<int>(selected_ + 1));
      return true;
    case VK_UP:
      if (selected_ > 0) Select(static_cast<int>(selected_ - 1));
      return true;
    case VK_SPACE:
      if (view_.kind != Kind::Audio) return false;
      audio_->TogglePause();
      return true;
    default:
      return false;
  }
}

void PlayerWindow::Report(HWND window, const std::exception_ptr& error) noexcept {
  ReportError(window, error);
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
    case kSlideReady:
      SlidesArrived();
      return 0;
    case kShowEnded:
      EndShow(static_cast<std::size_t>(wParam));
      return 0;
    case kCopyProgress:
      SetStatus(CopyProgress(FromCp1252(presentation_.Entries()[opener_->Index()].name),
                             opener_->Done(), opener_->Total()));
      return 0;
    case kCopyDone:
      CopyFinished();
      return 0;
    case WM_TIMER:
      if (wParam != kAudioTimer) break;
      audio_->Refresh();
      return 0;
    case kSoundEnded:
      if (wParam == static_cast<WPARAM>(SoundDesk::Channel::Preview) &&
          !audio_->Ended(wParam, lParam)) {
        view_.text += u"\r\n\r\n" + Text(text::kAudioCannotPlay);
        ShowSelected();
      }
      // A notice posted just before the show's next Play is not the new sound's.
      if (show_ && sound_->Current(wParam, lParam)) {
        show_->SoundEnded(static_cast<SoundDesk::Channel>(wParam));
      }
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
        OpenEntry(selected_);
      }
      return 0;
    }
    case WM_DESTROY:
      show_.reset();
      if (running_) ::PostQuitMessage(0);
      FinishRehearsal();  // closed during the show (Alt+F4)
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
  audio_->Place(viewArea_);
  ::InvalidateRect(window_, nullptr, TRUE);
  WantNow();  // a picture is decoded for the area it fills
}

void PlayerWindow::Select(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= presentation_.Entries().size()) return;
  selected_ = static_cast<std::size_t>(index);
  if (::SendMessageW(list_, LB_GETCURSEL, 0, 0) != index) {
    ::SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  audio_->Leave();
  view_ = PrepareView(presentation_, selected_);
  if (view_.kind == Kind::Audio && !show_ && !audio_->Enter(selected_)) {
    view_.text += u"\r\n\r\n" + Text(text::kAudioCannotPlay);
  }
  // As with pictures, the neighbours are made ready, so Down and Up play at once.
  for (const std::size_t neighbour : {selected_ + 1, selected_ - 1}) {
    if (neighbour < presentation_.Entries().size()) sound_->Prepare(neighbour);
  }
  WantNow();
  ShowSelected();
  if (!opener_->Busy()) SetStatus(startLine_);
}

// The selected entry's controls: the text, what cannot be shown, or
// nothing over a picture, which Paint draws.
void PlayerWindow::ShowSelected() {
  std::u16string about;
  if (view_.kind == Kind::Other || view_.kind == Kind::Audio) about = view_.text;
  if (view_.kind == Kind::Picture) {
    const Slide* slide = Decoded(BrowsingRequest(selected_));
    if (slide != nullptr && !slide->problem.empty()) {
      about = AboutEntry(presentation_.Entries()[selected_], slide->problem);
    }
  }
  ::SetWindowTextW(text_, view_.kind == Kind::Text ? Wide(view_.text).c_str() : L"");
  ::SetWindowTextW(info_, Wide(about).c_str());
  ::ShowWindow(text_, view_.kind == Kind::Text ? SW_SHOW : SW_HIDE);
  ::ShowWindow(info_, about.empty() ? SW_HIDE : SW_SHOW);
  ::InvalidateRect(window_, &viewArea_, TRUE);
}

SlideRequest PlayerWindow::BrowsingRequest(std::size_t index) const {
  const int margin = Scaled(16);
  return {index,
          {std::max(0, static_cast<int>(viewArea_.right - viewArea_.left) - 2 * margin),
           std::max(0, static_cast<int>(viewArea_.bottom - viewArea_.top) - 2 * margin)},
          Background(COLOR_WINDOW)};
}

void PlayerWindow::WantNow() {
  // Minimised, the view has no area: nothing to decode and nothing to forget.
  // Before Run shows the window maximised, its area is not yet the one the
  // slide is shown in: a decode for it would be done twice.
  if (!running_ || !worker_ || (!show_ && ::IsIconic(window_))) return;
  std::vector<SlideRequest> wanted;
  if (show_) {
    wanted = show_->Wanted();
  } else {
    // The selected entry first, then its neighbours, so Down and Up show at once.
    for (const std::size_t index : Show(pictures_, selected_).Wanted()) {
      wanted.push_back(BrowsingRequest(index));
    }
  }
  std::erase_if(slides_, [&](const Slide& slide) {
    return std::find(wanted.begin(), wanted.end(), slide.request) == wanted.end();
  });
  std::erase_if(wanted, [&](const SlideRequest& request) { return Decoded(request) != nullptr; });
  worker_->Want(wanted);
}

void PlayerWindow::SlidesArrived() {
  std::u16string unreadable;
  for (Slide& slide : worker_->Take()) {
    const SlideRequest request = slide.request;
    if (Decoded(request) != nullptr) continue;
    const bool shown = show_ ? show_->Arrived(request) : request == BrowsingRequest(selected_);
    if (slide.unreadable && shown) unreadable = slide.problem;
    slides_.push_back(std::move(slide));
    if (shown && !show_) ShowSelected();
  }
  WantNow();  // forgets what arrived but is no longer wanted
  // A data file that cannot be read any more (replaced by a newer launch)
  // is told as every other read failure is, in a message, once it matters
  // to what is on screen.
  if (!unreadable.empty()) throw PlayerError(unreadable);
}

const Slide* PlayerWindow::Decoded(const SlideRequest& request) const {
  const auto found = std::find_if(slides_.begin(), slides_.end(),
                                  [&](const Slide& slide) { return slide.request == request; });
  return found == slides_.end() ? nullptr : &*found;
}

void PlayerWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window_, &paint);
  ::FillRect(dc, &viewArea_, ::GetSysColorBrush(COLOR_WINDOW));
  if (view_.kind == Kind::Picture) {
    const SlideRequest request = BrowsingRequest(selected_);
    const Slide* slide = Decoded(request);
    if (slide != nullptr && slide->problem.empty()) {
      const int margin = Scaled(16);
      DrawPixels(dc, slide->pixels,
                 viewArea_.left + margin + (request.area.width - slide->pixels.width) / 2,
                 viewArea_.top + margin + (request.area.height - slide->pixels.height) / 2);
    }
  }
  ::EndPaint(window_, &paint);
}

void PlayerWindow::StartShow(std::size_t from) {
  if (plan_.slides.empty()) return;  // only sounds and settings: nothing to show
  audio_->Leave();
  ShowHost& host = *this;
  show_ = std::make_unique<ShowWindow>(instance_, window_, kShowEnded, host, presentation_, plan_,
                                       pictures_, plan_.SlideOf(from),
                                       ShowOptions{lastShowMonitor_, false, notes_});
  if (rehearsal_) rehearsal_->Entered(show_->Entry(), ::GetTickCount64());
  WantNow();
}

// To rehearse: the show from the selected entry's slide, with the console
// alone in the window.
void PlayerWindow::Rehearse() {
  if (plan_.slides.empty()) return;
  audio_->Leave();
  ShowHost& host = *this;
  show_ = std::make_unique<ShowWindow>(instance_, window_, kShowEnded, host, presentation_, plan_,
                                       pictures_, plan_.SlideOf(selected_),
                                       ShowOptions{lastShowMonitor_, true, notes_});
  if (rehearsal_) rehearsal_->Entered(show_->Entry(), ::GetTickCount64());
  WantNow();
}

void PlayerWindow::ShowMoved() {
  if (rehearsal_ && show_) rehearsal_->Entered(show_->Entry(), ::GetTickCount64());
  WantNow();
}

void PlayerWindow::EndShow(std::size_t at) {
  if (show_) lastShowMonitor_ = show_->ShowMonitor();
  show_.reset();
  if (rehearsal_) {
    // The rehearsal was the one show: the author goes back to the window
    // that started it (a file that cannot be written is told first).
    FinishRehearsal();
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
    return;
  }
  Select(static_cast<int>(at));
  ::SetForegroundWindow(window_);
  ::SetFocus(list_);
}

void PlayerWindow::FinishRehearsal() {
  if (!rehearsal_ || rehearsal_->Over()) return;
  rehearsal_->Ended(::GetTickCount64());
  const std::string text = format::WriteRehearsalTimes(rehearsal_->Times(presentation_.Entries()));
  WriteReplacing(rehearsalFile_, [&](const ByteSink& sink) {
    sink(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  });
}

void PlayerWindow::SetStatus(const std::u16string& line) {
  ::SetWindowTextW(status_, Wide(line).c_str());
}

void PlayerWindow::OpenEntry(std::size_t index) {
  if (index >= presentation_.Entries().size()) return;
  if (!opener_->Start(index)) {
    SetStatus(Text(text::kOpenQuote) + FromCp1252(presentation_.Entries()[opener_->Index()].name) +
              Text(text::kCloseQuote) + Text(text::kStillCopying));
    return;
  }
  SetStatus(CopyProgress(FromCp1252(presentation_.Entries()[index].name), 0, opener_->Total()));
}

void PlayerWindow::CopyFinished() {
  const EntryOpener::Outcome copy = opener_->Finish();
  if (!copy.problem.empty()) {
    SetStatus(startLine_);
    throw PlayerError(copy.problem);
  }
  const std::u16string_view how = copy.how == EntryOpener::How::Existing ? text::kOpenedExisting
                                  : copy.how == EntryOpener::How::Second ? text::kOpenedSecond
                                                                         : text::kOpenedCopy;
  SetStatus(Text(how) + copy.path);
  const std::u16string folder = JoinPath(workFolder_, kOpenedFolderName);
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(show_ ? nullptr : window_, nullptr, Wide(copy.path).c_str(), nullptr,
                      Wide(folder).c_str(), SW_SHOWNORMAL));
  if (result > 32) return;
  const std::u16string name = Text(text::kOpenQuote) +
                              FromCp1252(presentation_.Entries()[copy.index].name) +
                              Text(text::kCloseQuote);
  if (result == SE_ERR_NOASSOC || result == SE_ERR_ASSOCINCOMPLETE) {
    throw PlayerError(Text(text::kNoProgramFor) + name + Text(text::kFileLiesIn) + folder + u".");
  }
  throw PlayerError(name + Text(text::kCannotOpen) + FromCp1252(std::to_string(result)) + u").");
}

}  // namespace turv::player
