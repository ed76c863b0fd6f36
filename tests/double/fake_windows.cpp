// The test double's side of the platform header: every call works on the
// in-memory system of fake::System().
#include "fake_windows.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "platform/app_texts.h"

namespace turv::fake {

namespace {

struct OpenFile {
  std::string key;
  std::uint64_t position = 0;
  bool canWrite = false;
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string ParentOf(const std::string& normalised) {
  const auto slash = normalised.find_last_of('\\');
  if (slash == std::string::npos || normalised.size() <= 3) return {};
  return slash == 2 ? normalised.substr(0, 3) : normalised.substr(0, slash);
}

std::unique_ptr<Windows>& Slot() {
  static std::unique_ptr<Windows> system;  // the process's one fake system
  return system;
}
std::map<std::uintptr_t, OpenFile> openFiles;
std::uintptr_t nextHandle = 0x100;

}  // namespace

// Fault sets name paths in any spelling.
template <typename Container>
auto FindPath(const Windows& w, Container& faults, const std::string& key) {
  for (auto it = faults.begin(); it != faults.end(); ++it) {
    if constexpr (requires { it->first; }) {
      if (Lower(w.Normalise(it->first)) == key) return it;
    } else {
      if (Lower(w.Normalise(*it)) == key) return it;
    }
  }
  return faults.end();
}

// The platform side's way into the system's private parts.
struct Access {
  using Node = Windows::Node;
  static Node MakeNode(std::string name, bool folder) { return Node{std::move(name), folder, {}}; }
  static std::map<std::string, Windows::Node>& Nodes(Windows& w) { return w.nodes_; }
  static Windows::Node* Find(Windows& w, const std::string& path) {
    if (path.empty()) return nullptr;
    auto it = w.nodes_.find(Lower(w.Normalise(path)));
    return it == w.nodes_.end() ? nullptr : &it->second;
  }
};

Windows::Windows() {
  nodes_["c:\\"] = Node{"C:\\", true, {}};
  AddFolder(currentFolder);
  AddFolder("C:\\Users\\user\\AppData\\Local\\Temp");
}

std::string Windows::Normalise(const std::string& path) const {
  if (path.empty()) return {};
  std::string p = path;
  std::replace(p.begin(), p.end(), '/', '\\');
  const std::string here = currentFolder;
  std::string drive = here.substr(0, 2);
  std::string rest;
  if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
    drive = {static_cast<char>(std::toupper(static_cast<unsigned char>(p[0]))), ':'};
    rest = p.substr(2);
    if (rest.empty() || rest[0] != '\\') {
      const bool sameDrive = Lower(drive) == Lower(here.substr(0, 2));
      rest = (sameDrive ? here.substr(2) : std::string("\\")) + "\\" + rest;
    }
  } else if (p[0] == '\\') {
    rest = p;
  } else {
    rest = here.substr(2) + "\\" + p;
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= rest.size()) {
    const auto end = std::min(rest.find('\\', start), rest.size());
    const std::string part = rest.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out = drive + "\\";
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
  return out;
}

void Windows::AddFolder(const std::string& path) {
  const std::string full = Normalise(path);
  if (full.empty()) return;
  const std::string parent = ParentOf(full);
  if (!parent.empty() && !HasFolder(parent)) AddFolder(parent);
  nodes_[Lower(full)] = Node{full, true, {}};
}

void Windows::AddFile(const std::string& path, Bytes bytes) {
  const std::string full = Normalise(path);
  AddFolder(ParentOf(full));
  nodes_[Lower(full)] = Node{full, false, std::move(bytes)};
}

void Windows::Remove(const std::string& path) {
  nodes_.erase(Lower(Normalise(path)));
}

bool Windows::HasFolder(const std::string& path) const {
  const auto it = nodes_.find(Lower(Normalise(path)));
  return it != nodes_.end() && it->second.folder;
}

std::optional<Bytes> Windows::FileBytes(const std::string& path) const {
  const auto it = nodes_.find(Lower(Normalise(path)));
  if (it == nodes_.end() || it->second.folder) return std::nullopt;
  return it->second.bytes;
}

std::vector<std::string> Windows::List(const std::string& folder) const {
  std::vector<std::string> names;
  const std::string key = Lower(Normalise(folder));
  for (const auto& [k, node] : nodes_) {
    if (k != key && ParentOf(k) == key)
      names.push_back(node.name.substr(node.name.find_last_of('\\') + 1));
  }
  return names;
}

std::vector<std::uint32_t> Windows::CallSizes(const std::string& path, char operation) const {
  std::vector<std::uint32_t> sizes;
  const std::string full = Normalise(path);
  for (const IoCall& call : io) {
    if (call.operation == operation && Lower(call.path) == Lower(full))
      sizes.push_back(call.length);
  }
  return sizes;
}

Windows& System() {
  if (!Slot()) Reset();
  return *Slot();
}

void Reset() {
  Slot() = std::make_unique<Windows>();
  openFiles.clear();
}

}  // namespace turv::fake

namespace turv::platform {

using fake::Access;
using fake::System;

namespace {

fake::OpenFile* Handle(std::uintptr_t h) {
  const auto it = fake::openFiles.find(h);
  return it == fake::openFiles.end() ? nullptr : &it->second;
}

std::uintptr_t Open(const std::string& path, bool write, bool create, SysError& error) {
  auto& w = System();
  const std::string full = w.Normalise(path);
  error = 0;
  if (full.empty()) {
    error = kErrorPathNotFound;
    return 0;
  }
  const std::string key = fake::Lower(full);
  if (fake::FindPath(w, w.lockedFiles, key) != w.lockedFiles.end()) {
    error = kErrorSharingViolation;
    return 0;
  }
  auto& nodes = Access::Nodes(w);
  auto it = nodes.find(key);
  if (it != nodes.end() && it->second.folder) {
    error = kErrorAccessDenied;
    return 0;
  }
  if (it == nodes.end()) {
    const std::string parent = fake::ParentOf(full);
    if (parent.empty() || !w.HasFolder(parent)) {
      error = kErrorPathNotFound;
      return 0;
    }
    if (!create) {
      error = kErrorFileNotFound;
      return 0;
    }
    it = nodes.emplace(key, Access::MakeNode(full, false)).first;
  } else if (create) {
    it->second.bytes.clear();
  }
  const std::uintptr_t handle = fake::nextHandle++;
  fake::openFiles[handle] = fake::OpenFile{key, 0, write};
  return handle;
}

}  // namespace

File File::OpenRead(const std::string& path, SysError& error) {
  return File(Open(path, false, false, error));
}
File File::OpenReadWrite(const std::string& path, SysError& error) {
  return File(Open(path, true, false, error));
}
File File::Create(const std::string& path, SysError& error) {
  return File(Open(path, true, true, error));
}

SysError File::Size(std::uint64_t& size) const {
  const fake::OpenFile* f = Handle(handle_);
  if (f == nullptr) return 6;  // ERROR_INVALID_HANDLE
  size = Access::Nodes(System()).at(f->key).bytes.size();
  return 0;
}

SysError File::Read(void* buffer, std::uint32_t length, std::uint32_t& done) {
  done = 0;
  fake::OpenFile* f = Handle(handle_);
  if (f == nullptr) return 6;
  auto& w = System();
  const auto& node = Access::Nodes(w).at(f->key);
  w.io.push_back({node.name, 'r', length});
  if (const auto fault = fake::FindPath(w, w.readFaults, f->key); fault != w.readFaults.end()) {
    return fault->second;
  }
  const std::uint64_t available =
      node.bytes.size() > f->position ? node.bytes.size() - f->position : 0;
  done = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, available));
  if (done != 0) std::memcpy(buffer, node.bytes.data() + f->position, done);
  f->position += done;
  return 0;
}

