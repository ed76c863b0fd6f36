// The captions file: UTF-8 lines "name<TAB>caption". Lines starting with #
// and blank lines are skipped; a CR before the line end and a byte order
// mark at the start are allowed.
#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <vector>

namespace turv::karupack {

struct Caption {
  int line = 0;
  std::string name;  // Windows-1252, as in the directory
  std::string text;  // Windows-1252, 1 to 184 characters
  friend bool operator==(const Caption&, const Caption&) = default;
};

// Throws Failure naming file and the line for a line without a tab, text
// Windows-1252 cannot hold, or a caption that is empty, too long or holds
// control characters.
std::vector<Caption> ParseCaptions(std::istream& in, const std::filesystem::path& file);
std::vector<Caption> ReadCaptions(const std::filesystem::path& file);

}  // namespace turv::karupack
