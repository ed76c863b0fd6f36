// The player's sounds: packed audio entries (MP3, WAV, M4A/AAC, WMA) played
// through the system's own media components, on three channels that play at
// once: a slide's narration, the show's music under it, and the browsing
// view's preview of an audio entry. Win32; every call on the window's
// thread. A sound that cannot play (no sound device, a format the system
// lacks, a damaged file) is reported by Play's result and nothing else: the
// show goes on silently, with no message box.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "lumirax/player_model.h"

namespace turv::player {

class SoundDesk {
 public:
  enum class Channel { Narration, Music, Preview };

  struct Position {
    std::uint32_t played = 0;  // ms
    std::uint32_t length = 0;  // ms; 0 while unknown
    bool paused = false;
  };

  // Sounds are taken from the presentation (each entry's body written once
  // into the work folder for the media components to open). When a sound
  // plays to its end, endedMessage is posted to notify with the channel as
  // wParam (a repeating channel starts again from its start instead).
  SoundDesk(const Presentation& presentation, std::u16string workFolder, HWND notify,
            UINT endedMessage);
  SoundDesk(const SoundDesk&) = delete;
  SoundDesk& operator=(const SoundDesk&) = delete;
  ~SoundDesk();  // stops every channel

  // Plays the entry on the channel from its start, stopping what played
  // there; volume in percent. False when it cannot play.
  bool Play(Channel channel, std::size_t entry, int volumePercent, bool repeat);
  void Stop(Channel channel);
  void Pause(Channel channel, bool paused);
  // Where the channel's sound is; nothing when it plays nothing.
  std::optional<Position> Where(Channel channel) const;
  // The entry's length in ms, opened for that alone; nothing when it cannot
  // play, or while its body is still being written (see Prepare).
  std::optional<std::uint32_t> Length(std::size_t entry);
  // Writes the entry's body into the work folder ahead of its Play (a
  // large one on the desk's own thread), so that it starts at once then.
  // Play does this itself; a large body's Play returns true at once and
  // the sound begins when the body is written (or ends at once, posting
  // endedMessage, when it cannot play after all).
  void Prepare(std::size_t entry);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace turv::player
