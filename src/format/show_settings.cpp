// The show's settings file. Lines are read one by one and a bad one is
// named and skipped, so that the rest still counts.
//
// Comments: a line whose first non-blank character is ';' or '#'; after a
// section or a value, a ';' or '#' at its start or after a blank (so that
// "Track#2.mp3" stays a name). A Note's value is taken whole: a note may
// hold "; " as any text may. A later key of the same section wins.
#include "format/show_settings.h"

#include <algorithm>
#include <array>

#include "format/karu_format.h"

namespace turv::format {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

// The text up to an inline comment: ';' or '#' at the start or after a blank.
std::string_view CutComment(std::string_view text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    if ((text[at] == ';' || text[at] == '#') &&
        (at == 0 || text[at - 1] == ' ' || text[at - 1] == '\t')) {
      return text.substr(0, at);
    }
  }
  return text;
}

enum class NumberRead { Good, Bad, OutOfRange };

// Whole thousandths from "12", "0.2" or "1.125"; a leading '-' is a number
// out of range, not a bad one, since that is what the author meant.
NumberRead ReadThousandths(std::string_view text, std::uint64_t limit, std::uint64_t& out) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  const auto point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view part = point == std::string_view::npos ? "" : text.substr(point + 1);
  const auto digits = [](std::string_view d) {
    return std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (whole.empty() || !digits(whole) || !digits(part) || part.size() > 3 ||
      (point != std::string_view::npos && part.empty())) {
    return NumberRead::Bad;
  }
  std::uint64_t value = 0;
  for (const char c : whole) {
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > limit) return NumberRead::OutOfRange;
  }
  std::uint64_t thousandths = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    thousandths =
        thousandths * 10 + (i < part.size() ? static_cast<std::uint64_t>(part[i] - '0') : 0);
  }
  out = value * 1000 + thousandths;
  if (negative && out != 0) return NumberRead::OutOfRange;
  return out > limit * 1000 ? NumberRead::OutOfRange : NumberRead::Good;
}

NumberRead ReadWhole(std::string_view text, std::uint64_t limit, std::uint64_t& out) {
  if (text.find('.') != std::string_view::npos) return NumberRead::Bad;
  std::uint64_t thousandths = 0;
  const NumberRead read = ReadThousandths(text, limit, thousandths);
  out = thousandths / 1000;
  return read;
}

std::optional<bool> ReadYesNo(std::string_view text) {
  for (const char* yes : {"yes", "true", "1", "ja"}) {
    if (SameWord(text, yes)) return true;
  }
  for (const char* no : {"no", "false", "0", "nein"}) {
    if (SameWord(text, no)) return false;
  }
  return std::nullopt;
}

// The range a key's number takes, for messages.
std::string_view RangeOf(std::string_view key) {
  if (SameWord(key, "Advance") || SameWord(key, "Seconds")) {
    return "seconds from 0 to 86,400, up to three decimals";
  }
  if (SameWord(key, "Fade")) return "milliseconds from 0 to 5,000";
  return "percent from 0 to 100";
}

