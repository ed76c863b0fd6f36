// Files and folders for the Windows tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace turv::testfiles {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
bool Exists(const std::string& path);
// Deletes a folder and everything in it; a missing folder is no error.
void RemoveTree(const std::string& folder);
// A path handed in from the Linux side names the Z: drive.
std::string WindowsPath(std::string path);

}  // namespace turv::testfiles
