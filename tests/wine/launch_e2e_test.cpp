// Packages launched as a user launches them: from a folder of their own, with
// the show mode a shell passes, each test with its own temporary folder.
// The launchers carry a recording player (turv_rec) or a file that is no
// program (turv_notprog); the user's side is played by the window probe.
//   turv_e2e_tests BIN_DIR WORK_DIR
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "format/karu_format.h"
#include "lumirax/window_names.h"
#include "test_files.h"
#include "window_probe.h"

namespace turv {
namespace {

using namespace testfiles;

std::string binDir;
std::string workRoot;

Bytes Random(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(generator());
  return bytes;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Makes a file size bytes long without writing the bytes: the disk keeps a
// hole, as a broken download of that size may.
void GrowTo(const std::string& path, std::uint64_t size) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  EXPECT_TRUE(::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file));
  ::CloseHandle(file);
}

// Wine's load order for one DLL in one program: native first, so that a DLL
// the search finds beside the program is loaded, as Windows loads it. Wine
// otherwise prefers its own builtin DLL.
class NativeFirst {
 public:
  NativeFirst(const std::string& program, const std::string& dll)
      : key_("Software\\Wine\\AppDefaults\\" + program) {
    HKEY overrides = nullptr;
    ok_ = ::RegCreateKeyExA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &overrides, nullptr) == ERROR_SUCCESS;
    if (!ok_) return;
    static const char order[] = "native,builtin";
    ok_ = ::RegSetValueExA(overrides, dll.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                           sizeof order) == ERROR_SUCCESS;
    ::RegCloseKey(overrides);
  }
  ~NativeFirst() { ::RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }
  NativeFirst(const NativeFirst&) = delete;
  NativeFirst& operator=(const NativeFirst&) = delete;
  bool Ok() const { return ok_; }

 private:
  std::string key_;
  bool ok_ = false;
};

struct PlayerRun {
  std::string folder;
  int argc = 0;
  int show = 0;
  std::string commandLine;
};

