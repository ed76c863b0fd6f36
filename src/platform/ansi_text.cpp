#include "platform/ansi_text.h"

#include "platform/cp1252.h"
#include "platform/platform.h"

namespace turv::platform {

std::size_t CharLength(std::string_view text, std::size_t at) {
  return IsLeadByte(text[at]) && at + 1 < text.size() ? 2 : 1;
}

bool EndsInBackslash(std::string_view text) {
  std::size_t last = text.size();
  for (std::size_t at = 0; at < text.size(); at += CharLength(text, at)) last = at;
  return last + 1 == text.size() && text[last] == '\\';
}

std::string LowerAsciiLetters(std::string_view text) {
  std::string lowered(text);
  for (std::size_t at = 0; at < lowered.size(); at += CharLength(lowered, at)) {
    if (CharLength(lowered, at) == 1) lowered[at] = LowerAscii(lowered[at]);
  }
  return lowered;
}

}  // namespace turv::platform
