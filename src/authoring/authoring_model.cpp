// The authoring window's model (portable): a presentation folder as the
// packer sees it. Whether the packer takes a name, a caption or a version
// string is decided by the packer's own rules (format::CheckName and the
// code page, the captions parser, AddInfo); this file only words the
// outcome in German.
#include "authoring/authoring_model.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "authoring/audio_length.h"
#include "authoring/texts.h"
#include "format/karu_format.h"
#include "format/show_settings.h"
#include "karupack/branding.h"
#include "karupack/captions.h"
#include "karupack/errors.h"
#include "karupack/folder_package.h"
#include "karupack/paths.h"
#include "karupack/pending_file.h"
#include "karupack/system.h"
#include "seal/branding.h"

namespace turv::authoring {

namespace {

namespace fs = std::filesystem;
using karupack::Utf8;

constexpr std::uint64_t kIconMax = 16 << 20;  // as the packer's --icon
constexpr std::size_t kChunk = 1 << 20;
constexpr std::array kFieldNames = {Text::TitleLabel, Text::DescriptionLabel, Text::CompanyLabel,
                                    Text::CopyrightLabel, Text::VersionLabel};

std::size_t Index(Field field) {
  return static_cast<std::size_t>(field);
}

// A label as a noun: "T&itel:" is "Titel".
std::string FieldName(std::size_t field) {
  std::string name = Say(kFieldNames[field]);
  std::erase(name, '&');
  if (name.ends_with(':')) name.pop_back();
  return name;
}

// The first character of UTF-8 text that Windows-1252 lacks; nothing when
// the text is no UTF-8 at all.
std::optional<std::string> FirstForeign(std::string_view utf8) {
  for (std::size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    const std::string_view one = utf8.substr(at, length);
    try {
      format::ToCp1252(one);
    } catch (const format::FormatError&) {
      if (lead < 0xC2 || lead > 0xF4 || one.size() < length) return std::nullopt;
      return std::string(one);
    }
    at += length;
  }
  return std::nullopt;
}

std::optional<std::string> NameNote(const std::string& name) {
  std::string stored;
  try {
    stored = format::ToCp1252(name);
  } catch (const format::FormatError&) {
    const auto foreign = FirstForeign(name);
    return foreign ? Say(Text::NameNotCp1252, {*foreign}) : Say(Text::NameNotText);
  }
  const auto fault = format::CheckName(stored);
  if (!fault) return std::nullopt;
  switch (fault->rule) {
    case format::NameRule::Empty:
      return Say(Text::NameEmpty);
    case format::NameRule::TooLong:
      return Say(Text::NameTooLong, {std::to_string(stored.size())});
    case format::NameRule::DotName:
      return Say(Text::NameDots);
    case format::NameRule::Control:
      return Say(Text::NameControl);
    case format::NameRule::Forbidden:
      return Say(Text::NameForbidden, {std::string(1, fault->character)});
    case format::NameRule::TrailingDot:
      return Say(Text::NameTrailingDot);
    case format::NameRule::TrailingBlank:
      return Say(Text::NameTrailingBlank);
    case format::NameRule::Device:
      return Say(Text::NameDevice, {name});
  }
  return Say(Text::NameControl);
}

// Whether the captions parser takes the line this caption becomes; if not,
// why, in German.
std::optional<std::string> CaptionNote(const std::string& name, const std::string& caption) {
  std::istringstream line(name + "\t" + caption + "\n");
  try {
    if (karupack::ParseCaptions(line, karupack::kCaptionsFile).size() == 1) return std::nullopt;
    return Say(Text::CaptionHashName);  // the line reads as a comment
  } catch (const karupack::Failure& refused) {
    std::string stored;
    try {
      stored = format::ToCp1252(caption);
    } catch (const format::FormatError&) {
      return Say(Text::CaptionNotCp1252, {FirstForeign(caption).value_or("?")});
    }
    if (stored.size() > format::kCaptionMax) {
      return Say(Text::CaptionTooLong, {std::to_string(stored.size())});
    }
    if (std::any_of(stored.begin(), stored.end(), format::IsControl)) {
      return Say(Text::CaptionControl);
    }
    return Say(Text::ValueRefused, {Say(Text::ColumnCaption), refused.what()});
  }
}

std::optional<std::string> ValueNote(std::size_t field, const std::string& value) {
  if (value.empty()) return std::nullopt;
  karupack::InfoLines lines;
  const auto problem = karupack::AddInfo(std::string(kFieldKeys[field]) + "=" + value, lines);
  if (!problem) return std::nullopt;
  std::u16string wide;
  try {
    wide = seal::Utf16(value);
  } catch (const seal::SealError&) {
    return Say(Text::ValueRefused, {FieldName(field), *problem});
  }
  if (wide.size() > 256) {
    return Say(Text::ValueTooLong, {FieldName(field), std::to_string(wide.size())});
  }
  if (std::any_of(wide.begin(), wide.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; })) {
    return Say(Text::ValueControl, {FieldName(field)});
  }
  return Say(Text::ValueRefused, {FieldName(field), *problem});
}

std::vector<std::uint8_t> ReadBounded(const fs::path& file, std::uint64_t limit) {
  karupack::InputFile in(file);
  if (in.Size() > limit) throw karupack::Failure(file, "too large");
  std::vector<std::uint8_t> bytes(in.Size());
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t got = in.Read(std::span(bytes).subspan(at));
    if (got == 0) throw karupack::Failure(file, "ended early: it changed while it was read");
    at += got;
  }
  return bytes;
}

