// A small launcher program file made for the tests: headers as the linker
// writes them, a data section with the seal record and a resource section
// with the player as RCDATA 1000. Enough for the packer's checks and for
// Authenticode signing; it does not run.
#pragma once

#include <cstdint>
#include <vector>

namespace turv::karupack::testing {

std::vector<std::uint8_t> MakeLauncher(std::size_t playerSize, bool sealed = true);

}  // namespace turv::karupack::testing
