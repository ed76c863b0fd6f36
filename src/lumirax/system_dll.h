// A DLL of the system loaded at run time by its full path in the system
// folder, never one left beside the player in the work folder (as a
// statically imported DLL outside the system's known ones could be, before
// the player restricts the search). It stays loaded for the process: windows
// of its classes may outlive whoever loaded it.
#pragma once

#include <windows.h>

#include <string>

namespace turv::player {

class SystemDll {
 public:
  explicit SystemDll(const wchar_t* name) {
    std::wstring path(MAX_PATH, L'\0');
    const UINT n = ::GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
    if (n == 0 || n >= path.size()) return;
    path.resize(n);
    module_ = ::LoadLibraryW((path + L"\\" + name).c_str());
  }
  // The function, or null when the DLL or the function is missing.
  template <typename Function>
  Function* Find(const char* function) const {
    if (module_ == nullptr) return nullptr;
    return reinterpret_cast<Function*>(
        reinterpret_cast<void*>(::GetProcAddress(module_, function)));
  }

 private:
  HMODULE module_ = nullptr;
};

}  // namespace turv::player