class Reader {
 public:
  ShowParse Read(std::string_view bytes) {
    if (bytes.size() > kShowSettingsMax) {
      Problem(0, ShowFault::TooLarge, std::to_string(bytes.size()));
      return std::move(parse_);
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    int number = 0;
    while (!bytes.empty() || number == 0) {
      const auto end = bytes.find('\n');
      std::string_view line = bytes.substr(0, end);
      bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
      if (line.ends_with('\r')) line.remove_suffix(1);
      ReadLine(++number, line);
      if (end == std::string_view::npos) break;
    }
    ShowSettings& settings = parse_.settings;
    settings.startInShow = startInShow_ || settings.kiosk;
    return std::move(parse_);
  }

 private:
  enum class Section { None, Show, Entry, Ignored };

  void Problem(int line, ShowFault fault, std::string detail) {
    parse_.problems.push_back({line, fault, std::move(detail)});
  }

  void ReadLine(int line, std::string_view text) {
    if (!IsUtf8(text)) return Problem(line, ShowFault::NotUtf8, Printable(text));
    text = Trim(text);
    if (text.empty() || text[0] == ';' || text[0] == '#') return;
    if (text[0] == '[') return ReadSection(line, text);
    const auto equals = text.find('=');
    const std::string_view key = Trim(text.substr(0, equals));
    if (equals == std::string_view::npos || key.empty()) {
      return Problem(line, ShowFault::Syntax, std::string(text));
    }
    const std::string_view rest = text.substr(equals + 1);
    const std::string_view value = SameWord(key, "Note") ? Trim(rest) : Trim(CutComment(rest));
    switch (section_) {
      case Section::None:
        return Problem(line, ShowFault::KeyOutsideSection, std::string(key));
      case Section::Show:
        return ReadShowKey(line, key, value);
      case Section::Entry:
        return ReadEntryKey(line, key, value, parse_.settings.slides.back());
      case Section::Ignored: {
        // Still read, so that its own faults are named, but applied nowhere.
        SlideSettings ignored;
        return ReadEntryKey(line, key, value, ignored);
      }
    }
  }

  // "[name]", then nothing but blanks or a comment; the name may hold ']'.
  void ReadSection(int line, std::string_view text) {
    std::optional<std::string_view> name;
    for (auto close = text.find(']'); close != std::string_view::npos;
         close = text.find(']', close + 1)) {
      const std::string_view after = Trim(text.substr(close + 1));
      if (after.empty() || after[0] == ';' || after[0] == '#') {
        name = Trim(text.substr(1, close - 1));
        break;
      }
    }
    section_ = Section::Ignored;
    if (!name || name->empty()) return Problem(line, ShowFault::Syntax, std::string(text));
    if (SameWord(*name, "Show")) {
      if (seenShow_) return Problem(line, ShowFault::SectionTwice, std::string(*name));
      seenShow_ = true;
      section_ = Section::Show;
      return;
    }
    std::string entry;
    try {
      entry = ToCp1252(*name);
    } catch (const FormatError&) {
      return Problem(line, ShowFault::NotWindows1252, std::string(*name));
    }
    if (parse_.settings.Slide(entry)) {
      return Problem(line, ShowFault::SectionTwice, std::string(*name));
    }
    SlideSettings& slide = parse_.settings.slides.emplace_back();
    slide.entry = std::move(entry);
    slide.line = line;
    section_ = Section::Entry;
  }

  void ReadShowKey(int line, std::string_view key, std::string_view value) {
    ShowSettings& settings = parse_.settings;
    if (SameWord(key, "Advance")) {
      if (const auto ms = Thousandths(line, key, value, kMaxStandMilliseconds / 1000)) {
        settings.advanceMilliseconds = *ms;
      }
    } else if (SameWord(key, "Loop") || SameWord(key, "Kiosk")) {
      const auto yes = ReadYesNo(value);
      if (!yes) return Problem(line, ShowFault::BadYesNo, KeyValue(key, value));
      (SameWord(key, "Loop") ? settings.loop : settings.kiosk) = *yes;
    } else if (SameWord(key, "Start")) {
      if (!SameWord(value, "show") && !SameWord(value, "list")) {
        return Problem(line, ShowFault::BadStart, KeyValue(key, value));
      }
      startInShow_ = SameWord(value, "show");
    } else if (SameWord(key, "Music")) {
      if (auto name = Name(line, value)) {
        settings.music = std::move(*name);
        settings.musicLine = line;
      }
    } else if (SameWord(key, "Volume")) {
      if (const auto volume = Whole(line, key, value, 100)) settings.musicVolume = *volume;
    } else if (SameWord(key, "Fade")) {
      if (const auto ms = Whole(line, key, value, kMaxFadeMilliseconds)) {
        settings.fadeMilliseconds = *ms;
      }
    } else {
      Problem(line, ShowFault::UnknownKey, std::string(key));
    }
  }

  void ReadEntryKey(int line, std::string_view key, std::string_view value, SlideSettings& slide) {
    if (SameWord(key, "Seconds")) {
      if (const auto ms = Thousandths(line, key, value, kMaxStandMilliseconds / 1000)) {
        slide.milliseconds = *ms;
      }
    } else if (SameWord(key, "Sound")) {
      if (auto name = Name(line, value)) {
        slide.sound = std::move(*name);
        slide.soundLine = line;
      }
    } else if (SameWord(key, "Volume")) {
      if (const auto volume = Whole(line, key, value, 100)) slide.volume = *volume;
    } else if (SameWord(key, "Note")) {
      slide.notes.emplace_back(value);
    } else {
      Problem(line, ShowFault::UnknownKey, std::string(key));
    }
  }

  static std::string KeyValue(std::string_view key, std::string_view value) {
    return std::string(key) + '=' + std::string(value);
  }

  std::optional<std::uint32_t> Checked(int line, std::string_view key, std::string_view value,
                                       NumberRead read, std::uint64_t number) {
    if (read == NumberRead::Good) return static_cast<std::uint32_t>(number);
    Problem(line, read == NumberRead::Bad ? ShowFault::BadNumber : ShowFault::OutOfRange,
            KeyValue(key, value));
    return std::nullopt;
  }

  std::optional<std::uint32_t> Thousandths(int line, std::string_view key, std::string_view value,
                                           std::uint64_t limit) {
    std::uint64_t number = 0;
    const NumberRead read = ReadThousandths(value, limit, number);
    return Checked(line, key, value, read, number);
  }

  std::optional<std::uint32_t> Whole(int line, std::string_view key, std::string_view value,
                                     std::uint64_t limit) {
    std::uint64_t number = 0;
    const NumberRead read = ReadWhole(value, limit, number);
    return Checked(line, key, value, read, number);
  }

  // A packed name in Windows-1252; empty is "none".
  std::optional<std::string> Name(int line, std::string_view value) {
    try {
      return ToCp1252(value);
    } catch (const FormatError&) {
      Problem(line, ShowFault::NotWindows1252, std::string(value));
      return std::nullopt;
    }
  }

  ShowParse parse_;
  Section section_ = Section::None;
  bool seenShow_ = false;
  bool startInShow_ = false;
};

bool EndsWithFolded(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() && SameWord(name.substr(name.size() - suffix.size()), suffix);
}

std::string Count(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + ' ' + std::string(n == 1 ? one : many);
}

// "8 s", "0.2 s", "1.125 s".
std::string Seconds(std::uint32_t milliseconds) {
  std::string text = std::to_string(milliseconds / 1000);
  if (const auto part = milliseconds % 1000) {
    std::string digits = std::to_string(1000 + part).substr(1);
    while (digits.back() == '0') digits.pop_back();
    text += '.' + digits;
  }
  return text + " s";
}

}  // namespace

