// Owners of the Win32 objects the launcher uses: each is released exactly
// once, when its owner goes.
#pragma once

#include <windows.h>

#include <utility>

namespace turv::win32 {

template <typename T, auto Free, auto Invalid>
class Owner {
 public:
  Owner() = default;
  explicit Owner(T value) : value_(value) {}
  Owner(Owner&& other) noexcept : value_(std::exchange(other.value_, Invalid())) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.value_, Invalid()));
    return *this;
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  ~Owner() { Reset(); }

  T Get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid(); }
  // Gives up ownership without releasing: for callers that close the
  // object themselves and want to see the result.
  [[nodiscard]] T Release() { return std::exchange(value_, Invalid()); }
  void Reset(T value = Invalid()) {
    if (value_ != Invalid()) Free(value_);
    value_ = value;
  }

 private:
  T value_ = Invalid();
};

inline HANDLE InvalidHandle() {
  return INVALID_HANDLE_VALUE;
}
inline HANDLE NullHandle() {
  return nullptr;
}
inline HGDIOBJ NullGdi() {
  return nullptr;
}
inline HWND NullWindow() {
  return nullptr;
}
inline void CloseFindHandle(HANDLE h) {
  ::FindClose(h);
}
inline void CloseKernelHandle(HANDLE h) {
  ::CloseHandle(h);
}
inline void DeleteGdiObject(HGDIOBJ h) {
  ::DeleteObject(h);
}
inline void DestroyWindowHandle(HWND h) {
  ::DestroyWindow(h);
}

// Files and other kernel objects that fail as INVALID_HANDLE_VALUE.
using FileHandle = Owner<HANDLE, CloseKernelHandle, InvalidHandle>;
// Processes, threads and other kernel objects that fail as null.
using KernelHandle = Owner<HANDLE, CloseKernelHandle, NullHandle>;
using FindHandle = Owner<HANDLE, CloseFindHandle, InvalidHandle>;
using GdiObject = Owner<HGDIOBJ, DeleteGdiObject, NullGdi>;
using WindowHandle = Owner<HWND, DestroyWindowHandle, NullWindow>;

}  // namespace turv::win32
