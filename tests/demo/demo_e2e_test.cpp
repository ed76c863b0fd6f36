// The demo's path as a test: the sample presentation packed with
// karupack.exe, the package started as a user starts it (from a folder of
// its own, with a temporary folder of its own), and the player's window
// read the way a screen reader reads it, its pictures read back from the
// screen. The folders come from the environment: TURV_DEMO_BIN (the
// build's bin), TURV_DEMO_SAMPLE (examples/sample), TURV_DEMO_SLIDES
// (tests/demo/slides: one solid colour per picture format) and
// TURV_DEMO_WORK (a scratch folder).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "lumirax/window_names.h"
#include "test_files.h"
#include "window_probe.h"

namespace turv {
namespace {

using testfiles::RunToEnd;

using Bytes = std::vector<char>;

// Paths handed in from the Linux side name the Z: drive.
std::string Setting(const char* name) {
  std::vector<char> value(4'096, '\0');
  const DWORD n = ::GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
  std::string path(value.data(), n < value.size() ? n : 0);
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::wstring Wide(const std::string& text, UINT codePage = CP_ACP) {
  if (text.empty()) return {};
  const int n =
      ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileA(find, &entry));
  ::FindClose(find);
  return names;
}

void RemoveTree(const std::string& folder) {
  for (const std::string& name : FilesIn(folder)) {
    const std::string path = folder + "\\" + name;
    if (::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(path);
    } else {
      ::DeleteFileA(path.c_str());
    }
  }
  ::RemoveDirectoryA(folder.c_str());
}

// The captions file's captions in the order karupack packs the folder:
// by name; a file without a caption shows its name.
std::vector<std::wstring> PackedCaptions(const std::string& sample) {
  std::vector<std::string> names = FilesIn(sample + "\\slides");
  std::sort(names.begin(), names.end());
  std::ifstream in(sample + "\\captions.txt");
  std::vector<std::pair<std::string, std::string>> captions;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto tab = line.find('\t');
    if (tab != std::string::npos) captions.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  std::vector<std::wstring> shown;
  for (const std::string& name : names) {
    std::string caption = name;
    for (const auto& [file, text] : captions) {
      if (file == name) caption = text;
    }
    shown.push_back(Wide(caption, CP_UTF8));
  }
  return shown;
}

DWORD PidOf(HWND window) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  return pid;
}

// The player ends when the launcher has long gone: its window leads to it.
win32::KernelHandle ProcessOf(HWND window) {
  return win32::KernelHandle(::OpenProcess(
      SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, PidOf(window)));
}

std::optional<DWORD> WaitForExit(const win32::KernelHandle& process, DWORD timeoutMs) {
  if (::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(process.Get(), &code);
  return code;
}

void EndEveryPlayer() {
  for (const auto& w : probe::TopLevel()) {
    if (w.className != player::kWindowClass) continue;
    const auto process = ProcessOf(w.handle);
    ::TerminateProcess(process.Get(), 9);
    WaitForExit(process, 10'000);
  }
}

class Demo : public ::testing::Test {
 protected:
  void SetUp() override {
    bin = Setting("TURV_DEMO_BIN");
    sample = Setting("TURV_DEMO_SAMPLE");
    const std::string scratch = Setting("TURV_DEMO_WORK");
    ASSERT_FALSE(bin.empty() || sample.empty() || scratch.empty()) << "settings missing";
    EndEveryPlayer();
    root = scratch + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    RemoveTree(root);
    ::CreateDirectoryA(scratch.c_str(), nullptr);
    ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr)) << root;
    temp = root + "\\Temp";
    start = root + "\\Kursordner";
    work = temp + "\\KARU";
    ::CreateDirectoryA(temp.c_str(), nullptr);
    ::CreateDirectoryA(start.c_str(), nullptr);
  }

  void TearDown() override { EndEveryPlayer(); }

  // Packs with the Windows packer, as an author on Windows does.
  std::string Pack(const std::string& inputs, const std::string& captions = "") {
    const std::string package = root + "\\Kurs.exe";
    std::string command = "\"" + bin + "\\karupack.exe\" pack --quiet -o \"" + package +
                          "\" -l \"" + bin + "\\turv.exe\" ";
    if (!captions.empty()) command += "-c \"" + captions + "\" ";
    EXPECT_EQ(RunToEnd(command + inputs), 0u) << command;
    return package;
  }

  // Starts the package as a user does and waits for the player's window.
  std::optional<probe::WindowInfo> Launch(const std::string& package) {
    probe::StartOptions options;
    options.folder = start;
    options.environment = {{"TMP", temp}, {"TEMP", temp}};
    const probe::Process launcher = probe::Start(package, options);
    if (const auto code = launcher.Wait(90'000); code != std::optional<DWORD>(0)) {
      std::string windows;
      for (const auto& w : probe::TopLevel(launcher.pid)) {
        windows += " [" + w.className + " \"" + w.text + "\"" + (w.visible ? " visible" : "") +
                   (w.iconic ? " iconic" : "") + (w.enabled ? "" : " disabled") + "]";
      }
      ADD_FAILURE() << "the launcher " << (code ? "failed" : "did not end")
                    << "; its windows:" << windows;
    }
    return probe::WaitFor(
        [](const probe::WindowInfo& w) { return w.visible && w.className == player::kWindowClass; },
        60'000);
  }

  // The player's message box: its text, read before Enter closes it.
  static std::optional<std::wstring> MessageOf(DWORD pid) {
    const auto dialog = probe::WaitFor(
        [&](const probe::WindowInfo& w) {
          return w.pid == pid && w.visible && w.className == "#32770";
        },
        30'000);
    if (!dialog) return std::nullopt;
    ::Sleep(200);
    EXPECT_EQ(probe::Describe(dialog->handle).text, "lumirax");
    std::wstring message;
    for (const auto& child : probe::Children(dialog->handle)) {
      if (child.className == "Static") message += probe::TextOfW(child.handle);
    }
    probe::PressKey(dialog->handle, VK_RETURN);
    return message;
  }

  static void Press(HWND control, WPARAM key) {
    ::PostMessageA(control, WM_KEYDOWN, key, 0);
    ::PostMessageA(control, WM_KEYUP, key, 0xC000'0001);
    ::Sleep(500);
  }

  // Waits until the screen shows about that colour there (JPEG's
  // rounding allowed): pictures are decoded on the player's worker thread.
  static bool ShowsColour(int x, int y, COLORREF colour) {
    const auto close = [&] {
      const COLORREF seen = probe::ScreenPixel(x, y);
      const auto off = [](int a, int b) { return a > b ? a - b : b - a; };
      return off(GetRValue(seen), GetRValue(colour)) <= 6 &&
             off(GetGValue(seen), GetGValue(colour)) <= 6 &&
             off(GetBValue(seen), GetBValue(colour)) <= 6;
    };
    if (probe::WaitUntil(close, 10'000)) return true;
    const COLORREF seen = probe::ScreenPixel(x, y);
    ADD_FAILURE() << "at " << x << "," << y << ": " << int{GetRValue(seen)} << " "
                  << int{GetGValue(seen)} << " " << int{GetBValue(seen)};
    return false;
  }

  std::string bin, sample, root, temp, start, work;
};

TEST_F(Demo, SampleShowsItsCaptionsAsPackedAndEachKindOfSlide) {
  const std::string package = Pack("\"" + sample + "\\slides\"", sample + "\\captions.txt");
  const auto window = Launch(package);
  ASSERT_TRUE(window) << "no player window";
  ::Sleep(500);
  const HWND main = window->handle;
  const auto expected = PackedCaptions(sample);
  ASSERT_EQ(expected.size(), 9u);  // eight slides and the first one's narration

  EXPECT_TRUE(probe::Describe(main).zoomed);
  EXPECT_EQ(probe::TextOfW(main), expected.front());  // titled with the first caption
  EXPECT_EQ(probe::ListItemsW(::GetDlgItem(main, player::kListId)), expected);
  EXPECT_EQ(probe::TextOfW(::GetDlgItem(main, player::kStatusId)),
            L"Eigene Dateien: " + Wide(start));
  EXPECT_EQ(ReadBytes(work + "\\lumirax.exe"), ReadBytes(bin + "\\lumirax.exe"));

  // The first slide is text.
  const HWND list = ::GetDlgItem(main, player::kListId);
  const HWND text = ::GetDlgItem(main, player::kTextId);
  const HWND info = ::GetDlgItem(main, player::kInfoId);
  EXPECT_TRUE(::IsWindowVisible(text));
  EXPECT_EQ(probe::TextOfW(text).rfind(L"Willkommen zum Kurs \x201E"
                                       L"Farben",
                                       0),
            0u);

  // Down to the colour wheel (a PNG): drawn, its grey hub in the middle of
  // the page.
  Press(list, VK_DOWN);
  EXPECT_FALSE(::IsWindowVisible(text));
  EXPECT_FALSE(::IsWindowVisible(info));
  RECT page;
  ::GetWindowRect(text, &page);
  EXPECT_TRUE(
      ShowsColour((page.left + page.right) / 2, (page.top + page.bottom) / 2, RGB(128, 128, 128)));

  // Down to the timetable (text), then the exercise sheet (neither text nor
  // picture): its name, size and what Enter does.
  Press(list, VK_DOWN);
  EXPECT_TRUE(::IsWindowVisible(text));
  EXPECT_EQ(probe::TextOfW(text).rfind(L"Ablauf des Tages", 0), 0u);
  Press(list, VK_DOWN);
  Press(list, VK_DOWN);
  EXPECT_TRUE(::IsWindowVisible(info));
  const std::wstring about = probe::TextOfW(info);
  EXPECT_NE(about.find(L"05-uebung.html"), std::wstring::npos) << probe::Utf8(about);
  EXPECT_NE(about.find(L"424 Bytes"), std::wstring::npos) << probe::Utf8(about);
  EXPECT_NE(about.find(L"Eingabetaste"), std::wstring::npos);
  EXPECT_FALSE(Exists(work + "\\Dateien"));  // nothing written until asked

  const auto player = ProcessOf(main);
  ::PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(player, 30'000), std::optional<DWORD>(0));
}

TEST_F(Demo, PicturesOfEveryFormatShowUprightAndTheShowStepsThroughThem) {
  std::string slides = "\"";  // (built in steps: GCC 12 warns falsely on "\"" + temporary)
  slides += Setting("TURV_DEMO_SLIDES");
  slides += '"';
  const auto window = Launch(Pack(slides));
  ASSERT_TRUE(window);
  const HWND main = window->handle;
  const HWND list = ::GetDlgItem(main, player::kListId);
  const HWND info = ::GetDlgItem(main, player::kInfoId);
  RECT page;
  ::GetWindowRect(::GetDlgItem(main, player::kTextId), &page);
  const int x = (page.left + page.right) / 2, y = (page.top + page.bottom) / 2;

  // One solid colour per format and pixel layout, in packed order; the
  // half-transparent blue lies over the white page.
  const std::vector<std::pair<const char*, COLORREF>> solid = {
      {"PNG", RGB(200, 30, 30)},
      {"JPEG", RGB(30, 160, 60)},
      {"GIF", RGB(40, 70, 200)},
      {"TIFF", RGB(230, 180, 20)},
      {"BMP", RGB(120, 40, 160)},
      {"16-bit grey PNG", RGB(128, 128, 128)},
      {"PNG with alpha", RGB(127, 127, 255)}};
  for (const auto& [format, colour] : solid) {
    SCOPED_TRACE(format);
    EXPECT_TRUE(ShowsColour(x, y, colour));
    Press(main, VK_DOWN);  // Down changes the entry wherever the focus is
  }

  // The photo stored sideways stands upright: red on top, blue below, and
  // as a portrait it leaves the page's sides white.
  const int margin = 16, top = page.top + margin, height = page.bottom - page.top - 2 * margin;
  EXPECT_TRUE(ShowsColour(x, top + height / 4, RGB(220, 0, 0)));
  EXPECT_TRUE(ShowsColour(x, top + height * 3 / 4, RGB(0, 0, 220)));
  EXPECT_TRUE(ShowsColour(page.left + margin + 10, y, RGB(255, 255, 255)));

  // A damaged picture: one German line in the view instead.
  Press(list, VK_DOWN);
  EXPECT_TRUE(probe::WaitUntil([&] { return ::IsWindowVisible(info) != 0; }, 10'000));
  EXPECT_NE(probe::TextOfW(info).find(L"besch\xE4"
                                      L"digt"),
            std::wstring::npos)
      << probe::Utf8(probe::TextOfW(info));

  // F5: the show from the first slide, on the whole screen, on black.
  Press(list, VK_F5);
  const auto show = probe::WaitFor(
      [](const probe::WindowInfo& w) { return w.visible && w.className == player::kShowClass; },
      10'000);
  ASSERT_TRUE(show) << "no show";
  const int width = ::GetSystemMetrics(SM_CXSCREEN), screen = ::GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(show->rect.right - show->rect.left, width);
  EXPECT_EQ(show->rect.bottom - show->rect.top, screen);
  EXPECT_TRUE(ShowsColour(width / 2, screen / 2, RGB(200, 30, 30)));
  EXPECT_TRUE(ShowsColour(2, 2, RGB(0, 0, 0)));
  Press(show->handle, VK_RIGHT);
  EXPECT_TRUE(ShowsColour(width / 2, screen / 2, RGB(30, 160, 60)));
  // Esc: back to browsing at the slide shown.
  Press(show->handle, VK_ESCAPE);
  EXPECT_TRUE(probe::WaitUntil([&] { return !::IsWindow(show->handle); }, 10'000));
  DWORD_PTR selected = 0;
  ::SendMessageTimeoutW(list, LB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 2'000, &selected);
  EXPECT_EQ(selected, 1u);
  EXPECT_TRUE(ShowsColour(x, y, RGB(30, 160, 60)));

  const auto player = ProcessOf(main);
  ::PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(player, 30'000), std::optional<DWORD>(0));
}

// Alt+F4 in the show ends the show as Esc does, and does nothing else:
// browsing goes on at the slide shown, its keys answer, a show starts again.
TEST_F(Demo, AltF4EndsTheShowAsEscDoes) {
  const auto window = Launch(Pack("\"" + sample + "\\slides\"", sample + "\\captions.txt"));
  ASSERT_TRUE(window);
  const HWND list = ::GetDlgItem(window->handle, player::kListId);
  const auto isShow = [](const probe::WindowInfo& w) {
    return w.visible && w.className == player::kShowClass;
  };
  const auto selected = [&] {
    DWORD_PTR index = 0;
    ::SendMessageTimeoutW(list, LB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 2'000, &index);
    return index;
  };
  Press(list, VK_F5);
  const auto show = probe::WaitFor(isShow, 10'000);
  ASSERT_TRUE(show) << "no show";
  Press(show->handle, VK_RIGHT);
  Press(show->handle, VK_RIGHT);
  // Alt+F4 pressed as a user presses it, to the show in front.
  ::SetForegroundWindow(show->handle);
  std::vector<INPUT> keys(4);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = i == 0 || i == 3 ? VK_MENU : VK_F4;
    keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
  }
  ::SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
  EXPECT_TRUE(probe::WaitUntil([&] { return !::IsWindow(show->handle); }, 10'000));
  ::Sleep(500);
  EXPECT_EQ(selected(), 2u);
  Press(list, VK_DOWN);
  EXPECT_EQ(selected(), 3u);
  EXPECT_FALSE(Exists(work + "\\Dateien"));  // nothing was opened
  Press(list, VK_F5);
  const auto again = probe::WaitFor(isShow, 10'000);
  ASSERT_TRUE(again) << "no second show";
  Press(again->handle, VK_ESCAPE);

  const auto player = ProcessOf(window->handle);
  ::PostMessageA(window->handle, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(player, 30'000), std::optional<DWORD>(0));
}

// The presenter's keys in the show, each read back from the screen: a slide
// by its number, black and white (by the clicker's keys too), the help, the
// overview with its mark and its pictures.
TEST_F(Demo, PresenterKeysGoToNumbersBlankTheScreenAndShowTheOverview) {
  std::string slides = "\"";
  slides += Setting("TURV_DEMO_SLIDES");
  slides += '"';
  const auto window = Launch(Pack(slides));
  ASSERT_TRUE(window);
  // P: the console alone over the window, to rehearse; F5 there starts the
  // show, which on one monitor has the screen to itself.
  Press(::GetDlgItem(window->handle, player::kListId), 'P');
  const auto console = probe::WaitFor(
      [](const probe::WindowInfo& w) { return w.visible && w.className == player::kConsoleClass; },
      10'000);
  ASSERT_TRUE(console) << "no console";
  EXPECT_EQ(probe::TextOfW(::GetDlgItem(console->handle, player::kConsoleSlideId)),
            L"Folie 1 von 9");
  Press(console->handle, VK_F5);
  const auto found = probe::WaitFor(
      [](const probe::WindowInfo& w) { return w.visible && w.className == player::kShowClass; },
      10'000);
  ASSERT_TRUE(found) << "no show";
  EXPECT_TRUE(probe::WaitUntil([&] { return !::IsWindow(console->handle); }, 5'000));
  const HWND show = found->handle;
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  const int x = width / 2, y = height / 2;
  const COLORREF red = RGB(200, 30, 30), blue = RGB(40, 70, 200), yellow = RGB(230, 180, 20);
  EXPECT_TRUE(ShowsColour(x, y, red));

  Press(show, '3');
  Press(show, VK_RETURN);
  EXPECT_TRUE(ShowsColour(x, y, blue));
  for (const WPARAM key : {WPARAM{'B'}, WPARAM{VK_OEM_PERIOD}, WPARAM{'W'}, WPARAM{VK_OEM_COMMA}}) {
    const bool white = key == 'W' || key == VK_OEM_COMMA;
    SCOPED_TRACE(key);
    Press(show, key);
    EXPECT_TRUE(ShowsColour(x, y, white ? RGB(255, 255, 255) : RGB(0, 0, 0)));
    Press(show, key);  // the same key again: the slide is back
    EXPECT_TRUE(ShowsColour(x, y, blue));
  }
  Press(show, 'B');
  Press(show, VK_NEXT);  // a clicker's step brings the screen back, one on
  EXPECT_TRUE(ShowsColour(x, y, yellow));
  Press(show, VK_F1);  // the help, in a dark box, until any key
  EXPECT_TRUE(ShowsColour(width / 8 + 4, height * 7 / 8 - 4, RGB(30, 30, 36)));
  Press(show, 'Q');
  EXPECT_TRUE(ShowsColour(width / 8 + 4, height * 7 / 8 - 4, yellow));
  Press(show, '9');
  Press(show, '9');
  Press(show, VK_RETURN);  // past the end: the last, the damaged picture's caption
  Press(show, VK_PRIOR);
  EXPECT_TRUE(ShowsColour(x, height / 4, RGB(220, 0, 0)));  // the upright photo

  // The overview of nine: three by three, the slide that was up (8) framed,
  // the first slide's picture small in its cell; the arrows move the frame,
  // Enter shows the framed slide, Esc goes back to the one that was up.
  Press(show, VK_TAB);
  const int cellWidth = width / 3, cellHeight = height / 3, pad = std::max(3, cellHeight / 20);
  const auto framed = [&](int cell) {
    return ShowsColour(cell % 3 * cellWidth + pad, cell / 3 * cellHeight + cellHeight / 2,
                       RGB(255, 190, 0));
  };
  EXPECT_TRUE(framed(7));
  EXPECT_TRUE(ShowsColour(cellWidth / 2, cellHeight / 2, red));
  Press(show, VK_UP);
  Press(show, VK_LEFT);
  EXPECT_TRUE(framed(3));
  Press(show, VK_ESCAPE);
  EXPECT_TRUE(ShowsColour(x, height / 4, RGB(220, 0, 0)));
  Press(show, VK_TAB);
  Press(show, VK_HOME);
  Press(show, VK_RIGHT);
  Press(show, VK_DOWN);
  EXPECT_TRUE(framed(4));
  Press(show, VK_RETURN);
  EXPECT_TRUE(ShowsColour(x, y, RGB(120, 40, 160)));  // slide 5, the BMP
  EXPECT_TRUE(::IsWindow(show));
  Press(show, VK_ESCAPE);
  EXPECT_TRUE(probe::WaitUntil([&] { return !::IsWindow(show); }, 10'000));
}

// Two monitors (a test of its own, on an X server with two screens): F5
// puts the show on the monitor the player's window is not on and the
// presenter's console on the window's; the console's standard controls read
// the slide's notes (from show.ini; without any, its caption), its number
// and a running time; Right in the console steps both; Alt+F4 ends both. A
// narration packed first is no slide: slides count and take their notes as
// the show has them, not as the entries lie.
TEST_F(Demo, TwoMonitorsShowOnTheOtherAndTheConsoleOnTheWindows) {
  ASSERT_EQ(::GetSystemMetrics(SM_CMONITORS), 2) << "run on an X server with two screens";
  const std::string ini = root + "\\show.ini", narration = root + "\\ansage.wav";
  const std::string notes =
      "[a-rot.png]\nNote=Rot zuerst: die Signalfarbe\nNote=dann die Tabelle\n"
      "[c-blau.gif]\nSound=ansage.wav\nNote=Blau beruhigt \xE2\x80\x93 kurz halten\n";
  WriteBytes(ini, Bytes(notes.begin(), notes.end()));
  Bytes wav;  // a tenth of a second of silence
  const auto put = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) wav.push_back(static_cast<char>(value >> (8 * i)));
  };
  const auto tag = [&](const char* four) { wav.insert(wav.end(), four, four + 4); };
  tag("RIFF"), put(36 + 1600, 4), tag("WAVE"), tag("fmt "), put(16, 4), put(1, 2), put(1, 2);
  put(8000, 4), put(16000, 4), put(2, 2), put(16, 2), tag("data"), put(1600, 4);
  wav.resize(wav.size() + 1600);
  WriteBytes(narration, wav);
  std::string inputs = "--show \"";  // (built in steps: GCC 12 warns falsely otherwise)
  inputs += ini;
  inputs += "\" \"";
  inputs += narration;
  inputs += "\" \"";
  inputs += Setting("TURV_DEMO_SLIDES");
  inputs += '"';
  const auto window = Launch(Pack(inputs));
  ASSERT_TRUE(window);
  std::vector<RECT> monitors;
  ::EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR, HDC, LPRECT rect, LPARAM list) WINAPI -> BOOL {
        reinterpret_cast<std::vector<RECT>*>(list)->push_back(*rect);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&monitors));
  ASSERT_EQ(monitors.size(), 2u);
  MONITORINFO own{};
  own.cbSize = sizeof own;
  ::GetMonitorInfoW(::MonitorFromWindow(window->handle, MONITOR_DEFAULTTONEAREST), &own);
  const RECT other = ::EqualRect(&monitors[0], &own.rcMonitor) ? monitors[1] : monitors[0];
  ASSERT_FALSE(::EqualRect(&other, &own.rcMonitor));

  Press(::GetDlgItem(window->handle, player::kListId), VK_F5);
  const auto visible = [](const char* className) {
    return probe::WaitFor(
        [&](const probe::WindowInfo& w) { return w.visible && w.className == className; }, 10'000);
  };
  const auto show = visible(player::kShowClass);
  const auto console = visible(player::kConsoleClass);
  ASSERT_TRUE(show && console);
  EXPECT_TRUE(::EqualRect(&show->rect, &other));
  EXPECT_TRUE(::EqualRect(&console->rect, &own.rcMonitor));

  const auto text = [&](int id) { return probe::TextOfW(::GetDlgItem(console->handle, id)); };
  EXPECT_EQ(text(player::kConsoleNotesId), L"Rot zuerst: die Signalfarbe\r\ndann die Tabelle");
  EXPECT_EQ(text(player::kConsoleSlideId), L"Folie 1 von 9");
  EXPECT_EQ(text(player::kConsoleNextId),
            L"Als N\xE4"
            L"chstes: b-gruen.JPG");
  const std::wstring started = text(player::kConsoleElapsedId);
  EXPECT_EQ(started.rfind(L"Vergangen: 00:0", 0), 0u) << probe::Utf8(started);
  EXPECT_TRUE(probe::WaitUntil([&] { return text(player::kConsoleElapsedId) != started; }, 5'000));
  EXPECT_EQ(text(player::kConsoleClockId).rfind(L"Uhrzeit: ", 0), 0u);

  Press(console->handle, VK_RIGHT);
  EXPECT_EQ(text(player::kConsoleNotesId), L"b-gruen.JPG");  // no notes: the caption
  EXPECT_EQ(text(player::kConsoleSlideId), L"Folie 2 von 9");
  ::PostMessageW(console->handle, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 10));  // a stray click
  Press(console->handle, VK_TAB);
  EXPECT_EQ(text(player::kConsoleSlideId),
            L"Folie 2 von 9 \x2013 \xDC"
            L"bersicht");
  Press(console->handle, VK_TAB);
  Press(console->handle, VK_NEXT);  // a clicker's step
  EXPECT_EQ(text(player::kConsoleNotesId), L"Blau beruhigt \x2013 kurz halten");
  // S swaps the screens.
  Press(console->handle, 'S');
  RECT now;
  ::GetWindowRect(show->handle, &now);
  EXPECT_TRUE(::EqualRect(&now, &own.rcMonitor));
  ::GetWindowRect(console->handle, &now);
  EXPECT_TRUE(::EqualRect(&now, &other));
  // Alt+F4 in the console ends the show as in the show: both, not the player.
  ::PostMessageA(console->handle, WM_SYSKEYDOWN, VK_F4, 1 | KF_ALTDOWN << 16);
  EXPECT_TRUE(probe::WaitUntil(
      [&] { return !::IsWindow(show->handle) && !::IsWindow(console->handle); }, 10'000));
  EXPECT_TRUE(::IsWindow(window->handle));
}

// A kiosk has no presenter: with two monitors its show covers the player's
// window on the window's own monitor, and no console comes up.
TEST_F(Demo, TwoMonitorsKioskCoversTheWindowWithoutAConsole) {
  ASSERT_EQ(::GetSystemMetrics(SM_CMONITORS), 2) << "run on an X server with two screens";
  const std::string ini = root + "\\show.ini";
  const std::string settings = "[Show]\nKiosk=yes\n";
  WriteBytes(ini, Bytes(settings.begin(), settings.end()));
  std::string inputs = "--show \"";
  inputs += ini;
  inputs += "\" \"";
  inputs += Setting("TURV_DEMO_SLIDES");
  inputs += '"';
  const auto window = Launch(Pack(inputs));
  ASSERT_TRUE(window);
  const auto show = probe::WaitFor(
      [](const probe::WindowInfo& w) { return w.visible && w.className == player::kShowClass; },
      10'000);
  ASSERT_TRUE(show) << "no show";
  MONITORINFO own{};
  own.cbSize = sizeof own;
  ::GetMonitorInfoW(::MonitorFromWindow(window->handle, MONITOR_DEFAULTTONEAREST), &own);
  EXPECT_TRUE(::EqualRect(&show->rect, &own.rcMonitor));
  ::Sleep(1'000);
  EXPECT_FALSE(probe::WaitFor(
      [](const probe::WindowInfo& w) { return w.className == player::kConsoleClass; }, 0));
  const auto player = ProcessOf(window->handle);
  ::PostMessageA(show->handle, WM_SYSKEYDOWN, VK_F4, 1 | KF_ALTDOWN << 16);
  EXPECT_EQ(WaitForExit(player, 30'000), std::optional<DWORD>(0));
}

// The player runs from the work folder, where anyone who can write the
// temporary folder may leave a DLL: one named like a DLL it loads by name
// (the theme engine, with its first window), which Wine is told to prefer to
// its own, is never loaded. (The imaging component comes through COM, by the
// full path the registry gives.)
TEST_F(Demo, ADllPlantedInTheWorkFolderIsNotLoaded) {
  ::CreateDirectoryA(work.c_str(), nullptr);
  const std::string planted = work + "\\uxtheme.dll";
  ASSERT_TRUE(::CopyFileA((bin + "\\planted.dll").c_str(), planted.c_str(), FALSE));
  const std::string key = "Software\\Wine\\AppDefaults\\lumirax.exe";
  HKEY overrides = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &overrides, nullptr),
            ERROR_SUCCESS);
  static const char order[] = "native,builtin";
  ::RegSetValueExA(overrides, "uxtheme", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                   sizeof order);
  ::RegCloseKey(overrides);

  const auto window = Launch(Pack("\"" + sample + "\\slides\"", sample + "\\captions.txt"));
  ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
  ASSERT_TRUE(window);
  EXPECT_FALSE(Exists(planted + ".loaded"));
}

// Enter copies the entry beside the data off the window's thread, saying so
// in the status line, and opens it again as it is or, held open, beside it.
TEST_F(Demo, EnterWritesTheEntryBesideTheDataAndNamesAMissingProgram) {
  const std::string files = root + "\\Dateien";
  ::CreateDirectoryA(files.c_str(), nullptr);
  const Bytes body = {'M', 'e', 'i', 'n', 'e', ' ', 'N', 'o', 't', 'i', 'z', '\0', '\xFF'};
  WriteBytes(files + "\\a.txt", {'e', 'r', 's', 't', 'e', 's'});
  WriteBytes(files + "\\notiz.turvdemo", body);
  const auto window = Launch(Pack("\"" + files + "\""));
  ASSERT_TRUE(window);
  ::Sleep(500);
  const HWND list = ::GetDlgItem(window->handle, player::kListId);

  // An older copy is replaced whole.
  ::CreateDirectoryA((work + "\\Dateien").c_str(), nullptr);
  WriteBytes(work + "\\Dateien\\notiz.turvdemo", Bytes(100, 'x'));
  Press(list, VK_DOWN);
  Press(list, VK_RETURN);

  const auto player = ProcessOf(window->handle);
  const auto message = MessageOf(PidOf(window->handle));
  ASSERT_TRUE(message) << "no word about the missing program";
  EXPECT_NE(message->find(L"Windows kennt kein Programm f\xFCr \x201Enotiz.turvdemo\x201C"),
            std::wstring::npos)
      << probe::Utf8(*message);

  const std::string copy = work + "\\Dateien\\notiz.turvdemo";
  EXPECT_EQ(ReadBytes(copy), body);
  EXPECT_EQ(FilesIn(work + "\\Dateien"), std::vector<std::string>{"notiz.turvdemo"});
  const HWND status = ::GetDlgItem(window->handle, player::kStatusId);
  EXPECT_EQ(probe::TextOfW(status).rfind(L"Ge\xF6"
                                         L"ffnet: ",
                                         0),
            0u);
  EXPECT_NE(probe::TextOfW(status).find(L"Dateien\\notiz.turvdemo"), std::wstring::npos);

  // Again: our copy, unchanged, is opened as it is.
  Press(list, VK_RETURN);
  ASSERT_TRUE(MessageOf(PidOf(window->handle)));
  EXPECT_NE(probe::TextOfW(status).find(L"vorhandene"), std::wstring::npos);
  // Changed and held open by its program: a second copy beside it.
  WriteBytes(copy, Bytes(5, 'y'));
  const win32::KernelHandle held(::CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
  Press(list, VK_RETURN);
  ASSERT_TRUE(MessageOf(PidOf(window->handle)));
  EXPECT_EQ(ReadBytes(work + "\\Dateien\\notiz (2).turvdemo"), body);
  EXPECT_NE(probe::TextOfW(status).find(L"zweite Kopie"), std::wstring::npos)
      << probe::Utf8(probe::TextOfW(status));
  ::PostMessageA(window->handle, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(player, 30'000), std::optional<DWORD>(0));
}

TEST_F(Demo, ANewerLaunchMayReplaceTheDataAndTheRunningPlayerSaysSo) {
  const auto window = Launch(Pack("\"" + sample + "\\slides\"", sample + "\\captions.txt"));
  ASSERT_TRUE(window);
  ::Sleep(500);

  // The launcher creates the data file without sharing: the player must not
  // hold it between reads.
  HANDLE data = ::CreateFileA((work + "\\karu.pqd").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(data, INVALID_HANDLE_VALUE) << "the running player holds karu.pqd";
  DWORD written = 0;
  ::WriteFile(data, "neu", 3, &written, nullptr);
  ::CloseHandle(data);

  // The picture after the first slide was decoded ahead and shows; the
  // text slide after it is read when shown.
  const auto player = ProcessOf(window->handle);
  Press(::GetDlgItem(window->handle, player::kListId), VK_DOWN);
  Press(::GetDlgItem(window->handle, player::kListId), VK_DOWN);
  const auto message = MessageOf(PidOf(window->handle));
  ASSERT_TRUE(message);
  EXPECT_NE(message->find(L"wurden inzwischen ersetzt"), std::wstring::npos)
      << probe::Utf8(*message);
  ::Sleep(300);
  ::PostMessageA(window->handle, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(player, 30'000), std::optional<DWORD>(0));
}

TEST_F(Demo, DamagedDataGivesOneGermanMessageAndTheListIsNeverShown) {
  const std::string package = Pack("\"" + sample + "\\slides\"", sample + "\\captions.txt");
  const Bytes whole = ReadBytes(package);
  const std::size_t launcher = ReadBytes(bin + "\\turv.exe").size();
  const Bytes data(whole.begin() + static_cast<std::ptrdiff_t>(launcher), whole.end());
  const Bytes program = ReadBytes(bin + "\\lumirax.exe");
  const std::wstring headline =
      L"Die Pr\xE4sentationsdaten (karu.pqd) fehlen oder sind besch\xE4"
      L"digt: ";

  struct Damage {
    const char* name;
    Bytes data;  // empty: no data file at all
    const wchar_t* detail;
  };
  Bytes moved = data;
  moved[2 * 234 + 226] ^= 0x01;  // entry 3's body one byte off
  const std::vector<Damage> damages = {
      {"missing", {}, L"Die Datei fehlt im Ordner"},
      {"moved", moved, L"Eintrag 3: Sein Inhalt liegt nicht an seinem Platz."},
      {"cut", Bytes(data.begin(), data.end() - 100),
       L"Eintrag 9: Sein Inhalt reicht \xFC"
       L"ber das Ende der Datei hinaus."},
      {"short", Bytes(data.begin(), data.begin() + 5'000), L"zu kurz"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    const std::string folder = root + "\\" + damage.name;
    ::CreateDirectoryA(folder.c_str(), nullptr);
    WriteBytes(folder + "\\lumirax.exe", program);
    WriteBytes(folder + "\\norvi.stq", {4, 0, 0, 0, 'C', ':', '\\', 'x'});
    if (!damage.data.empty()) WriteBytes(folder + "\\karu.pqd", damage.data);
    const auto before = FilesIn(folder);

    // The player started there by hand: one message, then it ends on its
    // own, with no crash and no window.
    probe::StartOptions options;
    options.folder = folder;
    options.environment = {{"TMP", temp}, {"TEMP", temp}};
    const probe::Process player = probe::Start(folder + "\\lumirax.exe", options);
    const auto message = MessageOf(player.pid);
    ASSERT_TRUE(message) << "no message";
    EXPECT_EQ(player.Wait(30'000), std::optional<DWORD>(1));
    EXPECT_EQ(message->rfind(headline, 0), 0u) << probe::Utf8(*message);
    EXPECT_NE(message->find(damage.detail), std::wstring::npos) << probe::Utf8(*message);
    EXPECT_EQ(FilesIn(folder), before);  // nothing written
  }
}

}  // namespace
}  // namespace turv
