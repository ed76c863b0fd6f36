// player_bench FOLDER WIDTH HEIGHT COUNT [overview]: the player as its user sees it.
// Writes COUNT JPEG slides of WIDTH x HEIGHT into FOLDER\karu.pqd (once;
// encoded with the system's own JPEG encoder), each a photo-like picture with
// a large block of its own colour in the middle, starts FOLDER\lumirax.exe
// there and watches the screen:
//   first_ms  from the start of the player to its first slide on screen
//   show_ms   from F5 to the first slide on the whole screen
//   step_ms   Right to the next slide, its neighbours decoded (median of the
//             steps, each after a pause of 1.5 s)
//   cold_ms   Right to the next slide right after the step before it
//   peak_mib  the player's peak working set (Wine: its peak resident size,
//             Wine's own DLLs included)
//   close_ms  from closing the window, right after Esc set the browsing view
//             decoding its slides, to the end of the process
// With "overview" it times the overview instead of the steps:
//   overview_ms  from Tab in the show to the overview's frame on screen
//   pictures_ms  from Tab to the last picture of the overview's page on screen
// player_bench floors FOLDER: the same screen work with FOLDER\screenfloor.exe,
// what Wine itself allows:
//   first_ms  from its start to its maximised window's colour on screen
//   step_ms   from Right to the other of two prepared full-screen bitmaps
// Times are found by reading a pixel every millisecond or so.
#include <psapi.h>
#include <wincodec.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "format/karu_format.h"

namespace {

constexpr COLORREF kColours[] = {RGB(220, 40, 40),  RGB(40, 180, 60),  RGB(40, 80, 220),
                                 RGB(230, 200, 30), RGB(200, 50, 200), RGB(30, 200, 210)};

[[noreturn]] void Die(const char* what, long code = 0) {
  std::fprintf(stderr, "player_bench: %s (0x%08lx)\n", what, static_cast<unsigned long>(code));
  std::exit(1);
}

void Check(HRESULT result, const char* what) {
  if (FAILED(result)) Die(what, result);
}

template <typename T>
void Release(T*& p) {
  if (p != nullptr) p->Release();
  p = nullptr;
}

// A photo-like picture (gradients and fine texture, so that the JPEG is as
// large as a camera's) with a block of the slide's colour in the middle.
std::vector<BYTE> Encode(IWICImagingFactory* factory, UINT width, UINT height, COLORREF colour) {
  IStream* stream = nullptr;
  Check(::CreateStreamOnHGlobal(nullptr, TRUE, &stream), "stream");
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  Check(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder), "encoder");
  Check(encoder->Initialize(stream, WICBitmapEncoderNoCache), "encoder init");
  Check(encoder->CreateNewFrame(&frame, nullptr), "frame");
  Check(frame->Initialize(nullptr), "frame init");
  Check(frame->SetSize(width, height), "size");
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  Check(frame->SetPixelFormat(&format), "format");
  const UINT stride = width * 3, band = 64;
  std::vector<BYTE> rows(static_cast<std::size_t>(stride) * band);
  std::uint32_t noise = 12345;
  for (UINT top = 0; top < height; top += band) {
    const UINT count = std::min(band, height - top);
    for (UINT y = top; y < top + count; ++y) {
      BYTE* row = rows.data() + static_cast<std::size_t>(y - top) * stride;
      for (UINT x = 0; x < width; ++x) {
        noise = noise * 1103515245u + 12345u;
        const int grain = static_cast<int>(noise >> 27) - 16;
        const bool block =
            x > width * 3 / 8 && x < width * 5 / 8 && y > height * 3 / 8 && y < height * 5 / 8;
        const int r = block ? GetRValue(colour) : static_cast<int>(x * 255 / width) + grain;
        const int g = block ? GetGValue(colour) : static_cast<int>(y * 255 / height) + grain;
        const int b = block ? GetBValue(colour) : 128 + grain;
        row[x * 3] = static_cast<BYTE>(std::clamp(b, 0, 255));
        row[x * 3 + 1] = static_cast<BYTE>(std::clamp(g, 0, 255));
        row[x * 3 + 2] = static_cast<BYTE>(std::clamp(r, 0, 255));
      }
    }
    Check(frame->WritePixels(count, stride, stride * count, rows.data()), "pixels");
  }
  Check(frame->Commit(), "frame commit");
  Check(encoder->Commit(), "commit");
  HGLOBAL memory = nullptr;
  Check(::GetHGlobalFromStream(stream, &memory), "memory");
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  const auto* bytes = static_cast<const BYTE*>(::GlobalLock(memory));
  std::vector<BYTE> jpeg(bytes, bytes + stat.cbSize.QuadPart);
  ::GlobalUnlock(memory);
  Release(frame);
  Release(encoder);
  Release(stream);
  return jpeg;
}

