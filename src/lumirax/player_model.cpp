#include "lumirax/player_model.h"

#include <algorithm>

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

bool StartsUtf16(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
}

std::u16string OtherText(const format::Entry& entry, std::u16string_view why) {
  std::u16string text = FromCp1252("Datei: ") + FromCp1252(entry.name) + u"\r\n" +
                        FromCp1252("Beschriftung: ") + FromCp1252(entry.caption) + u"\r\n" +
                        FromCp1252(
                            "Gr\xF6\xDF"
                            "e: ") +
                        ByteCount(static_cast<std::uint64_t>(entry.size)) + u"\r\n";
  if (!why.empty()) text += u"\r\n" + std::u16string(why) + u"\r\n";
  text += u"\r\n" + FromCp1252(
                        "Die Eingabetaste oder ein Doppelklick \xF6"
                        "ffnet die Datei "
                        "mit dem Programm, das Windows ihr zuordnet.");
  return text;
}

View OtherView(const format::Entry& entry, std::u16string_view why) {
  View view;
  view.kind = Kind::Other;
  view.text = OtherText(entry, why);
  return view;
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
  const auto damaged = [] {
    return PlayerError(
        FromCp1252("Die Datei norvi.stq ist besch\xE4"
                   "digt."));
  };
  if (file.size() < 4) throw damaged();
  const auto length = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(file[0]) | static_cast<std::uint32_t>(file[1]) << 8 |
      static_cast<std::uint32_t>(file[2]) << 16 | static_cast<std::uint32_t>(file[3]) << 24);
  if (length < 0 || static_cast<std::uint64_t>(length) > file.size() - 4) throw damaged();
  return std::string(reinterpret_cast<const char*>(file.data()) + 4,
                     static_cast<std::size_t>(length));
}

std::u16string StatusLine(const StartFolder& start) {
  std::u16string line = FromCp1252("Eigene Dateien: ");
  switch (start.state) {
    case StartFolder::State::Found:
      return line + (start.folder.empty() ? FromCp1252("unbekannt (norvi.stq nennt keinen Ordner)")
                                          : start.folder);
    case StartFolder::State::Missing:
      return line + FromCp1252("unbekannt (norvi.stq fehlt)");
    case StartFolder::State::Damaged:
      break;
  }
  return line + FromCp1252(
                    "unbekannt (norvi.stq ist besch\xE4"
                    "digt)");
}

// The reader's findings in the player's own words.
std::u16string DamageText(const format::FormatError& error) {
  std::string text;
  switch (error.Kind()) {
    case format::Damage::CutShort:
      text = "Das Verzeichnis ist unvollst\xE4ndig.";
      break;
    case format::Damage::UsedAfterUnused:
      text = "Er steht hinter den leeren Eintr\xE4gen.";
      break;
    case format::Damage::EmptyName:
      text = "Sein Name ist leer.";
      break;
    case format::Damage::NameTooLong:
      text = "Sein Name ist l\xE4nger als erlaubt.";
      break;
    case format::Damage::CaptionTooLong:
      text = "Seine Beschriftung ist l\xE4nger als erlaubt.";
      break;
    case format::Damage::NegativeSize:
      text =
          "Seine Gr\xF6\xDF"
          "e ist negativ.";
      break;
    case format::Damage::Misplaced:
      text = "Sein Inhalt liegt nicht an seinem Platz.";
      break;
    case format::Damage::PastEnd:
      text =
          "Sein Inhalt reicht \xFC"
          "ber das Ende der Datei hinaus.";
      break;
    case format::Damage::Other:
      text = "Das Verzeichnis ist fehlerhaft.";
      break;
  }
  if (error.Entry() != 0 && error.Kind() != format::Damage::CutShort) {
    text = "Eintrag " + std::to_string(error.Entry()) + ": " + text;
  }
  return FromCp1252(text);
}

std::u16string DataProblem(std::u16string_view detail) {
  return FromCp1252(
             "Die Pr\xE4sentationsdaten (karu.pqd) fehlen oder sind besch\xE4"
             "digt: ") +
         std::u16string(detail);
}

Presentation::Presentation(std::unique_ptr<ByteSource> source) : source_(std::move(source)) {
  const std::uint64_t size = source_->Size();
  if (size == 0) throw PlayerError(DataProblem(FromCp1252("Die Datei ist leer.")));
  if (size < format::kDirectorySize) {
    throw PlayerError(DataProblem(FromCp1252("Die Datei ist zu kurz: ") + ByteCount(size) +
                                  FromCp1252(", schon das Verzeichnis braucht ") +
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
    throw PlayerError(
        FromCp1252("Die Pr\xE4sentationsdaten (karu.pqd) enthalten keine Eintr\xE4ge."));
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
  if (ending == "bmp" || ending == "dib") return Kind::Bitmap;
  return Kind::Other;
}

View PrepareView(const Presentation& presentation, std::size_t index) {
  const format::Entry& entry = presentation.Entries().at(index);
  const auto size = static_cast<std::uint64_t>(entry.size);
  switch (KindByName(entry.name)) {
    case Kind::Text: {
      const Bytes bytes = presentation.ReadBody(index, kTextLimit);
      if (HoldsNul(bytes) && !StartsUtf16(bytes)) {
        return OtherView(entry, FromCp1252("Die Datei enth\xE4lt keinen reinen Text."));
      }
      View view;
      view.kind = Kind::Text;
      view.text = DecodeTextFile(bytes);
      if (size > kTextLimit) {
        view.text += FromCp1252("\r\n\r\n[Gek\xFCrzt: Angezeigt sind die ersten 4 MiB von ") +
                     ByteCount(size) +
                     FromCp1252(
                         ". Die Eingabetaste \xF6"
                         "ffnet die ganze Datei.]");
      }
      return view;
    }
    case Kind::Bitmap: {
      if (size > kImageLimit) {
        return OtherView(entry, FromCp1252("Das Bild ist gr\xF6\xDF"
                                           "er als 64 MiB und wird "
                                           "hier nicht angezeigt."));
      }
      View view;
      view.kind = Kind::Bitmap;
      view.body = presentation.ReadBody(index, kImageLimit);
      try {
        view.bitmap = ReadBmpLayout(view.body);
      } catch (const BmpError& error) {
        return OtherView(
            entry, FromCp1252("Das Bild kann nicht angezeigt werden: ") + FromCp1252(error.what()));
      }
      return view;
    }
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

}  // namespace turv::player
