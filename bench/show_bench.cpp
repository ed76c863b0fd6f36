// show_bench FOLDER MODE [SECONDS]: the show that runs itself, as its
// audience sees it. Writes FOLDER\karu.pqd for the mode (solid-colour BMP
// slides, a show.ini, WAV narrations), starts FOLDER\lumirax.exe there (it
// opens into the show) and reads the pixel in the middle of the screen:
//   timing     Advance=1, 8 slides: each step's delay past its second
//              (median, slowest), from the times the colour changed
//   fade       Fade=1000 between two screen-sized slides: the frames a
//              fade shows (distinct colours on the way) per second
//   endurance  50 slides at 0.2 s, narration on every fifth, looping for
//              SECONDS (default 600): the steps counted, and the player's
//              private bytes, GDI and USER objects after the first loops
//              and at the end
//   silent     the same without the narrations
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "format/karu_format.h"

namespace {

using Bytes = std::vector<BYTE>;

[[noreturn]] void Die(const char* what, long code = 0) {
  std::fprintf(stderr, "show_bench: %s (%ld)\n", what, code);
  std::exit(1);
}

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<BYTE>(v));
  b.push_back(static_cast<BYTE>(v >> 8));
}
void Put32(Bytes& b, unsigned v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A 24-bit BMP of one colour.
Bytes Bmp(unsigned width, unsigned height, COLORREF colour) {
  const unsigned stride = (width * 3 + 3) & ~3u;
  Bytes b{'B', 'M'};
  Put32(b, 54 + stride * height);
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, width);
  Put32(b, height);
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  Bytes row(stride, 0);
  for (unsigned x = 0; x < width; ++x) {
    row[x * 3] = GetBValue(colour);
    row[x * 3 + 1] = GetGValue(colour);
    row[x * 3 + 2] = GetRValue(colour);
  }
  for (unsigned y = 0; y < height; ++y) b.insert(b.end(), row.begin(), row.end());
  return b;
}

// A WAV tone: 16-bit mono at 16 kHz.
Bytes Wav(unsigned milliseconds, double hertz) {
  const unsigned samples = 16 * milliseconds;
  Bytes b{'R', 'I', 'F', 'F'};
  Put32(b, 36 + samples * 2);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, 1);
  Put32(b, 16'000);
  Put32(b, 32'000);
  Put16(b, 2);
  Put16(b, 16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  Put32(b, samples * 2);
  for (unsigned i = 0; i < samples; ++i) {
    Put16(b, static_cast<unsigned>(static_cast<int>(8'000 * std::sin(i * hertz * 6.2832 / 16'000))) &
                 0xFFFF);
  }
  return b;
}

COLORREF ColourOf(int i) {
  return RGB((i * 53 + 40) % 200 + 40, (i * 97 + 90) % 200 + 40, (i * 151 + 20) % 200 + 40);
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fclose(file) != 0) {
    Die("cannot write the data file");
  }
}

struct Made {
  std::vector<COLORREF> colours;  // per slide
};

Made MakeData(const std::string& folder, const std::string& mode) {
  std::vector<std::pair<std::string, Bytes>> files;
  std::string settings = "[Show]\r\nLoop=yes\r\nStart=show\r\n";
  Made made;
  const int count = mode == "timing" ? 8 : mode == "fade" ? 2 : 50;
  const unsigned width = mode == "fade" ? static_cast<unsigned>(::GetSystemMetrics(SM_CXSCREEN)) : 64;
  const unsigned height = mode == "fade" ? static_cast<unsigned>(::GetSystemMetrics(SM_CYSCREEN)) : 36;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Folie%02d.bmp", i + 1);
    made.colours.push_back(mode == "fade" ? (i == 0 ? RGB(220, 40, 40) : RGB(40, 80, 220))
                                          : ColourOf(i));
    files.emplace_back(name, Bmp(width, height, made.colours.back()));
    if (mode == "endurance" && (i + 1) % 5 == 0) {
      char sound[32];
      std::snprintf(sound, sizeof sound, "Ton%02d.wav", i + 1);
      files.emplace_back(sound, Wav(100, 440.0 + 20 * i));
      settings += std::string("[") + name + "]\r\nSound=" + sound + "\r\n";
    }
  }
  settings.insert(std::string("[Show]\r\n").size(), mode == "timing"  ? "Advance=1\r\n"
                                                    : mode == "fade" ? "Advance=2\r\nFade=1000\r\n"
                                                                     : "Advance=0.2\r\n");
  files.emplace_back("show.ini", Bytes(settings.begin(), settings.end()));
  std::sort(files.begin(), files.end());
  std::vector<turv::format::Entry> entries;
  for (const auto& [name, body] : files) {
    entries.push_back({name, "", static_cast<std::int64_t>(body.size()), 0});
  }
  Bytes data = turv::format::BuildDirectory(entries);
  for (const auto& file : files) data.insert(data.end(), file.second.begin(), file.second.end());
  WriteFile(folder + "\\karu.pqd", data);
  WriteFile(folder + "\\norvi.stq", {4, 0, 0, 0, 'C', ':', '\\', 'x'});
  return made;
}

double Now() {
  LARGE_INTEGER t, f;
  ::QueryPerformanceCounter(&t);
  ::QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

bool Near(COLORREF a, COLORREF b, int by = 6) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= by &&
         std::abs(GetGValue(a) - GetGValue(b)) <= by && std::abs(GetBValue(a) - GetBValue(b)) <= by;
}

