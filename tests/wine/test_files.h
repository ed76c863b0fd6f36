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
// Runs a console program to its end, as a typed command (the command line
// in UTF-8); its exit code, 0xFFFFFFFF when it could not start, 0xFFFFFFFE
// when it did not end within two minutes.
std::uint32_t RunToEnd(const std::string& commandLine);

}  // namespace turv::testfiles
