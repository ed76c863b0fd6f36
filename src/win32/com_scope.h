// COM on the calling thread for as long as the scope lasts: the shell's
// dialogs and handlers and DirectShow behind MCI want it there.
#pragma once

#include <objbase.h>

namespace turv::win32 {

class ComScope {
 public:
  explicit ComScope(DWORD model) : ready_(SUCCEEDED(::CoInitializeEx(nullptr, model))) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (ready_) ::CoUninitialize();
  }

 private:
  bool ready_;
};

}  // namespace turv::win32
