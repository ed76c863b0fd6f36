#include "core/text_tools.h"

#include "platform/cp1252.h"

namespace turv {

std::string TrimControls(std::string_view text) {
  auto control = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && control(text.front())) text.remove_prefix(1);
  while (!text.empty() && control(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string LowerAsciiLetters(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = platform::LowerAscii(c);
  return lowered;
}

}  // namespace turv
