// A package's icon, version information and signature as karupack handles
// them: the --icon file and the --info lines taken in and checked, the
// launcher rewritten to carry them, and what list and verify show.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace turv::karupack {

class InputFile;

using InfoLines = std::vector<std::pair<std::string, std::string>>;

// Takes one "KEY=VALUE" into lines; returns why it cannot, or nothing.
std::optional<std::string> AddInfo(std::string_view keyValue, InfoLines& lines);

// The --info lines of a file (UTF-8, one a line, # comments and blank
// lines skipped); Failure naming the file and line.
InfoLines ReadInfoFile(const std::filesystem::path& file);
InfoLines ParseInfoFile(std::string_view text, const std::filesystem::path& file);

// The opened launcher's bytes with the icon and version information given,
// sealed again; Failure naming the file that will not do.
std::vector<std::uint8_t> BrandLauncher(InputFile& launcher,
                                        const std::optional<std::filesystem::path>& icon,
                                        const InfoLines& info);

// The opened package's launcher part: its icon sizes and version strings,
// one a line; what it lacks is said only when showMissing.
void DescribeLauncher(InputFile& package, std::ostream& out, std::string_view indent,
                      bool showMissing);

// Checks the frame of an Authenticode signature: the certificate table is
// the last thing in the file, right behind the data (up to 7 bytes of
// padding), and its entries fill it exactly. Returns what to report:
// nothing for an unsigned package. Failure when the frame is broken.
std::optional<std::string> CheckSignature(InputFile& package, std::uint64_t dataEnd);

}  // namespace turv::karupack
