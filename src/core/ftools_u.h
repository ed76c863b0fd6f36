// Shell helpers of the launch: starting a file.
#pragma once

#include <string>

#include "platform/platform.h"

namespace turv {

// Asks the shell to open file with its default action, owned by owner.
// Empty parameters or folder mean none. Returns the shell's result
// unchanged: above 32 is success, 32 and below are the shell's errors.
// Texts of any length reach the shell whole.
int LaunchFile(platform::WindowId owner, const std::string& file, const std::string& parameters,
               const std::string& folder, int windowMode);

}  // namespace turv
