// Windows-1252 <-> UTF-8. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same
// value, as Windows' own conversion does, so every byte string survives a
// round trip.
#include <array>
#include <cstdio>
#include <optional>

#include "format/karu_format.h"

namespace turv::format {

namespace {

constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string CodePoint(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

// The character starting at utf8[at], advancing at past it; nothing, and
// at unchanged, for anything that is not well-formed UTF-8 (overlong forms
// and surrogates too).
std::optional<char32_t> TryDecode(std::string_view utf8, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(utf8[at]);
  std::size_t length = 0;
  char32_t c = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07, least = 0x10000;
  } else {
    return std::nullopt;
  }
  if (utf8.size() - at < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(utf8[at + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (next & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  at += length;
  return c;
}

char32_t Decode(std::string_view utf8, std::size_t& at) {
  const auto c = TryDecode(utf8, at);
  if (!c) throw FormatError("not valid UTF-8 (byte " + std::to_string(at + 1) + ")");
  return *c;
}

std::string Escaped(const char* form, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, form, value);
  return text;
}

}  // namespace

char32_t Cp1252CodePoint(std::uint8_t byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char32_t{byte};
}

std::string ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (const char ch : cp1252) {
    const auto byte = static_cast<unsigned char>(ch);
    AppendUtf8(out, Cp1252CodePoint(byte));
  }
  return out;
}

std::string ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t start = at;
    const char32_t c = Decode(utf8, at);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    std::size_t found = 0;
    while (found < kHigh.size() && kHigh[found] != c) ++found;
    if (found == kHigh.size()) {
      throw FormatError("the character " + CodePoint(c) + " \"" +
                        std::string(utf8.substr(start, at - start)) +
                        "\" has no Windows-1252 form");
    }
    out += static_cast<char>(0x80 + found);
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    if (!TryDecode(text, at)) return false;
  }
  return true;
}

bool IsControl(char cp1252) {
  const char32_t c = Cp1252CodePoint(static_cast<std::uint8_t>(cp1252));
  return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

std::string Printable(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t start = at;
    const auto c = TryDecode(utf8, at);
    if (!c) {
      out += Escaped("\\x%02X", static_cast<unsigned char>(utf8[at++]));
    } else if (*c < 0x20 || *c == 0x7F) {
      out += Escaped("\\x%02X", static_cast<unsigned>(*c));
    } else if ((*c >= 0x80 && *c < 0xA0) || (*c >= 0x202A && *c <= 0x202E) ||
               (*c >= 0x2066 && *c <= 0x2069)) {
      out += Escaped("\\u%04X", static_cast<unsigned>(*c));
    } else {
      out += utf8.substr(start, at - start);
    }
  }
  return out;
}

std::string Quoted(std::string_view cp1252) {
  return '"' + Printable(ToUtf8(cp1252)) + '"';
}

}  // namespace turv::format
