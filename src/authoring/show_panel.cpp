// The show's part of the authoring window: standard controls over the
// model's ShowSetup. A setting goes into show.ini as typed; what the
// packer would refuse about it shows beside it (the group's note, the
// list's note column) until it is mended.
#include "authoring/show_panel.h"

#include <algorithm>

#include "authoring/texts.h"
#include "authoring/utf16.h"
#include "authoring/window_ids.h"
#include "format/karu_format.h"
#include "format/show_settings.h"

namespace turv::authoring {

namespace {

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

void AddSentence(std::string& text, const std::string& sentence) {
  if (!text.empty()) text.append(" ");
  text.append(sentence);
}

// Seconds as a German reads them: "2,5".
std::string GermanSeconds(std::uint64_t milliseconds) {
  std::string text = SecondsText(static_cast<std::uint32_t>(
      std::min<std::uint64_t>(milliseconds, format::kMaxStandMilliseconds)));
  std::replace(text.begin(), text.end(), '.', ',');
  return text;
}

// "0:12", "1:02:03".
std::string Clock(std::uint64_t milliseconds) {
  const std::uint64_t seconds = (milliseconds + 500) / 1000;
  std::string text = std::to_string(seconds >= 3600 ? seconds / 3600 : seconds / 60);
  const auto two = [&](std::uint64_t n) {
    text.append(n < 10 ? ":0" : ":").append(std::to_string(n));
  };
  if (seconds >= 3600) two(seconds / 60 % 60);
  two(seconds % 60);
  return text;
}

// A number as typed, with a decimal comma or point, as the file spells it.
std::string Typed(HWND edit) {
  std::string text = Narrow(TextOf(edit));
  std::replace(text.begin(), text.end(), ',', '.');
  return text;
}

// Folded for comparing names as Windows does; text that is no
// Windows-1252 as it is.
std::string Folded(const std::string& utf8) {
  try {
    return format::FoldCase(format::ToCp1252(utf8));
  } catch (const format::FormatError&) {
    std::string none = "\x01";
    return none.append(utf8);
  }
}

const format::SlideSettings* SlideOf(const AuthoringModel& model, const std::string& name) {
  try {
    return model.Show().Settings().Slide(format::ToCp1252(name));
  } catch (const format::FormatError&) {
    return nullptr;
  }
}

bool IsAudio(const std::string& name) {
  try {
    return format::IsAudioName(format::ToCp1252(name));
  } catch (const format::FormatError&) {
    return false;
  }
}

// The folder's audio files, as the list shows them.
std::vector<std::string> AudioNames(const AuthoringModel& model) {
  std::vector<std::string> names;
  for (const FileRow& row : model.Files()) {
    if (!row.skipped && !row.refused && IsAudio(row.name)) names.push_back(row.name);
  }
  return names;
}

// A drop-down list: "(keine)" and the names, the chosen one selected.
void FillCombo(HWND combo, const std::vector<std::string>& names, const std::string& chosen) {
  ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  const std::wstring none = Wide(Say(Text::NoSound));
  ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(none.c_str()));
  int selected = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::wstring name = Wide(names[i]);
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (!chosen.empty() && Folded(names[i]) == Folded(chosen)) {
      selected = static_cast<int>(i) + 1;
    }
  }
  ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// The name chosen in a drop-down list; empty for "(keine)".
std::string Chosen(HWND combo) {
  const auto index = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index <= 0) return {};
  std::wstring text(static_cast<std::size_t>(
                        ::SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0)) +
                        1,
                    L'\0');
  ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
  text.resize(text.size() - 1);
  return Narrow(text.c_str());
}

void SetText(HWND control, const std::string& text) {
  ::SetWindowTextW(control, Wide(text).c_str());
}

}  // namespace

void ShowPanel::CreateEntry(const Adder& add) {
  constexpr DWORD kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
  constexpr DWORD kCombo = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
  add(L"STATIC", Wide(Say(Text::EntrySecondsLabel)), SS_LEFT, kEntrySecondsLabel, 0);
  add(L"EDIT", L"", kEdit, kEntrySecondsEdit, WS_EX_CLIENTEDGE);
  add(L"STATIC", Wide(Say(Text::EntrySoundLabel)), SS_LEFT, kEntrySoundLabel, 0);
  add(L"COMBOBOX", L"", kCombo, kEntrySoundCombo, 0);
  add(L"BUTTON", Wide(Say(Text::SoundsByName)), WS_TABSTOP | BS_PUSHBUTTON, kSoundsByNameButton, 0);
  add(L"STATIC", Wide(Say(Text::NotesLabel)), SS_LEFT, kNotesLabel, 0);
  add(L"EDIT", L"",
      WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
      kNotesEdit, WS_EX_CLIENTEDGE);
}