const SlideSettings* ShowSettings::Slide(std::string_view cp1252Entry) const {
  const std::string folded = FoldCase(cp1252Entry);
  const auto found = std::find_if(slides.begin(), slides.end(), [&](const SlideSettings& slide) {
    return FoldCase(slide.entry) == folded;
  });
  return found == slides.end() ? nullptr : &*found;
}

std::string DescribeFault(const ShowProblem& problem) {
  const std::string detail = '"' + Printable(problem.detail) + '"';
  switch (problem.fault) {
    case ShowFault::TooLarge:
      return "larger than 1 MiB (" + problem.detail + " bytes)";
    case ShowFault::NotUtf8:
      return "not UTF-8: " + detail;
    case ShowFault::NotWindows1252:
      return "the name " + detail + " has a character Windows-1252 cannot hold";
    case ShowFault::Syntax:
      return "neither [section], key=value nor comment: " + detail;
    case ShowFault::KeyOutsideSection:
      return "the key " + detail + " comes before any [section]";
    case ShowFault::UnknownKey:
      return "unknown key " + detail;
    case ShowFault::BadNumber:
    case ShowFault::OutOfRange: {
      const std::string_view key =
          std::string_view(problem.detail).substr(0, problem.detail.find('='));
      return std::string(problem.fault == ShowFault::BadNumber ? "not a number: "
                                                               : "out of range: ") +
             detail + " (" + std::string(RangeOf(key)) + ")";
    }
    case ShowFault::BadYesNo:
      return detail + ": yes or no expected";
    case ShowFault::BadStart:
      return detail + ": show or list expected";
    case ShowFault::SectionTwice:
      return "the section [" + Printable(problem.detail) + "] a second time";
    case ShowFault::NoSuchEntry:
      return "no packed entry is named " + detail;
    case ShowFault::NotAudio:
      return detail + " is no audio file (.mp3, .wav, .m4a, .aac, .wma)";
  }
  return "unreadable: " + detail;
}