std::optional<std::string> IconNote(const fs::path& file) {
  try {
    seal::ParseIconFile(ReadBounded(file, kIconMax));
    return std::nullopt;
  } catch (const std::exception& error) {
    return Say(Text::IconUnusable, {format::Printable(error.what())});
  }
}

// Keeps the first kNotesKept notes, and counts the rest (worded only when
// kept: a file may hold hundreds of thousands).
template <typename Word>
void KeepNote(std::vector<std::string>& notes, std::size_t& more, Word word) {
  if (notes.size() < AuthoringModel::kNotesKept) {
    notes.push_back(word());
  } else {
    ++more;
  }
}

bool IsUtf8(std::string_view text) {
  try {
    seal::Utf16(text);
    return true;
  } catch (const seal::SealError&) {
    return false;
  }
}

void WriteWhole(const fs::path& target, std::string_view text) {
  karupack::PendingFile out(target, false);
  out.Out().Write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  out.Commit();
  karupack::FlushFolder(target.parent_path());
}

// The file's bytes into a pending file that takes target's place when
// committed.
void CopyInto(const fs::path& from, std::optional<karupack::PendingFile>& out,
              const fs::path& target) {
  karupack::InputFile in(from);
  out.emplace(target, false);
  std::vector<std::uint8_t> buffer(kChunk);
  while (const std::size_t got = in.Read(buffer)) out->Out().Write(std::span(buffer).first(got));
}

}  // namespace

AuthoringModel::AuthoringModel(const fs::path& folder)
    : folder_(karupack::PresentationFolder(folder)) {
  std::error_code error;
  if (!fs::is_directory(folder_, error)) throw karupack::Failure(folder_, "no folder");
  List();
  ReadCaptions();
  ReadInfo();
  ReadShow();
  if (SettingsFile(karupack::kIconFile)) {
    icon_ = Inside(karupack::kIconFile);
    iconNote_ = IconNote(*icon_);
  }
  if (SettingsFile(karupack::kPlayerFile)) player_ = Inside(karupack::kPlayerFile);
  Check();
}

fs::path AuthoringModel::Inside(std::string_view name) const {
  return folder_ / karupack::PathFromUtf8(name);
}

// A settings file that is a link is no setting: the packer refuses it as a
// link, so the list shows it as one.
bool AuthoringModel::SettingsFile(std::string_view name) const {
  std::error_code error;
  return fs::is_regular_file(Inside(name), error) && !karupack::LinkTarget(Inside(name));
}