void WriteFile(const std::string& path, const std::vector<BYTE>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fclose(file) != 0) {
    Die("cannot write the data file");
  }
}

void MakeData(const std::string& folder, UINT width, UINT height, int count) {
  IWICImagingFactory* factory = nullptr;
  Check(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)),
        "factory");
  std::vector<std::vector<BYTE>> bodies;
  std::vector<turv::format::Entry> entries;
  for (int i = 0; i < count; ++i) {
    bodies.push_back(Encode(factory, width, height, kColours[i % 6]));
    const std::string name = "Folie" + std::to_string(i + 1) + ".jpg";
    entries.push_back({name, name, static_cast<std::int64_t>(bodies.back().size()), 0});
  }
  Release(factory);
  std::vector<BYTE> data = turv::format::BuildDirectory(entries);
  for (const auto& body : bodies) data.insert(data.end(), body.begin(), body.end());
  WriteFile(folder + "\\karu.pqd", data);
  WriteFile(folder + "\\norvi.stq", {4, 0, 0, 0, 'C', ':', '\\', 'x'});
  std::printf("data: %d JPEGs of %ux%u, %zu bytes each on average\n", count, width, height,
              (data.size() - turv::format::kDirectorySize) / static_cast<std::size_t>(count));
}

double Now() {
  LARGE_INTEGER t, f;
  ::QueryPerformanceCounter(&t);
  ::QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 16 &&
         std::abs(GetGValue(a) - GetGValue(b)) <= 16 && std::abs(GetBValue(a) - GetBValue(b)) <= 16;
}

// Milliseconds from start until the pixel shows the colour; -1 after 20 s.
double Until(double start, POINT at, COLORREF colour) {
  HDC screen = ::GetDC(nullptr);
  double seen = -1;
  while (Now() - start < 20'000) {
    if (Near(::GetPixel(screen, at.x, at.y), colour)) {
      seen = Now() - start;
      break;
    }
    ::Sleep(1);
  }
  ::ReleaseDC(nullptr, screen);
  return seen;
}

HWND FindWindowOf(const char* className) {
  for (int i = 0; i < 20'000; ++i) {
    HWND window = ::FindWindowA(className, nullptr);
    if (window != nullptr && ::IsWindowVisible(window)) return window;
    ::Sleep(1);
  }
  Die("no window");
}

void Key(HWND window, WPARAM key) {
  ::PostMessageA(window, WM_KEYDOWN, key, 0);
  ::PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

PROCESS_INFORMATION Start(const std::string& command, const std::string& folder) {
  std::string line = command;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMAXIMIZED;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
    Die("cannot start", static_cast<long>(::GetLastError()));
  }
  return process;
}

