// Forms: top-level windows with a colour, a font and a window state, whose
// creation and activation events the derived class handles.
#include <windows.h>

#include "gui/framework.h"

namespace turv::platform {

namespace {

Form::Impl* ImplOfWindow(HWND window) {
  return reinterpret_cast<Form::Impl*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

int ScreenPixelsPerInch() {
  HDC screen = ::GetDC(nullptr);
  const int ppi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return ppi > 0 ? ppi : 96;
}

void MakeFont(Form::Impl& impl) {
  impl.font.Reset(::CreateFontA(-::MulDiv(impl.fontSize, impl.fontPixelsPerInch, 72), 0, 0, 0,
                                FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                impl.design.fontName.c_str()));
  if (impl.window != nullptr) {
    ::SendMessageA(impl.window, WM_SETFONT, reinterpret_cast<WPARAM>(impl.font.Get()), TRUE);
  }
}

void RunActivation(Form::Impl& impl) {
  impl.activationPending = false;
  if (impl.window == nullptr || ::IsIconic(impl.window)) return;
  // The user sees the backdrop before the work starts.
  ::UpdateWindow(impl.window);
  try {
    FormAccess::Activate(impl.form);
  } catch (...) {
    ReportError(std::current_exception());
  }
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    auto* impl = static_cast<Form::Impl*>(create->lpCreateParams);
    impl->window = window;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
  }
  Form::Impl* impl = ImplOfWindow(window);
  if (impl == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);

  switch (message) {
    case WM_ERASEBKGND: {
      RECT area;
      ::GetClientRect(window, &area);
      ::FillRect(reinterpret_cast<HDC>(wParam), &area, static_cast<HBRUSH>(impl->brush.Get()));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      ::BeginPaint(window, &paint);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_ACTIVATE:
      // Windows activates a window inside ShowWindow; the event runs from
      // the message loop, after the window has been painted.
      if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0 && !impl->activationPending) {
        impl->activationPending = true;
        ::PostMessageA(window, kActivatedMessage, 0, 0);
      }
      break;
    case WM_SIZE:
      impl->state = wParam == SIZE_MAXIMIZED   ? WindowState::Maximized
                    : wParam == SIZE_MINIMIZED ? WindowState::Minimized
                                               : WindowState::Normal;
      // Restored from the task bar: the activation may have come while the
      // window was still minimised.
      if (wParam != SIZE_MINIMIZED && ::GetActiveWindow() == window && !impl->activationPending) {
        impl->activationPending = true;
        ::PostMessageA(window, kActivatedMessage, 0, 0);
      }
      break;
    case kActivatedMessage:
      RunActivation(*impl);
      return 0;
    case WM_DESTROY:
      if (impl->isMain) ::PostQuitMessage(0);
      break;
    case WM_NCDESTROY:
      impl->window = nullptr;
      ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

const char* FormWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = FormProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hIcon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512));      // IDI_APPLICATION
    windowClass.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.lpszClassName = "TurvForm";
    return ::RegisterClassExA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered ? "TurvForm" : nullptr;
}

bool CreateFormWindow(Form& form) {
  Form::Impl& impl = FormAccess::ImplOf(form);
  if (impl.window != nullptr) return true;
  const char* windowClass = FormWindowClass();
  if (windowClass == nullptr) return false;
  int left = impl.design.left;
  int top = impl.design.top;
  if (impl.design.centreOnDesktop) {
    left = (::GetSystemMetrics(SM_CXSCREEN) - impl.design.width) / 2;
    top = (::GetSystemMetrics(SM_CYSCREEN) - impl.design.height) / 2;
  }
  if (::CreateWindowExA(0, windowClass, impl.design.caption.c_str(), WS_OVERLAPPEDWINDOW, left, top,
                        impl.design.width, impl.design.height, nullptr, nullptr,
                        ::GetModuleHandleA(nullptr), &impl) == nullptr) {
    return false;
  }
  ::SendMessageA(impl.window, WM_SETFONT, reinterpret_cast<WPARAM>(impl.font.Get()), FALSE);
  return true;
}

Form::Form(const FormDesign& design) : impl_(std::make_unique<Impl>(*this, design)) {
  impl_->color = design.color;
  impl_->brush.Reset(
      ::CreateSolidBrush(RGB(design.color.red, design.color.green, design.color.blue)));
  impl_->fontPixelsPerInch = ScreenPixelsPerInch();
  // The design height in pixels at the design resolution, as a point size.
  impl_->fontSize = ::MulDiv(-design.fontHeight, 72, design.pixelsPerInch);
  MakeFont(*impl_);
}

Form::~Form() = default;

WindowId Form::Handle() const {
  return reinterpret_cast<WindowId>(impl_->window);
}

std::string Form::Caption() const {
  return impl_->design.caption;
}

Rgb Form::Color() const {
  return impl_->color;
}

void Form::SetColor(Rgb color) {
  impl_->color = color;
  impl_->brush.Reset(::CreateSolidBrush(RGB(color.red, color.green, color.blue)));
  if (impl_->window != nullptr) ::InvalidateRect(impl_->window, nullptr, TRUE);
}

void Form::SetScaled(bool scaled) {
  impl_->scaled = scaled;
}

void Form::ScaleBy(int m, int d) {
  impl_->fontSize = ::MulDiv(impl_->fontSize, m, d);
  MakeFont(*impl_);
}

int Form::FontSize() const {
  return impl_->fontSize;
}

int Form::FontPixelsPerInch() const {
  return impl_->fontPixelsPerInch;
}

WindowState Form::State() const {
  return impl_->state;
}

void Form::SetWindowState(WindowState state) {
  impl_->state = state;
  if (impl_->window == nullptr || !::IsWindowVisible(impl_->window)) return;
  ::ShowWindow(impl_->window, state == WindowState::Maximized   ? SW_MAXIMIZE
                              : state == WindowState::Minimized ? SW_MINIMIZE
                                                                : SW_RESTORE);
}

void Form::Close() {
  if (impl_->window != nullptr) ::DestroyWindow(impl_->window);
}

}  // namespace turv::platform