// The folder as the packer lists it: its regular files sorted by their
// UTF-8 names, the settings files set aside by identity, anything else
// skipped. Links and junctions are refused, as the system reports them
// (the packer asks the same): the packer takes only files that lie in the
// folder itself.
void AuthoringModel::List() {
  std::vector<karupack::FileId> settings;
  for (const auto name : {karupack::kCaptionsFile, karupack::kIconFile, karupack::kInfoFile,
                          karupack::kPlayerFile, karupack::kShowFile}) {
    if (!SettingsFile(name)) continue;
    if (const auto id = karupack::IdentityOf(Inside(name))) settings.push_back(*id);
  }
  std::error_code error;
  for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
    FileRow row;
    row.path = it->path();
    row.name = Utf8(row.path.filename());
    std::error_code typeError;
    if (const auto target = karupack::LinkTarget(row.path)) {
      row.link = true;
      row.refused = true;
      row.note = Say(Text::IsLink, {Utf8(*target)});
    } else if (it->is_regular_file(typeError)) {
      const auto id = karupack::IdentityOf(row.path);
      if (id && std::any_of(settings.begin(), settings.end(), [&](const karupack::FileId& s) {
            return karupack::SameFile(s, *id);
          })) {
        continue;
      }
      row.size = it->file_size(typeError);
    } else if (it->is_directory(typeError)) {
      row.skipped = true;
      row.note = Say(Text::SkippedFolder);
    } else {
      row.skipped = true;
      row.note = Say(Text::SkippedOther);
    }
    files_.push_back(std::move(row));
  }
  if (error) throw karupack::Failure(folder_, error.message());
  // Packed files first, in the packer's order; what it skips after them.
  std::sort(files_.begin(), files_.end(), [](const FileRow& a, const FileRow& b) {
    return std::pair(a.skipped, a.name) < std::pair(b.skipped, b.name);
  });
}

// Read leniently: a line the packer refuses takes nothing else with it. A
// refused caption of a listed file is put on its row, refused there, to be
// mended; any other refused line is a note and goes with the next save.
void AuthoringModel::ReadCaptions() {
  const fs::path file = Inside(karupack::kCaptionsFile);
  captionsFile_ = SettingsFile(karupack::kCaptionsFile);
  if (!captionsFile_) return;
  karupack::CaptionLines read;
  try {
    read = karupack::ReadCaptionsLeniently(file);
  } catch (const std::exception& unreadable) {
    captionsUnreadable_ = format::Printable(unreadable.what());
    return;
  }
  std::map<std::string, FileRow*> byName;
  for (FileRow& row : files_) {
    try {
      if (!row.skipped) byName.emplace(format::FoldCase(format::ToCp1252(row.name)), &row);
    } catch (const format::FormatError&) {
      // No captions line can name it.
    }
  }
  const auto note = [&](auto word) { KeepNote(captionNotes_, captionNotesMore_, word); };
  std::map<std::string, int> taken;
  for (const karupack::Caption& caption : read.captions) {
    const std::string key = format::FoldCase(caption.name);
    const std::string shown = format::ToUtf8(caption.name);
    const auto row = byName.find(key);
    if (row == byName.end()) {
      note([&] { return Say(Text::CaptionForNoFile, {std::to_string(caption.line), shown}); });
    } else if (!taken.emplace(key, caption.line).second) {
      note([&] { return Say(Text::CaptionTwice, {std::to_string(caption.line), shown}); });
    } else {
      row->second->caption = row->second->savedCaption = format::ToUtf8(caption.text);
    }
  }
  for (const karupack::RefusedLine& line : read.refused) {
    const auto tab = line.text.find('\t');
    const std::string caption = tab == std::string::npos ? "" : line.text.substr(tab + 1);
    FileRow* row = nullptr;
    try {
      const std::string key =
          format::FoldCase(format::ToCp1252(std::string_view(line.text).substr(0, tab)));
      if (const auto found = byName.find(key); tab != std::string::npos && found != byName.end() &&
                                               IsUtf8(caption) && !caption.empty() &&
                                               taken.emplace(key, line.line).second) {
        row = found->second;
      }
    } catch (const format::FormatError&) {
      // The name is not one a file of the folder can have.
    }
    if (row != nullptr) {
      row->caption = caption;  // refused by Check, with the reason
    } else {
      note([&] {
        return Say(Text::LineDropped,
                   {karupack::kCaptionsFile, std::to_string(line.line), line.why});
      });
    }
  }
  captionNotesMore_ += read.refusedMore;
}

