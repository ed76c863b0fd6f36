// Small helpers shared by the benchmark's Win32 programs: a handle owner and
// strict parsing of the numeric arguments.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace bench {

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Reset();
      h_ = std::exchange(other.h_, nullptr);
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Reset(); }

  HANDLE Get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  // Closes now and reports whether the close worked (a write-back may fail here).
  bool Close() {
    const bool ok = h_ == nullptr || ::CloseHandle(h_) != 0;
    h_ = nullptr;
    return ok;
  }

 private:
  void Reset() {
    if (h_ != nullptr) ::CloseHandle(h_);
    h_ = nullptr;
  }
  HANDLE h_ = nullptr;
};

// Memory from VirtualAlloc, released with it.
class Pages {
 public:
  explicit Pages(std::size_t bytes)
      : p_(static_cast<std::uint8_t*>(
            ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))) {}
  Pages(const Pages&) = delete;
  Pages& operator=(const Pages&) = delete;
  ~Pages() {
    if (p_ != nullptr) ::VirtualFree(p_, 0, MEM_RELEASE);
  }
  std::uint8_t* Get() const { return p_; }

 private:
  std::uint8_t* p_;
};

[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "%s failed (error %lu)\n", what, ::GetLastError());
  std::exit(2);
}

// A non-negative decimal number, or nothing.
inline bool ParseCount(std::string_view text, std::int64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// The launcher's way of opening its own file and creating the data file.
inline Handle OpenSource(const char* path) {
  return Handle(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}
inline Handle CreateTarget(const char* path) {
  return Handle(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

inline void WriteAll(HANDLE file, const std::uint8_t* bytes, DWORD count) {
  DWORD done = 0;
  if (!::WriteFile(file, bytes, count, &done, nullptr) || done != count) Fail("WriteFile");
}

}  // namespace bench
