// What the authoring window shows and edits, without the window: one
// presentation folder, its files in packed order with their captions and
// whatever the packer would refuse about them, and the package's icon,
// version strings and player. All of it is kept in the folder's settings
// files (captions.txt, info.txt, icon.ico, lumirax.exe, show.ini), the files a drop
// and the command line read, so that every way of packing the folder gives
// the same package. Portable; texts are UTF-8, notes German.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "authoring/show_setup.h"
#include "karupack/commands.h"

namespace turv::authoring {

// The version strings the window offers, by their info.txt keys.
enum class Field { Title, Description, Company, Copyright, Version };
inline constexpr std::array<std::string_view, 5> kFieldKeys = {
    "ProductName", "FileDescription", "CompanyName", "LegalCopyright", "FileVersion"};

struct FileRow {
  std::filesystem::path path;
  std::string name;     // as the folder lists it
  std::string caption;  // its own caption; empty: captioned with its name
  std::uint64_t size = 0;
  bool skipped = false;      // not packed, as the packer skips it (a folder inside)
  bool refused = false;      // the packer would refuse the whole pack for it
  bool link = false;         // a symbolic link or junction: refused, whatever its name
  std::string note;          // why it is skipped or refused; empty when it packs
  std::string savedCaption;  // as captions.txt holds it: kept while an edit is held back

  // The caption the package shows for it.
  const std::string& Shown() const { return caption.empty() ? name : caption; }
};

class AuthoringModel {
 public:
  // Reads the folder: its files, sorted as the packer sorts them, and its
  // settings files. Throws karupack::Failure when the folder cannot be
  // listed; a settings file that does not read is a note instead.
  explicit AuthoringModel(const std::filesystem::path& folder);

  const std::filesystem::path& Folder() const { return folder_; }
  const std::vector<FileRow>& Files() const { return files_; }
  // What stands in the way of packing, or is worth knowing: settings files
  // that do not read, lines of them that will not do, refused values. At
  // most kNotesKept a file, then how many more.
  static constexpr std::size_t kNotesKept = 20;
  std::vector<std::string> Notes() const;
  // Why packing cannot start now, or nothing.
  std::optional<std::string> Blocker() const;
  std::size_t PackedCount() const;
  std::uint64_t PackedBytes() const;

  // A caption for the row; empty gives the file its name back. A caption
  // the packer would refuse is kept as typed and the row is refused, with
  // the reason as its note.
  void SetCaption(std::size_t row, std::string caption);

  const std::string& Value(Field field) const;
  // Kept as typed; one the packer would refuse is a note.
  void SetValue(Field field, std::string value);

  // The icon file the package will carry: the folder's icon.ico, or one
  // chosen and not yet copied there.
  const std::optional<std::filesystem::path>& Icon() const { return icon_; }
  // Takes an .ico file; returns why it will not do, keeping the icon then.
  std::optional<std::string> SetIcon(const std::filesystem::path& file);
  void RemoveIcon();

  // The author's own player, or nothing for the launcher's lumirax.
  const std::optional<std::filesystem::path>& Player() const { return player_; }
  void SetPlayer(std::optional<std::filesystem::path> program);

  // The show's settings (show.ini), edited in place.
  const ShowSetup& Show() const { return show_; }
  ShowSetup& Show() { return show_; }
  // How long a file of the folder plays, read from its header once; nothing
  // for a file that is no audio or does not say.
  std::optional<std::uint64_t> SoundMilliseconds(std::string_view name) const;

  bool Dirty() const {
    return captionsDirty_ || infoDirty_ || iconDirty_ || playerDirty_ || show_.Dirty();
  }

  // Takes a settings file out of the folder (to the recycle bin on
  // Windows): false when the author chose to keep it after all.
  using Discard = std::function<bool(const std::filesystem::path&)>;

  // Writes what changed into the folder, each file replaced whole (never
  // left half-written), and only what the packer takes: a refused caption
  // or value is held back (the file keeps what it held) and stays to be
  // mended. A settings file taken out or replaced is handed to discard
  // first; one the author keeps becomes the setting again. Returns why it
  // could not save, or which edits it held back; nothing when all is saved.
  std::optional<std::string> Save(const Discard& discard);

  // What packs the folder as saved into output.
  karupack::PackOptions Options(const std::filesystem::path& output) const;

 private:
  void List();
  void ReadCaptions();
  void ReadInfo();
  void ReadShow();
  void Check();  // every row's note, after any change
  void WriteCaptions() const;
  void WriteInfo() const;
  std::filesystem::path Inside(std::string_view name) const;
  bool SettingsFile(std::string_view name) const;  // there, regular and no link

  std::filesystem::path folder_;
  std::vector<FileRow> files_;
  std::vector<std::string> captionNotes_;  // about captions.txt as read
  std::size_t captionNotesMore_ = 0;
  std::vector<std::string> infoNotes_;  // about info.txt as read
  std::size_t infoNotesMore_ = 0;
  std::array<std::string, kFieldKeys.size()> savedValues_;  // as info.txt holds them
  std::optional<std::string> captionsUnreadable_;
  std::optional<std::string> infoUnreadable_;
  std::array<std::string, kFieldKeys.size()> values_;
  std::array<std::optional<std::string>, kFieldKeys.size()> valueNotes_;
  std::vector<std::pair<std::string, std::string>> otherInfo_;  // keys the window does not show
  std::optional<std::filesystem::path> icon_;
  std::optional<std::string> iconNote_;
  std::optional<std::filesystem::path> player_;
  ShowSetup show_;
  mutable std::vector<std::pair<std::string, std::optional<std::uint64_t>>> soundLengths_;
  bool captionsFile_ = false;  // captions.txt was there
  bool infoFile_ = false;
  bool captionsDirty_ = false;
  bool infoDirty_ = false;
  bool iconDirty_ = false;
  bool playerDirty_ = false;
};

}  // namespace turv::authoring
