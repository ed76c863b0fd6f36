// The Win32 implementation of the platform header on a real system (Wine):
// real files and folders, the temporary folder from the environment, the
// program's own resource, and the message dialog as a user sees it.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/launch_state.h"
#include "core/turv_u.h"
#include "core/wtools_u.h"
#include "platform/platform.h"
#include "test_files.h"
#include "window_probe.h"

namespace turv {
namespace {

using platform::File;
using platform::SysError;
using testfiles::ReadBytes;
using testfiles::RemoveTree;
using testfiles::WriteBytes;

class Win32Layer : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::string(temp) + "turv layer " + info->name();
    RemoveTree(dir);
    ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr));
    char tmp[MAX_PATH] = {};
    ::GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
    savedTmp = tmp;
    Launch = LaunchState{};
  }
  void TearDown() override {
    ::SetEnvironmentVariableA("TMP", savedTmp.empty() ? nullptr : savedTmp.c_str());
    RemoveTree(dir);
  }

  std::string dir;
  std::string savedTmp;
};

TEST_F(Win32Layer, TemporaryFolderLongerThanTheFirstBufferIsFoundWhole) {
  const std::string longTemp = dir + "\\a temporary folder longer than twenty characters";
  ASSERT_TRUE(::CreateDirectoryA(longTemp.c_str(), nullptr));
  for (const std::string& spelled : {longTemp, longTemp + "\\"}) {
    ASSERT_TRUE(::SetEnvironmentVariableA("TMP", spelled.c_str()));
    char small[20];
    EXPECT_EQ(platform::TempPath(20, small), longTemp.size() + 2);  // with backslash and zero
    EXPECT_EQ(GetTempDir(), longTemp);
    PrepareWorkDir();
    EXPECT_EQ(Launch.WorkDir, longTemp + "\\KARU");
    EXPECT_TRUE(platform::FolderExists(Launch.WorkDir));
  }
}

TEST_F(Win32Layer, FilesReadWriteAndFailWithTheSystemsCodes) {
  const std::string path = dir + "\\f.bin";
  SysError error = 99;
  {
    File f = File::Create(path, error);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_EQ(error, 0u);
    std::uint32_t done = 0;
    EXPECT_EQ(f.Write("abcdef", 6, done), 0u);
    EXPECT_EQ(done, 6u);
  }
  File f = File::OpenRead(path, error);
  ASSERT_TRUE(f.IsOpen());
  std::uint64_t size = 0;
  EXPECT_EQ(f.Size(size), 0u);
  EXPECT_EQ(size, 6u);
  char buffer[16] = {};
  std::uint32_t done = 0;
  EXPECT_EQ(f.Read(buffer, 16, done), 0u);
  EXPECT_EQ(std::string(buffer, done), "abcdef");
  EXPECT_EQ(f.Read(buffer, 16, done), 0u);
  EXPECT_EQ(done, 0u);  // the end of the file is no error
  EXPECT_EQ(f.Close(), 0u);

  EXPECT_FALSE(File::OpenRead(dir + "\\missing.bin", error).IsOpen());
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_FALSE(File::Create(dir + "\\no folder\\x.bin", error).IsOpen());
  EXPECT_EQ(error, platform::kErrorPathNotFound);

  // Held open without sharing, as a running player holds its file.
  HANDLE lock = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(File::Create(path, error).IsOpen());
  EXPECT_EQ(error, platform::kErrorSharingViolation);
  ::CloseHandle(lock);
}

TEST_F(Win32Layer, FoldersAndTheCurrentFolder) {
  EXPECT_TRUE(platform::FolderExists(dir));
  EXPECT_FALSE(platform::FolderExists(dir + "\\nothing"));
  EXPECT_FALSE(platform::FolderExists(""));
  EXPECT_TRUE(platform::MakeFolder(dir + "\\sub"));
  EXPECT_FALSE(platform::MakeFolder(dir + "\\sub"));   // exists
  EXPECT_FALSE(platform::MakeFolder(dir + "\\a\\b"));  // one level only
  WriteBytes(dir + "\\file", {1});
  EXPECT_FALSE(platform::FolderExists(dir + "\\file"));

  const std::string before = platform::CurrentFolder();
  EXPECT_EQ(platform::SetCurrentFolder(""), platform::kErrorInvalidName);
  EXPECT_EQ(platform::SetCurrentFolder(dir + "\\sub"), 0u);
  EXPECT_EQ(platform::CurrentFolder(), dir + "\\sub");
  EXPECT_EQ(platform::FullPathName("x.txt"), dir + "\\sub\\x.txt");
  EXPECT_NE(platform::SetCurrentFolder(dir + "\\nothing"), 0u);
  EXPECT_EQ(platform::SetCurrentFolder(before), 0u);
}

