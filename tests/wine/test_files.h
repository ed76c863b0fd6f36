// Files and folders for the Windows tests. The wide forms reach names that
// the ANSI code page cannot hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace turv::testfiles {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadBytes(const std::string& path);
Bytes ReadBytes(const std::wstring& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
void WriteBytes(const std::wstring& path, const Bytes& bytes);
bool Exists(const std::string& path);
bool Exists(const std::wstring& path);
// Deletes a folder and everything in it; a missing folder is no error.
void RemoveTree(const std::string& folder);
// A path handed in from the Linux side names the Z: drive.
std::string WindowsPath(std::string path);
// Text in a code page (the ANSI one unless told) as UTF-16.
std::wstring Wide(const std::string& text, unsigned codePage = 0);

// Runs a console program to its end, as a typed command (the command line
// in UTF-8); its exit code, 0xFFFFFFFF when it could not start, 0xFFFFFFFE
// when it did not end within two minutes.
std::uint32_t RunToEnd(const std::string& commandLine);

}  // namespace turv::testfiles
