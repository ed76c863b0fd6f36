// The authoring window (Win32): karupack.exe opened from Explorer. A thin
// view over AuthoringModel of standard controls only, laid out for the
// monitor's scaling, driven by keyboard (Tab, mnemonics, Enter packs, Esc
// closes) as by mouse; packing runs on a PackJob's thread.
#pragma once

#include <windows.h>

namespace turv::authoring {

enum class Opened {
  Plainly,       // a double-click
  OnOtherThings  // something not one folder was dropped on karupack.exe
};

// Shows the window and runs until it is closed; the exit code.
int RunAuthoringWindow(HINSTANCE instance, Opened how) noexcept;

}  // namespace turv::authoring