void ShowPanel::CreateShow(const Adder& add) {
  constexpr DWORD kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
  constexpr DWORD kCheck = WS_TABSTOP | BS_AUTOCHECKBOX;
  // A heading and an etched rule: a group box would need its parent to
  // paint beneath it, which the window's WS_CLIPCHILDREN forbids.
  add(L"STATIC", Wide(Say(Text::ShowGroup)), SS_LEFT | SS_NOPREFIX, kShowGroup, 0);
  add(L"STATIC", L"", SS_ETCHEDHORZ, kShowRule, 0);
  add(L"STATIC", Wide(Say(Text::AdvanceLabel)), SS_LEFT, kAdvanceLabel, 0);
  add(L"EDIT", L"", kEdit, kAdvanceEdit, WS_EX_CLIENTEDGE);
  add(L"STATIC", Wide(Say(Text::FadeLabel)), SS_LEFT, kFadeLabel, 0);
  add(L"EDIT", L"", kEdit, kFadeEdit, WS_EX_CLIENTEDGE);
  add(L"STATIC", Wide(Say(Text::MusicLabel)), SS_LEFT, kMusicLabel, 0);
  add(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kMusicCombo, 0);
  add(L"BUTTON", Wide(Say(Text::LoopCheck)), kCheck, kLoopCheck, 0);
  add(L"BUTTON", Wide(Say(Text::StartCheck)), kCheck, kStartCheck, 0);
  add(L"BUTTON", Wide(Say(Text::KioskCheck)), kCheck, kKioskCheck, 0);
  add(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, kShowNote, 0);
}

void ShowPanel::Fill(HWND window, const AuthoringModel* model, int row) {
  row_ = row;
  if (model != nullptr) FillShow(window, *model);
  FillEntry(window, model);
  Enable(window, model != nullptr, model);
}

void ShowPanel::Select(HWND window, const AuthoringModel* model, int row) {
  if (row == row_) return;
  row_ = row;
  FillEntry(window, model);
  Enable(window, model != nullptr, model);
}

void ShowPanel::FillShow(HWND window, const AuthoringModel& model) {
  quiet_ = true;
  const ShowSetup& show = model.Show();
  const format::ShowSettings& settings = show.Settings();
  SetText(::GetDlgItem(window, kAdvanceEdit), show.Value(kShowSection, "Advance"));
  SetText(::GetDlgItem(window, kFadeEdit), show.Value(kShowSection, "Fade"));
  FillCombo(::GetDlgItem(window, kMusicCombo), AudioNames(model), format::ToUtf8(settings.music));
  ::CheckDlgButton(window, kLoopCheck, settings.loop ? BST_CHECKED : BST_UNCHECKED);
  ::CheckDlgButton(window, kStartCheck, settings.startInShow ? BST_CHECKED : BST_UNCHECKED);
  ::CheckDlgButton(window, kKioskCheck, settings.kiosk ? BST_CHECKED : BST_UNCHECKED);
  quiet_ = false;
  ShowState(window, model);
}

// The group's note: what the packer refuses of the lines that belong to no
// row of the list (the show's own, a section for a file not there), and
// Start as kiosk leaves it.
void ShowPanel::ShowState(HWND window, const AuthoringModel& model) {
  std::string note;
  for (const ShowSetup::Refusal& refusal : model.Show().Refusals()) {
    const std::string section = Folded(refusal.section);
    const auto& files = model.Files();
    if (std::any_of(files.begin(), files.end(),
                    [&](const FileRow& row) { return Folded(row.name) == section; })) {
      continue;
    }
    AddSentence(note, Say(Text::ShowLineRefused, {std::to_string(refusal.line), refusal.why}));
  }
  SetText(::GetDlgItem(window, kShowNote), note);
  const format::ShowSettings& settings = model.Show().Settings();
  quiet_ = true;
  ::CheckDlgButton(window, kStartCheck, settings.startInShow ? BST_CHECKED : BST_UNCHECKED);
  quiet_ = false;
  ::EnableWindow(::GetDlgItem(window, kStartCheck),
                 ::IsWindowEnabled(::GetDlgItem(window, kKioskCheck)) && !settings.kiosk);
}

void ShowPanel::FillEntry(HWND window, const AuthoringModel* model) {
  quiet_ = true;
  const bool any = model != nullptr && row_ >= 0 &&
                   static_cast<std::size_t>(row_) < model->Files().size() &&
                   !model->Files()[static_cast<std::size_t>(row_)].skipped;
  const std::string name = any ? model->Files()[static_cast<std::size_t>(row_)].name : "";
  SetText(::GetDlgItem(window, kEntrySecondsEdit), any ? model->Show().Value(name, "Seconds") : "");
  std::vector<std::string> offered;
  if (any) {
    // The sound named like the slide first, then the others.
    offered = AudioNames(*model);
    if (const auto byName = SoundByName(name, offered)) {
      std::erase(offered, *byName);
      offered.insert(offered.begin(), *byName);
    }
    std::erase(offered, name);
  }
  const format::SlideSettings* slide = any ? SlideOf(*model, name) : nullptr;
  FillCombo(::GetDlgItem(window, kEntrySoundCombo), offered,
            slide != nullptr ? format::ToUtf8(slide->sound) : "");
  std::wstring notes;
  if (any) {
    for (const std::string& note : model->Show().Notes(name)) {
      notes += (notes.empty() ? L"" : L"\r\n") + Wide(note);
    }
  }
  ::SetWindowTextW(::GetDlgItem(window, kNotesEdit), notes.c_str());
  quiet_ = false;
}

