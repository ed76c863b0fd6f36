// A presentation's folder packed as a whole into FOLDER.exe beside it, as
// a folder dropped on karupack.exe is and as the authoring window packs it.
// The folder carries its own settings, in files that are read and not
// packed, so that every way of packing it gives the same package.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "format/show_settings.h"
#include "karupack/commands.h"

namespace turv::karupack {

// The settings files inside the folder.
inline constexpr std::string_view kCaptionsFile = "captions.txt";  // as -c
inline constexpr std::string_view kIconFile = "icon.ico";          // as --icon
inline constexpr std::string_view kInfoFile = "info.txt";          // --info lines, one a line
inline constexpr std::string_view kPlayerFile = "lumirax.exe";     // the package's player
inline constexpr std::string_view kShowFile = format::kShowSettingsName;  // as --show

// The folder as an absolute path with a name (no trailing separator);
// Failure for a drive's root, which gives no name to pack into.
std::filesystem::path PresentationFolder(const std::filesystem::path& folder);

// FOLDER.exe beside the folder.
std::filesystem::path PackageBeside(const std::filesystem::path& folder);

// What packs the folder into output: its regular files, with the settings
// files present taken as settings and set aside. Reads info.txt (Failure
// naming the file and line when it will not do).
PackOptions FolderPackOptions(const std::filesystem::path& folder,
                              const std::filesystem::path& output);

// Why the file is no package that karupack verify accepts, or nothing when
// it is one: only such a file may be replaced by packing a folder again.
std::optional<std::string> WhyNoPackage(const std::filesystem::path& file);

}  // namespace turv::karupack
