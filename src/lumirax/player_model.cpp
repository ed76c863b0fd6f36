// Portable core of the player: its files, the data file's directory and
// what each entry's view shows.
#include "lumirax/player_model.h"

#include <algorithm>

#include "format/show_settings.h"
#include "lumirax/player_texts.h"

namespace turv::player {

namespace {

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool HoldsNul(std::span<const std::uint8_t> bytes) {
  return std::find(bytes.begin(), bytes.end(), std::uint8_t{0}) != bytes.end();
}

}  // namespace

std::u16string AboutEntry(const format::Entry& entry, std::u16string_view why) {
  std::u16string text = std::u16string(text::kFile) + FromCp1252(entry.name) + u"\r\n" +
                        std::u16string(text::kCaption) + FromCp1252(entry.caption) + u"\r\n" +
                        std::u16string(text::kSize) +
                        ByteCount(static_cast<std::uint64_t>(entry.size)) + u"\r\n";
  if (!why.empty()) text += u"\r\n" + std::u16string(why) + u"\r\n";
  text += u"\r\n" + std::u16string(text::kOpenHint);
  return text;
}

namespace {

View OtherView(const format::Entry& entry, std::u16string_view why) {
  return View{Kind::Other, AboutEntry(entry, why)};
}

}  // namespace

std::u16string StripBackslash(std::u16string_view path) {
  if (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  return std::u16string(path);
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  if (path.empty() || path.back() != u'\\') path += u'\\';
  return path + std::u16string(name);
}

std::u16string WorkFolderByRule(std::u16string_view tempFolder, bool tempExists,
                                std::u16string_view currentFolder) {
  const std::u16string base = StripBackslash(tempExists ? tempFolder : currentFolder);
  return base + u'\\' + std::u16string(kWorkFolderName);
}

std::vector<std::u16string> StartFileCandidates(std::u16string_view currentFolder,
                                                std::u16string_view tempFolder, bool tempExists) {
  std::vector<std::u16string> places{JoinPath(currentFolder, kStartFileName)};
  const std::u16string byRule =
      JoinPath(WorkFolderByRule(tempFolder, tempExists, currentFolder), kStartFileName);
  // Windows compares paths without regard to case; the launcher's own
  // folder names are ASCII, so this fold is enough to skip a second look.
  const auto fold = [](std::u16string s) {
    for (char16_t& c : s) {
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return s;
  };
  if (fold(byRule) != fold(places.front())) places.push_back(byRule);
  return places;
}

std::string ReadStartFile(std::span<const std::uint8_t> file) {
  const auto damaged = [] { return PlayerError(std::u16string(text::kStartFileDamaged)); };
  if (file.size() < 4) throw damaged();
  const auto length = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(file[0]) | static_cast<std::uint32_t>(file[1]) << 8 |
      static_cast<std::uint32_t>(file[2]) << 16 | static_cast<std::uint32_t>(file[3]) << 24);
  if (length < 0 || static_cast<std::uint64_t>(length) > file.size() - 4) throw damaged();
  return std::string(reinterpret_cast<const char*>(file.data()) + 4,
                     static_cast<std::size_t>(length));
}

std::u16string StatusLine(const StartFolder& start) {
  std::u16string line(text::kStartFolder);
  switch (start.state) {
    case StartFolder::State::Found:
      return line + (start.folder.empty() ? std::u16string(text::kStartFolderEmpty) : start.folder);
    case StartFolder::State::Missing:
      return line + std::u16string(text::kStartFileMissing);
    case StartFolder::State::Damaged:
      break;
  }
  return line + std::u16string(text::kStartFileDamagedShort);
}

// The reader's findings in the player's own words.
std::u16string DamageText(const format::FormatError& error) {
  std::u16string_view what = text::kDamageOther;
  switch (error.Kind()) {
    case format::Damage::CutShort:
      what = text::kDamageCutShort;
      break;
    case format::Damage::UsedAfterUnused:
      what = text::kDamageUsedAfterUnused;
      break;
    case format::Damage::EmptyName:
      what = text::kDamageEmptyName;
      break;
    case format::Damage::NameTooLong:
      what = text::kDamageNameTooLong;
      break;
    case format::Damage::CaptionTooLong:
      what = text::kDamageCaptionTooLong;
      break;
    case format::Damage::NegativeSize:
      what = text::kDamageNegativeSize;
      break;
    case format::Damage::Misplaced:
      what = text::kDamageMisplaced;
      break;
    case format::Damage::PastEnd:
      what = text::kDamagePastEnd;
      break;
    case format::Damage::Other:
      break;
  }
  if (error.Entry() != 0 && error.Kind() != format::Damage::CutShort) {
    return std::u16string(text::kEntry) + FromCp1252(std::to_string(error.Entry())) + u": " +
           std::u16string(what);
  }
  return std::u16string(what);
}

std::u16string DataProblem(std::u16string_view detail) {
  return std::u16string(text::kDataProblem) + std::u16string(detail);
}

Presentation::Presentation(std::unique_ptr<ByteSource> source) : source_(std::move(source)) {
  const std::uint64_t size = source_->Size();
  if (size == 0) throw PlayerError(DataProblem(text::kDataEmpty));
  if (size < format::kDirectorySize) {
    throw PlayerError(DataProblem(std::u16string(text::kDataTooShort) + ByteCount(size) +
                                  std::u16string(text::kDataTooShortNeeds) +
                                  ByteCount(format::kDirectorySize) + u"."));
  }
  Bytes directory(format::kDirectorySize);
  source_->ReadAt(0, directory);
  try {
    entries_ = format::ParseDirectory(directory, size);
  } catch (const format::FormatError& error) {
    throw PlayerError(DataProblem(DamageText(error)));
  }
  if (entries_.empty()) {
    throw PlayerError(std::u16string(text::kDataNoEntries));
  }
}

Bytes Presentation::ReadBody(std::size_t index, std::uint64_t limit) const {
  const format::Entry& entry = entries_.at(index);
  Bytes body(static_cast<std::size_t>(std::min(static_cast<std::uint64_t>(entry.size), limit)));
  source_->ReadAt(static_cast<std::uint64_t>(entry.position), body);
  return body;
}

void Presentation::CopyBody(std::size_t index, std::size_t chunk,
                            const std::function<void(std::span<const std::uint8_t>)>& sink) const {
  const format::Entry& entry = entries_.at(index);
  Bytes buffer(std::max<std::size_t>(1, chunk));
  const auto end = static_cast<std::uint64_t>(entry.position + entry.size);
  for (auto at = static_cast<std::uint64_t>(entry.position); at < end;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
    const std::span<std::uint8_t> piece(buffer.data(), n);
    source_->ReadAt(at, piece);
    sink(piece);
    at += n;
  }
}

std::u16string ListText(const format::Entry& entry) {
  return FromCp1252(entry.caption.empty() ? entry.name : entry.caption);
}

Kind KindByName(std::string_view cp1252Name) {
  const auto dot = cp1252Name.rfind('.');
  if (dot == std::string_view::npos) return Kind::Other;
  const std::string ending = LowerAscii(cp1252Name.substr(dot + 1));
  for (const char* text : {"txt", "text", "csv", "log", "ini", "md"}) {
    if (ending == text) return Kind::Text;
  }
  for (const char* picture : {"png", "jpg", "jpeg", "jpe", "gif", "tif", "tiff", "bmp", "dib"}) {
    if (ending == picture) return Kind::Picture;
  }
  // The one rule of what the show's settings may name as a sound.
  if (format::IsAudioName(cp1252Name)) return Kind::Audio;
  return Kind::Other;
}

View PrepareView(const Presentation& presentation, std::size_t index) {
  const format::Entry& entry = presentation.Entries().at(index);
  const auto size = static_cast<std::uint64_t>(entry.size);
  switch (KindByName(entry.name)) {
    case Kind::Text: {
      const Bytes bytes = presentation.ReadBody(index, kTextLimit);
      if (HoldsNul(bytes) && !StartsUtf16(bytes)) return OtherView(entry, text::kNotPlainText);
      View view;
      view.kind = Kind::Text;
      view.text = DecodeTextFile(bytes);
      if (size > kTextLimit) {
        view.text += u"\r\n\r\n" + std::u16string(text::kTextCut) + ByteCount(size) +
                     std::u16string(text::kTextCutEnd);
      }
      return view;
    }
    case Kind::Picture:
      // The decoder reads the body on its own thread.
      if (size > kImageLimit) return OtherView(entry, text::kPictureFileTooLarge);
      return View{Kind::Picture, {}};
    case Kind::Audio:
      return View{Kind::Audio, FromCp1252(entry.caption.empty() ? entry.name : entry.caption) +
                                   u"\r\n\r\n" + std::u16string(text::kFile) +
                                   FromCp1252(entry.name) + u"\r\n\r\n" +
                                   std::u16string(text::kAudioHint)};
    case Kind::Other:
      break;
  }
  return OtherView(entry, {});
}

std::string SafeFileName(std::string_view cp1252Name) {
  std::string safe;
  for (const char c : cp1252Name) {
    const bool forbidden =
        format::IsControl(c) || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos;
    safe += forbidden ? '_' : c;
  }
  while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
  // What is left can only be refused as a device name (or for being
  // empty); a prefix makes either an ordinary name.
  if (safe.empty() || format::NameProblem(safe)) safe.insert(0, 1, '_');
  return safe;
}

std::u16string OpenedPath(std::u16string_view workFolder, std::string_view cp1252Name) {
  return JoinPath(JoinPath(workFolder, kOpenedFolderName), FromCp1252(SafeFileName(cp1252Name)));
}

std::u16string NumberedPath(std::u16string_view path, int n) {
  const std::size_t slash = path.rfind(u'\\');
  const std::size_t name = slash == std::u16string_view::npos ? 0 : slash + 1;
  std::size_t dot = path.rfind(u'.');
  // A name that only begins with a dot has no extension to keep.
  if (dot == std::u16string_view::npos || dot <= name) dot = path.size();
  return std::u16string(path.substr(0, dot)) + u" (" + FromCp1252(std::to_string(n)) + u")" +
         std::u16string(path.substr(dot));
}

std::u16string CopyProgress(const std::u16string& name, std::uint64_t done, std::uint64_t total) {
  const auto percent = total == 0
                           ? 100
                           : static_cast<int>(100.0 * static_cast<double>(std::min(done, total)) /
                                              static_cast<double>(total));
  return std::u16string(text::kOpenQuote) + name + std::u16string(text::kCloseQuote) +
         std::u16string(text::kCopying) + FromCp1252(std::to_string(percent)) + u" %";
}

std::u16string SoundPath(std::u16string_view workFolder, std::string_view cp1252Name) {
  return JoinPath(JoinPath(workFolder, kSoundFolderName), FromCp1252(SafeFileName(cp1252Name)));
}

}  // namespace turv::player
