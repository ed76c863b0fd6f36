// The show that runs itself, without its window: which entries are slides,
// how long each stands and what it plays, when the show moves on, how a
// cross-fade goes, when the pointer hides and what the kiosk refuses. The
// window passes the time in ms (a fake clock in the tests). Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "format/karu_format.h"
#include "format/show_settings.h"
#include "lumirax/player_model.h"

namespace turv::player {

// The pointer hides over the show after this long without moving.
inline constexpr std::uint32_t kPointerIdleMs = 2'000;
// A fade whose frames come further apart than this (a machine too busy to
// keep its pace) skips to its end.
inline constexpr std::uint32_t kFadeStallMs = 100;
// A narration of known length whose position stands still this long has
// ended for the show (a system that opens a sound but never plays it).
inline constexpr std::uint32_t kSoundStallMs = 1'500;
// The music's level under a show with narration, unless its Volume= says.
inline constexpr int kMusicUnderNarration = 40;

struct TimedSlide {
  std::size_t entry = 0;
  std::uint32_t milliseconds = 0;    // how long it stands; 0: until a key
  std::optional<std::size_t> sound;  // its narration, or the audio entry itself
  int volume = 100;                  // the sound's, in percent
  friend bool operator==(const TimedSlide&, const TimedSlide&) = default;
};

struct ShowPlan {
  std::vector<TimedSlide> slides;  // in packed order
  bool loop = false;
  bool kiosk = false;
  bool startInShow = false;
  std::optional<std::size_t> music;
  int musicVolume = 100;
  std::uint32_t fadeMilliseconds = 0;

  // The slide showing the entry, or the first after it (the last when none
  // is): where Shift+F5 starts from an entry that is no slide.
  std::size_t SlideOf(std::size_t entry) const;
};

// Without settings: every entry but the settings' own a slide, by hand; an
// audio entry's slide plays it.
ShowPlan ByHand(std::span<const format::Entry> entries);

// The show the settings describe, over the packed entries. The settings'
// own entry is no slide, nor is an entry serving as a Sound or the Music;
// another audio entry is a slide that plays itself. Names are matched as
// Windows matches file names; a name matching no entry is ignored (the
// packer refuses it).
ShowPlan PlanShow(const format::ShowSettings& settings, std::span<const format::Entry> entries);

// The entry holding the show's settings, if the package has one.
std::optional<std::size_t> SettingsEntry(std::span<const format::Entry> entries);

// The package's show: by its settings, or by hand when it has none. Settings
// that are damaged or cannot be read give a show by hand as well, and the
// status line's words for it in problem.
ShowPlan ReadShow(const Presentation& presentation, std::u16string& problem);

// What the show's gestures do: the kiosk refuses all that would leave the
// show or open another program, and Alt+F4 ends the player there.
enum class Gesture { Escape, Click, StepPastEnd, Open, Close };
enum class Effect { Nothing, Next, Open, EndShow, EndPlayer };
Effect EffectOf(Gesture gesture, bool kiosk);

class ShowClock {
 public:
  // The slide came on screen at now: it stands milliseconds (0: until a
  // key); sounding: its sound plays, and a timed slide stands until it ends
  // as well. A key's step calls it again, which restarts the count.
  void Entered(std::uint64_t now, std::uint32_t milliseconds, bool sounding);
  // A key at now that keeps the slide (back from black or the overview)
  // starts its count anew; a sound still playing is still waited for.
  void Restart(std::uint64_t now) { entered_ = now; }
  // The slide's sound ended at now.
  void SoundEnded(std::uint64_t now);
  // Where the slide's sound is at now (ms played, its length, 0 while not
  // known): past its length, or standing still for kSoundStallMs, it has
  // ended.
  void SoundAt(std::uint64_t now, std::uint32_t played, std::uint32_t length);
  bool Sounding() const { return sounding_; }
  // When the show moves on by itself; nothing while it waits for a key.
  std::optional<std::uint64_t> Due() const;

  // A step at now with a cross-fade of fadeMs: true when the step fades; a
  // step during a fade completes that one and cuts, so keys never wait.
  bool StartFade(std::uint64_t now, std::uint32_t fadeMs);
  // The new slide's share of the picture, 0 to 255 (255: no fade runs).
  int FadeLevel(std::uint64_t now) const;
  // A fade's frame is due at now: false when the fade is over, or when the
  // frame before came more than kFadeStallMs ago, which ends it.
  bool FadeFrame(std::uint64_t now);

  // One frame of a fade: each pixel (0xAARRGGBB) of out is from's and to's
  // mixed by level, to's share of 0 to 255.
  static void Blend(std::span<const std::uint32_t> from, std::span<const std::uint32_t> to,
                    std::span<std::uint32_t> out, int level);

  void PointerMoved(std::uint64_t now) { pointerMoved_ = now; }
  bool PointerHidden(std::uint64_t now) const { return now - pointerMoved_ >= kPointerIdleMs; }

 private:
  std::uint64_t entered_ = 0;
  std::uint32_t stands_ = 0;
  bool sounding_ = false;
  std::uint64_t soundEnded_ = 0;
  std::uint32_t played_ = 0;
  std::uint64_t moved_ = 0;  // when played_ last changed
  std::uint64_t fadeStart_ = 0;
  std::uint32_t fadeLength_ = 0;
  std::uint64_t lastFrame_ = 0;
  std::uint64_t pointerMoved_ = 0;
};

}  // namespace turv::player
