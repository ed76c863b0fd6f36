// show.ini kept line by line for the authoring window. The file's own
// reader (format::ParseShowSettings) decides what each line means and
// whether the packer takes it; this file only finds a setting's line,
// rewrites it, and words the reader's faults in German.
#include "authoring/show_setup.h"

#include <algorithm>

#include "authoring/texts.h"
#include "format/karu_format.h"

namespace turv::authoring {

namespace {

// How a refused line stays in the file: a comment the packer passes over.
constexpr std::string_view kHeldBack = "; vom Packer abgelehnt: ";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Names compared as Windows compares file names; text that is no
// Windows-1252 compares as it is.
std::string Folded(std::string_view utf8) {
  try {
    return format::FoldCase(format::ToCp1252(utf8));
  } catch (const format::FormatError&) {
    return "\x01" + std::string(utf8);
  }
}

bool Same(std::string_view a, std::string_view b) {
  return Folded(a) == Folded(b);
}

std::string Why(const format::ShowProblem& problem) {
  const std::string detail = format::Printable(problem.detail);
  switch (problem.fault) {
    case format::ShowFault::TooLarge:
      return "> 1 MiB";
    case format::ShowFault::NotUtf8:
      return Say(Text::ShowNotUtf8);
    case format::ShowFault::NotWindows1252:
      return Say(Text::ShowNotCp1252, {detail});
    case format::ShowFault::Syntax:
      return Say(Text::ShowSyntax);
    case format::ShowFault::KeyOutsideSection:
      return Say(Text::ShowKeyOutside, {detail});
    case format::ShowFault::UnknownKey:
      return Say(Text::ShowUnknownKey, {detail});
    case format::ShowFault::BadNumber:
      return Say(Text::ShowBadNumber, {detail});
    case format::ShowFault::OutOfRange:
      return Say(Text::ShowOutOfRange, {detail});
    case format::ShowFault::BadYesNo:
      return Say(Text::ShowBadYesNo, {detail});
    case format::ShowFault::BadStart:
      return Say(Text::ShowBadStart, {detail});
    case format::ShowFault::SectionTwice:
      return Say(Text::ShowSectionTwice, {detail});
    case format::ShowFault::NoSuchEntry:
      return Say(Text::ShowNoSuchEntry, {detail});
    case format::ShowFault::NotAudio:
      return Say(Text::ShowNotAudio, {detail});
  }
  return Say(Text::ShowSyntax);
}

// Whether the name ends in an audio extension, whatever its code page.
bool IsAudio(std::string_view utf8) {
  try {
    return format::IsAudioName(format::ToCp1252(utf8));
  } catch (const format::FormatError&) {
    return false;
  }
}

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead >= 0x80 && (lead < 0xC2 || lead > 0xF4)) return false;
    if (at + length > text.size()) return false;
    for (std::size_t i = 1; i < length; ++i) {
      if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return false;
    }
    at += length;
  }
  return true;
}

// As the reader takes it: up to the first ']' that only blanks or a
// comment follow; a head without one names no section.
std::string HeadName(std::string_view head) {
  for (auto close = head.find(']'); close != std::string_view::npos;
       close = head.find(']', close + 1)) {
    const std::string_view after = Trim(head.substr(close + 1));
    if (after.empty() || after[0] == ';' || after[0] == '#') {
      return std::string(Trim(head.substr(1, close - 1)));
    }
  }
  std::string none = "\x02";
  none.append(head);
  return none;
}

// A key's line in three parts: up to and with its '=', its value, and an
// inline comment after the value (a note has none: its value is whole).
struct KeyLine {
  std::string_view lead, value, comment;
};
KeyLine Split(std::string_view text, bool note) {
  auto equals = text.find('=') + 1;
  while (equals < text.size() && (text[equals] == ' ' || text[equals] == '\t')) ++equals;
  const std::string_view rest = text.substr(equals);
  std::size_t cut = rest.size();
  for (std::size_t at = 0; !note && at < rest.size(); ++at) {
    if ((rest[at] == ';' || rest[at] == '#') &&
        (at == 0 || rest[at - 1] == ' ' || rest[at - 1] == '\t')) {
      cut = at;
      break;
    }
  }
  return {text.substr(0, equals), Trim(rest.substr(0, cut)), Trim(rest.substr(cut))};
}

std::string_view Stem(std::string_view name) {
  const auto dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(0, dot);
}

}  // namespace

std::string SecondsText(std::uint32_t milliseconds) {
  std::string text = std::to_string(milliseconds / 1000);
  if (const std::uint32_t rest = milliseconds % 1000) {
    std::string fraction = std::to_string(1000 + rest).substr(1);
    while (fraction.back() == '0') fraction.pop_back();
    text += "." + fraction;
  }
  return text;
}

