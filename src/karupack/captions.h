// The captions file: UTF-8 lines "name<TAB>caption". Lines starting with #
// and blank lines are skipped; a CR before the line end and a byte order
// mark at the start are allowed.
#pragma once

#include <cstdint>
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

// A file longer than this is refused whole: far beyond the longest one a
// package can use (every entry captioned, with comments).
inline constexpr std::uint64_t kCaptionsFileMax = 4 << 20;

// Throws Failure naming file and the line for a line without a tab, text
// Windows-1252 cannot hold, or a caption that is empty, too long or holds
// control characters.
std::vector<Caption> ParseCaptions(std::istream& in, const std::filesystem::path& file);
// Throws Failure for a file over kCaptionsFileMax too.
std::vector<Caption> ReadCaptions(const std::filesystem::path& file);

// A line the strict reading refuses: its number, its bytes as the file
// holds them (without the line end) and why.
struct RefusedLine {
  int line = 0;
  std::string text;
  std::string why;
};
// Every line read: the good ones, and the refused ones kept beside them,
// so that an editor can show them to be mended. The first kRefusedKept
// refused lines are kept, the rest only counted.
struct CaptionLines {
  static constexpr std::size_t kRefusedKept = 100;
  std::vector<Caption> captions;
  std::vector<RefusedLine> refused;
  std::size_t refusedMore = 0;
};
CaptionLines ParseCaptionsLeniently(std::istream& in);
// Failure only when the file cannot be read at all (or is too large).
CaptionLines ReadCaptionsLeniently(const std::filesystem::path& file);

}  // namespace turv::karupack