int SlideOf(const Made& made, COLORREF seen) {
  for (std::size_t i = 0; i < made.colours.size(); ++i) {
    if (Near(seen, made.colours[i])) return static_cast<int>(i);
  }
  return -1;
}

struct Usage {
  double privateMib = 0;  // PrivateUsage, or PagefileUsage where that is not filled in
  DWORD gdi = 0, user = 0;
};

Usage UsageOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  ::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
  const SIZE_T bytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
  return {static_cast<double>(bytes) / (1024.0 * 1024.0),
          ::GetGuiResources(process, GR_GDIOBJECTS), ::GetGuiResources(process, GR_USEROBJECTS)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: show_bench FOLDER timing|fade|endurance [SECONDS]\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const std::string mode = argv[2];
  const double seconds = argc > 3 ? std::atof(argv[3]) : 600;
  const Made made = MakeData(folder, mode);

  std::string command = "\"" + folder + "\\lumirax.exe\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMAXIMIZED;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
    Die("cannot start lumirax.exe", static_cast<long>(::GetLastError()));
  }
  HWND show = nullptr;
  for (int i = 0; i < 2'000 && show == nullptr; ++i) {
    show = ::FindWindowA("LumiraxShow", nullptr);
    ::Sleep(10);
  }
  if (show == nullptr) Die("the package did not open into the show");
  HDC screen = ::GetDC(nullptr);
  const POINT middle{::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2};
  const auto pixel = [&] { return ::GetPixel(screen, middle.x, middle.y); };
  int failed = 0;

  if (mode == "timing") {
    // The times each slide came, after the first came round once.
    std::vector<double> arrivals;
    int last = -1;
    const double start = Now();
    while (arrivals.size() < 16 && Now() - start < 60'000) {
      const int slide = SlideOf(made, pixel());
      if (slide >= 0 && slide != last) {
        if (last >= 0) arrivals.push_back(Now());
        last = slide;
      }
      ::Sleep(1);
    }
    std::vector<double> delays;
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
      delays.push_back(arrivals[i] - arrivals[i - 1] - 1'000);
    }
    std::sort(delays.begin(), delays.end());
    if (delays.empty()) Die("the show did not move");
    std::printf("timing: steps=%zu delay_ms median=%.0f min=%.0f max=%.0f (step interval less 1000 ms)\n",
                delays.size(), delays[delays.size() / 2], delays.front(), delays.back());
    failed = delays.back() > 50;
  } else if (mode == "fade") {
    std::vector<double> rates;
    for (int fade = 0; fade < 4; ++fade) {
      // From a slide's own colour to the other's, counting the colours between.
      const double wait = Now();
      int from = -1;
      while (from < 0 && Now() - wait < 10'000) from = SlideOf(made, pixel());
      while (SlideOf(made, pixel()) == from && Now() - wait < 10'000) ::Sleep(0);
      const double began = Now();
      COLORREF seen = pixel(), previous = CLR_INVALID;
      int frames = 0;
      while (SlideOf(made, seen) != 1 - from && Now() - began < 5'000) {
        if (seen != previous) ++frames;
        previous = seen;
        seen = pixel();
      }
      const double took = Now() - began;
      rates.push_back(frames * 1'000.0 / std::max(took, 1.0));
      std::printf("fade %d: %d frames in %.0f ms\n", fade + 1, frames, took);
    }
    std::sort(rates.begin(), rates.end());
    std::printf("fade: %ldx%ld fps median=%.1f min=%.1f\n", middle.x * 2, middle.y * 2,
                rates[rates.size() / 2], rates.front());
    failed = rates[rates.size() / 2] < 30;
  } else {  // endurance, silent
    int steps = 0, last = -1;
    Usage warm{};
    bool warmed = false;
    const double start = Now();
    while (Now() - start < seconds * 1'000) {
      const int slide = SlideOf(made, pixel());
      if (slide >= 0 && slide != last) {
        ++steps;
        last = slide;
      }
      if (!warmed && Now() - start > 30'000) {
        warm = UsageOf(process.hProcess);
        warmed = true;
        std::printf("after 30 s: steps=%d private_mib=%.2f gdi=%lu user=%lu\n", steps,
                    warm.privateMib, warm.gdi, warm.user);
        std::fflush(stdout);
      }
      ::Sleep(5);
    }
    const Usage end = UsageOf(process.hProcess);
    std::printf("endurance: %.0f s steps=%d private_mib=%.2f (+%.2f) gdi=%lu (%+ld) user=%lu (%+ld)\n",
                seconds, steps, end.privateMib, end.privateMib - warm.privateMib, end.gdi,
                static_cast<long>(end.gdi) - static_cast<long>(warm.gdi), end.user,
                static_cast<long>(end.user) - static_cast<long>(warm.user));
    // Each slide stands 0.2 s, a narrated one until its sound has ended.
    failed = steps < seconds * 2 || end.privateMib - warm.privateMib > 2 || end.gdi > warm.gdi ||
             end.user > warm.user;
  }
  ::ReleaseDC(nullptr, screen);
  ::PostMessageA(show, WM_KEYDOWN, VK_ESCAPE, 0);
  ::Sleep(300);
  if (HWND main = ::FindWindowA("LumiraxWindow", nullptr)) ::PostMessageA(main, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(process.hProcess, 10'000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.hProcess, 9);
  }
  return failed;
}
