// Paths as UTF-8 text, the way karupack takes them in and shows them on
// every system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace turv::karupack {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8(const std::filesystem::path& path);

// A stored Windows-1252 name as it may appear in a message: UTF-8, quoted,
// control characters escaped.
std::string Shown(std::string_view cp1252);
// A path as it may be printed: UTF-8, control characters escaped.
std::string ShownPath(const std::filesystem::path& path);

}  // namespace turv::karupack
