// A package's icon, version information, player and signature as karupack
// handles them: the --icon file, the --info lines and the --player program
// taken in and checked, the launcher rewritten to carry them, and what list
// and verify show.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "karupack/captions.h"
#include "karupack/input_source.h"
#include "seal/branding.h"

namespace turv::karupack {

class Transfer;

using InfoLines = std::vector<std::pair<std::string, std::string>>;

// Takes one "KEY=VALUE" into lines; returns why it cannot, or nothing.
std::optional<std::string> AddInfo(std::string_view keyValue, InfoLines& lines);

// The --info lines of a file (UTF-8, one a line, # comments and blank
// lines skipped); Failure naming the file and line.
InfoLines ReadInfoFile(const std::filesystem::path& file);
InfoLines ParseInfoFile(std::string_view text, const std::filesystem::path& file);
// The good lines, and the refused ones kept beside them (as captions are
// read leniently) so that an editor can show them to be mended. Failure
// only when the file cannot be read at all.
struct InfoFileLines {
  InfoLines lines;
  std::vector<RefusedLine> refused;
  std::size_t refusedMore = 0;
};
InfoFileLines ReadInfoFileLeniently(const std::filesystem::path& file);
InfoFileLines ParseInfoFileLeniently(std::string_view text);

// Checks that the opened file is a program Windows starts, to carry as a
// package's player: Failure saying what it is otherwise. A note goes to
// notes when it starts on 64-bit Windows only.
void CheckPlayer(InputFile& player, std::ostream& notes);

// The opened launcher with the icon, version information and player given:
// laid out first, so that its size is known before anything is read whole;
// built and sealed again; then written out, the player and the resources
// kept copied from their files. Failure naming the file that will not do.
// The launcher and the player must stay open while it lives.
class BrandedLauncher {
 public:
  BrandedLauncher(InputFile& launcher, const std::optional<std::filesystem::path>& icon,
                  const InfoLines& info, InputFile* player);
  BrandedLauncher(const BrandedLauncher&) = delete;
  BrandedLauncher& operator=(const BrandedLauncher&) = delete;

  std::uint64_t Size() const { return rewrite_->Size(); }
  void Build();
  void WriteTo(Transfer& transfer, OutputFile& out);
  // "an icon, version information and a player"
  std::string What() const;

 private:
  InputFile& launcherFile_;
  InputFile* playerFile_;
  InputSource launcher_;
  std::optional<InputSource> player_;
  seal::Branding branding_;
  std::optional<seal::LauncherRewrite> rewrite_;
  std::optional<seal::RewrittenImage> image_;
};

// The opened package's launcher part: its icon sizes and version strings,
// one a line, then its player; what it lacks is said only when showMissing.
void DescribeLauncher(InputFile& package, const seal::LauncherFacts& facts, std::ostream& out,
                      std::string_view indent, bool showMissing);

// Checks the frame of an Authenticode signature: the certificate table is
// the last thing in the file, right behind the data (up to 7 bytes of
// padding), and its entries fill it exactly. Returns what to report:
// nothing for an unsigned package. Failure when the frame is broken.
std::optional<std::string> CheckSignature(InputFile& package, std::uint64_t dataEnd);

}  // namespace turv::karupack
