// Which monitor the show fills and which the presenter's console: the show
// goes where the player's window is not (of several, the largest, or the
// one last used), the console stays with the window. Portable: monitors come
// by their device names and rectangles.
#pragma once

#include <string>
#include <vector>

namespace turv::player {

struct Monitor {
  std::u16string name;  // the system's device name, stable while plugged in
  int left = 0, top = 0, right = 0, bottom = 0;
  long long Area() const { return static_cast<long long>(right - left) * (bottom - top); }
  friend bool operator==(const Monitor&, const Monitor&) = default;
};

// The monitors' names; console is empty when the show has the only one.
struct Screens {
  std::u16string show;
  std::u16string console;
  friend bool operator==(const Screens&, const Screens&) = default;
};

// The screens for a show started from a window on windowMonitor; lastShow
// names the monitor the last show used (empty: none known).
Screens PlanScreens(const std::vector<Monitor>& monitors, const std::u16string& windowMonitor,
                    const std::u16string& lastShow);
// S: the show and the console change monitors (one monitor: as they are).
Screens Swap(const Screens& screens);
// The monitors changed during the show: what still stands stays; a show whose
// monitor went moves to the one left, a console without a monitor of its own
// closes.
Screens Replan(const Screens& now, const std::vector<Monitor>& monitors);

const Monitor* FindMonitor(const std::vector<Monitor>& monitors, const std::u16string& name);

}  // namespace turv::player
