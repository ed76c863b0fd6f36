// The player's files on Windows: the data file read in place, small files
// read whole, bodies written out beside their final name first.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "lumirax/player_model.h"
#include "win32/handles.h"

namespace turv::player {

std::wstring Wide(std::u16string_view text);
std::u16string Utf16(std::wstring_view text);
// Text in the system's ANSI code page, as the launcher writes it.
std::u16string FromAnsi(std::string_view ansi);
// The system's description of an error code, without the line break.
std::u16string SystemMessage(DWORD code);

std::u16string CurrentFolder();
// The user's temporary folder without its trailing backslash, or empty.
std::u16string TempFolder();
bool FolderExists(const std::u16string& path);
// The path with every short (8.3) name in it spelled long, as the user
// knows it; the path itself when the system cannot tell.
std::u16string LongPath(const std::u16string& path);

// A data file read in place; never loaded whole. It is opened for each read
// only: between reads a second launch may write a new data file, which the
// launcher creates exclusively. A read then finds the file changed and says
// so instead of showing the new file's bytes as the old entries.
class FileSource : public ByteSource {
 public:
  // Throws PlayerError naming the problem when the file cannot be opened.
  explicit FileSource(std::u16string path);
  std::uint64_t Size() const override { return size_; }
  void ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const override;

 private:
  // The file opened for reading; its size and time must still be the first.
  win32::FileHandle Open() const;

  std::u16string path_;
  std::uint64_t size_ = 0;
  FILETIME written_{};
};

// A small file's bytes, or nothing when it is not there. Throws PlayerError
// when it is there but cannot be read or exceeds limit bytes.
std::optional<Bytes> ReadSmallFile(const std::u16string& path, std::size_t limit);

// Writes a file through a temporary file beside it, which replaces the
// target only when complete; produce hands its bytes to the sink given.
// On any failure the target is left as it was and PlayerError is thrown.
// Where the target cannot be replaced because a program holds it open and
// alternative is given, the complete file takes the first free name that
// alternative(2), alternative(3), ... gives instead. The path written.
using ByteSink = std::function<void(std::span<const std::uint8_t>)>;
std::u16string WriteReplacing(const std::u16string& target,
                              const std::function<void(const ByteSink&)>& produce,
                              const std::function<std::u16string(int)>& alternative = {});

}  // namespace turv::player
