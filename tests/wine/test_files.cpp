#include "test_files.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace turv::testfiles {

namespace {

template <typename Path>
Bytes Read(const Path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename Path>
void Write(const Path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void RemoveTreeW(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTreeW(path);
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

Bytes ReadBytes(const std::string& path) {
  return Read(path);
}
Bytes ReadBytes(const std::wstring& path) {
  return Read(std::filesystem::path(path));
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  Write(path, bytes);
}
void WriteBytes(const std::wstring& path, const Bytes& bytes) {
  Write(std::filesystem::path(path), bytes);
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::string& folder) {
  RemoveTreeW(Wide(folder));
}

std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::wstring Wide(const std::string& text, unsigned codePage) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), n);
  return wide;
}

std::uint32_t RunToEnd(const std::string& commandLine) {
  std::wstring line = Wide(commandLine, CP_UTF8);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return 0xFFFF'FFFF;
  }
  ::CloseHandle(process.hThread);
  DWORD code = 0xFFFF'FFFE;
  if (::WaitForSingleObject(process.hProcess, 120'000) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(process.hProcess, &code);
  }
  ::CloseHandle(process.hProcess);
  return code;
}

}  // namespace turv::testfiles
