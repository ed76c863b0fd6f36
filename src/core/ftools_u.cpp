#include "core/ftools_u.h"

namespace turv {

int LaunchFile(platform::WindowId owner, const std::string& file, const std::string& parameters,
               const std::string& folder, int windowMode) {
  return platform::ShellStart(owner, file, parameters, folder, windowMode);
}

}  // namespace turv
