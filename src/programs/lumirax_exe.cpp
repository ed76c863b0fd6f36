// lumirax: shows a presentation that the launcher has unpacked into the
// work folder, the player's current folder. No arguments.
#include <windows.h>

#include <memory>

#include "lumirax/player_model.h"
#include "lumirax/player_window.h"
#include "lumirax/win32_files.h"

namespace turv::player {
namespace {

// The player runs from the work folder, where anyone who can write the
// temporary folder can leave a DLL, and it loads COM and the imaging
// component: DLLs loaded by name come from the system folder only. Windows 7
// has SetDefaultDllDirectories only with its 2011 loader update; without
// it, the current folder at least leaves the search.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) ::SetDllDirectoryW(L"");
}

// The start-folder file where the launcher leaves it: beside the data, or
// in the work folder its rule picks, read from the first place that has one.
// Its text is in the system's ANSI code page; a folder whose name the code
// page cannot hold comes as its short form, shown as the user knows it.
StartFolder FindStartFolder(const std::u16string& currentFolder) {
  const std::u16string temp = TempFolder();
  for (const auto& place : StartFileCandidates(currentFolder, temp, FolderExists(temp))) {
    try {
      const auto bytes = ReadSmallFile(place, 1u << 20);
      if (!bytes) continue;
      return {StartFolder::State::Found, LongPath(FromAnsi(ReadStartFile(*bytes)))};
    } catch (const PlayerError&) {
      return {StartFolder::State::Damaged, {}};
    }
  }
  return {StartFolder::State::Missing, {}};
}

int Play(HINSTANCE instance) {
  const std::u16string workFolder = CurrentFolder();
  const Presentation presentation(
      std::make_unique<FileSource>(JoinPath(workFolder, kDataFileName)));
  PlayerWindow window(instance, presentation, workFolder, StatusLine(FindStartFolder(workFolder)));
  return window.Run();
}

}  // namespace
}  // namespace turv::player

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  turv::player::RestrictDllSearch();  // before COM or any window
  try {
    return turv::player::Play(instance);
  } catch (...) {
    turv::player::ReportError(nullptr, std::current_exception());
    return 1;
  }
}
