// The browsing view of an audio entry: its caption and hint in the view's
// text, a position bar (a standard progress bar, its position the ms
// played) below it, the sound on the desk's preview channel, Space to pause.
// Win32; on the window's thread.
#pragma once

#include <windows.h>

#include <cstddef>

#include "lumirax/sound_desk.h"

namespace turv::player {

class AudioView {
 public:
  // The bar is a hidden child of parent until an entry plays; the view
  // refreshes it on a timer of parent's with timerId.
  AudioView(HWND parent, int barId, UINT_PTR timerId, SoundDesk& desk);
  AudioView(const AudioView&) = delete;
  AudioView& operator=(const AudioView&) = delete;
  ~AudioView();

  void Place(const RECT& area);
  // Plays the entry from its start; false when it cannot play (the bar
  // stays hidden).
  bool Enter(std::size_t entry);
  // The desk's notice for the preview channel: false when it was the
  // entry's, which could not play after all (the bar is hidden then).
  bool Ended(WPARAM wParam, LPARAM lParam);
  // Stops the sound and hides the bar; nothing when no entry plays.
  void Leave();
  void TogglePause();
  // The timer's tick, and the preview channel's end: the bar follows.
  void Refresh();

 private:
  HWND parent_;
  HWND bar_ = nullptr;  // a child of parent_, destroyed with it
  UINT_PTR timerId_;
  SoundDesk& desk_;
  bool playing_ = false;
};

}  // namespace turv::player
