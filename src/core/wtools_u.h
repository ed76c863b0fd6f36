// Windows helpers of the launch: the temporary folder.
#pragma once

#include <string>

namespace turv {

// The user's temporary folder without its trailing backslash, or empty when
// the system has none. Also stored in Launch.TempDir.
std::string GetTempDir();

}  // namespace turv