int Floors(const std::string& folder) {
  const std::string program = "\"" + folder + "\\screenfloor.exe\"";
  const POINT middle{::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2};
  double start = Now();
  PROCESS_INFORMATION paint = Start(program + " paint", folder);
  const double first = Until(start, middle, kColours[0]);
  ::PostMessageA(FindWindowOf("ScreenFloor"), WM_CLOSE, 0, 0);
  ::WaitForSingleObject(paint.hProcess, 10'000);

  PROCESS_INFORMATION swap = Start(program + " swap", folder);
  Until(Now(), middle, kColours[0]);
  const HWND window = FindWindowOf("ScreenFloor");
  std::vector<double> steps;
  for (int i = 1; i <= 5; ++i) {
    ::Sleep(500);
    const double at = Now();
    Key(window, VK_RIGHT);
    steps.push_back(Until(at, middle, kColours[i % 2]));
  }
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  ::WaitForSingleObject(swap.hProcess, 10'000);
  std::sort(steps.begin(), steps.end());
  std::printf("floors: first_ms=%.0f step_ms=%.0f (%.0f..%.0f)\n", first, steps[steps.size() / 2],
              steps.front(), steps.back());
  return first < 0 || steps.front() < 0 ? 1 : 0;
}

// Tab in the show: the overview's frame around the first slide, then the
// last picture of its page (six by six cells for more than 25 slides).
int Overview(HWND main, HANDLE process, int count) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  Key(::GetDlgItem(main, 101), VK_F5);
  Until(Now(), {width / 2, height / 2}, kColours[0]);
  const HWND show = FindWindowOf("LumiraxShow");
  ::Sleep(1'500);
  const int columns = count <= 4 ? 2 : count <= 9 ? 3 : count <= 16 ? 4 : count <= 25 ? 5 : 6;
  const int cellWidth = width / columns, cellHeight = height / columns;
  const int pad = std::max(3, cellHeight / 20);
  const int last = std::min(count, columns * columns) - 1;
  const double at = Now();
  Key(show, VK_TAB);
  const double frame = Until(at, {pad, cellHeight / 2}, RGB(255, 190, 0));
  const double pictures = Until(
      at,
      {last % columns * cellWidth + cellWidth / 2, last / columns * cellHeight + cellHeight / 2},
      kColours[last % 6]);
  Key(show, VK_ESCAPE);
  Key(show, VK_ESCAPE);
  ::Sleep(300);
  ::PostMessageA(main, WM_CLOSE, 0, 0);
  ::WaitForSingleObject(process, 10'000);
  std::printf("overview-%d: overview_ms=%.0f pictures_ms=%.0f\n", count, frame, pictures);
  return frame < 0 || pictures < 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "floors") return Floors(argv[2]);
  if (argc != 5 && !(argc == 6 && std::string(argv[5]) == "overview")) {
    std::fputs("usage: player_bench FOLDER WIDTH HEIGHT COUNT [overview] | floors FOLDER\n",
               stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const auto width = static_cast<UINT>(std::atoi(argv[2]));
  const auto height = static_cast<UINT>(std::atoi(argv[3]));
  const int count = std::max(3, std::atoi(argv[4]));
  ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (::GetFileAttributesA((folder + "\\karu.pqd").c_str()) == INVALID_FILE_ATTRIBUTES) {
    MakeData(folder, width, height, count);
  }

  std::string command = "\"" + folder + "\\lumirax.exe\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMAXIMIZED;
  PROCESS_INFORMATION process{};
  const double start = Now();
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
    Die("cannot start lumirax.exe", static_cast<long>(::GetLastError()));
  }
  const HWND main = FindWindowOf("LumiraxWindow");
  RECT page;
  ::GetWindowRect(::GetDlgItem(main, 102), &page);
  const POINT inPage{(page.left + page.right) / 2, (page.top + page.bottom) / 2};
  const double first = Until(start, inPage, kColours[0]);
  if (argc == 6) return Overview(main, process.hProcess, count);

  const POINT middle{::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2};
  ::Sleep(1'500);
  double at = Now();
  Key(::GetDlgItem(main, 101), VK_F5);
  const double show = Until(at, middle, kColours[0]);
  const HWND showWindow = FindWindowOf("LumiraxShow");
  std::vector<double> steps;
  for (int i = 1; i + 1 < count; ++i) {
    ::Sleep(1'500);  // the neighbours are decoded by now
    at = Now();
    Key(showWindow, VK_RIGHT);
    steps.push_back(Until(at, middle, kColours[i % 6]));
  }
  // Back to the first and straight on twice: the second step finds its
  // slide not yet decoded.
  Key(showWindow, VK_HOME);
  Until(Now(), middle, kColours[0]);
  Key(showWindow, VK_RIGHT);
  Until(Now(), middle, kColours[1]);
  at = Now();
  Key(showWindow, VK_RIGHT);
  const double cold = Until(at, middle, kColours[2]);

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  ::GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
  Key(showWindow, VK_ESCAPE);
  // Browsing wants its slides at its own size: closed while they decode.
  while (::IsWindow(showWindow)) ::Sleep(1);
  at = Now();
  ::PostMessageA(main, WM_CLOSE, 0, 0);
  const double close =
      ::WaitForSingleObject(process.hProcess, 20'000) == WAIT_OBJECT_0 ? Now() - at : -1;
  std::sort(steps.begin(), steps.end());
  std::printf(
      "%ux%u: first_ms=%.0f show_ms=%.0f step_ms=%.0f (%.0f..%.0f) cold_ms=%.0f peak_mib=%.1f "
      "close_ms=%.0f\n",
      width, height, first, show, steps[steps.size() / 2], steps.front(), steps.back(), cold,
      static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0), close);
  return first < 0 || show < 0 || cold < 0 || steps.front() < 0 || close < 0 ? 1 : 0;
}
