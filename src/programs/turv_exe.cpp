// turv: the program entry. Creating the main window runs the creation phase;
// running the application puts the window on screen, whose first
// activation runs the activation phase, which closes the window and so
// ends the program.
#include <windows.h>

#include "core/turv_u.h"
#include "platform/platform.h"
#include "win32/dll_search.h"

int main() {
  // A package is usually started from Downloads, beside whatever lies there.
  turv::win32::RestrictDllSearch();  // before any window or dialog
  turv::platform::Application Application;
  turv::TForm5 Form5;
  Application.CreateForm(Form5);
  return Application.Run();
}
