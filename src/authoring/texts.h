// What the authoring window says, in one table: German today; a second
// language is a second table of the same order. Texts are UTF-8; %1, %2, ...
// stand for the arguments Say fills in.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace turv::authoring {

enum class Text {
  // The window
  WindowTitle,
  FolderLabel,
  Browse,
  FilesLabel,
  ColumnCaption,
  ColumnFile,
  ColumnSize,
  ColumnNote,
  IconLabel,
  ChooseIcon,
  RemoveIcon,
  NoIcon,
  TitleLabel,
  DescriptionLabel,
  CompanyLabel,
  CopyrightLabel,
  VersionLabel,
  PlayerLabel,
  PlayerLumirax,
  PlayerOwn,
  ChoosePlayer,
  PackageLabel,
  SaveAs,
  KeptIn,
  Pack,
  Cancel,
  Test,
  Close,
  // Dialogs
  ChooseFolderTitle,
  IconFilter,
  ProgramFilter,
  PackageFilter,
  AskSave,
  AskReplace,
  // The state and the outcome
  Welcome,
  DropOneFolder,
  NoSuchFolder,
  FolderUnreadable,
  FilesListed,
  FilesRefused,
  NoFiles,
  TooManyFiles,
  ChooseFolderFirst,
  Packing,
  Packed,
  Cancelled,
  NotPacked,
  NotSaved,
  HeldBack,
  HeldBackCaption,
  KeptFile,
  AskDeleteForGood,
  Reading,
  Stopping,
  Replaced,
  TestFailed,
  InternalError,
  // A file's note
  NameNotCp1252,
  NameNotText,
  NameEmpty,
  NameTooLong,
  NameDots,
  NameControl,
  NameForbidden,
  NameTrailingDot,
  NameTrailingBlank,
  NameDevice,
  NameTaken,
  IsLink,
  SkippedFolder,
  SkippedOther,
  CaptionTooLong,
  CaptionNotCp1252,
  CaptionControl,
  CaptionHashName,
  // The settings files
  CaptionsUnreadable,
  CaptionForNoFile,
  CaptionTwice,
  LineDropped,
  MoreNotes,
  InfoUnreadable,
  ValueTooLong,
  ValueControl,
  ValueRefused,
  IconUnusable,
  PlayerUnreadable,
  // The show
  ShowGroup,
  AdvanceLabel,
  LoopCheck,
  StartCheck,
  KioskCheck,
  MusicLabel,
  FadeLabel,
  NoSound,
  ColumnSeconds,
  ColumnSound,
  EntrySecondsLabel,
  EntrySoundLabel,
  SoundsByName,
  NotesLabel,
  UseMusic,
  UseSound,
  ShowUnreadable,
  ShowLineRefused,
  ShowHeldBack,
  SoundsTaken,
  ShowNotUtf8,
  ShowNotCp1252,
  ShowSyntax,
  ShowKeyOutside,
  ShowUnknownKey,
  ShowBadNumber,
  ShowOutOfRange,
  ShowBadYesNo,
  ShowBadStart,
  ShowSectionTwice,
  ShowNoSuchEntry,
  ShowNotAudio,
  ShowKeptAsComment,
  Count
};

// The text with %1, %2, ... replaced by the arguments, in order.
std::string Say(Text text, std::initializer_list<std::string_view> arguments = {});

// "1.234.567": German digit groups.
std::string Digits(std::uint64_t number);

}  // namespace turv::authoring
