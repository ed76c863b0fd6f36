// Small text rules shared by the launch's units.
#pragma once

#include <string>
#include <string_view>

namespace turv {

// The text without the characters of codes 0 to 32 at both ends.
std::string TrimControls(std::string_view text);

}  // namespace turv
