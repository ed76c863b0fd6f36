// The authoring window's class and control ids, as the window and the
// tests that drive it know them.
#pragma once

#include <windows.h>

namespace turv::authoring {

inline constexpr wchar_t kWindowClass[] = L"TurvAuthoringWindow";

enum ControlId : int {
  kPackButton = IDOK,       // Enter
  kCloseButton = IDCANCEL,  // Esc
  kFolderLabel = 100,
  kFolderEdit,
  kBrowseButton,
  kFilesLabel,
  kFileList,
  kIconLabel,
  kIconPreview,
  kIconName,
  kChooseIconButton,
  kRemoveIconButton,
  kTitleLabel,
  kTitleEdit,
  kDescriptionLabel,
  kDescriptionEdit,
  kCompanyLabel,
  kCompanyEdit,
  kCopyrightLabel,
  kCopyrightEdit,
  kVersionLabel,
  kVersionEdit,
  kPlayerLabel,
  kLumiraxRadio,
  kOwnPlayerRadio,
  kPlayerName,
  kChoosePlayerButton,
  kPackageLabel,
  kPackageEdit,
  kSaveAsButton,
  kKeptInNote,
  kStatusText,
  kProgressBar,
  kCancelButton,
  kTestButton,
  kRehearseButton,
  // The show's part (show_panel): the selected entry's, then the whole show's.
  kEntrySecondsLabel = 200,
  kEntrySecondsEdit,
  kEntrySoundLabel,
  kEntrySoundCombo,
  kSoundsByNameButton,
  kNotesLabel,
  kNotesEdit,
  kShowGroup,
  kAdvanceLabel,
  kAdvanceEdit,
  kFadeLabel,
  kFadeEdit,
  kMusicLabel,
  kMusicCombo,
  kLoopCheck,
  kStartCheck,
  kKioskCheck,
  kShowNote,
  kShowRule,
};

// The file list's columns.
enum Column : int {
  kCaptionColumn,
  kFileColumn,
  kSizeColumn,
  kSecondsColumn,
  kSoundColumn,
  kNoteColumn,
  kColumnCount
};

}  // namespace turv::authoring
