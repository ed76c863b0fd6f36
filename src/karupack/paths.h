// Paths as UTF-8 text, the way karupack takes them in and shows them on
// every system, and whether two lead to one file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "karupack/system.h"

namespace turv::karupack {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8(const std::filesystem::path& path);

// A stored Windows-1252 name as it may appear in a message: UTF-8, quoted,
// control characters escaped.
std::string Shown(std::string_view cp1252);
// A path as it may be printed: UTF-8, control characters escaped.
std::string ShownPath(const std::filesystem::path& path);

// Whether two identities are of one file. Equal file numbers say so only
// where they can: on a volume that numbers no files, or numbers files of
// one name each alike, the canonical paths decide.
bool SameFile(const FileId& a, const FileId& b);

}  // namespace turv::karupack
