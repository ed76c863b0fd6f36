#include "lumirax/player_text.h"

#include "format/karu_format.h"
#include "lumirax/player_texts.h"

namespace turv::player {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendCodePoint(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

enum class Step { Ok, Bad, CutShort };

// One UTF-8 character at bytes[at]: its code point and length, or why not.
Step DecodeOne(std::span<const std::uint8_t> bytes, std::size_t at, char32_t& c,
               std::size_t& length) {
  const std::uint8_t lead = bytes[at];
  char32_t least = 0;
  if (lead < 0x80) {
    c = lead, length = 1;
    return Step::Ok;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    c = lead & 0x1Fu, length = 2, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    c = lead & 0x0Fu, length = 3, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    c = lead & 0x07u, length = 4, least = 0x10000;
  } else {
    return Step::Bad;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (at + k >= bytes.size()) return Step::CutShort;
    const std::uint8_t next = bytes[at + k];
    if ((next & 0xC0) != 0x80) return Step::Bad;
    c = (c << 6) | (next & 0x3Fu);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return Step::Bad;
  return Step::Ok;
}

std::span<const std::uint8_t> BytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::u16string DecodeUtf8(std::span<const std::uint8_t> bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    char32_t c = 0;
    std::size_t length = 0;
    if (DecodeOne(bytes, at, c, length) == Step::Ok) {
      AppendCodePoint(out, c);
      at += length;
    } else {
      out += kReplacement;
      ++at;
    }
  }
  return out;
}

std::u16string DecodeUtf16(std::span<const std::uint8_t> bytes, bool little) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  const std::size_t low = little ? 0 : 1;
  for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
    out += static_cast<char16_t>(bytes[at + low] | (bytes[at + 1 - low] << 8));
  }
  return out;
}

// CR LF, lone CR and lone LF all end a line; the edit control wants CR LF.
std::u16string WithCrLf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r') {
      out += u"\r\n";
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      out += u"\r\n";
    } else {
      out += c == 0 ? u' ' : c;
    }
  }
  return out;
}

}  // namespace

PlayerError::PlayerError(std::u16string message)
    : std::runtime_error(ToUtf8(message)), message_(std::move(message)) {}

std::u16string FromCp1252(std::string_view cp1252) {
  std::u16string out;
  out.reserve(cp1252.size());
  for (const char c : cp1252) {
    const auto u = static_cast<unsigned char>(c);
    out += static_cast<char16_t>(format::Cp1252CodePoint(u));  // all within the BMP
  }
  return out;
}

std::u16string FromUtf8(std::string_view utf8) {
  return DecodeUtf8(BytesOf(utf8));
}

std::string ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00u);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool LooksLikeUtf8(std::span<const std::uint8_t> bytes) {
  bool beyondAscii = false;
  for (std::size_t at = 0; at < bytes.size();) {
    char32_t c = 0;
    std::size_t length = 0;
    switch (DecodeOne(bytes, at, c, length)) {
      case Step::Bad:
        return false;
      case Step::CutShort:
        return beyondAscii;
      case Step::Ok:
        beyondAscii = beyondAscii || length > 1;
        at += length;
        break;
    }
  }
  return beyondAscii;
}

bool StartsUtf16(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 2 &&
         ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF));
}

std::u16string DecodeTextFile(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    return WithCrLf(DecodeUtf8(bytes.subspan(3)));
  }
  if (StartsUtf16(bytes)) return WithCrLf(DecodeUtf16(bytes.subspan(2), bytes[0] == 0xFF));
  if (LooksLikeUtf8(bytes)) return WithCrLf(DecodeUtf8(bytes));
  return WithCrLf(FromCp1252({reinterpret_cast<const char*>(bytes.data()), bytes.size()}));
}

std::u16string ByteCount(std::uint64_t bytes) {
  std::u16string digits;
  int inGroup = 0;
  do {
    if (inGroup == 3) {
      digits += u'.';
      inGroup = 0;
    }
    digits += static_cast<char16_t>(u'0' + bytes % 10);
    bytes /= 10;
    ++inGroup;
  } while (bytes != 0);
  return std::u16string(digits.rbegin(), digits.rend()) + std::u16string(text::kBytes);
}

}  // namespace turv::player
