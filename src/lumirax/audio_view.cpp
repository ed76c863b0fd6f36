// Win32 half of the player: an audio entry in the browsing view.
#include "lumirax/audio_view.h"

#include <commctrl.h>

#include <algorithm>

#include "lumirax/system_dll.h"

namespace turv::player {

namespace {

constexpr UINT kRefreshMs = 100;
using Channel = SoundDesk::Channel;

}  // namespace

AudioView::AudioView(HWND parent, int barId, UINT_PTR timerId, SoundDesk& desk)
    : parent_(parent), timerId_(timerId), desk_(desk) {
  // The common controls register the progress bar's class; loaded at run
  // time, so that nothing they load comes from the work folder.
  const SystemDll comctl32(L"comctl32.dll");
  if (const auto init = comctl32.Find<decltype(::InitCommonControlsEx)>("InitCommonControlsEx")) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    init(&controls);
  }
  bar_ = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_SMOOTH, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(barId)),
                           ::GetModuleHandleW(nullptr), nullptr);
}

AudioView::~AudioView() {
  Leave();
}

void AudioView::Place(const RECT& area) {
  if (bar_ == nullptr) return;
  const int height = std::max(8, static_cast<int>(area.bottom - area.top) / 24);
  const int inset = (area.right - area.left) / 10;
  ::MoveWindow(bar_, area.left + inset, area.bottom - 3 * height,
               area.right - area.left - 2 * inset, height, TRUE);
}

bool AudioView::Enter(std::size_t entry) {
  Leave();
  if (!desk_.Play(Channel::Preview, entry, 100, false)) return false;
  playing_ = true;
  ::SendMessageW(bar_, PBM_SETRANGE32, 0, 1);
  ::SendMessageW(bar_, PBM_SETPOS, 0, 0);
  ::SendMessageW(bar_, PBM_SETSTATE, PBST_NORMAL, 0);
  ::ShowWindow(bar_, SW_SHOW);
  ::SetTimer(parent_, timerId_, kRefreshMs, nullptr);
  return true;
}

void AudioView::Leave() {
  if (!playing_) return;
  playing_ = false;
  ::KillTimer(parent_, timerId_);
  desk_.Stop(Channel::Preview);
  ::ShowWindow(bar_, SW_HIDE);
}

bool AudioView::Ended(WPARAM wParam, LPARAM lParam) {
  if (!playing_ || !desk_.Current(wParam, lParam)) return true;
  if (!SoundDesk::CouldNotPlay(lParam)) {
    Refresh();
    return true;
  }
  Leave();
  return false;
}

void AudioView::TogglePause() {
  const auto where = desk_.Where(Channel::Preview);
  if (!playing_ || !where) return;
  desk_.Pause(Channel::Preview, !where->paused);
  ::SendMessageW(bar_, PBM_SETSTATE, where->paused ? PBST_NORMAL : PBST_PAUSED, 0);
}

void AudioView::Refresh() {
  if (!playing_) return;
  const auto where = desk_.Where(Channel::Preview);
  if (!where) {
    // Played to its end: the bar stands full.
    ::KillTimer(parent_, timerId_);
    const auto top = ::SendMessageW(bar_, PBM_GETRANGE, FALSE, 0);
    ::SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(top), 0);
    return;
  }
  if (where->length == 0) return;
  if (static_cast<std::uint32_t>(::SendMessageW(bar_, PBM_GETRANGE, FALSE, 0)) != where->length) {
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, static_cast<LPARAM>(where->length));
  }
  ::SendMessageW(bar_, PBM_SETPOS, std::min(where->played, where->length), 0);
}

}  // namespace turv::player
