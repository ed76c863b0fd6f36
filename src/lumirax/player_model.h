// The player without its window: where its files are, what they hold, and
// what the window shows for each entry. Portable; the Windows part reads
// files and draws, everything it decides is decided here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/karu_format.h"
#include "lumirax/player_text.h"

namespace turv::player {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::u16string_view kStartFileName = u"norvi.stq";
inline constexpr std::u16string_view kDataFileName = u"karu.pqd";
inline constexpr std::u16string_view kWorkFolderName = u"KARU";
// Entries opened with their program are written here, inside the work folder.
inline constexpr std::u16string_view kOpenedFolderName = u"Dateien";

// What a view shows at most; the rest stays in the data file.
inline constexpr std::uint64_t kTextLimit = 4u << 20;
inline constexpr std::uint64_t kImageLimit = 64u << 20;

// ---- Paths (Windows paths, UTF-16) ----

// The text without one trailing backslash.
std::u16string StripBackslash(std::u16string_view path);
// folder + "\" + name; a folder that already ends in one (a drive root)
// gets no second.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);
// Where the launcher makes its work folder: "KARU" under the temporary
// folder when that exists, else under the current folder.
std::u16string WorkFolderByRule(std::u16string_view tempFolder, bool tempExists,
                                std::u16string_view currentFolder);
// Where to look for the start-folder file, first place first: the current
// folder, then the launcher's work folder by its rule.
std::vector<std::u16string> StartFileCandidates(std::u16string_view currentFolder,
                                                std::u16string_view tempFolder, bool tempExists);

// ---- The start-folder file ----

// The folder the start-folder file holds, as its bytes (the system's ANSI
// code page). Throws PlayerError when the file is shorter than its four
// length bytes or the length does not fit the file.
std::string ReadStartFile(std::span<const std::uint8_t> file);

struct StartFolder {
  enum class State { Found, Missing, Damaged };
  State state = State::Missing;
  std::u16string folder;  // when found
};
// "Eigene Dateien: D:\Kurs", or why the folder is unknown.
std::u16string StatusLine(const StartFolder& start);

// ---- The data file ----

// Random access to a file's bytes.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Fills into from offset on; throws PlayerError when the bytes are not there.
  virtual void ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const = 0;
};

// The presentation in "karu.pqd": its directory read and checked once, the
// bodies read when asked for.
class Presentation {
 public:
  // Throws PlayerError with the user's message when the file is no
  // readable data file or holds no entries.
  explicit Presentation(std::unique_ptr<ByteSource> source);

  const std::vector<format::Entry>& Entries() const { return entries_; }
  // The first up to limit bytes of an entry's body.
  Bytes ReadBody(std::size_t index, std::uint64_t limit) const;
  // The whole body, in pieces of at most chunk bytes, in order.
  void CopyBody(std::size_t index, std::size_t chunk,
                const std::function<void(std::span<const std::uint8_t>)>& sink) const;

 private:
  std::unique_ptr<ByteSource> source_;
  std::vector<format::Entry> entries_;
};

// The message for a data file that is missing or damaged.
std::u16string DataProblem(std::u16string_view detail);

// What the list shows for an entry: its caption, or its name when the
// caption is empty.
std::u16string ListText(const format::Entry& entry);

// ---- One entry in the window ----

enum class Kind { Text, Picture, Audio, Other };
// What the name promises, by its ending in any case: .txt and a few other
// plain-text endings, a picture the system decodes (PNG, JPEG, GIF, TIFF,
// BMP), a sound the system's media components play (MP3, WAV, M4A/AAC,
// WMA), or anything else.
Kind KindByName(std::string_view cp1252Name);

struct View {
  Kind kind = Kind::Other;
  std::u16string text;  // Text: the content; Audio: caption, name, hint; Other: name, caption,
                        // size, hint
};
// What the view says of an entry it does not show itself: name, caption,
// size, why (when given) and that Enter opens it with its program.
std::u16string AboutEntry(const format::Entry& entry, std::u16string_view why);

// Reads what the entry's view needs (no more than the limits above) and
// decides how to show it: a text file holding NUL bytes or a picture file
// over the limit show as Other, saying why. A picture's body is read by the
// decoder (at most kImageLimit bytes).
View PrepareView(const Presentation& presentation, std::size_t index);

// ---- Opening an entry with its program ----

// A file name for the entry's body that Windows accepts and that stays one
// name inside its folder, whatever the stored name says: forbidden
// characters become '_', trailing dots and blanks go, device names and
// empty names get a '_' in front.
std::string SafeFileName(std::string_view cp1252Name);
// workFolder\Dateien\<safe name>.
std::u16string OpenedPath(std::u16string_view workFolder, std::string_view cp1252Name);
// The path of the n-th copy (n from 2) beside a copy that its program
// holds open: "Name (2).ext", the number before the last dot of the name.
std::u16string NumberedPath(std::u16string_view path, int n);
// The status line while an entry is copied: "„Name“ wird kopiert: 45 %".
std::u16string CopyProgress(const std::u16string& name, std::uint64_t done, std::uint64_t total);

// Sounds are written for the media components here, inside the work folder.
inline constexpr std::u16string_view kSoundFolderName = u"Klang";
// workFolder\Klang\<safe name>.
std::u16string SoundPath(std::u16string_view workFolder, std::string_view cp1252Name);

}  // namespace turv::player
