// The presentation data region ("karu.pqd"): a fixed directory block, then
// the packed files' bodies. One library for every reader and writer: the
// packer, the player and the tests. Portable; no Windows headers.
//
//   offset 0        672,224 bytes  directory: entries of 234 bytes (2,872
//                                  whole ones and the first 176 bytes of a
//                                  2,873rd)
//   offset 672,224                 the bodies, in entry order, no gaps
//
// Entry (234 bytes, integers little-endian):
//   0    33  name: length byte, up to 32 characters (Windows-1252)
//   33  185  caption: length byte, up to 184 characters (Windows-1252)
//   218   8  body size, signed 64-bit
//   226   8  body position, signed 64-bit, absolute; low 32 bits used
// Used entries come first, in body order; every later entry is "0"/"0"/0/0.
// Bytes the layout leaves open (after a short name or caption) are zero.
// Bytes after the last body (an Authenticode certificate, say) are allowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace turv::format {

inline constexpr std::size_t kEntrySize = 234;
inline constexpr std::size_t kDirectorySize = 672'224;
inline constexpr std::size_t kMaxEntries = 2'872;  // whole entries in the block
inline constexpr std::size_t kNameMax = 32;
inline constexpr std::size_t kCaptionMax = 184;
inline constexpr std::size_t kNameOffset = 0;
inline constexpr std::size_t kCaptionOffset = 33;
inline constexpr std::size_t kSizeOffset = 218;
inline constexpr std::size_t kPositionOffset = 226;

// What a reader found wrong, for callers that word it in their own language.
enum class Damage {
  Other,            // the writer's refusals
  CutShort,         // the directory block is shorter than its size
  UsedAfterUnused,  // a used entry after the unused ones began
  EmptyName,
  NameTooLong,     // the name's length byte exceeds its field
  CaptionTooLong,  // the caption's length byte exceeds its field
  NegativeSize,
  Misplaced,  // the body is not where the one before ends
  PastEnd,    // the body runs past the end of the data
};

class FormatError : public std::runtime_error {
 public:
  explicit FormatError(const std::string& what, Damage damage = Damage::Other,
                       std::size_t entry = 0)
      : std::runtime_error(what), damage_(damage), entry_(entry) {}
  Damage Kind() const { return damage_; }
  std::size_t Entry() const { return entry_; }  // 1-based; 0 when no entry is concerned

 private:
  Damage damage_;
  std::size_t entry_;
};

// One packed file. Texts are Windows-1252 bytes, as stored.
struct Entry {
  std::string name;
  std::string caption;
  std::int64_t size = 0;
  std::int64_t position = 0;  // absolute offset in the data region
  friend bool operator==(const Entry&, const Entry&) = default;
};

// The directory block for files of the given names, captions and sizes, in
// this order; positions are assigned from kDirectorySize on. Throws
// FormatError for a name of 0 or more than 32 characters, a caption over 184,
// more than kMaxEntries files, or a negative size. Returns kDirectorySize
// bytes. The entries' positions are written back into entries.
std::vector<std::uint8_t> BuildDirectory(std::vector<Entry>& entries);

// The used entries of a data region whose first kDirectorySize bytes are
// directory and whose whole size is regionSize. Never trusts the bytes:
// a length byte beyond its field, a size or position outside the region,
// bodies out of order, overlapping or with gaps, a used entry after an
// unused one, a directory shorter than the block: each throws FormatError
// naming the entry (1-based) and what is wrong.
std::vector<Entry> ParseDirectory(std::span<const std::uint8_t> directory,
                                  std::uint64_t regionSize);

// Why a stored name cannot be a file name on Windows, or nothing when it
// can: empty or longer than kNameMax, "." or "..", a control character or
// one of <>:"/\|?*, a trailing dot or blank, or a device name (CON, NUL,
// COM1, LPT1, ... with or without an extension). A name that passes is one
// plain file name on every system: no separators, no way up or out.
std::optional<std::string> NameProblem(std::string_view cp1252Name);

// The rule of NameProblem a name breaks, for callers that word it in their
// own language (the authoring window); character is the offending one for
// Control and Forbidden.
enum class NameRule {
  Empty,
  TooLong,
  DotName,
  Control,
  Forbidden,
  TrailingDot,
  TrailingBlank,
  Device
};
struct NameFault {
  NameRule rule;
  char character = 0;
};
std::optional<NameFault> CheckName(std::string_view cp1252Name);

// Whether a Windows-1252 byte is a control character: C0, DEL, or one of the
// five bytes the code page leaves undefined, which stand for the C1 controls
// of the same value. Names and captions hold none.
bool IsControl(char cp1252);

// The name as Windows compares file names: Windows-1252 letters folded to
// lower case. Two names that fold alike cannot both live in one folder.
std::string FoldCase(std::string_view cp1252);

// Windows-1252 <-> UTF-8. ToCp1252 throws FormatError for text that is not
// UTF-8 or holds a character Windows-1252 cannot (naming it).
std::string ToCp1252(std::string_view utf8);
// The Unicode character of one Windows-1252 byte.
char32_t Cp1252CodePoint(std::uint8_t byte);
std::string ToUtf8(std::string_view cp1252);
// Whether the text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(std::string_view text);

// Text fit for a terminal: UTF-8 with every control character escaped (C0
// and DEL as \xNN, C1 as \u00NN), the bidirectional embeddings, overrides
// and isolates too (\u202A-\u202E, \u2066-\u2069), and every byte that is
// not UTF-8 as \xNN, so that nothing printed can move the cursor, retitle
// the window, start a terminal command or turn a line around.
std::string Printable(std::string_view utf8);
// A stored Windows-1252 text as messages show it: UTF-8, quoted, escaped.
std::string Quoted(std::string_view cp1252);

}  // namespace turv::format
