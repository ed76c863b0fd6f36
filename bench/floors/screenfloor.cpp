// What Wine itself allows for the player's screen work, as bench/player's
// floor (see bench/README.md):
//   screenfloor paint   a maximised window that paints one solid colour
//                       (start to pixel)
//   screenfloor swap    a popup over the screen with two full-screen bitmaps
//                       prepared at the start; Right shows the other one
//                       (key to pixel)
// The colours are player_bench's first two slides'.
#include <windows.h>

#include <cstring>

namespace {

constexpr COLORREF kFirst = RGB(220, 40, 40), kSecond = RGB(40, 180, 60);

struct Floor {
  bool swap = false;
  HDC canvas[2] = {nullptr, nullptr};
  int shown = 0;
};
Floor floor_;

HDC Prepared(HDC screen, int width, int height, COLORREF colour) {
  HDC dc = ::CreateCompatibleDC(screen);
  ::SelectObject(dc, ::CreateCompatibleBitmap(screen, width, height));
  const RECT all{0, 0, width, height};
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &all, brush);
  ::DeleteObject(brush);
  return dc;
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_RIGHT && floor_.swap) {
        floor_.shown = 1 - floor_.shown;
        ::InvalidateRect(window, nullptr, FALSE);
      }
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      RECT client;
      ::GetClientRect(window, &client);
      if (floor_.swap) {
        ::BitBlt(dc, 0, 0, client.right, client.bottom, floor_.canvas[floor_.shown], 0, 0, SRCCOPY);
      } else {
        HBRUSH brush = ::CreateSolidBrush(kFirst);
        ::FillRect(dc, &client, brush);
        ::DeleteObject(brush);
      }
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
  floor_.swap = std::strstr(arguments, "swap") != nullptr;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"ScreenFloor";
  ::RegisterClassW(&windowClass);
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  HWND window = nullptr;
  if (floor_.swap) {
    HDC screen = ::GetDC(nullptr);
    floor_.canvas[0] = Prepared(screen, width, height, kFirst);
    floor_.canvas[1] = Prepared(screen, width, height, kSecond);
    ::ReleaseDC(nullptr, screen);
    window = ::CreateWindowExW(0, L"ScreenFloor", L"swap", WS_POPUP, 0, 0, width, height, nullptr,
                               nullptr, instance, nullptr);
    ::ShowWindow(window, SW_SHOW);
  } else {
    RECT work{0, 0, width, height};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    window = ::CreateWindowExW(0, L"ScreenFloor", L"paint", WS_OVERLAPPEDWINDOW, work.left,
                               work.top, work.right - work.left, work.bottom - work.top, nullptr,
                               nullptr, instance, nullptr);
    ::ShowWindow(window, SW_SHOWMAXIMIZED);
  }
  ::UpdateWindow(window);
  ::SetForegroundWindow(window);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