TEST_F(Win32Layer, StartFolderFileBytesAndItsCreationError) {
  WriteStartDirFile(dir, "norvi.stq",
                    " D:\\Br\xFC"
                    "cke\r\n");
  EXPECT_EQ(ReadBytes(dir + "\\norvi.stq"),
            (std::vector<std::uint8_t>{9, 0, 0, 0, 'D', ':', '\\', 'B', 'r', 0xFC, 'c', 'k', 'e'}));
  WriteStartDirFile(dir, "norvi.stq", "");
  EXPECT_EQ(ReadBytes(dir + "\\norvi.stq"), (std::vector<std::uint8_t>{0, 0, 0, 0}));

  try {
    WriteStartDirFile(dir + "\\missing", "norvi.stq", "C:\\");
    FAIL();
  } catch (const FileStreamError& e) {
    const std::string text = e.what();
    const std::string head =
        "Datei \"" + dir + "\\missing\\norvi.stq\" kann nicht erstellt werden. ";
    ASSERT_GT(text.size(), head.size()) << text;  // the system's reason follows
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_NE(text.back(), '.');
    EXPECT_GT(static_cast<unsigned char>(text.back()), 32);
  }
}

TEST_F(Win32Layer, TheProgramsOwnFileAndResource) {
  const std::string self = platform::ModuleFileName();
  ASSERT_GT(self.size(), 4u);
  EXPECT_EQ(self.substr(self.size() - 4), ".exe");
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(::GetFileAttributesExA(self.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(platform::FindEntrySize(self), static_cast<std::int32_t>(data.nFileSizeLow));
  EXPECT_FALSE(platform::FindEntrySize(dir + "\\nothing"));

  const auto resource = platform::FindRcData(1000);
  ASSERT_TRUE(resource);
  const std::string text(resource->begin(), resource->end());
  EXPECT_EQ(text, "This is a text file, not a program.\r\n");
  EXPECT_FALSE(platform::FindRcData(999));
}

TEST_F(Win32Layer, TheDataCopyOnRealFiles) {
  std::vector<std::uint8_t> bytes(100'000);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  WriteBytes(dir + "\\package.exe", bytes);
  Feld buffer;
  EXPECT_EQ(ReadWholeFile(dir + "\\package.exe", buffer), 100'000);
  WriteByteRange(dir + "\\karu.pqd", buffer, 1'234, 100'000);
  EXPECT_EQ(ReadBytes(dir + "\\karu.pqd"),
            std::vector<std::uint8_t>(bytes.begin() + 1'234, bytes.end()));
  EXPECT_EQ(buffer.Length(), 1);

  try {
    ReadWholeFile(dir + "\\missing.exe", buffer);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.Code(), 103u);
  }
}

// What a watcher thread saw of the message dialog before it pressed a key.
struct DialogSeen {
  WPARAM key = VK_RETURN;
  bool found = false;
  probe::WindowInfo dialog;
  std::vector<probe::WindowInfo> children;
};

DWORD WINAPI WatchDialog(void* parameter) {
  auto* seen = static_cast<DialogSeen*>(parameter);
  const DWORD self = ::GetCurrentProcessId();
  const auto dialog = probe::WaitFor(
      [&](const probe::WindowInfo& w) {
        return w.pid == self && w.visible && w.className == "#32770";
      },
      20'000);
  if (!dialog) return 1;
  ::Sleep(100);  // laid out and painted
  seen->found = true;
  seen->dialog = probe::Describe(dialog->handle);
  seen->children = probe::Children(dialog->handle);
  probe::PressKey(dialog->handle, seen->key);
  return 0;
}

// Runs show, which returns only when the dialog it brings up is closed.
template <typename Show>
DialogSeen Watch(Show show, WPARAM key) {
  DialogSeen seen;
  seen.key = key;
  HANDLE watcher = ::CreateThread(nullptr, 0, WatchDialog, &seen, 0, nullptr);
  show();
  ::WaitForSingleObject(watcher, 30'000);
  ::CloseHandle(watcher);
  return seen;
}

DialogSeen ShowAndWatch(const std::string& text, WPARAM key) {
  return Watch([&] { platform::ShowMessage(text); }, key);
}

std::string StaticText(const DialogSeen& seen) {
  for (const auto& child : seen.children) {
    if (child.className == "Static" && !child.text.empty()) return child.text;
  }
  return {};
}

// A thread hook that refuses to create the next windows of one class, as
// a system out of resources or a hostile hook does.
class RefuseWindows {
 public:
  RefuseWindows(std::string className, int count) {
    refusedClass_ = std::move(className);
    left_ = count;
    hook_ = ::SetWindowsHookExA(WH_CBT, Hook, nullptr, ::GetCurrentThreadId());
  }
  ~RefuseWindows() { ::UnhookWindowsHookEx(hook_); }
  RefuseWindows(const RefuseWindows&) = delete;
  RefuseWindows& operator=(const RefuseWindows&) = delete;
  bool Hooked() const { return hook_ != nullptr; }
  static int Left() { return left_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && left_ > 0) {
      char name[64] = {};
      ::GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
      if (refusedClass_ == name) {
        --left_;
        return 1;
      }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static inline std::string refusedClass_;
  static inline int left_ = 0;
  HHOOK hook_ = nullptr;
};

TEST_F(Win32Layer, MessageDialogIsPlainCentredWrappedAndClosesWithEnterOrEsc) {
  platform::Application application;
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);

  std::string longText;
  for (int i = 0; i < 60; ++i) longText += "Wort" + std::to_string(i) + " ";
  longText += "Ende & Schlu\xDF";
  const DialogSeen wide = ShowAndWatch(longText, VK_RETURN);
  ASSERT_TRUE(wide.found);
  EXPECT_EQ(wide.dialog.text, "turv_win32_tests");  // first character as it is
  ASSERT_EQ(wide.children.size(), 2u);              // a text and one button: no icon
  EXPECT_EQ(wide.children[0].className, "Static");
  EXPECT_EQ(wide.children[0].text, longText);
  EXPECT_EQ(wide.children[1].className, "Button");
  EXPECT_EQ(wide.children[1].text, "OK");
  const RECT& r = wide.dialog.rect;
  EXPECT_LE(r.right - r.left, screenWidth / 2);
  EXPECT_LE(std::abs((r.left + r.right) / 2 - screenWidth / 2), 1);
  EXPECT_LE(std::abs((r.top + r.bottom) / 2 - screenHeight / 2), 1);
  const RECT& label = wide.children[0].rect;
  EXPECT_GT(label.bottom - label.top, 3 * 8);  // wrapped onto several lines

  const DialogSeen small = ShowAndWatch(" DataStore-Error 1", VK_ESCAPE);
  ASSERT_TRUE(small.found);
  EXPECT_EQ(small.children[0].text, " DataStore-Error 1");
  EXPECT_LE(std::abs((small.dialog.rect.left + small.dialog.rect.right) / 2 - screenWidth / 2), 1);
}

TEST_F(Win32Layer, WindowsThatCannotBeCreatedStillReachTheUser) {
  platform::Application application;

  // The message dialog refused: a system message box with its text and title.
  {
    RefuseWindows refused("#32770", 1);
    ASSERT_TRUE(refused.Hooked());
    const DialogSeen seen = ShowAndWatch(" DataStore-Error 1", VK_RETURN);
    EXPECT_EQ(RefuseWindows::Left(), 0);  // the dialog was refused
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.dialog.text, "turv_win32_tests");
    EXPECT_EQ(StaticText(seen), " DataStore-Error 1");
  }

  // The main window refused: the error report, no creation phase, exit code 1.
  {
    RefuseWindows refused("TurvForm", 1);
    TForm5 form5;
    const DialogSeen seen = Watch([&] { application.CreateForm(form5); }, VK_RETURN);
    EXPECT_EQ(RefuseWindows::Left(), 0);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.dialog.text, "turv_win32_tests");
    EXPECT_EQ(StaticText(seen), "Fenster kann nicht erstellt werden.");
    EXPECT_EQ(Launch.StartDir, "");
    EXPECT_EQ(application.Run(), 1);
  }
}

TEST_F(Win32Layer, TheMainWindowFitsTheScreenWithWindowsRounding) {
  // The test desktop: 1,280 x 1,024 at 96 pixels per inch.
  ASSERT_EQ(platform::ScreenWidth(), 1280);
  ASSERT_EQ(platform::ScreenHeight(), 1024);
  TForm5 form5;
  ASSERT_EQ(form5.FontPixelsPerInch(), 96);
  EXPECT_EQ(form5.FontSize(), 14);  // 18 pixels at 96 pixels per inch: 13.5 points
  FitToScreen(form5);
  EXPECT_EQ(form5.FontSize(), 18);  // 14 * 1,280 / 1,024 = 17.5
  EXPECT_EQ(form5.State(), platform::WindowState::Maximized);
}

}  // namespace
}  // namespace turv
