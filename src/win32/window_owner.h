// The one window procedure of every window an object owns: the object comes
// with CreateWindowExW's last argument, is attached at WM_NCCREATE and
// forgotten at WM_NCDESTROY, and no exception crosses the system's frames.
#pragma once

#include <windows.h>

#include <exception>

namespace turv::win32 {

// Owner has `HWND window_`, `LRESULT Handle(UINT, WPARAM, LPARAM)` and
// `static void Report(HWND, const std::exception_ptr&) noexcept`, optionally
// `void Detached()`; it befriends OwnerProcedure<Owner> and registers its
// class with OwnerProcedure<Owner>::Procedure.
template <typename Owner>
struct OwnerProcedure {
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* self = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      self->window_ = window;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      self->window_ = nullptr;
      if constexpr (requires { self->Detached(); }) self->Detached();
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
    try {
      return self->Handle(message, wParam, lParam);
    } catch (...) {
      Owner::Report(window, std::current_exception());
      return 0;
    }
  }
};

}  // namespace turv::win32