std::optional<std::string> SoundByName(std::string_view slide, std::span<const std::string> names) {
  if (IsAudio(slide)) return std::nullopt;
  for (const std::string& name : names) {
    if (name != slide && IsAudio(name) && Same(Stem(name), Stem(slide))) return name;
  }
  return std::nullopt;
}

ShowSetup::ShowSetup(std::optional<std::string_view> file, std::vector<std::string> names)
    : names_(std::move(names)), exists_(file.has_value()) {
  std::string_view bytes = file.value_or("");
  if (bytes.starts_with(kBom)) {
    bom_ = true;
    bytes.remove_prefix(kBom.size());
  }
  crlf_ = bytes.find("\r\n") != std::string_view::npos;
  while (!bytes.empty()) {
    const auto end = bytes.find('\n');
    std::string_view text = bytes.substr(0, end);
    if (text.ends_with('\r')) text.remove_suffix(1);
    lines_.push_back({std::string(text), {}, {}, false});
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
  }
  Reparse();
}

ShowSetup ShowSetup::NotRead(std::string why) {
  ShowSetup show;
  show.exists_ = true;
  show.unreadable_ = std::move(why);
  return show;
}

std::string ShowSetup::Joined(const std::vector<std::string>& lines) const {
  std::string text = bom_ ? std::string(kBom) : std::string();
  for (const std::string& line : lines) text += line + (crlf_ ? "\r\n" : "\n");
  return text;
}

// The reader sees the file as it stands; every line learns its section
// and key, every refused line its reason.
void ShowSetup::Reparse() {
  std::vector<std::string> texts;
  std::string section;
  for (Line& line : lines_) {
    texts.push_back(line.text);
    const std::string_view trimmed = Trim(line.text);
    line.head = trimmed.starts_with('[');
    line.key.clear();
    if (line.head) {
      section = HeadName(trimmed);
    } else if (const auto equals = trimmed.find('='); equals != std::string_view::npos &&
                                                      !trimmed.starts_with(';') &&
                                                      !trimmed.starts_with('#')) {
      line.key = std::string(Trim(trimmed.substr(0, equals)));
    }
    line.section = section;
  }
  const std::string text = Joined(texts);
  parse_ = format::ParseShowSettings(text);
  std::vector<std::string> cp1252;
  for (const std::string& name : names_) {
    try {
      cp1252.push_back(format::ToCp1252(name));
    } catch (const format::FormatError&) {
      // No line can name it.
    }
  }
  format::CheckShowEntries(parse_, cp1252);
  refusals_.clear();
  unreadable_.reset();
  for (const format::ShowProblem& problem : parse_.problems) {
    if (problem.line <= 0 || static_cast<std::size_t>(problem.line) > lines_.size()) {
      unreadable_ = Why(problem);
      continue;
    }
    const Line& line = lines_[static_cast<std::size_t>(problem.line) - 1];
    refusals_.push_back(
        {problem.line, line.section, line.head ? "" : line.key, line.text, Why(problem)});
  }
}

std::optional<std::pair<std::size_t, std::size_t>> ShowSetup::Range(
    std::string_view section) const {
  for (std::size_t head = 0; head < lines_.size(); ++head) {
    if (!lines_[head].head || !Same(lines_[head].section, section)) continue;
    std::size_t end = head + 1;
    while (end < lines_.size() && !lines_[end].head) ++end;
    return std::pair(head + 1, end);
  }
  return std::nullopt;
}

std::string ShowSetup::Value(std::string_view section, std::string_view key) const {
  const auto range = Range(section);
  if (!range) return {};
  std::string value;
  for (std::size_t i = range->first; i < range->second; ++i) {
    if (Same(lines_[i].key, key)) value = Split(lines_[i].text, Same(key, "Note")).value;
  }
  return value;
}

void ShowSetup::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (unreadable_) return;
  std::string line(key);
  line.append("=").append(value);
  auto range = Range(section);
  bool placed = value.empty();
  if (range) {
    for (std::size_t i = range->first; i < range->second;) {
      if (!Same(lines_[i].key, key)) {
        ++i;
      } else if (!placed) {
        // The key as spelled there and a comment behind the value stay.
        const KeyLine old = Split(lines_[i].text, Same(key, "Note"));
        std::string text(old.lead);
        text.append(value);
        if (!old.comment.empty()) text.append(" ").append(old.comment);
        if (lines_[i].text != text) dirty_ = true;
        lines_[i].text = std::move(text);
        placed = true;
        ++i;
      } else {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
        --range->second;
        dirty_ = true;
      }
    }
  }
  if (!placed) {
    if (!range) {
      if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({});
      std::string head = "[";
      head.append(section).append("]");
      lines_.push_back({std::move(head), {}, {}, true});
      range = std::pair(lines_.size(), lines_.size());
    }
    // After the section's last key: blanks and comments behind it lead
    // over to the next section.
    std::size_t at = range->second;
    while (at > range->first && lines_[at - 1].key.empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), {line, {}, {}, false});
    dirty_ = true;
  }
  Reparse();
}