// As captions.txt: a refused value of a field the window shows is put in
// the field, refused there; any other refused line is a note.
void AuthoringModel::ReadInfo() {
  const fs::path file = Inside(karupack::kInfoFile);
  infoFile_ = SettingsFile(karupack::kInfoFile);
  if (!infoFile_) return;
  karupack::InfoFileLines read;
  try {
    read = karupack::ReadInfoFileLeniently(file);
  } catch (const std::exception& unreadable) {
    infoUnreadable_ = format::Printable(unreadable.what());
    return;
  }
  for (auto& [key, value] : read.lines) {
    const auto known = std::find(kFieldKeys.begin(), kFieldKeys.end(), key);
    if (known == kFieldKeys.end()) {
      otherInfo_.emplace_back(key, value);
    } else {
      const auto field = static_cast<std::size_t>(known - kFieldKeys.begin());
      values_[field] = savedValues_[field] = value;
    }
  }
  for (const karupack::RefusedLine& line : read.refused) {
    const auto eq = line.text.find('=');
    const std::string key = line.text.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : line.text.substr(eq + 1);
    const auto known = std::find(kFieldKeys.begin(), kFieldKeys.end(), key);
    const auto field = static_cast<std::size_t>(known - kFieldKeys.begin());
    if (eq != std::string::npos && known != kFieldKeys.end() && values_[field].empty() &&
        IsUtf8(value) && ValueNote(field, value)) {
      values_[field] = value;
      valueNotes_[field] = ValueNote(field, value);
    } else {
      KeepNote(infoNotes_, infoNotesMore_, [&] {
        return Say(Text::LineDropped, {karupack::kInfoFile, std::to_string(line.line), line.why});
      });
    }
  }
  infoNotesMore_ += read.refusedMore;
}

void AuthoringModel::ReadShow() {
  std::vector<std::string> names;
  for (const FileRow& row : files_) {
    if (!row.skipped) names.push_back(row.name);
  }
  const fs::path file = Inside(karupack::kShowFile);
  std::error_code error;
  if (!fs::is_regular_file(file, error)) {
    show_ = ShowSetup(std::nullopt, std::move(names));
    return;
  }
  try {
    const auto bytes = ReadBounded(file, format::kShowSettingsMax);
    show_ = ShowSetup(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                      std::move(names));
  } catch (const std::exception& unreadable) {
    show_ = ShowSetup::NotRead(format::Printable(unreadable.what()));
  }
}

std::optional<std::uint64_t> AuthoringModel::SoundMilliseconds(std::string_view name) const {
  for (const auto& [known, length] : soundLengths_) {
    if (known == name) return length;
  }
  std::optional<std::uint64_t> length;
  try {
    if (format::IsAudioName(format::ToCp1252(name))) {
      karupack::InputFile in(Inside(name));
      length = AudioMilliseconds(
          [&in](std::uint64_t offset, std::span<std::uint8_t> into) {
            in.Seek(offset);
            std::size_t got = 0;
            while (got < into.size()) {
              const std::size_t n = in.Read(into.subspan(got));
              if (n == 0) break;
              got += n;
            }
            return got;
          },
          in.Size());
    }
  } catch (const std::exception&) {
    // A file that does not read says no length.
  }
  soundLengths_.emplace_back(name, length);
  return length;
}

void AuthoringModel::Check() {
  std::map<std::string, const FileRow*> seen;
  for (FileRow& row : files_) {
    if (row.skipped || row.link) continue;
    row.refused = false;
    row.note.clear();
    if (const auto note = NameNote(row.name)) {
      row.refused = true;
      row.note = *note;
      continue;
    }
    const auto [first, added] = seen.emplace(format::FoldCase(format::ToCp1252(row.name)), &row);
    if (!added) {
      row.refused = true;
      row.note = Say(Text::NameTaken, {first->second->name});
      continue;
    }
    if (const auto note = row.caption.empty() ? std::nullopt : CaptionNote(row.name, row.caption)) {
      row.refused = true;
      row.note = *note;
    }
  }
}

