// Walking text in the system's ANSI code page by characters, not bytes. In
// the East Asian code pages the second byte of a two-byte character may
// equal "\" or a letter A-Z; the rules here never take it for one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace turv::platform {

// The length in bytes (1 or 2) of the character that starts at byte at.
std::size_t CharLength(std::string_view text, std::size_t at);
// True when the text's last character is a backslash of its own.
bool EndsInBackslash(std::string_view text);
// The text with the one-byte letters A-Z lowered; every other character,
// two-byte ones whole, unchanged.
std::string LowerAsciiLetters(std::string_view text);

}  // namespace turv::platform
