// Portable core of the player: the choice of monitors for the show and the
// presenter's console.
#include "lumirax/screens.h"

namespace turv::player {

namespace {

// The largest monitor but the one named (first of equals); null when none.
const Monitor* LargestBut(const std::vector<Monitor>& monitors, const std::u16string& but) {
  const Monitor* best = nullptr;
  for (const Monitor& monitor : monitors) {
    if (monitor.name == but) continue;
    if (best == nullptr || monitor.Area() > best->Area()) best = &monitor;
  }
  return best;
}

}  // namespace

const Monitor* FindMonitor(const std::vector<Monitor>& monitors, const std::u16string& name) {
  for (const Monitor& monitor : monitors) {
    if (monitor.name == name) return &monitor;
  }
  return nullptr;
}

Screens PlanScreens(const std::vector<Monitor>& monitors, const std::u16string& windowMonitor,
                    const std::u16string& lastShow) {
  if (monitors.empty()) return {};
  const std::u16string window =
      FindMonitor(monitors, windowMonitor) != nullptr ? windowMonitor : monitors.front().name;
  if (monitors.size() == 1) return {window, {}};
  if (lastShow != window && FindMonitor(monitors, lastShow) != nullptr) return {lastShow, window};
  return {LargestBut(monitors, window)->name, window};
}

Screens Swap(const Screens& screens) {
  if (screens.console.empty()) return screens;
  return {screens.console, screens.show};
}

Screens Replan(const Screens& now, const std::vector<Monitor>& monitors) {
  const bool show = FindMonitor(monitors, now.show) != nullptr;
  const bool console = !now.console.empty() && FindMonitor(monitors, now.console) != nullptr;
  if (show && (console || now.console.empty())) return now;
  if (monitors.size() < 2) return {monitors.empty() ? std::u16string() : monitors.front().name, {}};
  if (show) return {now.show, LargestBut(monitors, now.show)->name};
  return PlanScreens(monitors, console ? now.console : monitors.front().name, {});
}

}  // namespace turv::player