std::vector<std::string> AuthoringModel::Notes() const {
  std::vector<std::string> notes;
  if (captionsUnreadable_) notes.push_back(Say(Text::CaptionsUnreadable, {*captionsUnreadable_}));
  if (infoUnreadable_) notes.push_back(Say(Text::InfoUnreadable, {*infoUnreadable_}));
  const auto add = [&](const std::vector<std::string>& kept, std::size_t more,
                       std::string_view file) {
    notes.insert(notes.end(), kept.begin(), kept.end());
    if (more > 0) notes.push_back(Say(Text::MoreNotes, {Digits(more), file}));
  };
  add(captionNotes_, captionNotesMore_, karupack::kCaptionsFile);
  add(infoNotes_, infoNotesMore_, karupack::kInfoFile);
  for (const auto& note : valueNotes_) {
    if (note) notes.push_back(*note);
  }
  if (iconNote_) notes.push_back(*iconNote_);
  if (const auto& why = show_.Unreadable()) {
    notes.push_back(Say(Text::ShowUnreadable, {*why}));
  }
  for (const ShowSetup::Refusal& refusal : show_.Refusals()) {
    notes.push_back(Say(Text::ShowHeldBack, {std::to_string(refusal.line),
                                             format::Printable(refusal.text), refusal.why}));
  }
  for (const ShowSetup::Refusal& refusal : show_.HeldBack()) {
    notes.push_back(Say(Text::ShowKeptAsComment,
                        {std::to_string(refusal.line), format::Printable(refusal.text)}));
  }
  return notes;
}

std::optional<std::string> AuthoringModel::Blocker() const {
  if (captionsUnreadable_) return Say(Text::CaptionsUnreadable, {*captionsUnreadable_});
  if (infoUnreadable_) return Say(Text::InfoUnreadable, {*infoUnreadable_});
  if (const auto& why = show_.Unreadable()) {
    return Say(Text::ShowUnreadable, {*why});
  }
  const auto refused =
      std::count_if(files_.begin(), files_.end(), [](const FileRow& row) { return row.refused; });
  if (refused > 0) return Say(Text::FilesRefused, {std::to_string(refused)});
  if (PackedCount() == 0) return Say(Text::NoFiles);
  if (PackedCount() > format::kMaxEntries) {
    return Say(Text::TooManyFiles, {Digits(PackedCount()), Digits(format::kMaxEntries)});
  }
  for (const auto& note : valueNotes_) {
    if (note) return note;
  }
  return iconNote_;
}

std::size_t AuthoringModel::PackedCount() const {
  return static_cast<std::size_t>(
      std::count_if(files_.begin(), files_.end(), [](const FileRow& row) { return !row.skipped; }));
}

std::uint64_t AuthoringModel::PackedBytes() const {
  std::uint64_t bytes = 0;
  for (const FileRow& row : files_) bytes += row.skipped ? 0 : row.size;
  return bytes;
}

void AuthoringModel::SetCaption(std::size_t row, std::string caption) {
  FileRow& file = files_.at(row);
  if (caption == file.name) caption.clear();
  if (caption == file.caption) return;
  file.caption = std::move(caption);
  captionsDirty_ = true;
  Check();
}

const std::string& AuthoringModel::Value(Field field) const {
  return values_[Index(field)];
}

void AuthoringModel::SetValue(Field field, std::string value) {
  if (values_[Index(field)] == value) return;
  valueNotes_[Index(field)] = ValueNote(Index(field), value);
  values_[Index(field)] = std::move(value);
  infoDirty_ = true;
}

std::optional<std::string> AuthoringModel::SetIcon(const fs::path& file) {
  if (auto note = IconNote(file)) return note;
  icon_ = file;
  iconNote_.reset();
  iconDirty_ = true;
  return std::nullopt;
}

void AuthoringModel::RemoveIcon() {
  icon_.reset();
  iconNote_.reset();
  iconDirty_ = true;
}

void AuthoringModel::SetPlayer(std::optional<fs::path> program) {
  player_ = std::move(program);
  playerDirty_ = true;
}

// A row's caption goes into the file only when the packer takes it; a
// refused one leaves the line the file held.
void AuthoringModel::WriteCaptions() const {
  std::string text = "# Beschriftungen: Dateiname, Tabulator, Beschriftung (UTF-8)\n";
  bool any = false;
  for (const FileRow& row : files_) {
    if (row.skipped || row.link) continue;
    const std::string& caption = row.refused ? row.savedCaption : row.caption;
    if (caption.empty()) continue;
    text += row.name + "\t" + caption + "\n";
    any = true;
  }
  if (any || captionsFile_) WriteWhole(Inside(karupack::kCaptionsFile), text);
}