std::vector<std::string> ShowSetup::Notes(std::string_view section) const {
  std::vector<std::string> notes;
  const auto range = Range(section);
  if (!range) return notes;
  for (std::size_t i = range->first; i < range->second; ++i) {
    if (Same(lines_[i].key, "Note")) notes.emplace_back(Split(lines_[i].text, true).value);
  }
  return notes;
}

void ShowSetup::SetNotes(std::string_view section, const std::vector<std::string>& notes) {
  if (unreadable_ || Notes(section) == notes) return;
  // The first note's place keeps them all; a note of its own is added there.
  Set(section, "Note", notes.empty() ? "" : notes.front());
  if (notes.size() < 2) return;
  const auto range = Range(section);
  std::size_t at = range->first;
  while (!Same(lines_[at].key, "Note")) ++at;
  for (std::size_t i = 1; i < notes.size(); ++i) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at + i),
                  {"Note=" + notes[i], {}, {}, false});
  }
  Reparse();
}

std::size_t ShowSetup::TakeSoundsByName() {
  std::size_t taken = 0;
  for (const std::string& name : names_) {
    const auto sound = SoundByName(name, names_);
    if (!sound || !Value(name, "Sound").empty()) continue;
    Set(name, "Sound", *sound);
    ++taken;
  }
  return taken;
}

std::vector<std::string> ShowSetup::TakeTimes(std::span<const format::StoodTime> times) {
  std::vector<std::string> taken;
  if (unreadable_) return taken;
  for (const format::StoodTime& time : times) {
    const auto name = std::find_if(names_.begin(), names_.end(), [&](const std::string& packed) {
      return Same(packed, time.name);
    });
    const std::uint64_t tenths = (time.milliseconds + 50) / 100;
    if (name == names_.end() || tenths == 0 || UseOf(*name)) continue;
    Set(*name, "Seconds",
        SecondsText(static_cast<std::uint32_t>(
            std::min<std::uint64_t>(tenths * 100, format::kMaxStandMilliseconds))));
    taken.push_back(*name);
  }
  return taken;
}

std::optional<std::string> ShowSetup::RefusalOf(std::string_view section,
                                                std::string_view key) const {
  for (const Refusal& refusal : refusals_) {
    if (Same(refusal.section, section) && Same(refusal.key, key)) return refusal.why;
  }
  return std::nullopt;
}

std::optional<std::string> ShowSetup::UseOf(std::string_view name) const {
  const std::string folded = Folded(name);
  if (!parse_.settings.music.empty() && Folded(format::ToUtf8(parse_.settings.music)) == folded) {
    return Say(Text::UseMusic);
  }
  for (const format::SlideSettings& slide : parse_.settings.slides) {
    if (!slide.sound.empty() && Folded(format::ToUtf8(slide.sound)) == folded) {
      return Say(Text::UseSound, {format::ToUtf8(slide.entry)});
    }
  }
  return std::nullopt;
}

// A refused head takes its section's lines along: without it they would
// read as the section before's.
std::string ShowSetup::Written() const {
  if (unreadable_) return {};
  std::vector<bool> refused(lines_.size(), false);
  for (const Refusal& refusal : refusals_) {
    const auto at = static_cast<std::size_t>(refusal.line) - 1;
    refused[at] = true;
    if (!lines_[at].head) continue;
    for (std::size_t i = at + 1; i < lines_.size() && !lines_[i].head; ++i) {
      refused[i] = !Trim(lines_[i].text).empty() && !Trim(lines_[i].text).starts_with(';') &&
                   !Trim(lines_[i].text).starts_with('#');
    }
  }
  std::vector<std::string> texts;
  bool any = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    // Bytes that are no text go as '?': a comment too must be UTF-8.
    std::string text = lines_[i].text;
    if (refused[i]) {
      if (!IsUtf8(text)) {
        for (char& c : text) c = static_cast<unsigned char>(c) < 0x80 ? c : '?';
      }
      text = std::string(kHeldBack) + text;
    }
    any = any || !Trim(text).empty();
    texts.push_back(std::move(text));
  }
  return any ? Joined(texts) : std::string();
}

void ShowSetup::Saved() {
  const std::string written = Written();
  const bool there = exists_ || !written.empty();
  std::vector<Refusal> heldBack = std::move(refusals_);
  *this =
      ShowSetup(there ? std::optional<std::string_view>(written) : std::nullopt, std::move(names_));
  heldBack_ = std::move(heldBack);
}

}  // namespace turv::authoring
