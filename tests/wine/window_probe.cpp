#include "window_probe.h"

#include <commctrl.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <stdexcept>

#include "test_files.h"

namespace turv::probe {

namespace {

using InternalGetWindowTextFn = int(WINAPI*)(HWND, LPWSTR, int);

// The title as the system keeps it: never sends a message, so a busy
// window cannot block the caller.
std::string StoredTitle(HWND window) {
  const std::wstring wide = TitleOfW(window);
  std::array<char, 2048> ansi{};
  const int m = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                      ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr);
  return std::string(ansi.data(), static_cast<std::size_t>(m > 0 ? m : 0));
}

std::string ClassOf(HWND window) {
  std::array<char, 256> name{};
  const int n = ::GetClassNameA(window, name.data(), static_cast<int>(name.size()));
  return std::string(name.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// A stored-deflate PNG writer: no compression, no dependencies.
class PngWriter {
 public:
  static bool Write(const std::string& path, int width, int height,
                    const std::vector<std::uint8_t>& rgb) {
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(height) * (static_cast<std::size_t>(width) * 3 + 1));
    for (int y = 0; y < height; ++y) {
      raw.push_back(0);  // no filter
      const auto* row = &rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3];
      raw.insert(raw.end(), row, row + static_cast<std::size_t>(width) * 3);
    }
    std::vector<std::uint8_t> z{0x78, 0x01};
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65'535) {
      const std::size_t n = std::min<std::size_t>(65'535, raw.size() - at);
      const bool last = at + n >= raw.size();
      z.push_back(last ? 1 : 0);
      z.push_back(static_cast<std::uint8_t>(n));
      z.push_back(static_cast<std::uint8_t>(n >> 8));
      z.push_back(static_cast<std::uint8_t>(~n));
      z.push_back(static_cast<std::uint8_t>(~n >> 8));
      z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + n));
      if (last) break;
    }
    std::uint32_t a = 1, b = 0;
    for (const std::uint8_t byte : raw) {
      a = (a + byte) % 65'521;
      b = (b + a) % 65'521;
    }
    Big(z, b << 16 | a);

    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    Big(header, static_cast<std::uint32_t>(width));
    Big(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && ok;
  }

 private:
  static void Big(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
  }
  static std::uint32_t Crc(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : bytes) {
      crc ^= byte;
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
  }
  static void Chunk(std::vector<std::uint8_t>& png, const char* type,
                    const std::vector<std::uint8_t>& data) {
    Big(png, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    png.insert(png.end(), typed.begin(), typed.end());
    Big(png, Crc(typed));
  }
};

}  // namespace

std::wstring TitleOfW(HWND window) {
  static const auto internalGet = reinterpret_cast<InternalGetWindowTextFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("user32.dll"), "InternalGetWindowText")));
  if (internalGet == nullptr) return TextOfW(window);
  std::array<wchar_t, 1024> wide{};
  const int n = internalGet(window, wide.data(), static_cast<int>(wide.size()));
  return std::wstring(wide.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

WindowInfo Describe(HWND window) {
  WindowInfo info;
  info.handle = window;
  ::GetWindowThreadProcessId(window, &info.pid);
  info.className = ClassOf(window);
  info.text = ::GetParent(window) == nullptr ? StoredTitle(window) : TextOf(window);
  info.visible = ::IsWindowVisible(window) != 0;
  info.iconic = ::IsIconic(window) != 0;
  info.zoomed = ::IsZoomed(window) != 0;
  info.enabled = ::IsWindowEnabled(window) != 0;
  ::GetWindowRect(window, &info.rect);
  info.owner = ::GetWindow(window, GW_OWNER);
  info.id = ::GetDlgCtrlID(window);
  return info;
}

std::vector<WindowInfo> TopLevel(DWORD pid) {
  std::vector<HWND> handles;
  ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&handles));
  std::vector<WindowInfo> windows;
  for (HWND h : handles) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(h, &owner);
    if (pid == 0 || owner == pid) windows.push_back(Describe(h));
  }
  return windows;
}