// A value the packer refuses leaves the one the file held.
void AuthoringModel::WriteInfo() const {
  std::string text = "# Angaben zum Paket: SCHLÜSSEL=Wert (UTF-8)\n";
  bool any = false;
  for (const std::string_view key : seal::kVersionKeys) {
    const auto known = std::find(kFieldKeys.begin(), kFieldKeys.end(), key);
    if (known != kFieldKeys.end()) {
      const auto field = static_cast<std::size_t>(known - kFieldKeys.begin());
      const std::string& value = valueNotes_[field] ? savedValues_[field] : values_[field];
      if (value.empty()) continue;
      text += std::string(key) + "=" + value + "\n";
      any = true;
    }
    for (const auto& [other, value] : otherInfo_) {
      if (other != key) continue;
      text += other + "=" + value + "\n";
      any = true;
    }
  }
  if (any || infoFile_) WriteWhole(Inside(karupack::kInfoFile), text);
}

std::optional<std::string> AuthoringModel::Save(const Discard& discard) {
  if (captionsDirty_ && captionsUnreadable_) {
    return Say(Text::CaptionsUnreadable, {*captionsUnreadable_});
  }
  if (infoDirty_ && infoUnreadable_) return Say(Text::InfoUnreadable, {*infoUnreadable_});
  // What the packer would refuse stays here, to be mended, and is named.
  std::string heldBack;
  const auto held = [&](const std::string& what) {
    heldBack += (heldBack.empty() ? "" : ", ") + what;
  };
  try {
    // Lines the packer would refuse (the notes say so) go with the next save.
    if (captionsDirty_ || !captionNotes_.empty() || captionNotesMore_ > 0) {
      WriteCaptions();
      captionsFile_ = true;
      captionNotes_.clear();
      captionNotesMore_ = 0;
      captionsDirty_ = false;
      for (FileRow& row : files_) {
        if (row.skipped || row.link) continue;
        if (!row.refused) {
          row.savedCaption = row.caption;
        } else if (row.caption != row.savedCaption) {
          held(Say(Text::HeldBackCaption, {row.name}));
          captionsDirty_ = true;
        }
      }
    }
    if (infoDirty_ || !infoNotes_.empty() || infoNotesMore_ > 0) {
      WriteInfo();
      infoFile_ = true;
      infoNotes_.clear();
      infoNotesMore_ = 0;
      infoDirty_ = false;
      for (std::size_t field = 0; field < kFieldKeys.size(); ++field) {
        if (!valueNotes_[field]) {
          savedValues_[field] = values_[field];
        } else if (values_[field] != savedValues_[field]) {
          held(FieldName(field));
          infoDirty_ = true;
        }
      }
    }
    // A show.ini that does not read is left as it is; refused lines go
    // into the file as comments with the next save.
    if (show_.Dirty() || !show_.Refusals().empty()) {
      if (const std::string written = show_.Written(); show_.Exists() || !written.empty()) {
        WriteWhole(Inside(karupack::kShowFile), written);
      }
      show_.Saved();
    }
    // A chosen file is copied in, and one taken out or replaced goes to
    // discard first; one the author keeps there is the setting again.
    const auto keep = [&](std::optional<fs::path>& chosen, std::string_view name, bool& dirty) {
      if (!dirty) return;
      const fs::path target = Inside(name);
      std::error_code error;
      const bool there = fs::exists(fs::symlink_status(target, error));
      const auto old = karupack::IdentityOf(target);
      const auto from = chosen ? karupack::IdentityOf(*chosen) : std::nullopt;
      if (chosen && old && from && karupack::SameFile(*old, *from)) {
        chosen = target;
      } else if (chosen) {
        std::optional<karupack::PendingFile> copy;
        CopyInto(*chosen, copy, target);
        if (there && !discard(target)) {
          chosen = target;  // the copy goes unused
        } else {
          copy->Commit();
          karupack::FlushFolder(target.parent_path());
          chosen = target;
        }
      } else if (there && !discard(target)) {
        chosen = target;
      }
      dirty = false;
    };
    const bool iconChanged = iconDirty_;
    keep(icon_, karupack::kIconFile, iconDirty_);
    if (iconChanged && icon_) iconNote_ = IconNote(*icon_);
    keep(player_, karupack::kPlayerFile, playerDirty_);
  } catch (const std::exception& failure) {
    return Say(Text::NotSaved, {failure.what()});
  }
  if (!heldBack.empty()) return Say(Text::HeldBack, {heldBack});
  return std::nullopt;
}

karupack::PackOptions AuthoringModel::Options(const fs::path& output) const {
  return karupack::FolderPackOptions(folder_, output);
}

}  // namespace turv::authoring
