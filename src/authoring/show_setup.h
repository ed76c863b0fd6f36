// The show's settings as the authoring window edits them (portable): the
// folder's show.ini kept line by line, so that a file written by hand keeps
// its comments, order and spelling wherever the window changes nothing.
// Whether a line holds is decided by the packer's own reader
// (format::ParseShowSettings and CheckShowEntries); a line it refuses is
// named beside its setting and written back only as a comment, so that
// the file the window writes is one the packer takes and nothing the
// author typed is lost.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/rehearsal_times.h"
#include "format/show_settings.h"

namespace turv::authoring {

// The section of the whole show; every other section is a packed entry's.
inline constexpr std::string_view kShowSection = "Show";

// Seconds as the file spells them: "8", "0.25".
std::string SecondsText(std::uint32_t milliseconds);

// The audio file named like the slide ("03 Folie.mp3" for "03 Folie.png"),
// among the names (UTF-8); the first in their order.
std::optional<std::string> SoundByName(std::string_view slide, std::span<const std::string> names);

class ShowSetup {
 public:
  // What the packer refuses about one line, worded in German.
  struct Refusal {
    int line = 0;         // in the file as it stands now, 1-based
    std::string section;  // the line's section (empty before the first)
    std::string key;      // the line's key; empty for a section's head
    std::string text;     // the line as written
    std::string why;
  };

  ShowSetup() = default;
  // show.ini's bytes (nothing: no such file) checked against the packed
  // entries' names (UTF-8).
  ShowSetup(std::optional<std::string_view> bytes, std::vector<std::string> names);
  // A show.ini that could not be read: nothing to edit, and never written.
  static ShowSetup NotRead(std::string why);

  // What the lines the packer takes say.
  const format::ShowSettings& Settings() const { return parse_.settings; }
  // The value of the key's last line in the section as written, good or
  // not; empty when there is none.
  std::string Value(std::string_view section, std::string_view key) const;
  // Sets the key's line in the section to the value as given: the first
  // such line is rewritten in place, any others go; a new line goes at the
  // end of the section, a new section at the end of the file. An empty
  // value takes the key's lines out.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // The section's Note= lines, and replacing them all.
  std::vector<std::string> Notes(std::string_view section) const;
  void SetNotes(std::string_view section, const std::vector<std::string>& notes);

  // Gives every slide without a sound the audio file named like it;
  // returns how many it gave one.
  std::size_t TakeSoundsByName();
  // Takes the times a rehearsal recorded as the slides' seconds, rounded to
  // a tenth of a second; returns the names (as packed) whose seconds it
  // set. Left out: a name no packed entry has (renamed since), an audio
  // file the show plays for a slide or as its music (no slide), and a
  // slide stepped past in under a twentieth of a second.
  std::vector<std::string> TakeTimes(std::span<const format::StoodTime> times);

  // Every line the packer would refuse, in line order; and the one for a
  // setting (key empty: the section's head), when there is one.
  const std::vector<Refusal>& Refusals() const { return refusals_; }
  std::optional<std::string> RefusalOf(std::string_view section, std::string_view key) const;
  // Why the file cannot be edited at all (too large, unreadable), or
  // nothing; then every edit is ignored.
  const std::optional<std::string>& Unreadable() const { return unreadable_; }

  // What the package does with an audio file: "Musik", "Ton zu „X“", or
  // nothing when it is no sound or music (the file's name in UTF-8).
  std::optional<std::string> UseOf(std::string_view name) const;

  bool Dirty() const { return dirty_; }
  bool Exists() const { return exists_; }
  // The file to write: every line as it stands, those the packer would
  // refuse turned into comments that say so. Empty when there is nothing
  // to keep; then a file that is not there need not be written.
  std::string Written() const;
  // After Written() was written (or, empty, was not there and left so):
  // what the file holds now is what was read, and the lines it holds as
  // comments are those held back.
  void Saved();
  const std::vector<Refusal>& HeldBack() const { return heldBack_; }

 private:
  struct Line {
    std::string text;
    std::string section;  // the section it lies in (its own, for a head)
    std::string key;      // empty: a head, comment, blank or no key
    bool head = false;
  };
  void Reparse();
  // [first, end) of the section's lines after its head; nothing when the
  // file has no such section.
  std::optional<std::pair<std::size_t, std::size_t>> Range(std::string_view section) const;
  std::string Joined(const std::vector<std::string>& lines) const;

  std::vector<std::string> names_;  // UTF-8
  std::vector<Line> lines_;
  bool bom_ = false;
  bool crlf_ = false;
  bool exists_ = false;
  bool dirty_ = false;
  format::ShowParse parse_;
  std::vector<Refusal> refusals_;
  std::vector<Refusal> heldBack_;  // by the last save
  std::optional<std::string> unreadable_;
};

}  // namespace turv::authoring
