// playerprobe: the player's window for scripts, in UTF-8.
//   playerprobe items HANDLE    the captions its list shows, one a line
//   playerprobe text HANDLE [ID]  its title, or the text of its control with that id
// Handles are read in hex, as winprobe prints them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "player_probe.h"

int main(int argc, char** argv) {
  const auto handle = [&] {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(argv[2], nullptr, 16)));
  };
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "items" && argc == 3) {
    HWND list = turv::demo::ChildById(handle(), 101);
    if (list == nullptr) return 1;
    for (const auto& item : turv::demo::ListItemsW(list)) {
      std::printf("%s\n", turv::demo::Utf8(item).c_str());
    }
    return 0;
  }
  if (verb == "text" && (argc == 3 || argc == 4)) {
    HWND control = argc == 3 ? handle() : turv::demo::ChildById(handle(), std::atoi(argv[3]));
    if (control == nullptr) return 1;
    std::printf("%s\n", turv::demo::Utf8(turv::demo::TextOfW(control)).c_str());
    return 0;
  }
  std::fputs("usage: playerprobe items HANDLE | text HANDLE [ID]\n", stderr);
  return 2;
}
