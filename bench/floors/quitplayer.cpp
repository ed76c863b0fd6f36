// A player that ends at once, so that starting it costs the launcher under
// test as little as a player can.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return 0;
}
