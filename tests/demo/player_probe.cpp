#include "player_probe.h"

#include <algorithm>

namespace turv::demo {

namespace {

constexpr UINT kPatienceMs = 2'000;

bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
  return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kPatienceMs,
                               &result) != 0;
}

}  // namespace

std::vector<std::wstring> ListItemsW(HWND listBox) {
  std::vector<std::wstring> items;
  DWORD_PTR count = 0;
  if (!Ask(listBox, LB_GETCOUNT, 0, 0, count)) return items;
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

std::wstring TextOfW(HWND window) {
  DWORD_PTR length = 0;
  if (!Ask(window, WM_GETTEXTLENGTH, 0, 0, length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  if (!Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), got)) return {};
  text.resize(std::min<std::size_t>(got, length));
  return text;
}

HWND ChildById(HWND window, int id) {
  return ::GetDlgItem(window, id);
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

}  // namespace turv::demo
