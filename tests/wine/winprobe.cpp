// winprobe: the window probe for scripts (the demo, manual checks).
//   winprobe list [PID]                  top-level windows: handle pid flags class "text"
//   winprobe wait TITLE [CLASS] [MS]     waits for a visible window with that title
//   winprobe texts HANDLE                the window's children: class id "text"
//   winprobe items HANDLE                the items of every list box inside the window (UTF-8)
//   winprobe text HANDLE [ID]            the window's text, or its control's with that id (UTF-8)
//   winprobe close HANDLE                asks the window to close
//   winprobe screenshot FILE.png         the whole screen
//   winprobe icon PROGRAM.exe FILE.png   the program's icon at 16, 32, 48 and 64 pixels
//   winprobe start [--show N] [--cd DIR] [--env NAME=VALUE]... PROGRAM
//                                        starts PROGRAM as a user would; prints its pid
//   winprobe key HANDLE VK [ID]          posts a key (virtual-key code, decimal) to the window
//                                        or to its control with that id
//   winprobe type HANDLE ID TEXT         types TEXT into the window's control with that id
//   winprobe press HANDLE ID             presses the window's button with that id
//   winprobe rows HANDLE ID              the cells of the window's list view with that id (UTF-8)
//   winprobe shot HANDLE FILE.png        the screen under one window
//   winprobe start-window CLASS PROGRAM [ARGS]
//                                        starts a console PROGRAM as Explorer does (a console
//                                        of its own) and waits for its window of CLASS; prints
//                                        the handle, the pid and the milliseconds it took
//   winprobe watch HANDLE BAR_ID BUTTON_ID
//                                        presses the button, then follows the progress bar to
//                                        its end: its steps, and how fast the window answers
// Handles are printed and read in hex.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "test_files.h"
#include "window_probe.h"