void ShowPanel::Enable(HWND window, bool on, const AuthoringModel* model) const {
  on = on && model != nullptr && !model->Show().Unreadable();  // edits would be lost
  for (const int id : {kAdvanceEdit, kFadeEdit, kMusicCombo, kLoopCheck, kKioskCheck}) {
    ::EnableWindow(::GetDlgItem(window, id), on);
  }
  // Kiosk opens into the show whatever Start says.
  ::EnableWindow(::GetDlgItem(window, kStartCheck),
                 on && model != nullptr && !model->Show().Settings().kiosk);
  const bool entry = on && model != nullptr && row_ >= 0 &&
                     static_cast<std::size_t>(row_) < model->Files().size() &&
                     !model->Files()[static_cast<std::size_t>(row_)].skipped;
  for (const int id : {kEntrySecondsEdit, kEntrySoundCombo, kNotesEdit}) {
    ::EnableWindow(::GetDlgItem(window, id), entry);
  }
  ::EnableWindow(::GetDlgItem(window, kSoundsByNameButton), on);
}

bool ShowPanel::Command(HWND window, AuthoringModel& model, int id, int code, std::string& said) {
  if (quiet_) return false;
  ShowSetup& show = model.Show();
  const bool entry = row_ >= 0 && static_cast<std::size_t>(row_) < model.Files().size();
  const std::string name = entry ? model.Files()[static_cast<std::size_t>(row_)].name : "";
  const auto checked = [&](int check) {
    return ::IsDlgButtonChecked(window, check) == BST_CHECKED;
  };
  switch (id) {
    case kAdvanceEdit:
    case kFadeEdit:
      if (code != EN_CHANGE) return false;
      show.Set(kShowSection, id == kAdvanceEdit ? "Advance" : "Fade",
               Typed(::GetDlgItem(window, id)));
      break;
    case kMusicCombo:
      if (code != CBN_SELCHANGE) return false;
      show.Set(kShowSection, "Music", Chosen(::GetDlgItem(window, id)));
      break;
    case kLoopCheck:
      if (code != BN_CLICKED) return false;
      show.Set(kShowSection, "Loop", checked(id) ? "yes" : "");
      break;
    case kStartCheck:
      if (code != BN_CLICKED) return false;
      show.Set(kShowSection, "Start", checked(id) ? "show" : "");
      break;
    case kKioskCheck:
      if (code != BN_CLICKED) return false;
      show.Set(kShowSection, "Kiosk", checked(id) ? "yes" : "");
      break;
    case kEntrySecondsEdit:
      if (code != EN_CHANGE || !entry) return false;
      show.Set(name, "Seconds", Typed(::GetDlgItem(window, id)));
      break;
    case kEntrySoundCombo:
      if (code != CBN_SELCHANGE || !entry) return false;
      show.Set(name, "Sound", Chosen(::GetDlgItem(window, id)));
      break;
    case kNotesEdit: {
      if (code != EN_CHANGE || !entry) return false;
      // A line of the box is a line of notes; blank lines at its end are none.
      std::vector<std::string> notes;
      const std::string text = Narrow(TextOf(::GetDlgItem(window, id)));
      for (std::size_t at = 0; at <= text.size();) {
        const auto end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        if (line.ends_with('\r')) line.pop_back();
        notes.push_back(std::move(line));
        at = end + 1;
      }
      while (!notes.empty() && notes.back().empty()) notes.pop_back();
      show.SetNotes(name, notes);
      break;
    }
    case kSoundsByNameButton:
      if (code != BN_CLICKED) return false;
      said = Say(Text::SoundsTaken, {std::to_string(show.TakeSoundsByName())});
      FillEntry(window, &model);
      break;
    default:
      return false;
  }
  // The group says what the packer refuses; kiosk or not changes Start.
  ShowState(window, model);
  return true;
}

