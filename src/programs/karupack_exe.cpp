// karupack.exe: Windows hands the command line over as UTF-16; karupack
// takes it as UTF-8 and writes UTF-8 to the console. Started from Explorer,
// it packs a folder dropped on it, or opens the authoring window.
#include <windows.h>

#include <string>
#include <vector>

#include "authoring/authoring_window.h"
#include "authoring/utf16.h"
#include "karupack/karupack.h"
#include "karupack/paths.h"
#include "win32/dll_search.h"

namespace {

using turv::authoring::Wide;
namespace fs = std::filesystem;

enum class Started { Typed, DroppedFolder, DroppedOther, Plainly };

// Explorer starts a console program with a console of its own, handing
// over the full paths of what was dropped on it; a typed command shares
// its console with the shell it was typed in. (Under Wine, started from a
// Linux shell, there is no console at all.)
Started HowStarted(const std::vector<std::string>& args) {
  DWORD processes[2] = {};
  if (::GetConsoleProcessList(processes, 2) > 1) return Started::Typed;
  if (args.empty()) return Started::Plainly;
  std::error_code error;
  if (args.size() == 1 && fs::is_directory(turv::karupack::PathFromUtf8(args[0]), error)) {
    return Started::DroppedFolder;
  }
  for (const std::string& arg : args) {
    const fs::path path = turv::karupack::PathFromUtf8(arg);
    if (!path.is_absolute() || !fs::exists(path, error)) return Started::Typed;
  }
  return Started::DroppedOther;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  turv::win32::RestrictDllSearch();  // karupack.exe too lies in Downloads
  ::SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(turv::authoring::Narrow(argv[i]));
  const Started started = HowStarted(args);
  if (started == Started::Typed) return turv::karupack::Run(args);
  // The console Windows made for us would only stand empty behind the box
  // or the window.
  ::FreeConsole();
  if (started == Started::DroppedFolder) {
    std::string message;
    const int status = turv::karupack::RunDropped(turv::karupack::PathFromUtf8(args[0]), message);
    ::MessageBoxW(nullptr, Wide(message).c_str(), L"karupack",
                  MB_OK | MB_SETFOREGROUND | (status == 0 ? MB_ICONINFORMATION : MB_ICONERROR));
    return status;
  }
  return turv::authoring::RunAuthoringWindow(::GetModuleHandleW(nullptr),
                                             started == Started::Plainly
                                                 ? turv::authoring::Opened::Plainly
                                                 : turv::authoring::Opened::OnOtherThings);
}