class LaunchE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    root = workRoot + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    RemoveTree(root);
    ::CreateDirectoryA(workRoot.c_str(), nullptr);
    ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr)) << root;
    temp = root + "\\Temp";
    start = root + "\\Eigene Kurse";
    record = root + "\\player-runs.txt";
    work = temp + "\\KARU";
    ::CreateDirectoryA(temp.c_str(), nullptr);
    ::CreateDirectoryA(start.c_str(), nullptr);
    recPlayer = ReadBytes(binDir + "\\recplayer.exe");
    ASSERT_FALSE(recPlayer.empty());
  }

  void TearDown() override {
    for (auto& p : started) {
      if (p.Running()) ::TerminateProcess(p.handle.Get(), 9);
    }
    for (HANDLE h : locks) ::CloseHandle(h);
  }

  // A package in the start folder: a launcher and the data behind it.
  std::string Package(const std::string& launcher, const Bytes& data,
                      const std::string& name = "Kurs.exe") {
    const std::string path = start + "\\" + name;
    WriteBytes(path, Concat(ReadBytes(binDir + "\\" + launcher), data));
    return path;
  }

  const probe::Process& Launch(const std::string& package, int showMode = SW_SHOWNORMAL,
                               const std::string& tempFolder = "") {
    return LaunchW(Wide(package), Wide(start), Wide(tempFolder.empty() ? temp : tempFolder),
                   showMode);
  }

  // Started from folder with tempFolder as TMP and TEMP, names in UTF-16.
  const probe::Process& LaunchW(const std::wstring& package, const std::wstring& folder,
                                const std::wstring& tempFolder, int showMode = SW_SHOWNORMAL) {
    probe::StartOptionsW options;
    options.showMode = showMode;
    options.folder = folder;
    options.environment = {
        {L"TMP", tempFolder}, {L"TEMP", tempFolder}, {L"TURV_TEST_RECORD", Wide(record)}};
    started.push_back(probe::Start(package, options));
    return started.back();
  }

  // What every good launch leaves, checked once the launcher ended by itself
  // (a message or an error report would hold it): the player and the data in
  // the work folder, a start-folder file whose text opens the start folder,
  // and the player run there, maximised.
  void ExpectLaunched(const probe::Process& launcher, const std::wstring& workFolder,
                      const std::wstring& startFolder, const Bytes& data, std::size_t run) {
    EXPECT_EQ(launcher.Wait(60'000), std::optional<DWORD>(0)) << "held by a message";
    EXPECT_EQ(ReadBytes(workFolder + L"\\lumirax.exe"), recPlayer);
    EXPECT_EQ(ReadBytes(workFolder + L"\\karu.pqd"), data);
    const Bytes startFile = ReadBytes(workFolder + L"\\norvi.stq");
    ASSERT_GE(startFile.size(), 4u);
    const std::string text(startFile.begin() + 4, startFile.end());
    EXPECT_EQ(startFile[0], text.size());
    EXPECT_TRUE(SameFolder(Wide(text), startFolder)) << text;
    const auto runs = PlayerRuns(run);
    ASSERT_EQ(runs.size(), run);
    EXPECT_TRUE(SameFolder(Wide(runs.back().folder, CP_UTF8), workFolder)) << runs.back().folder;
    EXPECT_EQ(runs.back().show, SW_SHOWMAXIMIZED);
  }

  // Two spellings of one existing folder, short names or long.
  static bool SameFolder(const std::wstring& a, const std::wstring& b) {
    const auto longForm = [](const std::wstring& path) {
      std::wstring buffer(32'768, L'\0');
      const DWORD n = ::GetLongPathNameW(path.c_str(), buffer.data(), 32'768);
      return n == 0 || n >= buffer.size() ? std::wstring() : buffer.substr(0, n);
    };
    const std::wstring la = longForm(a);
    return !la.empty() && ::lstrcmpiW(la.c_str(), longForm(b).c_str()) == 0;
  }

  // The message a second launch shows when the player from the first is still
  // running: its title, read before Enter closes it.
  std::wstring TitleOfMessage(const std::wstring& package, const std::wstring& folder,
                              const std::wstring& workFolder, const std::wstring& tempFolder) {
    LockW(workFolder + L"\\lumirax.exe", FILE_SHARE_READ);
    const auto& launcher = LaunchW(package, folder, tempFolder);
    const auto dialog = DialogOf(launcher);
    if (!dialog) return L"(no message)";
    ::Sleep(200);
    const std::wstring title = probe::TitleOfW(dialog->handle);
    probe::PressKey(dialog->handle, VK_RETURN);
    EXPECT_EQ(launcher.Wait(60'000), std::optional<DWORD>(0));
    return title;
  }

  std::vector<PlayerRun> PlayerRuns(std::size_t expected) {
    probe::WaitUntil([&] { return Runs().size() >= expected; }, 15'000);
    return Runs();
  }

  std::vector<PlayerRun> Runs() {
    std::vector<PlayerRun> runs;
    std::ifstream in(record);
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      PlayerRun run;
      std::string argc, show;
      std::getline(fields, run.folder, '|');
      std::getline(fields, argc, '|');
      std::getline(fields, show, '|');
      std::getline(fields, run.commandLine);
      run.argc = std::atoi(argc.c_str());
      run.show = std::atoi(show.c_str());
      runs.push_back(run);
    }
    return runs;
  }

  // A file held open without sharing, as a running program holds it.
  void Lock(const std::string& path, DWORD share = 0) { LockW(Wide(path), share); }
  void LockW(const std::wstring& path, DWORD share) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << probe::Utf8(path);
    locks.push_back(h);
  }

  std::optional<probe::WindowInfo> DialogOf(const probe::Process& p, DWORD timeoutMs = 30'000) {
    return probe::WaitFor(
        [&](const probe::WindowInfo& w) {
          return w.pid == p.pid && w.visible && w.className == "#32770";
        },
        timeoutMs);
  }

  std::optional<probe::WindowInfo> MainWindowOf(const probe::Process& p) {
    for (const auto& w : probe::TopLevel(p.pid)) {
      if (w.className == "TurvForm") return w;
    }
    return std::nullopt;
  }

  static std::string StaticText(const probe::WindowInfo& dialog) {
    for (const auto& c : probe::Children(dialog.handle)) {
      if (c.className == "Static" && !c.text.empty()) return c.text;
    }
    return {};
  }

  // The text of the error report that ended a phase, once the user has
  // pressed OK and closed the window it leaves open.
  std::string ReportThenClose(const probe::Process& launcher) {
    std::optional<probe::WindowInfo> report;
    probe::WaitUntil([&] { return (report = DialogOf(launcher, 0)) || !launcher.Running(); },
                     60'000);
    if (!report) return "(no report)";
    ::Sleep(200);
    const std::string text = StaticText(*report);
    probe::Press(probe::ButtonOf(report->handle, "OK"));
    probe::WaitUntil([&] { return !DialogOf(launcher, 0); }, 10'000);
    if (const auto main = MainWindowOf(launcher)) ::PostMessageA(main->handle, WM_CLOSE, 0, 0);
    EXPECT_EQ(launcher.Wait(30'000), std::optional<DWORD>(0));
    return text;
  }

  std::string root, temp, start, record, work;
  Bytes recPlayer;
  std::vector<probe::Process> started;
  std::vector<HANDLE> locks;
};

TEST_F(LaunchE2E, UnpacksPlayerAndDataAndStartsThePlayerMaximisedInTheWorkFolder) {
  // Large enough that the copy keeps the window up for a good while.
  const Bytes data = Random(24'000'001, 1);
  const auto& launcher = Launch(Package("turv_rec.exe", data));
  // Its window comes up, maximised, while it works.
  bool seen = false;
  probe::WaitUntil(
      [&] {
        const auto main = MainWindowOf(launcher);
        seen = seen || (main && main->visible && main->zoomed && main->text == "TURVALO");
        return seen || !launcher.Running();
      },
      60'000);
  EXPECT_TRUE(seen);
  EXPECT_EQ(launcher.Wait(60'000), std::optional<DWORD>(0));  // the launcher has ended

  EXPECT_EQ(ReadBytes(work + "\\lumirax.exe"), recPlayer);
  EXPECT_EQ(ReadBytes(work + "\\karu.pqd"), data);
  const Bytes startFile = ReadBytes(work + "\\norvi.stq");
  ASSERT_GE(startFile.size(), 4u);
  EXPECT_EQ(std::string(startFile.begin() + 4, startFile.end()), start);
  EXPECT_EQ(startFile[0], start.size());

  const auto runs = PlayerRuns(1);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(::lstrcmpiA(runs[0].folder.c_str(), work.c_str()), 0) << runs[0].folder;
  EXPECT_EQ(runs[0].argc, 1) << runs[0].commandLine;
  EXPECT_EQ(runs[0].show, SW_SHOWMAXIMIZED);
}

TEST_F(LaunchE2E, BareLauncherGivesAnEmptyDataFileAndStartsThePlayer) {
  const auto& launcher = Launch(Package("turv_rec.exe", {}));
  EXPECT_EQ(launcher.Wait(60'000), std::optional<DWORD>(0));
  EXPECT_TRUE(Exists(work + "\\karu.pqd"));
  EXPECT_TRUE(ReadBytes(work + "\\karu.pqd").empty());
  EXPECT_EQ(PlayerRuns(1).size(), 1u);
}

TEST_F(LaunchE2E, SecondLaunchOverwritesItsFilesAndKeepsOthers) {
  EXPECT_TRUE(Launch(Package("turv_rec.exe", Random(50'000, 2))).Wait(60'000));
  WriteBytes(work + "\\notizen.txt", {'n', 'o'});
  const Bytes second = Random(9'000, 3);  // shorter: the old file must not shine through
  const auto& launcher = Launch(Package("turv_rec.exe", second, "Teil2.exe"));
  EXPECT_EQ(launcher.Wait(60'000), std::optional<DWORD>(0));
  EXPECT_EQ(ReadBytes(work + "\\karu.pqd"), second);
  EXPECT_EQ(ReadBytes(work + "\\notizen.txt"), (Bytes{'n', 'o'}));
  EXPECT_EQ(PlayerRuns(2).size(), 2u);
}

TEST_F(LaunchE2E, LockedPlayerIsReportedAndTheDataStillLandsRight) {
  // The player of an earlier launch is still running and holds its file.
  ::CreateDirectoryA(work.c_str(), nullptr);
  WriteBytes(work + "\\lumirax.exe", recPlayer);
  Lock(work + "\\lumirax.exe", FILE_SHARE_READ);
  const Bytes data = Random(200'000, 4);
  const auto& launcher = Launch(Package("turv_rec.exe", data, "MEINKURS.Teil2.exe"));

  const auto dialog = DialogOf(launcher);
  ASSERT_TRUE(dialog) << "no message";
  ::Sleep(200);
  EXPECT_EQ(dialog->text, "Meinkurs");
  const auto children = probe::Children(dialog->handle);
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(children[0].text, " DataStore-Error 1");
  EXPECT_EQ(children[1].text, "OK");

  // Behind it the backdrop: maximised, slate, disabled while the dialog is up.
  const auto main = MainWindowOf(launcher);
  ASSERT_TRUE(main);
  EXPECT_EQ(main->text, "TURVALO");
  EXPECT_TRUE(main->visible);
  EXPECT_TRUE(main->zoomed);
  EXPECT_FALSE(main->enabled);
  EXPECT_EQ(probe::ScreenPixel(main->rect.left + 40, main->rect.bottom - 40), RGB(100, 120, 140));

  probe::PressKey(dialog->handle, VK_RETURN);
  EXPECT_EQ(launcher.Wait(60'000), std::optional<DWORD>(0));
  EXPECT_EQ(ReadBytes(work + "\\karu.pqd"), data);
  const auto runs = PlayerRuns(1);  // the earlier player was started
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].show, SW_SHOWMAXIMIZED);
}

TEST_F(LaunchE2E, PlayerThatIsNoProgramIsReportedAndTheLauncherEnds) {
  const auto& launcher = Launch(Package("turv_notprog.exe", Random(1'000, 5), "Vortrag.exe"));
  const auto dialog = DialogOf(launcher);
  ASSERT_TRUE(dialog);
  ::Sleep(200);
  EXPECT_EQ(dialog->text, "Vortrag");
  const std::string text = StaticText(*dialog);
  EXPECT_EQ(text,
            "Datei nicht ausf\xFC"
            "hrbar !");
  ASSERT_EQ(text.size(), 24u);
  EXPECT_EQ(static_cast<unsigned char>(text[16]), 0xFC);  // the ü is one Windows-1252 byte
  probe::PressKey(dialog->handle, VK_ESCAPE);
  EXPECT_EQ(launcher.Wait(60'000), std::optional<DWORD>(0));
}

TEST_F(LaunchE2E, ErrorReportLeavesTheWindowOpenUntilTheUserClosesIt) {
  ::CreateDirectoryA(work.c_str(), nullptr);
  Lock(work + "\\karu.pqd");
  const auto& launcher = Launch(Package("turv_rec.exe", Random(10, 6)));
  const auto report = DialogOf(launcher);
  ASSERT_TRUE(report);
  ::Sleep(200);
  EXPECT_EQ(report->text, "Kurs");
  EXPECT_EQ(StaticText(*report), "E/A-Fehler 103.");
  HWND ok = probe::ButtonOf(report->handle, "OK");
  ASSERT_NE(ok, nullptr);
  probe::Press(ok);

  ASSERT_TRUE(probe::WaitUntil([&] { return !DialogOf(launcher, 0); }, 10'000));
  ::Sleep(300);
  EXPECT_TRUE(launcher.Running());
  const auto main = MainWindowOf(launcher);
  ASSERT_TRUE(main);
  EXPECT_TRUE(main->visible);
  EXPECT_TRUE(Runs().empty());  // no player started
  ::PostMessageA(main->handle, WM_CLOSE, 0, 0);
  EXPECT_EQ(launcher.Wait(30'000), std::optional<DWORD>(0));
}

TEST_F(LaunchE2E, StartedMinimisedWithoutActivationWaitsAndComesUpAtNormalSize) {
  ::CreateDirectoryA(work.c_str(), nullptr);
  WriteBytes(work + "\\lumirax.exe", recPlayer);
  Lock(work + "\\lumirax.exe", FILE_SHARE_READ);  // a message keeps the window up after the restore
  const auto& launcher = Launch(Package("turv_rec.exe", Random(100, 7)), SW_SHOWMINNOACTIVE);
  const auto waiting = probe::WaitFor(
      [&](const probe::WindowInfo& w) {
        return w.pid == launcher.pid && w.className == "TurvForm" && w.visible;
      },
      30'000);
  ASSERT_TRUE(waiting);
  ::Sleep(1'000);
  EXPECT_TRUE(probe::Describe(waiting->handle).iconic);
  EXPECT_TRUE(Exists(work + "\\norvi.stq"));  // created
  EXPECT_FALSE(Exists(work + "\\karu.pqd"));  // not yet activated
  EXPECT_TRUE(launcher.Running());

  ::PostMessageA(waiting->handle, WM_SYSCOMMAND, SC_RESTORE, 0);  // the user restores it
  const auto dialog = DialogOf(launcher);
  ASSERT_TRUE(dialog);
  const auto main = probe::Describe(waiting->handle);
  EXPECT_FALSE(main.iconic);
  EXPECT_FALSE(main.zoomed);
  EXPECT_EQ(main.rect.right - main.rect.left, 358);
  probe::PressKey(dialog->handle, VK_RETURN);
  EXPECT_EQ(launcher.Wait(60'000), std::optional<DWORD>(0));
  EXPECT_TRUE(Exists(work + "\\karu.pqd"));
}

TEST_F(LaunchE2E, AnyOtherShowModePutsTheWindowUpMaximised) {
  ::CreateDirectoryA(work.c_str(), nullptr);
  WriteBytes(work + "\\lumirax.exe", recPlayer);
  Lock(work + "\\lumirax.exe", FILE_SHARE_READ);
  const auto& launcher = Launch(Package("turv_rec.exe", Random(100, 8)), SW_SHOWMINIMIZED);
  const auto dialog = DialogOf(launcher);
  ASSERT_TRUE(dialog);
  const auto main = MainWindowOf(launcher);
  ASSERT_TRUE(main);
  EXPECT_TRUE(main->zoomed);
  probe::PressKey(dialog->handle, VK_RETURN);
  EXPECT_EQ(launcher.Wait(60'000), std::optional<DWORD>(0));
}

TEST_F(LaunchE2E, WorkFolderUnderALongTemporaryFolderOrElseUnderTheCurrentFolder) {
  const std::string longTemp =
      root + "\\a temporary folder with a name longer than twenty characters";
  ::CreateDirectoryA(longTemp.c_str(), nullptr);
  EXPECT_TRUE(Launch(Package("turv_rec.exe", {1, 2, 3}), SW_SHOWNORMAL, longTemp).Wait(60'000));
  EXPECT_EQ(ReadBytes(longTemp + "\\KARU\\karu.pqd"), (Bytes{1, 2, 3}));
  // The player's path, far longer than 80 characters, reached the shell whole.
  ASSERT_GT(longTemp.size() + 17, 80u);
  const auto runs = PlayerRuns(1);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(::lstrcmpiA(runs[0].folder.c_str(), (longTemp + "\\KARU").c_str()), 0);

  // A temporary folder that does not exist: the work folder goes under the
  // current folder, the package's own.
  EXPECT_TRUE(Launch(Package("turv_rec.exe", {4, 5}), SW_SHOWNORMAL, root + "\\gone").Wait(60'000));
  EXPECT_EQ(ReadBytes(start + "\\KARU\\karu.pqd"), (Bytes{4, 5}));
  EXPECT_FALSE(Exists(root + "\\gone"));
}

TEST_F(LaunchE2E, ADllPlantedBesideThePackageIsNotLoaded) {
  // uxtheme.dll is loaded by name when the first window comes up, and it is
  // none of the DLLs that Windows always takes from its own folder.
  const std::string planted = start + "\\uxtheme.dll";
  ASSERT_TRUE(::CopyFileA((binDir + "\\planted.dll").c_str(), planted.c_str(), FALSE));
  const NativeFirst nativeFirst("Download.exe", "uxtheme");
  ASSERT_TRUE(nativeFirst.Ok());
  const auto& launcher = Launch(Package("turv_rec.exe", Random(1'000, 9), "Download.exe"));
  EXPECT_EQ(launcher.Wait(60'000), std::optional<DWORD>(0));
  EXPECT_EQ(PlayerRuns(1).size(), 1u);
  EXPECT_FALSE(Exists(planted + ".loaded"));
}

TEST_F(LaunchE2E, APackageOf2GiBOrMoreEndsAtOnceAndWritesNoData) {
  // Exactly 2 GiB, and a size whose low 32 bits alone look small.
  for (const std::uint64_t size : {std::uint64_t{1} << 31, (std::uint64_t{1} << 32) + 5'000'000}) {
    const std::string package = Package("turv_rec.exe", {}, "Riesig.exe");
    GrowTo(package, size);
    EXPECT_EQ(ReportThenClose(Launch(package)), "Zu wenig Arbeitsspeicher.") << size;
    EXPECT_FALSE(Exists(work + "\\karu.pqd")) << size;
    ::DeleteFileA(package.c_str());
  }
  EXPECT_TRUE(Runs().empty());
}

TEST_F(LaunchE2E, AnUnsealedLauncherWithDataSaysSoAndWritesNoData) {
  // The linker's output before sealing, with data appended by hand.
  const auto& launcher = Launch(Package("..\\unsealed\\turv_rec.exe", Random(5'000, 10)));
  EXPECT_EQ(ReportThenClose(launcher), "Abbruch: Interner Fehler (2)");
  EXPECT_FALSE(Exists(work + "\\karu.pqd"));
  EXPECT_TRUE(Runs().empty());
}

// ---- Names outside the ANSI code page ----
// Run on code page 1252 (Wine's default), where Cyrillic names come back
// from the ANSI calls as "?"; Wine gives every such name a short form.

// Makes each folder of path below root.
void MakeFolders(const std::wstring& path) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos;
       at = path.find(L'\\', at + 1)) {
    ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  ::CreateDirectoryW(path.c_str(), nullptr);
}

TEST_F(LaunchE2E, PackageNamedAndPlacedOutsideTheCodePageStartedFromItsFolder) {
  ASSERT_EQ(::GetACP(), 1252u);
  const std::wstring folder = Wide(root) + L"\\Юрий\\Kurse";
  MakeFolders(folder);
  const std::wstring package = folder + L"\\Курс.exe";
  const Bytes data = Random(300'000, 11);
  WriteBytes(package, Concat(ReadBytes(binDir + "\\turv_rec.exe"), data));
  ExpectLaunched(LaunchW(package, folder, Wide(temp)), Wide(work), folder, data, 1);
  // Its messages carry the name as Explorer shows it.
  EXPECT_EQ(TitleOfMessage(package, folder, Wide(work), Wide(temp)), L"Курс");
}

TEST_F(LaunchE2E, TemporaryFolderOutsideTheCodePageHoldsTheWorkFolder) {
  ASSERT_EQ(::GetACP(), 1252u);
  const std::wstring userTemp = Wide(root) + L"\\Юрий\\Temp";
  MakeFolders(userTemp);
  const Bytes data = Random(50'000, 12);
  ExpectLaunched(LaunchW(Wide(Package("turv_rec.exe", data)), Wide(start), userTemp),
                 userTemp + L"\\KARU", Wide(start), data, 1);
  // Only a temporary folder that truly does not exist puts it beside the package.
  const std::wstring gone = Wide(root) + L"\\Олег\\Temp";
  ExpectLaunched(LaunchW(Wide(Package("turv_rec.exe", {4, 5})), Wide(start), gone),
                 Wide(start) + L"\\KARU", Wide(start), {4, 5}, 2);
  EXPECT_FALSE(Exists(Wide(root) + L"\\Олег"));
}

TEST_F(LaunchE2E, PlayerShowsAShortStartFolderAsTheUserKnowsIt) {
  ASSERT_EQ(::GetACP(), 1252u);
  const std::wstring folder = Wide(root) + L"\\Юрий\\Eigene Kurse";
  MakeFolders(folder);
  std::wstring shortForm(MAX_PATH, L'\0');
  shortForm.resize(::GetShortPathNameW(folder.c_str(), shortForm.data(), MAX_PATH));
  const std::string startText = probe::Utf8(shortForm);  // plain ASCII, as the launcher writes it
  ASSERT_EQ(Wide(startText), shortForm);

  // The work folder as a launch from there leaves it.
  ::CreateDirectoryA(work.c_str(), nullptr);
  WriteBytes(work + "\\lumirax.exe", ReadBytes(binDir + "\\lumirax.exe"));
  std::vector<format::Entry> entries{{"a.txt", "Eins", 3, 0}};
  Bytes data = format::BuildDirectory(entries);
  data.insert(data.end(), {'a', 'b', 'c'});
  WriteBytes(work + "\\karu.pqd", data);
  Bytes startFile{static_cast<std::uint8_t>(startText.size()), 0, 0, 0};
  startFile.insert(startFile.end(), startText.begin(), startText.end());
  WriteBytes(work + "\\norvi.stq", startFile);

  probe::StartOptionsW options;
  options.folder = Wide(work);
  options.environment = {{L"TMP", Wide(temp)}, {L"TEMP", Wide(temp)}};
  started.push_back(probe::Start(Wide(work + "\\lumirax.exe"), options));
  const DWORD pid = started.back().pid;
  const auto window = probe::WaitFor(
      [&](const probe::WindowInfo& w) {
        return w.pid == pid && w.visible && w.className == player::kWindowClass;
      },
      60'000);
  ASSERT_TRUE(window) << "no player window";
  EXPECT_EQ(probe::TextOfW(::GetDlgItem(window->handle, player::kStatusId)),
            L"Eigene Dateien: " + folder);
  ::PostMessageA(window->handle, WM_CLOSE, 0, 0);
  EXPECT_TRUE(started.back().Wait(30'000));
}

// A kiosk package: the player opens straight into the show, which moves on
// by itself and loops; Esc and clicks do nothing, Alt+F4 ends the player.
TEST_F(LaunchE2E, KioskOpensIntoTheShowLoopsByItselfAndOnlyAltF4EndsIt) {
  ::CreateDirectoryA(work.c_str(), nullptr);
  WriteBytes(work + "\\lumirax.exe", ReadBytes(binDir + "\\lumirax.exe"));
  const std::string settings = "[Show]\r\nAdvance=1\r\nLoop=yes\r\nKiosk=yes\r\n";
  std::vector<format::Entry> entries{
      {"1.txt", "Eins", 1, 0},
      {"2.txt", "Zwei", 1, 0},
      {"3.txt", "Drei", 1, 0},
      {"show.ini", "", static_cast<std::int64_t>(settings.size()), 0}};
  Bytes data = format::BuildDirectory(entries);
  data.insert(data.end(), {'1', '2', '3'});
  data.insert(data.end(), settings.begin(), settings.end());
  WriteBytes(work + "\\karu.pqd", data);

  probe::StartOptionsW options;
  options.folder = Wide(work);
  options.environment = {{L"TMP", Wide(temp)}, {L"TEMP", Wide(temp)}};
  started.push_back(probe::Start(Wide(work + "\\lumirax.exe"), options));
  const DWORD pid = started.back().pid;
  const auto show = probe::WaitFor(
      [&](const probe::WindowInfo& w) {
        return w.pid == pid && w.visible && w.className == player::kShowClass;
      },
      60'000);
  ASSERT_TRUE(show) << "the package did not open into the show";

  // The slides as the show's title names them, each as it comes.
  std::vector<std::wstring> seen;
  const auto follow = [&](std::size_t count) {
    return probe::WaitUntil(
        [&] {
          const std::wstring now = probe::TextOfW(show->handle);
          if (!now.empty() && (seen.empty() || seen.back() != now)) seen.push_back(now);
          return seen.size() >= count;
        },
        10'000);
  };
  EXPECT_TRUE(follow(5));
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"Eins", L"Zwei", L"Drei", L"Eins", L"Zwei"}));

  ::PostMessageA(show->handle, WM_KEYDOWN, VK_ESCAPE, 0);
  ::PostMessageA(show->handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  ::PostMessageA(show->handle, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_TRUE(follow(7));  // still running by itself
  EXPECT_TRUE(::IsWindowVisible(show->handle));

  // The keys that only move within the show work there: white holds the
  // timed show, a number and Enter go to that slide (the one before the
  // slide that was up) and the show runs on from it.
  ::PostMessageA(show->handle, WM_KEYDOWN, 'W', 0);
  ::Sleep(300);
  const std::wstring held = probe::TextOfW(show->handle);
  ::Sleep(2'500);
  EXPECT_EQ(probe::TextOfW(show->handle), held);
  const std::vector<std::wstring> names{L"Eins", L"Zwei", L"Drei"};
  const auto at = std::find(names.begin(), names.end(), held) - names.begin();
  ASSERT_LT(at, 3);
  const auto back = (at + 2) % 3;
  ::PostMessageA(show->handle, WM_KEYDOWN, static_cast<WPARAM>('1' + back), 0);
  ::PostMessageA(show->handle, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(probe::WaitUntil([&] { return probe::TextOfW(show->handle) == names[back]; }, 900));
  seen = {names[back]};
  EXPECT_TRUE(follow(2));
  EXPECT_EQ(seen.back(), held);

  ::PostMessageA(show->handle, WM_SYSKEYDOWN, VK_F4, 1 | KF_ALTDOWN << 16);
  EXPECT_EQ(started.back().Wait(30'000), std::optional<DWORD>(0));
}

// Run on code page 932 (LC_ALL=ja_JP.UTF-8): ア is the bytes 0x83 "A", and
// 表 is 0x95 "\".
TEST_F(LaunchE2E, CodePage932TwoByteNamesForPackageStartAndTemporaryFolder) {
  ASSERT_EQ(::GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8";
  const std::wstring folder = Wide(root) + L"\\表";
  const std::wstring userTemp = Wide(temp) + L"\\表";
  MakeFolders(folder);
  MakeFolders(userTemp);
  const std::wstring package = folder + L"\\アニメ.exe";
  const Bytes data = Random(100'000, 13);
  WriteBytes(package, Concat(ReadBytes(binDir + "\\turv_rec.exe"), data));
  ExpectLaunched(LaunchW(package, folder, userTemp), userTemp + L"\\KARU", folder, data, 1);
  EXPECT_EQ(TitleOfMessage(package, folder, userTemp + L"\\KARU", userTemp), L"アニメ");
}

}  // namespace
}  // namespace turv

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: turv_e2e_tests BIN_DIR WORK_DIR\n");
    return 2;
  }
  turv::binDir = turv::testfiles::WindowsPath(argv[1]);
  turv::workRoot = turv::testfiles::WindowsPath(argv[2]);
  return RUN_ALL_TESTS();
}