std::vector<WindowInfo> Children(HWND parent) {
  std::vector<HWND> handles;
  ::EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&handles));
  std::vector<WindowInfo> children;
  for (HWND h : handles) children.push_back(Describe(h));
  return children;
}

namespace {
std::string Narrow(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        nullptr, nullptr);
  return text;
}

bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
  return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2'000, &result) !=
         0;
}
}  // namespace

std::string Utf8(const std::wstring& text) {
  return Narrow(text, CP_UTF8);
}

std::wstring TextOfW(HWND window) {
  DWORD_PTR length = 0;
  if (!Ask(window, WM_GETTEXTLENGTH, 0, 0, length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  if (!Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), got)) return {};
  text.resize(std::min<std::size_t>(got, length));
  return text;
}

std::string TextOf(HWND window) {
  return Narrow(TextOfW(window), CP_ACP);
}

std::vector<std::wstring> ListItemsW(HWND listBox) {
  std::vector<std::wstring> items;
  DWORD_PTR count = 0;
  if (!Ask(listBox, LB_GETCOUNT, 0, 0, count) || count == static_cast<DWORD_PTR>(LB_ERR)) {
    return items;
  }
  for (DWORD_PTR i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    if (!Ask(listBox, LB_GETTEXTLEN, i, 0, length) || length == static_cast<DWORD_PTR>(LB_ERR)) {
      break;
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!Ask(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()), got)) break;
    text.resize(std::min<std::size_t>(got, length));
    items.push_back(text);
  }
  return items;
}

std::vector<std::string> ListItems(HWND listBox) {
  std::vector<std::string> items;
  for (const auto& item : ListItemsW(listBox)) items.push_back(Narrow(item, CP_ACP));
  return items;
}

std::optional<WindowInfo> WaitFor(const std::function<bool(const WindowInfo&)>& fits,
                                  DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  do {
    for (const auto& w : TopLevel()) {
      if (fits(w)) return w;
    }
    ::Sleep(20);
  } while (::GetTickCount64() < end);
  return std::nullopt;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  do {
    if (condition()) return true;
    ::Sleep(20);
  } while (::GetTickCount64() < end);
  return condition();
}

void Press(HWND button) {
  ::PostMessageA(button, BM_CLICK, 0, 0);
}

void PressKey(HWND dialog, WPARAM key) {
  ::PostMessageA(dialog, WM_KEYDOWN, key, 0);
  ::PostMessageA(dialog, WM_KEYUP, key, 0xC0000000);
}

HWND ButtonOf(HWND window, const std::string& text) {
  for (const auto& child : Children(window)) {
    if (child.className == "Button" && child.text == text) return child.handle;
  }
  return nullptr;
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = ::GetDC(nullptr);
  const COLORREF color = ::GetPixel(screen, x, y);
  ::ReleaseDC(nullptr, screen);
  return color;
}

bool SaveScreenPng(const std::string& path) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  const win32::GdiObject bitmap(
      ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  bool ok = false;
  if (bitmap && bits != nullptr) {
    HGDIOBJ old = ::SelectObject(memory, bitmap.Get());
    ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) *
                                  static_cast<std::size_t>(height) * 3);
    const auto* source = static_cast<const std::uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const auto* bgr =
            source + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 3;
        auto* out = &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(x)) *
                         3];
        out[0] = bgr[2];
        out[1] = bgr[1];
        out[2] = bgr[0];
      }
    }
    ok = PngWriter::Write(path, width, height, rgb);
  }
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return ok;
}

namespace {
BOOL CALLBACK FirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
  auto& first = *reinterpret_cast<std::string*>(found);
  if (IS_INTRESOURCE(name)) {
    char number[16];
    std::snprintf(number, sizeof number, "#%u",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(name)));
    first = number;
  } else {
    first = name;
  }
  return FALSE;
}
}  // namespace

