#include "core/text_tools.h"

namespace turv {

std::string TrimControls(std::string_view text) {
  auto control = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && control(text.front())) text.remove_prefix(1);
  while (!text.empty() && control(text.back())) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace turv