SysError File::Write(const void* buffer, std::uint32_t length, std::uint32_t& done) {
  done = 0;
  fake::OpenFile* f = Handle(handle_);
  if (f == nullptr) return 6;
  if (!f->canWrite) return kErrorAccessDenied;
  auto& w = System();
  auto& node = Access::Nodes(w).at(f->key);
  w.io.push_back({node.name, 'w', length});
  if (w.freeSpace) {
    if (*w.freeSpace < length) return kErrorDiskFull;
    *w.freeSpace -= length;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  if (node.bytes.size() < f->position + length) node.bytes.resize(f->position + length);
  std::copy(bytes, bytes + length, node.bytes.begin() + static_cast<std::ptrdiff_t>(f->position));
  f->position += length;
  done = length;
  return 0;
}

SysError File::Close() {
  if (handle_ == kNone) return 0;
  fake::openFiles.erase(handle_);
  handle_ = kNone;
  return 0;
}

std::string CurrentFolder() {
  return System().currentFolder;
}

SysError SetCurrentFolder(const std::string& path) {
  auto& w = System();
  if (path.empty()) return kErrorInvalidName;
  if (!w.HasFolder(path)) {
    return w.HasFolder(fake::ParentOf(w.Normalise(path))) ? kErrorFileNotFound : kErrorPathNotFound;
  }
  w.currentFolder = w.Normalise(path);
  return 0;
}

std::uint32_t TempPath(std::uint32_t bufferLength, char* buffer) {
  const auto& temp = System().tempPath;
  if (!temp) return 0;
  const auto length = static_cast<std::uint32_t>(temp->size());
  if (length + 1 > bufferLength) return length + 1;
  std::memcpy(buffer, temp->c_str(), length + 1);
  return length;
}

bool FolderExists(const std::string& path) {
  return !path.empty() && System().HasFolder(path);
}

bool MakeFolder(const std::string& path) {
  auto& w = System();
  const std::string full = w.Normalise(path);
  if (full.empty() || Access::Find(w, full) != nullptr) return false;  // exists: 183
  if (fake::FindPath(w, w.failingFolders, fake::Lower(full)) != w.failingFolders.end())
    return false;
  if (!w.HasFolder(fake::ParentOf(full))) return false;  // one level only: 3
  Access::Nodes(w)[fake::Lower(full)] = Access::MakeNode(full, true);
  return true;
}

std::string FullPathName(const std::string& path) {
  return System().Normalise(path);
}

std::string SystemErrorText(SysError code) {
  switch (code) {
    case kErrorFileNotFound:
      return "File not found.\r\n";
    case kErrorPathNotFound:
      return "Path not found.\r\n";
    case kErrorAccessDenied:
      return "Access denied.\r\n";
    case kErrorSharingViolation:
      return "Sharing violation.\r\n";
    default:
      return "Error " + std::to_string(code) + ".\r\n";
  }
}

std::string ModuleFileName() {
  return System().modulePath;
}

std::optional<std::int32_t> FindEntrySize(const std::string& path) {
  const auto* node = Access::Find(System(), path);
  if (node == nullptr) return std::nullopt;
  return static_cast<std::int32_t>(node->bytes.size());
}

std::optional<std::span<const std::uint8_t>> FindRcData(int id) {
  const auto& player = System().player;
  if (id != 1000 || !player) return std::nullopt;
  return std::span<const std::uint8_t>(*player);
}

std::optional<std::int64_t> ImageSizeLessPlayer() {
  return System().imageLessPlayer;
}

int ShellStart(WindowId owner, const std::string& file, const std::string& parameters,
               const std::string& folder, int showMode) {
  auto& w = System();
  w.shellCalls.push_back({owner, file, parameters, folder, showMode, w.currentFolder});
  w.log.push_back("shell: " + file);
  if (w.shellRaises) throw std::runtime_error("shell raised");
  const auto bytes = w.FileBytes(file);
  if (!bytes) return 2;                                                          // SE_ERR_FNF
  if (bytes->size() < 2 || (*bytes)[0] != 'M' || (*bytes)[1] != 'Z') return 11;  // ERROR_BAD_FORMAT
  return w.shellResult;
}

int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption,
                   std::uint32_t flags) {
  auto& w = System();
  w.boxes.push_back({owner, text, caption, flags});
  w.log.push_back("box: " + text);
  return 1;
}

int ScreenWidth() {
  return System().screenWidth;
}
int ScreenHeight() {
  return System().screenHeight;
}

}  // namespace turv::platform
