// A program file as the package's player: whether Windows would start it
// from the shell, for which processor, whether it is signed, and the
// version strings it shows. The packer checks an author's player with it
// before carrying it, and list and verify show the player a package
// carries. Portable; it reads only through a ByteSource.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "seal/launcher_image.h"

namespace turv::seal {

struct PlayerFacts {
  std::uint64_t size = 0;
  // Why the shell would not start it ("a DLL, not a program"), or nothing.
  std::optional<std::string> problem;
  // What it is when it starts: "x86 (32-bit) program", "x64 (64-bit)
  // console program".
  std::string kind;
  // Where it starts when not on every Windows the launcher runs on.
  std::optional<std::string> note;
  bool isSigned = false;  // it carries a certificate table
  // ProductName and FileVersion, where its version information has them
  // (UTF-8).
  std::vector<std::pair<std::string, std::string>> strings;
};

// Never throws for what the bytes hold: a file that is no program gets
// its problem.
PlayerFacts ReadPlayer(const ByteSource& file);

}  // namespace turv::seal
