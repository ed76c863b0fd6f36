#include "format/karu_format.h"

#include <algorithm>
#include <array>
#include <limits>

#include "platform/cp1252.h"

namespace turv::format {

namespace {

constexpr std::size_t kNameField = 1 + kNameMax;
constexpr std::size_t kCaptionField = 1 + kCaptionMax;
static_assert(kCaptionOffset == kNameOffset + kNameField);
static_assert(kSizeOffset == kCaptionOffset + kCaptionField);
static_assert(kPositionOffset == kSizeOffset + 8);
static_assert(kEntrySize == kPositionOffset + 8);
static_assert(kDirectorySize == kMaxEntries * kEntrySize + 176);

using Bytes = std::span<const std::uint8_t>;

std::uint64_t ReadLe64(Bytes bytes, std::size_t at) {
  std::uint64_t value = 0;
  for (std::size_t i = 8; i-- > 0;) value = (value << 8) | bytes[at + i];
  return value;
}

void WriteLe64(std::span<std::uint8_t> bytes, std::size_t at, std::uint64_t value) {
  for (std::size_t i = 0; i < 8; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void WriteText(std::span<std::uint8_t> field, std::string_view text) {
  field[0] = static_cast<std::uint8_t>(text.size());
  std::copy(text.begin(), text.end(), field.begin() + 1);
}

std::string EntryLabel(std::size_t index, std::string_view name = {}) {
  std::string label = "entry " + std::to_string(index + 1);
  if (!name.empty()) label += " (" + Quoted(name) + ")";
  return label + ": ";
}

// The entry every unused slot holds: "0", "0", 0, 0.
void WriteUnused(std::span<std::uint8_t> entry) {
  WriteText(entry.subspan(kNameOffset, kNameField), "0");
  WriteText(entry.subspan(kCaptionOffset, kCaptionField), "0");
}

}  // namespace

std::vector<std::uint8_t> BuildDirectory(std::vector<Entry>& entries) {
  if (entries.size() > kMaxEntries) {
    throw FormatError(std::to_string(entries.size()) + " files; a directory holds at most " +
                      std::to_string(kMaxEntries));
  }
  std::int64_t position = kDirectorySize;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    if (e.name.empty()) throw FormatError(EntryLabel(i) + "the name is empty");
    if (e.name.size() > kNameMax) {
      throw FormatError(EntryLabel(i, e.name) + "the name has " + std::to_string(e.name.size()) +
                        " characters; at most " + std::to_string(kNameMax) + " fit");
    }
    if (e.caption.size() > kCaptionMax) {
      throw FormatError(EntryLabel(i, e.name) + "the caption has " +
                        std::to_string(e.caption.size()) + " characters; at most " +
                        std::to_string(kCaptionMax) + " fit");
    }
    if (e.size < 0) {
      throw FormatError(EntryLabel(i, e.name) + "negative size " + std::to_string(e.size));
    }
    if (e.size > std::numeric_limits<std::int64_t>::max() - position) {
      throw FormatError(EntryLabel(i, e.name) + "the bodies' sizes add up past 64 bits");
    }
    position += e.size;
  }

  std::vector<std::uint8_t> block(kDirectorySize, 0);
  const std::span<std::uint8_t> all(block);
  position = kDirectorySize;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Entry& e = entries[i];
    e.position = position;
    position += e.size;
    const auto entry = all.subspan(i * kEntrySize, kEntrySize);
    WriteText(entry.subspan(kNameOffset, kNameField), e.name);
    WriteText(entry.subspan(kCaptionOffset, kCaptionField), e.caption);
    WriteLe64(entry, kSizeOffset, static_cast<std::uint64_t>(e.size));
    WriteLe64(entry, kPositionOffset, static_cast<std::uint64_t>(e.position));
  }
  for (std::size_t i = entries.size(); i < kMaxEntries; ++i) {
    WriteUnused(all.subspan(i * kEntrySize, kEntrySize));
  }
  // The block ends inside a 2,873rd entry; its first 176 bytes take the
  // unused form as far as they reach (name and most of the caption field).
  WriteUnused(all.subspan(kMaxEntries * kEntrySize));
  return block;
}

std::vector<Entry> ParseDirectory(std::span<const std::uint8_t> directory,
                                  std::uint64_t regionSize) {
  const std::uint64_t held = std::min<std::uint64_t>(directory.size(), regionSize);
  if (held < kDirectorySize) {
    throw FormatError(EntryLabel(static_cast<std::size_t>(held / kEntrySize)) +
                          "the directory is cut short: it ends after " + std::to_string(held) +
                          " of " + std::to_string(kDirectorySize) + " bytes",
                      Damage::CutShort, static_cast<std::size_t>(held / kEntrySize) + 1);
  }

  std::vector<Entry> entries;
  std::size_t firstUnused = 0;
  bool seenUnused = false;
  std::uint64_t expected = kDirectorySize;  // where the next body must begin
  for (std::size_t i = 0; i < kMaxEntries; ++i) {
    const Bytes entry = directory.subspan(i * kEntrySize, kEntrySize);
    const std::size_t nameLength = entry[kNameOffset];
    const std::size_t captionLength = entry[kCaptionOffset];
    const auto size = static_cast<std::int64_t>(ReadLe64(entry, kSizeOffset));
    // Readers have only ever used the low 32 bits of a position.
    const std::uint64_t position = ReadLe64(entry, kPositionOffset) & 0xFFFF'FFFFu;

    const bool unused = nameLength == 1 && entry[kNameOffset + 1] == '0' && captionLength == 1 &&
                        entry[kCaptionOffset + 1] == '0' && size == 0 && position == 0;
    if (unused) {
      if (!seenUnused) firstUnused = i;
      seenUnused = true;
      continue;
    }
    if (seenUnused) {
      throw FormatError(
          EntryLabel(i) + "a used entry after the unused entry " + std::to_string(firstUnused + 1),
          Damage::UsedAfterUnused, i + 1);
    }
    if (nameLength == 0)
      throw FormatError(EntryLabel(i) + "the name is empty", Damage::EmptyName, i + 1);
    if (nameLength > kNameMax) {
      throw FormatError(EntryLabel(i) + "the name's length byte says " +
                            std::to_string(nameLength) + "; the field holds at most " +
                            std::to_string(kNameMax),
                        Damage::NameTooLong, i + 1);
    }
    Entry e;
    e.name.assign(reinterpret_cast<const char*>(entry.data()) + kNameOffset + 1, nameLength);
    if (captionLength > kCaptionMax) {
      throw FormatError(EntryLabel(i, e.name) + "the caption's length byte says " +
                            std::to_string(captionLength) + "; the field holds at most " +
                            std::to_string(kCaptionMax),
                        Damage::CaptionTooLong, i + 1);
    }
    e.caption.assign(reinterpret_cast<const char*>(entry.data()) + kCaptionOffset + 1,
                     captionLength);
    if (size < 0) {
      throw FormatError(EntryLabel(i, e.name) + "negative body size " + std::to_string(size),
                        Damage::NegativeSize, i + 1);
    }
    if (position != expected) {
      std::string why;
      if (i == 0) {
        why = "the first body must begin at " + std::to_string(kDirectorySize) +
              ", where the directory ends";
      } else if (position < static_cast<std::uint64_t>(entries.back().position)) {
        why = "out of order: it comes before the body of entry " + std::to_string(i) + " at " +
              std::to_string(entries.back().position);
      } else if (position < expected) {
        why = "it overlaps the body of entry " + std::to_string(i) + ", which ends at " +
              std::to_string(expected);
      } else {
        why = "a gap of " + std::to_string(position - expected) +
              " bytes after the body of entry " + std::to_string(i) + ", which ends at " +
              std::to_string(expected);
      }
      throw FormatError(EntryLabel(i, e.name) + "the body at " + std::to_string(position) +
                            " is misplaced: " + why,
                        Damage::Misplaced, i + 1);
    }
    if (static_cast<std::uint64_t>(size) > regionSize - position) {
      throw FormatError(EntryLabel(i, e.name) + "the body of " + std::to_string(size) +
                            " bytes at " + std::to_string(position) +
                            " runs past the end of the data (" + std::to_string(regionSize) +
                            " bytes)",
                        Damage::PastEnd, i + 1);
    }
    e.size = size;
    e.position = static_cast<std::int64_t>(position);
    expected = position + static_cast<std::uint64_t>(size);
    entries.push_back(std::move(e));
  }
  return entries;
}

std::optional<NameFault> CheckName(std::string_view name) {
  if (name.empty()) return NameFault{NameRule::Empty};
  if (name.size() > kNameMax) return NameFault{NameRule::TooLong};
  if (name == "." || name == "..") return NameFault{NameRule::DotName};
  for (const char c : name) {
    if (IsControl(c)) return NameFault{NameRule::Control, c};
    if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) {
      return NameFault{NameRule::Forbidden, c};
    }
  }
  if (name.back() == '.') return NameFault{NameRule::TrailingDot};
  if (name.back() == ' ') return NameFault{NameRule::TrailingBlank};
  // Device names are reserved with any extension, and blanks before the
  // extension do not help.
  std::string stem = FoldCase(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static constexpr std::array<std::string_view, 6> kDevices = {"con", "prn",    "aux",
                                                               "nul", "conin$", "conout$"};
  bool device = std::find(kDevices.begin(), kDevices.end(), stem) != kDevices.end();
  if (stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt"))) {
    // COM0-9 and LPT0-9, and with a superscript digit one, two or three.
    const auto digit = static_cast<unsigned char>(stem[3]);
    device = (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
  }
  if (device) return NameFault{NameRule::Device};
  return std::nullopt;
}

std::optional<std::string> NameProblem(std::string_view name) {
  const auto fault = CheckName(name);
  if (!fault) return std::nullopt;
  switch (fault->rule) {
    case NameRule::Empty:
      return "the name is empty";
    case NameRule::TooLong:
      return "the name has " + std::to_string(name.size()) + " characters; at most " +
             std::to_string(kNameMax) + " fit";
    case NameRule::DotName:
      return Quoted(name) + " is no file name";
    case NameRule::Control:
      return "the name holds a control character (" + Quoted(std::string(1, fault->character)) +
             ")";
    case NameRule::Forbidden:
      return "the name holds '" + std::string(1, fault->character) +
             "', which Windows forbids in file names";
    case NameRule::TrailingDot:
      return "the name ends with a dot, which Windows drops";
    case NameRule::TrailingBlank:
      return "the name ends with a blank, which Windows drops";
    case NameRule::Device:
      return Quoted(name) + " is a device name on Windows";
  }
  return "the name breaks a rule";
}

std::string FoldCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = platform::LowerCp1252(c);
  return folded;
}

}  // namespace turv::format
