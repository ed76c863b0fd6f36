// The player's sounds: packed audio entries (MP3, WAV, M4A/AAC, WMA) played
// through the system's own media components, on three channels that play at
// once: a slide's narration, the show's music under it, and the browsing
// view's preview of an audio entry. Every call on the window's thread, and
// none waits for the media components (but Length): the desk's own thread
// writes the bodies, opens and plays them. A sound that cannot play (no
// sound device, a format the system lacks, a damaged file) is told by
// Play's result or, found out later, by its ended notice, and nothing else:
// the show goes on silently, with no message box.
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
  // plays to its end, or turns out unable to play, endedMessage is posted
  // to notify with the channel as wParam (a repeating channel starts again
  // from its start instead); see Current and CouldNotPlay for its lParam.
  SoundDesk(const Presentation& presentation, std::u16string workFolder, HWND notify,
            UINT endedMessage);
  SoundDesk(const SoundDesk&) = delete;
  SoundDesk& operator=(const SoundDesk&) = delete;
  ~SoundDesk();  // stops every channel

  // Plays the entry on the channel from its start, stopping what played
  // there; volume in percent. False when it cannot play as far as is known
  // at once (no audio entry, or one that failed before).
  bool Play(Channel channel, std::size_t entry, int volumePercent, bool repeat);
  void Stop(Channel channel);
  void Pause(Channel channel, bool paused);
  // Where the channel's sound is; nothing when it plays nothing.
  std::optional<Position> Where(Channel channel) const;
  // The entry's length in ms; nothing when it cannot play. Waits (up to a
  // few seconds) while the desk's thread opens the file, unless Prepare
  // has found it out before.
  std::optional<std::uint32_t> Length(std::size_t entry);
  // Writes the entry's body into the work folder and learns its length
  // ahead of its Play, on the desk's thread, so that it starts sooner then.
  void Prepare(std::size_t entry);
  // Whether an ended notice (its wParam and lParam) is about the sound the
  // channel plays now: one posted just before a new Play or Stop is not.
  bool Current(WPARAM wParam, LPARAM lParam) const;
  // Whether the notice says the sound could not play at all.
  static bool CouldNotPlay(LPARAM lParam) { return (lParam & 1) != 0; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace turv::player
