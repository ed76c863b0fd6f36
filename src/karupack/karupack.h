// karupack: turns files into a package (launcher + data region), and lists,
// extracts and verifies packages.
#pragma once

#include <string>
#include <vector>

namespace turv::karupack {

// Runs one command line (without the program's name) and returns the exit
// status: 0 done, 1 failed, 2 wrong usage. Messages go to stderr, one line.
int Run(const std::vector<std::string>& args);

}  // namespace turv::karupack