std::string Describe(const ShowProblem& problem) {
  const std::string what = DescribeFault(problem);
  return problem.line == 0 ? what : "line " + std::to_string(problem.line) + ": " + what;
}

ShowParse ParseShowSettings(std::string_view bytes) {
  return Reader().Read(bytes);
}

void CheckShowEntries(ShowParse& parse, std::span<const std::string> cp1252Names) {
  std::vector<std::string> folded;
  folded.reserve(cp1252Names.size());
  for (const auto& name : cp1252Names) folded.push_back(FoldCase(name));
  std::sort(folded.begin(), folded.end());
  const auto packed = [&](std::string_view name) {
    return std::binary_search(folded.begin(), folded.end(), FoldCase(name));
  };
  auto& problems = parse.problems;
  // A sound or music that names no entry, or no audio one; false leaves it out.
  const auto audio = [&](const std::string& name, int line) {
    if (name.empty()) return true;
    if (!packed(name)) {
      problems.push_back({line, ShowFault::NoSuchEntry, ToUtf8(name)});
    } else if (!IsAudioName(name)) {
      problems.push_back({line, ShowFault::NotAudio, ToUtf8(name)});
    } else {
      return true;
    }
    return false;
  };
  ShowSettings& settings = parse.settings;
  if (!audio(settings.music, settings.musicLine)) settings.music.clear(), settings.musicLine = 0;
  std::erase_if(settings.slides, [&](SlideSettings& slide) {
    const bool gone = !packed(slide.entry);
    if (gone) problems.push_back({slide.line, ShowFault::NoSuchEntry, ToUtf8(slide.entry)});
    if (!audio(slide.sound, slide.soundLine)) slide.sound.clear(), slide.soundLine = 0;
    return gone;
  });
  std::stable_sort(problems.begin(), problems.end(),
                   [](const ShowProblem& a, const ShowProblem& b) { return a.line < b.line; });
}

bool IsAudioName(std::string_view cp1252Name) {
  constexpr std::array<std::string_view, 5> kAudio = {".mp3", ".wav", ".m4a", ".aac", ".wma"};
  return std::any_of(kAudio.begin(), kAudio.end(),
                     [&](std::string_view ext) { return EndsWithFolded(cp1252Name, ext); });
}

std::string ShowSummary(const ShowSettings& settings) {
  std::vector<std::string> parts;
  if (settings.advanceMilliseconds > 0) {
    parts.push_back("advance " + Seconds(settings.advanceMilliseconds));
  }
  std::size_t timed = 0, sounds = 0, notes = 0;
  for (const auto& slide : settings.slides) {
    timed += slide.milliseconds.has_value();
    sounds += !slide.sound.empty();
    notes += !slide.notes.empty();
  }
  if (timed > 0) parts.push_back(Count(timed, "slide timed", "slides timed"));
  if (sounds > 0) parts.push_back(Count(sounds, "sound", "sounds"));
  if (!settings.music.empty()) parts.push_back("music " + Quoted(settings.music));
  if (settings.fadeMilliseconds > 0) {
    parts.push_back("fade " + std::to_string(settings.fadeMilliseconds) + " ms");
  }
  if (notes > 0) parts.push_back(Count(notes, "slide with notes", "slides with notes"));
  if (settings.loop) parts.push_back("loop");
  if (settings.kiosk) {
    parts.push_back("kiosk");
  } else if (settings.startInShow) {
    parts.push_back("starts in the show");
  }
  if (parts.empty()) return "by hand";
  std::string summary = parts[0];
  for (std::size_t i = 1; i < parts.size(); ++i) summary += ", " + parts[i];
  return summary;
}

}  // namespace turv::format