bool SaveIconPng(const std::string& program, const std::string& path) {
  HMODULE file = ::LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (file == nullptr) return false;
  std::string group;  // the first icon group, as Explorer takes it
  ::EnumResourceNamesA(file, MAKEINTRESOURCEA(14), FirstName, reinterpret_cast<LONG_PTR>(&group));
  constexpr std::array kSizes = {16, 32, 48, 64};
  constexpr int kMargin = 16;
  int width = kMargin;
  for (const int size : kSizes) width += size + kMargin;
  const int height = 64 + 2 * kMargin;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  ::ReleaseDC(nullptr, screen);
  const win32::GdiObject bitmap(
      ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  bool drawn = !group.empty() && bitmap && bits != nullptr;
  if (drawn) {
    HGDIOBJ old = ::SelectObject(memory, bitmap.Get());
    const RECT all{0, 0, width, height};
    const win32::GdiObject ground(::CreateSolidBrush(RGB(236, 236, 236)));
    ::FillRect(memory, &all, static_cast<HBRUSH>(ground.Get()));
    int x = kMargin;
    for (const int size : kSizes) {
      HICON icon = static_cast<HICON>(::LoadImageA(file, group.c_str(), IMAGE_ICON, size, size, 0));
      drawn = drawn && icon != nullptr &&
              ::DrawIconEx(memory, x, kMargin + 64 - size, icon, size, size, 0, nullptr, DI_NORMAL);
      if (icon != nullptr) ::DestroyIcon(icon);
      x += size + kMargin;
    }
    ::SelectObject(memory, old);
  }
  ::DeleteDC(memory);
  ::FreeLibrary(file);
  if (!drawn) return false;
  std::vector<std::uint8_t> rgb;
  const auto* bgra = static_cast<const std::uint8_t*>(bits);
  for (std::size_t i = 0; i < static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
       ++i) {
    rgb.insert(rgb.end(), {bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]});
  }
  return PngWriter::Write(path, width, height, rgb);
}

std::optional<DWORD> Process::Wait(DWORD timeoutMs) const {
  if (::WaitForSingleObject(handle.Get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(handle.Get(), &code);
  return code;
}

bool Process::Running() const {
  return ::WaitForSingleObject(handle.Get(), 0) == WAIT_TIMEOUT;
}

namespace {
std::wstring Upper(std::wstring text) {
  if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}
}  // namespace

Process Start(const std::string& program, const StartOptions& options) {
  StartOptionsW wide;
  wide.showMode = options.showMode;
  wide.folder = testfiles::Wide(options.folder);
  for (const auto& [key, value] : options.environment) {
    wide.environment.emplace_back(testfiles::Wide(key), testfiles::Wide(value));
  }
  wide.arguments = testfiles::Wide(options.arguments);
  wide.creationFlags = options.creationFlags;
  return Start(testfiles::Wide(program), wide);
}

Process Start(const std::wstring& program, const StartOptionsW& options) {
  // The environment: this process's, with the given names set or replaced.
  std::map<std::wstring, std::wstring> variables;
  std::vector<std::wstring> order;
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p != L'\0'; p += std::wcslen(p) + 1) {
      const std::wstring entry(p);
      const auto eq = entry.find(L'=', 1);
      if (eq == std::wstring::npos) continue;
      const std::wstring upper = Upper(entry.substr(0, eq));
      if (variables.emplace(upper, entry).second) order.push_back(upper);
    }
    ::FreeEnvironmentStringsW(block);
  }
  for (const auto& [key, value] : options.environment) {
    const std::wstring upper = Upper(key);
    if (variables.find(upper) == variables.end()) order.push_back(upper);
    variables[upper] = key + L"=" + value;
  }
  std::vector<wchar_t> environment;
  for (const auto& key : order) {
    const std::wstring& entry = variables[key];
    environment.insert(environment.end(), entry.begin(), entry.end());
    environment.push_back(L'\0');
  }
  environment.push_back(L'\0');

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(options.showMode);
  PROCESS_INFORMATION started{};
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!options.arguments.empty()) commandLine += L" " + options.arguments;
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        options.creationFlags | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                        options.folder.empty() ? nullptr : options.folder.c_str(), &startup,
                        &started)) {
    throw std::runtime_error("cannot start " + Utf8(program) + ": error " +
                             std::to_string(::GetLastError()));
  }
  ::CloseHandle(started.hThread);
  Process process;
  process.handle.Reset(started.hProcess);
  process.pid = started.dwProcessId;
  return process;
}

