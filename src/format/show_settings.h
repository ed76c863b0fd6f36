// The show's settings: the packed entry "show.ini" (UTF-8, with or without a
// byte order mark; ';' or '#' starts a comment; keys and section names
// case-insensitive). The packer checks it, the player runs the show by it,
// the authoring window edits it. Portable.
//
//   [Show]
//   Advance=8            seconds a slide stands when its section names none (0: by hand)
//   Loop=yes             after the last slide, the first again
//   Start=show           open straight into the full-screen show ("list": browsing)
//   Kiosk=yes            the show cannot be left but by Alt+F4; implies Start=show
//   Music=Musik.mp3      a packed audio entry played under the whole show
//   Volume=40            the music's level in percent (0-100)
//   Fade=400             cross-fade between slides in ms (0: a cut)
//
//   [01 Titel.png]       one section per packed entry, by its name
//   Seconds=5
//   Sound=01 Titel.mp3   narration: starts with the slide, which stands until it ends
//   Volume=80            the sound's level in percent (0-100)
//   Note=...             a line of the presenter's notes (repeatable)
//
// Seconds take up to three decimals ("0.2"), 0 to 86,400.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace turv::format {

inline constexpr std::string_view kShowSettingsName = "show.ini";
inline constexpr std::size_t kShowSettingsMax = 1u << 20;
inline constexpr std::uint32_t kMaxStandMilliseconds = 86'400'000;
inline constexpr std::uint32_t kMaxFadeMilliseconds = 5'000;

// One packed entry's own settings, from its section.
struct SlideSettings {
  std::string entry;  // the packed name, Windows-1252, as the section spells it
  std::optional<std::uint32_t> milliseconds;  // Seconds=
  std::string sound;                          // a packed name (Windows-1252), or empty
  std::optional<int> volume;                  // 0-100
  std::vector<std::string> notes;             // UTF-8, a line each
  int line = 0;                               // the section's line
  int soundLine = 0;                          // the Sound= line, 0 without one
  friend bool operator==(const SlideSettings&, const SlideSettings&) = default;
};

struct ShowSettings {
  std::uint32_t advanceMilliseconds = 0;  // 0: by hand
  bool loop = false;
  bool startInShow = false;  // Start=show, or Kiosk=yes
  bool kiosk = false;
  std::string music;  // a packed name (Windows-1252), or empty
  std::optional<int> musicVolume;
  std::uint32_t fadeMilliseconds = 0;
  std::vector<SlideSettings> slides;  // in file order
  int musicLine = 0;                  // the Music= line, 0 without one

  // The section of an entry, compared as Windows compares file names.
  const SlideSettings* Slide(std::string_view cp1252Entry) const;
  friend bool operator==(const ShowSettings&, const ShowSettings&) = default;
};

// What is wrong with a line, for callers that word it in their own language.
enum class ShowFault {
  TooLarge,        // the file is over kShowSettingsMax (line 0)
  NotUtf8,         // the line is no UTF-8
  NotWindows1252,  // a name Windows-1252 cannot hold
  Syntax,          // neither [section], key=value, comment nor blank
  KeyOutsideSection,
  UnknownKey,
  BadNumber,
  OutOfRange,
  BadYesNo,
  BadStart,  // Start= other than show or list
  SectionTwice,
  NoSuchEntry,  // a section, Sound= or Music= naming no packed entry
  NotAudio,     // Sound= or Music= naming an entry that is no audio file
};

struct ShowProblem {
  int line = 0;  // 1-based; 0 for the whole file
  ShowFault fault = ShowFault::Syntax;
  std::string detail;  // the key, value or name concerned (UTF-8)
  friend bool operator==(const ShowProblem&, const ShowProblem&) = default;
};

// English, for the packer: "line 7: unknown key \"Secnds\"" (detail escaped
// as everything printed is).
std::string Describe(const ShowProblem& problem);
// The same without the line, for callers that name file and line their own
// way ("show.ini:7: unknown key ...").
std::string DescribeFault(const ShowProblem& problem);

struct ShowParse {
  ShowSettings settings;              // what the good lines say
  std::vector<ShowProblem> problems;  // every bad line, in line order
};

// Reads every line; a bad line is left out of the settings and named among
// the problems, so that a window can show the rest and mend that line.
ShowParse ParseShowSettings(std::string_view bytes);

// Adds the problems that need the packed names (Windows-1252): a section,
// Sound= or Music= naming no entry, a sound or music that is no audio file.
// Problems stay in line order.
void CheckShowEntries(ShowParse& parse, std::span<const std::string> cp1252Names);

// Whether the name ends in an audio file's extension the player plays
// (.mp3, .wav, .m4a, .aac, .wma), in any case.
bool IsAudioName(std::string_view cp1252Name);

// One line for list and verify: "4 slides timed, 3 sounds, music, loop, kiosk",
// or "by hand" when nothing is set.
std::string ShowSummary(const ShowSettings& settings);

}  // namespace turv::format
