// turv: the program entry. Creating the main window runs the creation phase;
// running the application puts the window on screen, whose first
// activation runs the activation phase, which closes the window and so
// ends the program.
#include "core/turv_u.h"
#include "platform/platform.h"

int main() {
  turv::platform::Application Application;
  turv::TForm5 Form5;
  Application.CreateForm(Form5);
  Application.Run();
  return 0;
}
