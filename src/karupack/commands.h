// karupack's four commands. Each throws Failure (or Interrupted) and writes
// its report to out.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace turv::karupack {

struct PackOptions {
  std::filesystem::path output;
  std::optional<std::filesystem::path> launcher;
  std::optional<std::filesystem::path> captions;
  // The show's settings, packed last as the entry "show.ini".
  std::optional<std::filesystem::path> show;
  bool quiet = false;
  std::vector<std::filesystem::path> inputs;
  // A symbolic link inside a folder to pack is packed as the file it
  // points to, rather than refused.
  bool followLinks = false;
  // The package's own icon and version strings (in place of the launcher's).
  std::optional<std::filesystem::path> icon;
  std::vector<std::pair<std::string, std::string>> info;
  // The program the package's launcher carries as its player (RCDATA 1000).
  std::optional<std::filesystem::path> player;
  // Files inside the folders to pack that are not packed (a dropped
  // folder's captions, icon and info files).
  std::vector<std::filesystem::path> setAside;
  // A window's hooks, called on the packing thread: onProgress hears the
  // bytes written of the total after each chunk; a cancel flag once set
  // stops the pack at the next chunk as Ctrl+C does (Interrupted, nothing
  // written).
  std::function<void(std::uint64_t done, std::uint64_t total)> onProgress;
  const std::atomic<bool>* cancel = nullptr;
};

struct Packed {
  std::size_t files = 0;
  std::uint64_t dataBytes = 0;
  std::uint64_t launcherBytes = 0;
};

// Writes launcher + data region to options.output, or nothing at all.
Packed Pack(const PackOptions& options, std::ostream& out, std::ostream& notes);

// The entries of a package or a bare data file, with a total line.
void List(const std::filesystem::path& input, std::ostream& out);

// Writes every packed file into folder (created when missing).
void Extract(const std::filesystem::path& input, const std::filesystem::path& folder,
             std::ostream& out);

// Checks that the launcher part is sealed right and the data region reads
// cleanly, with names every system can write.
void Verify(const std::filesystem::path& package, std::ostream& out);

}  // namespace turv::karupack
