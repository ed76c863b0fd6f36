// karupack: turns files into a package (launcher + data region), and lists,
// extracts and verifies packages.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace turv::karupack {

// Runs one command line (without the program's name) and returns the exit
// status: 0 done, 1 failed, 2 wrong usage. Messages go to stderr, one line.
int Run(const std::vector<std::string>& args);

// Packs a folder dropped on karupack.exe: FOLDER.exe beside the folder,
// with the default launcher, and with the folder's captions.txt, icon.ico,
// info.txt (--info lines) and lumirax.exe (the player) when present, which
// are not packed themselves. A FOLDER.exe there that is no package is left
// alone and nothing is packed. Returns the exit status; message says what
// came of it.
int RunDropped(const std::filesystem::path& folder, std::string& message);

}  // namespace turv::karupack
