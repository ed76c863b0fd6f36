// The launcher's main window and the launch it drives.
//
// Creating the window runs the creation phase: colour and screen fit, the
// start folder, the work folder and the start-folder file. The window's
// first activation runs the activation phase: the player is extracted, the
// program file read and its appended data written out, the player started,
// and the window closed, which ends the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/feld.h"
#include "platform/platform.h"

namespace turv {

inline constexpr std::string_view kWorkFolderName = "KARU";
inline constexpr std::string_view kStartDirFileName = "norvi.stq";
inline constexpr std::string_view kDataFileName = "karu.pqd";
inline constexpr std::string_view kPlayerFileName = "lumirax.exe";
inline constexpr int kPlayerResourceId = 1000;

// Read and write sizes of the data copy.
inline constexpr std::uint32_t kReadChunk = 16'284;
inline constexpr std::uint32_t kWriteBlock = 8'142;
static_assert(Feld::kSegmentBytes % kReadChunk == 0, "a read must never straddle a segment");

inline constexpr platform::Rgb kBackdropColor{100, 120, 140};

// The main window as designed.
const platform::FormDesign& Form5Design();

class TForm5 : public platform::Form {
 public:
  TForm5();

 protected:
  void FormCreate() override;
  void FormActivate() override;

 private:
  void StartPlayer();
  bool activated_ = false;
};

// Scales the window's font from the 1,024 x 768 design screen at 96 pixels
// per inch to the actual screen, then maximises the window.
void FitToScreen(platform::Form& window);

// The text without one trailing backslash, if it ends in one: a backslash
// of its own, never the second byte of a two-byte character.
std::string StripBackslash(std::string_view text);

// Fills Launch.TempDir and Launch.WorkDir and creates the work folder when
// missing.
void PrepareWorkDir();
// Writes folder\name holding the text's length (4 bytes, little-endian) and
// its characters, the text cut of codes 0 to 32 at both ends.
void WriteStartDirFile(const std::string& folder, std::string_view name, const std::string& text);

// Writes the player resource to folder\lumirax.exe; sets Launch.PlayerPath
// and Launch.PlayerSize. Reports its own failures.
void ExtractPlayer(const std::string& folder);

// Reads the file at path into buffer; returns its size as found on opening.
std::int32_t ReadWholeFile(const std::string& path, Feld& buffer);
// Creates the file at path holding the buffer's bytes start to len - 1, then
// releases the buffer, leaving it one byte long.
void WriteByteRange(const std::string& path, Feld& buffer, std::int64_t start, std::int64_t len);

}  // namespace turv