namespace {
// Memory inside another process, for the list view messages that carry
// pointers (no system marshals them across processes).
class RemoteBlock {
 public:
  RemoteBlock(HWND window, std::size_t size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    process_.Reset(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (process_) {
      address_ =
          ::VirtualAllocEx(process_.Get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  ~RemoteBlock() {
    if (address_ != nullptr) ::VirtualFreeEx(process_.Get(), address_, 0, MEM_RELEASE);
  }
  explicit operator bool() const { return address_ != nullptr; }
  std::uint8_t* At(std::size_t offset) const {
    return static_cast<std::uint8_t*>(address_) + offset;
  }
  bool Put(std::size_t offset, const void* bytes, std::size_t size) const {
    return ::WriteProcessMemory(process_.Get(), At(offset), bytes, size, nullptr) != 0;
  }
  bool Get(std::size_t offset, void* bytes, std::size_t size) const {
    return ::ReadProcessMemory(process_.Get(), At(offset), bytes, size, nullptr) != 0;
  }

 private:
  win32::KernelHandle process_;
  void* address_ = nullptr;
};

}  // namespace

bool TypeText(HWND control, const std::wstring& text) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, 2'000, &result) != 0 &&
         result != 0;
}

std::vector<std::vector<std::wstring>> ListViewRows(HWND listView) {
  std::vector<std::vector<std::wstring>> rows;
  DWORD_PTR count = 0, header = 0, columns = 0;
  if (!Ask(listView, LVM_GETITEMCOUNT, 0, 0, count) ||
      !Ask(listView, LVM_GETHEADER, 0, 0, header) ||
      !Ask(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, columns)) {
    return rows;
  }
  constexpr int kChars = 1024;
  const RemoteBlock block(listView, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  if (!block) return rows;
  for (DWORD_PTR row = 0; row < count; ++row) {
    std::vector<std::wstring> cells;
    for (DWORD_PTR column = 0; column < columns; ++column) {
      LVITEMW item{};
      item.iSubItem = static_cast<int>(column);
      item.pszText = reinterpret_cast<LPWSTR>(block.At(sizeof item));
      item.cchTextMax = kChars;
      std::wstring text(kChars, L'\0');
      DWORD_PTR length = 0;
      if (!block.Put(0, &item, sizeof item) ||
          !Ask(listView, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(block.At(0)), length) ||
          !block.Get(sizeof item, text.data(), std::min<std::size_t>(length, kChars) * 2)) {
        return {};
      }
      text.resize(std::min<std::size_t>(length, kChars));
      cells.push_back(text);
    }
    rows.push_back(cells);
  }
  return rows;
}

bool EditListViewLabel(HWND listView, int item, const std::wstring& text) {
  DWORD_PTR edit = 0;
  if (!Ask(listView, LVM_EDITLABELW, static_cast<WPARAM>(item), 0, edit) || edit == 0) {
    return false;
  }
  const HWND editor = reinterpret_cast<HWND>(edit);
  if (!TypeText(editor, text)) return false;
  PressKey(editor, VK_RETURN);
  return WaitUntil([&] { return !::IsWindow(editor); }, 5'000);
}

int ProgressPosition(HWND bar) {
  DWORD_PTR position = 0;
  return Ask(bar, PBM_GETPOS, 0, 0, position) ? static_cast<int>(position) : -1;
}

bool SaveWindowPng(HWND window, const std::string& path) {
  RECT area{};
  if (!::GetWindowRect(window, &area)) return false;
  const int width = area.right - area.left, height = area.bottom - area.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const win32::GdiObject bitmap(
      ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  bool ok = false;
  if (bitmap && bits != nullptr) {
    HGDIOBJ old = ::SelectObject(memory, bitmap.Get());
    ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    ::SelectObject(memory, old);
    std::vector<std::uint8_t> rgb;
    const auto* bgra = static_cast<const std::uint8_t*>(bits);
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
         ++i) {
      rgb.insert(rgb.end(), {bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]});
    }
    ok = PngWriter::Write(path, width, height, rgb);
  }
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace turv::probe