std::array<std::string, 2> ShowPanel::Cells(const AuthoringModel& model, std::size_t row) {
  const FileRow& file = model.Files()[row];
  if (file.skipped) return {};
  const ShowSetup& show = model.Show();
  // An audio file the show plays is no slide: it says whose it is.
  if (const auto use = show.UseOf(file.name)) return {"", *use};
  const format::ShowSettings& settings = show.Settings();
  const format::SlideSettings* slide = SlideOf(model, file.name);
  std::string seconds, sound;
  std::uint64_t stands = settings.advanceMilliseconds;
  if (slide != nullptr && slide->milliseconds) {
    stands = *slide->milliseconds;
    seconds = GermanSeconds(stands);
  } else if (stands > 0) {
    seconds.append("(").append(GermanSeconds(stands)).append(")");  // the show's
  }
  if (slide != nullptr && !slide->sound.empty()) {
    sound = format::ToUtf8(slide->sound);
    if (const auto length = model.SoundMilliseconds(sound)) {
      sound.append(" (").append(Clock(*length)).append(")");
      // A slide that advances by itself stands until its narration ends.
      if (stands > 0 && *length > stands) {
        seconds = GermanSeconds(*length);
        seconds.append(" (").append(Say(Text::ColumnSound)).append(")");
      }
    }
  }
  return {seconds, sound};
}

std::string ShowPanel::Note(const AuthoringModel& model, std::size_t row) {
  const std::string name = Folded(model.Files()[row].name);
  std::string note;
  for (const ShowSetup::Refusal& refusal : model.Show().Refusals()) {
    if (Folded(refusal.section) != name) continue;
    AddSentence(note, Say(Text::ShowLineRefused, {std::to_string(refusal.line), refusal.why}));
  }
  return note;
}

// From the bottom up: the show's group, then the entry's notes and its row.
int ShowPanel::Layout(HWND window, const Measures& m, int bottom) const {
  const auto place = [&](int id, int x, int y, int w, int h) {
    ::MoveWindow(::GetDlgItem(window, id), x, y, std::max(w, 0), std::max(h, 0), FALSE);
  };
  const auto label = [&](int id, int x, int y, int w) {
    place(id, x, y + (m.row - m.line) / 2, w, m.line);
  };
  const int inner = m.margin, innerWidth = m.width;
  const int groupTop = bottom - (m.line + 3 * m.row + 2 * m.line + 3 * m.space);
  const int heading = m.labelWidth * 3 / 2;
  place(kShowGroup, m.margin, groupTop, heading, m.line);
  place(kShowRule, m.margin + heading, groupTop + m.line / 2, m.width - heading, 2);
  int y = groupTop + m.line + m.space / 2;
  const int half = (innerWidth - m.gap) / 2;
  const int wideLabel = std::min(half - m.button / 2, m.labelWidth * 3);
  label(kAdvanceLabel, inner, y, wideLabel);
  place(kAdvanceEdit, inner + wideLabel, y, half - wideLabel, m.row);
  label(kFadeLabel, inner + half + m.gap, y, m.labelWidth * 2);
  place(kFadeEdit, inner + half + m.gap + m.labelWidth * 2, y, half - m.labelWidth * 2, m.row);
  y += m.row + m.space;
  label(kMusicLabel, inner, y, m.labelWidth);
  place(kMusicCombo, inner + m.labelWidth, y, half - m.labelWidth, 8 * m.row);
  place(kLoopCheck, inner + half + m.gap, y, half, m.row);
  y += m.row + m.space;
  place(kStartCheck, inner, y, half, m.row);
  place(kKioskCheck, inner + half + m.gap, y, half, m.row);
  y += m.row;
  place(kShowNote, inner, y, innerWidth, 2 * m.line);

  bottom = groupTop - m.space;
  const int notesHeight = 3 * m.line + m.space;
  place(kNotesEdit, m.margin + m.labelWidth * 2, bottom - notesHeight, m.width - m.labelWidth * 2,
        notesHeight);
  place(kNotesLabel, m.margin, bottom - notesHeight, m.labelWidth * 2, 2 * m.line);
  bottom -= notesHeight + m.space;
  const int buttonWidth = m.button * 3 / 2;
  const int secondsLabel = m.labelWidth * 2, secondsEdit = m.labelWidth;
  const int soundLeft = m.margin + secondsLabel + secondsEdit + m.gap;
  const int soundLabel = m.labelWidth * 3 / 2;
  bottom -= m.row;
  label(kEntrySecondsLabel, m.margin, bottom, secondsLabel);
  place(kEntrySecondsEdit, m.margin + secondsLabel, bottom, secondsEdit, m.row);
  label(kEntrySoundLabel, soundLeft, bottom, soundLabel);
  place(kEntrySoundCombo, soundLeft + soundLabel, bottom,
        m.margin + m.width - buttonWidth - m.gap - soundLeft - soundLabel, 8 * m.row);
  place(kSoundsByNameButton, m.margin + m.width - buttonWidth, bottom, buttonWidth, m.row);
  return bottom - m.space;
}

}  // namespace turv::authoring
