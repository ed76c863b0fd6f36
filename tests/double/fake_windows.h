// A stand-in for Windows behind the platform header, for the native tests.
//
// It behaves like the real system where the launch can tell: drive letters
// and backslash paths, case-insensitive names, the current folder, the
// GetTempPathA buffer contract, system error codes (2, 3, 5, 32, 112, 123,
// 183), folders that fail to be created, files that cannot be opened, a disk
// that fills up, an ANSI code page that cannot hold every name, and short
// (8.3) names. It records what the launch asked the GUI and the shell to
// do, and every read and write call with its size.
//
// The system's names are wide: tests write paths in UTF-8. The launch sees
// them as the real layer shows them, in the ANSI code page
// (platform/ansi_paths.h).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace turv::fake {

using Bytes = std::vector<std::uint8_t>;

struct MessageBoxCall {
  platform::WindowId owner;
  std::string text;
  std::string caption;
  std::uint32_t flags;
};

struct ShellCall {
  platform::WindowId owner;
  std::string file;
  std::string parameters;
  std::string folder;
  int showMode;
  std::string currentFolder;  // the folder the started program inherits
};

struct IoCall {
  std::string path;  // as normalised
  char operation;    // 'r' read, 'w' write
  std::uint32_t length;
};

struct FormRecord {
  bool created = false;
  bool shown = false;
  int shownWith = 0;  // the show command it was put on screen with
  bool closed = false;
  int activations = 0;  // times the framework reported an activation
};

class Windows {
 public:
  Windows();

  // ---- The file system ----
  void AddFolder(const std::string& path);  // and its parents
  void AddFile(const std::string& path, Bytes bytes);
  void Remove(const std::string& path);
  bool HasFolder(const std::string& path) const;
  std::optional<Bytes> FileBytes(const std::string& path) const;
  // Names (not paths) of the entries directly inside a folder.
  std::vector<std::string> List(const std::string& folder) const;
  // "C:\A\B" for any spelling of a path, relative ones from the current folder.
  std::string Normalise(const std::string& path) const;
  // Normalise, with every short name spelled long: how the system files it.
  std::string Canonical(const std::string& path) const;
  // Gives an existing folder or file a short (8.3) name; short names stand
  // for it in paths. Without one its own name is all it has.
  void SetShortName(const std::string& path, const std::string& shortName);

  // ---- The system as the launch finds it ----
  // The ANSI code page: 1252, or 932 as far as the tests need it (ASCII,
  // half-width katakana, and the two-byte characters of a few names).
  int codePage = 1252;
  std::string currentFolder = "C:\\Kurs";
  std::optional<std::string> tempPath = "C:\\Users\\user\\AppData\\Local\\Temp\\";
  std::string modulePath = "C:\\Kurs\\Kurs.exe";
  std::optional<Bytes> player;  // RT_RCDATA 1000
  std::optional<std::int64_t> imageLessPlayer = 403'968;
  int screenWidth = 1024;
  int screenHeight = 768;
  int pixelsPerInch = 96;
  int startupShowMode = platform::kShowNormal;
  int shellResult = 42;
  bool shellRaises = false;

  // ---- Faults ----
  std::set<std::string> failingFolders;                  // creation fails quietly (access denied)
  std::set<std::string> lockedFiles;                     // opening or creating: sharing violation
  std::map<std::string, platform::SysError> readFaults;  // reading raises this code
  std::optional<std::uint64_t> freeSpace;                // bytes the disk still takes

  // ---- What the launch did ----
  std::vector<std::string> messages;  // the message dialog's texts
  std::vector<MessageBoxCall> boxes;  // system message boxes, error reports included
  std::vector<ShellCall> shellCalls;
  std::vector<IoCall> io;
  std::vector<std::string> log;  // "message: ..", "box: ..", "shell: ..", "close"
  FormRecord form;

  // The calls of one operation on one file.
  std::vector<std::uint32_t> CallSizes(const std::string& path, char operation) const;

 private:
  friend struct Access;
  struct Node {
    std::string name;  // as spelled when made
    bool folder = false;
    Bytes bytes;
    std::string shortName;  // the name's short form, when it has one
  };
  std::map<std::string, Node> nodes_;  // key: normalised, lower case
};

// The system of this test process. Reset() gives a fresh one: drive C: with
// the current folder and the temporary folder in place.
Windows& System();
void Reset();

// The user restores the application after it started minimised.
void UserRestores();

}  // namespace turv::fake
