// Text as the player shows it: every text reaches the window as UTF-16,
// decoded explicitly, whatever the system's code page is.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace turv::player {

// A failure the user is told about, in German.
class PlayerError : public std::runtime_error {
 public:
  explicit PlayerError(std::u16string message);
  const std::u16string& Message() const { return message_; }

 private:
  std::u16string message_;
};

// Windows-1252 (captions, names, the player's own texts) to UTF-16. The five
// undefined bytes become the control characters of the same value, as
// Windows' own conversion has it.
std::u16string FromCp1252(std::string_view cp1252);

// UTF-8 to UTF-16; ill-formed bytes become U+FFFD.
std::u16string FromUtf8(std::string_view utf8);
// UTF-16 to UTF-8; lone surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

// Whether bytes are well-formed UTF-8 with at least one character beyond
// ASCII. A character cut off at the very end (a shortened view) does not
// spoil text already seen to be UTF-8.
bool LooksLikeUtf8(std::span<const std::uint8_t> bytes);

// Whether bytes begin with a UTF-16 byte order mark, in either order.
bool StartsUtf16(std::span<const std::uint8_t> bytes);

// A text file's bytes for a multi-line edit control: a byte order mark picks
// UTF-8, UTF-16LE or UTF-16BE; text without one is UTF-8 when it reads as such, else
// Windows-1252. Line ends become CR LF; NUL becomes a blank.
std::u16string DecodeTextFile(std::span<const std::uint8_t> bytes);

// "1.234.567 Bytes": German digit groups.
std::u16string ByteCount(std::uint64_t bytes);

}  // namespace turv::player
