// Small program files made for the tests: a launcher with headers as the
// linker writes them, a data section with the seal record and a resource
// section with the player as RCDATA 1000, and programs of any kind to carry
// as players. Enough for the packer's checks and for Authenticode signing;
// they do not run.
#pragma once

#include <cstdint>
#include <vector>

namespace turv::karupack::testing {

std::vector<std::uint8_t> MakeLauncher(std::size_t playerSize, bool sealed = true);

// A program file of one code section, with the header fields that say what
// it is: its processor, its file characteristics (executable, DLL) and its
// subsystem; a PE32+ header when plus.
struct ProgramShape {
  std::uint16_t machine = 0x14C;          // i386
  std::uint16_t characteristics = 0x102;  // executable, 32-bit
  std::uint16_t subsystem = 2;            // GUI
  bool plus = false;
};
std::vector<std::uint8_t> MakeProgram(const ProgramShape& shape = {});

}  // namespace turv::karupack::testing
