// Placeholder player until the real one lands: it only says where it runs.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char folder[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, folder);
  ::MessageBoxA(nullptr, folder, "lumirax", MB_OK);
  return 0;
}
