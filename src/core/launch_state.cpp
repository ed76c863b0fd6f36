#include "core/launch_state.h"

namespace turv {

LaunchState Launch;

}  // namespace turv
