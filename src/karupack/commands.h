// karupack's four commands. Each throws Failure (or Interrupted) and writes
// its report to out.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <vector>

namespace turv::karupack {

struct PackOptions {
  std::filesystem::path output;
  std::optional<std::filesystem::path> launcher;
  std::optional<std::filesystem::path> captions;
  bool quiet = false;
  std::vector<std::filesystem::path> inputs;
};

// Writes launcher + data region to options.output, or nothing at all.
void Pack(const PackOptions& options, std::ostream& out, std::ostream& notes);

// The entries of a package or a bare data file, with a total line.
void List(const std::filesystem::path& input, std::ostream& out);

// Writes every packed file into folder (created when missing).
void Extract(const std::filesystem::path& input, const std::filesystem::path& folder,
             std::ostream& out);

// Checks that the launcher part is sealed right and the data region reads
// cleanly, with names every system can write.
void Verify(const std::filesystem::path& package, std::ostream& out);

}  // namespace turv::karupack