namespace {

using turv::probe::WindowInfo;

HWND ParseHandle(const std::string& text) {
  return reinterpret_cast<HWND>(
      static_cast<std::uintptr_t>(std::strtoull(text.c_str(), nullptr, 16)));
}

void Print(const WindowInfo& w) {
  std::printf("%p %lu %s%s%s%s %s \"%s\"\n", static_cast<void*>(w.handle), w.pid,
              w.visible ? "V" : "-", w.iconic ? "I" : "-", w.zoomed ? "Z" : "-",
              w.enabled ? "E" : "-", w.className.c_str(), w.text.c_str());
}

int Usage() {
  std::fputs(
      "usage: winprobe list [PID] | wait TITLE [CLASS] [MS] | texts H | items H | close H |"
      " screenshot FILE | icon PROGRAM FILE | start [--show N] [--cd DIR] [--env N=V]... PROGRAM\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  if (a.empty()) return Usage();
  const std::string& verb = a[0];
  if (verb == "list") {
    const DWORD pid =
        a.size() > 1 ? static_cast<DWORD>(std::strtoul(a[1].c_str(), nullptr, 10)) : 0;
    for (const auto& w : turv::probe::TopLevel(pid)) Print(w);
    return 0;
  }
  if (verb == "wait" && a.size() >= 2) {
    const std::string cls = a.size() > 2 ? a[2] : "";
    const DWORD ms =
        a.size() > 3 ? static_cast<DWORD>(std::strtoul(a[3].c_str(), nullptr, 10)) : 30'000;
    const auto found = turv::probe::WaitFor(
        [&](const WindowInfo& w) {
          return w.visible && w.text == a[1] && (cls.empty() || w.className == cls);
        },
        ms);
    if (!found) return 1;
    Print(*found);
    return 0;
  }
  if (verb == "texts" && a.size() == 2) {
    for (const auto& c : turv::probe::Children(ParseHandle(a[1]))) {
      std::printf("%s %d \"%s\"\n", c.className.c_str(), c.id, c.text.c_str());
    }
    return 0;
  }
  if (verb == "items" && a.size() == 2) {
    for (const auto& c : turv::probe::Children(ParseHandle(a[1]))) {
      if (c.className != "ListBox") continue;
      for (const auto& item : turv::probe::ListItemsW(c.handle)) {
        std::printf("%s\n", turv::probe::Utf8(item).c_str());
      }
    }
    return 0;
  }
  if (verb == "text" && (a.size() == 2 || a.size() == 3)) {
    HWND window = ParseHandle(a[1]);
    if (a.size() == 3) window = ::GetDlgItem(window, std::atoi(a[2].c_str()));
    if (window == nullptr) return 1;
    std::printf("%s\n", turv::probe::Utf8(turv::probe::TextOfW(window)).c_str());
    return 0;
  }
  if (verb == "close" && a.size() == 2) {
    return ::PostMessageA(ParseHandle(a[1]), WM_CLOSE, 0, 0) ? 0 : 1;
  }
  if (verb == "screenshot" && a.size() == 2) return turv::probe::SaveScreenPng(a[1]) ? 0 : 1;
  if (verb == "icon" && a.size() == 3) return turv::probe::SaveIconPng(a[1], a[2]) ? 0 : 1;
  if (verb == "start") {
    turv::probe::StartOptions options;
    std::size_t i = 1;
    for (; i + 1 < a.size(); i += 2) {
      if (a[i] == "--show") {
        options.showMode = std::atoi(a[i + 1].c_str());
      } else if (a[i] == "--cd") {
        options.folder = a[i + 1];
      } else if (a[i] == "--env") {
        const auto eq = a[i + 1].find('=');
        if (eq == std::string::npos) return Usage();
        options.environment.emplace_back(a[i + 1].substr(0, eq), a[i + 1].substr(eq + 1));
      } else {
        break;
      }
    }
    if (i + 1 != a.size()) return Usage();
    try {
      const auto process = turv::probe::Start(a[i], options);
      std::printf("%lu\n", process.pid);
      return 0;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "winprobe: %s\n", e.what());
      return 1;
    }
  }
  if (verb == "key" && (a.size() == 3 || a.size() == 4)) {
    HWND window = ParseHandle(a[1]);
    if (a.size() == 4) window = ::GetDlgItem(window, std::atoi(a[3].c_str()));
    if (window == nullptr) return 1;
    turv::probe::PressKey(window, static_cast<WPARAM>(std::strtoul(a[2].c_str(), nullptr, 10)));
    return 0;
  }
  if (verb == "type" && a.size() == 4) {
    HWND control = ::GetDlgItem(ParseHandle(a[1]), std::atoi(a[2].c_str()));
    return turv::probe::TypeText(control, turv::testfiles::Wide(a[3])) ? 0 : 1;
  }
  if (verb == "press" && a.size() == 3) {
    HWND button = ::GetDlgItem(ParseHandle(a[1]), std::atoi(a[2].c_str()));
    if (button == nullptr) return 1;
    turv::probe::Press(button);
    return 0;
  }
  if (verb == "rows" && a.size() == 3) {
    HWND list = ::GetDlgItem(ParseHandle(a[1]), std::atoi(a[2].c_str()));
    for (const auto& row : turv::probe::ListViewRows(list)) {
      std::string line;
      for (const auto& cell : row) {
        if (!line.empty()) line.push_back('\t');
        line.append(turv::probe::Utf8(cell));
      }
      std::printf("%s\n", line.c_str());
    }
    return 0;
  }
  if (verb == "shot" && a.size() == 3) {
    // The window's own pixels, not the system's scaled view of them.
    ::SetProcessDPIAware();
    return turv::probe::SaveWindowPng(ParseHandle(a[1]), a[2]) ? 0 : 1;
  }
  if (verb == "start-window" && a.size() >= 3) {
    turv::probe::StartOptions options;
    options.creationFlags = CREATE_NEW_CONSOLE;
    for (std::size_t i = 3; i < a.size(); ++i) {
      if (i > 3) options.arguments.push_back(' ');
      options.arguments.append("\"").append(a[i]).append("\"");
    }
    LARGE_INTEGER frequency{}, start{}, end{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    try {
      const auto process = turv::probe::Start(a[2], options);
      const auto found = turv::probe::WaitFor(
          [&](const WindowInfo& w) {
            return w.pid == process.pid && w.visible && w.className == a[1];
          },
          30'000);
      ::QueryPerformanceCounter(&end);
      if (!found) return 1;
      std::printf("%p %lu %.0f\n", static_cast<void*>(found->handle), process.pid,
                  static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
                      static_cast<double>(frequency.QuadPart));
      return 0;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "winprobe: %s\n", e.what());
      return 1;
    }
  }
  if (verb == "watch" && a.size() == 4) {
    HWND window = ParseHandle(a[1]);
    HWND bar = ::GetDlgItem(window, std::atoi(a[2].c_str()));
    HWND button = ::GetDlgItem(window, std::atoi(a[3].c_str()));
    if (bar == nullptr || button == nullptr) return 1;
    LARGE_INTEGER frequency{}, start{}, now{};
    ::QueryPerformanceFrequency(&frequency);
    const auto ms = [&] {
      ::QueryPerformanceCounter(&now);
      return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
             static_cast<double>(frequency.QuadPart);
    };
    ::QueryPerformanceCounter(&start);
    turv::probe::Press(button);
    int last = turv::probe::ProgressPosition(bar), steps = 0;
    double lastStep = 0, longestGap = 0, slowest = 0, total = 0;
    long answers = 0;
    while (ms() < 600'000) {
      const double asked = ms();
      DWORD_PTR ignored = 0;
      if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5'000, &ignored)) break;
      const double answered = ms() - asked;
      slowest = std::max(slowest, answered);
      total += answered;
      ++answers;
      const int position = turv::probe::ProgressPosition(bar);
      if (position != last) {
        ++steps;
        if (steps > 1) longestGap = std::max(longestGap, asked - lastStep);
        lastStep = asked;
        last = position;
      }
      if (position >= 1000) break;
      ::Sleep(5);  // a user's pace: the probe must not take the packing's time
    }
    std::printf(
        "steps %d in %.0f ms, longest gap between steps %.1f ms; the window answered "
        "%ld times, on average in %.2f ms, at worst in %.1f ms\n",
        steps, lastStep, longestGap, answers, answers > 0 ? total / answers : 0.0, slowest);
    return last >= 1000 ? 0 : 1;
  }
  return Usage();
}
