// karupack.exe opened from Explorer, driven through the window probe as a
// user drives it: the authoring window packs what the command line packs
// (the show's settings too),
// shows a problem before packing, leaves nothing when cancelled; a folder
// dropped beside a file of its name that is no package leaves that file;
// the program carries its manifest.
//   turv_authoring_tests BIN_DIR WORK_DIR
#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "authoring/window_ids.h"
#include "lumirax/window_names.h"
#include "test_files.h"
#include "window_probe.h"

namespace turv {
namespace {

using namespace testfiles;
using namespace authoring;

std::string binDir;
std::string workRoot;

std::wstring Utf16(const std::string& utf8) {
  return Wide(utf8, CP_UTF8);
}

// A console program started as Explorer starts it: a console of its own.
probe::Process StartLikeExplorer(const std::string& arguments,
                                 std::vector<std::pair<std::string, std::string>> environment) {
  probe::StartOptions options;
  options.arguments = arguments;
  options.environment = std::move(environment);
  options.creationFlags = CREATE_NEW_CONSOLE;
  return probe::Start(binDir + "\\karupack.exe", options);
}

// The visible top-level window of a class that a process shows.
std::optional<probe::WindowInfo> WindowOf(const probe::Process& process, const char* className,
                                          DWORD timeoutMs = 30'000) {
  return probe::WaitFor(
      [&](const probe::WindowInfo& w) {
        return w.pid == process.pid && w.visible && w.className == className;
      },
      timeoutMs);
}

// A message box's text: its longest static text.
std::wstring BoxText(HWND box) {
  std::wstring text;
  for (const auto& child : probe::Children(box)) {
    const std::wstring shown = probe::TextOfW(child.handle);
    if (child.className == "Static" && shown.size() > text.size()) text = shown;
  }
  return text;
}

class AuthoringE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    root = workRoot + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    RemoveTree(root);
    ::CreateDirectoryA(workRoot.c_str(), nullptr);
    ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr)) << root;
    folder = root + "\\Kurs";
    ::CreateDirectoryA(folder.c_str(), nullptr);
  }
  void TearDown() override {
    for (auto& p : started) {
      if (p.Running()) ::TerminateProcess(p.handle.Get(), 9);
    }
  }

  // The window opened with a double-click, packing with the recording
  // player's launcher; what it starts writes down that it ran.
  HWND OpenWindow(std::vector<std::pair<std::string, std::string>> more = {}) {
    more.insert(more.begin(), {{"TURV_LAUNCHER", binDir + "\\turv_rec.exe"},
                               {"TMP", root},
                               {"TEMP", root},
                               {"TURV_TEST_RECORD", root + "\\runs.txt"}});
    started.push_back(StartLikeExplorer("", std::move(more)));
    const auto window = WindowOf(started.back(), "TurvAuthoringWindow");
    if (!window) {
      ADD_FAILURE() << "no authoring window";
      return nullptr;
    }
    return window->handle;
  }
  // The question the window asks, answered with button; its text.
  std::wstring Answer(int button) {
    const auto box = WindowOf(started.back(), "#32770", 30'000);
    if (!box) return L"(no question)";
    const std::wstring question = BoxText(box->handle);
    probe::Press(::GetDlgItem(box->handle, button));
    probe::WaitUntil([&] { return !::IsWindow(box->handle); }, 10'000);
    return question;
  }
  static std::wstring Status(HWND window) {
    return probe::TextOfW(::GetDlgItem(window, kStatusText));
  }
  // Waits until the status line holds text; the line then.
  static std::wstring WaitForStatus(HWND window, const std::string& text, DWORD ms = 60'000) {
    probe::WaitUntil([&] { return Status(window).find(Utf16(text)) != std::wstring::npos; }, ms);
    return Status(window);
  }
  // The folder typed into its field, and read once the typing pauses.
  static std::vector<std::vector<std::wstring>> TypeFolder(HWND window, const std::string& path) {
    EXPECT_TRUE(probe::TypeText(::GetDlgItem(window, kFolderEdit), Utf16(path)));
    WaitForStatus(window, "Dateien: ", 10'000);
    return probe::ListViewRows(::GetDlgItem(window, kFileList));
  }

  std::string root, folder;
  std::vector<probe::Process> started;
};

TEST_F(AuthoringE2E, ADoubleClickOpensTheWindowWhichPacksAsTheCommandLineDoes) {
  std::mt19937 random(5);
  Bytes picture(300'000);
  for (auto& b : picture) b = static_cast<std::uint8_t>(random());
  WriteBytes(folder + "\\02 Bild.bmp", picture);
  WriteBytes(folder + "\\01 Einleitung.txt", {'H', 'a', 'l', 'l', 'o'});
  const std::string package = root + "\\Kurs.exe";
  const Bytes stranger = {'k', 'e', 'i', 'n', ' ', 'P', 'a', 'k', 'e', 't'};
  WriteBytes(package, stranger);

  HWND window = OpenWindow();
  ASSERT_NE(window, nullptr);
  // The console Windows gave the program is gone: only the window stands.
  EXPECT_TRUE(probe::WaitUntil(
      [] {
        const auto all = probe::TopLevel();
        return std::none_of(all.begin(), all.end(), [](const probe::WindowInfo& w) {
          return w.visible &&
                 (w.className == "WineConsoleClass" || w.className == "ConsoleWindowClass") &&
                 w.text.find("karupack") != std::string::npos;
        });
      },
      5'000));

  const auto rows = TypeFolder(window, folder);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][kFileColumn], L"01 Einleitung.txt");
  EXPECT_EQ(rows[1][kSizeColumn], L"300.000");
  HWND list = ::GetDlgItem(window, kFileList);
  ASSERT_TRUE(probe::EditListViewLabel(list, 0, L"Die Einf\xFChrung"));
  EXPECT_EQ(probe::ListViewRows(list)[0][kCaptionColumn], L"Die Einf\xFChrung");
  ASSERT_TRUE(probe::TypeText(::GetDlgItem(window, kTitleEdit), L"Farben und Formen"));
  ASSERT_TRUE(probe::TypeText(::GetDlgItem(window, kVersionEdit), L"1.2.0"));

  // Enter packs; the file there is no package, so the window asks, and
  // "No" leaves it.
  probe::PressKey(window, VK_RETURN);
  EXPECT_NE(Answer(IDNO).find(L"\x201EKurs.exe\x201C gibt es schon"), std::wstring::npos);
  EXPECT_NE(WaitForStatus(window, "nicht ersetzt").find(L"nicht ersetzt"), std::wstring::npos);
  EXPECT_EQ(ReadBytes(package), stranger);
  probe::PressKey(window, VK_RETURN);
  Answer(IDYES);
  const std::wstring outcome = WaitForStatus(window, "ist fertig");
  EXPECT_EQ(outcome, L"\x201EKurs.exe\x201C ist fertig. Dateien: 2, zusammen 300.005 Bytes.");
  EXPECT_EQ(probe::ProgressPosition(::GetDlgItem(window, kProgressBar)), 1000);

  // The settings are in the folder, and the command line packs the same.
  EXPECT_TRUE(Exists(folder + "\\captions.txt"));
  EXPECT_TRUE(Exists(folder + "\\info.txt"));
  const std::string cli = root + "\\cli.exe";
  ASSERT_EQ(RunToEnd("\"" + binDir + "\\karupack.exe\" pack -q -l \"" + binDir +
                     "\\turv_rec.exe\" -o \"" + cli + "\" -c \"" + folder +
                     "\\captions.txt\" --info \"ProductName=Farben und Formen\" --info "
                     "FileVersion=1.2.0 \"" +
                     folder + "\\01 Einleitung.txt\" \"" + folder + "\\02 Bild.bmp\""),
            0u);
  EXPECT_EQ(ReadBytes(package), ReadBytes(cli));

  // "Testen" starts the package as a double-click does.
  probe::Press(::GetDlgItem(window, kTestButton));
  EXPECT_TRUE(probe::WaitUntil([&] { return Exists(root + "\\runs.txt"); }, 30'000))
      << "the package did not run";

  probe::PressKey(window, VK_ESCAPE);
  EXPECT_EQ(started.front().Wait(30'000), std::optional<DWORD>(0));
}

TEST_F(AuthoringE2E, AProblemFileIsShownBeforePackingAndNothingIsPacked) {
  WriteBytes(folder + "\\gut.txt", {'g'});
  const std::string tooLong = std::string(36, 'x') + ".txt";
  WriteBytes(folder + "\\" + tooLong, {'l'});
  HWND window = OpenWindow();
  ASSERT_NE(window, nullptr);
  const auto rows = TypeFolder(window, folder);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][kNoteColumn], L"");
  EXPECT_EQ(rows[1][kFileColumn], Utf16(tooLong));
  EXPECT_EQ(rows[1][kNoteColumn],
            L"Der Name ist zu lang: 40 Zeichen, h\xF6"
            L"chstens 32.");
  EXPECT_NE(Status(window).find(L"nicht verpacken lassen: 1."), std::wstring::npos);

  probe::Press(::GetDlgItem(window, kPackButton));
  ::Sleep(500);
  EXPECT_NE(Status(window).find(L"nicht verpacken lassen: 1."), std::wstring::npos);
  EXPECT_FALSE(Exists(root + "\\Kurs.exe"));
}

TEST_F(AuthoringE2E, ACancelledPackLeavesNothing) {
  WriteBytes(folder + "\\a.txt", {'a'});
  {  // 1 GiB that takes no room on the disk
    const win32::FileHandle big(::CreateFileA((folder + "\\b.bin").c_str(), GENERIC_WRITE, 0,
                                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    size.QuadPart = std::int64_t{1} << 30;
    ASSERT_TRUE(::SetFilePointerEx(big.Get(), size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(big.Get()));
  }
  HWND window = OpenWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(TypeFolder(window, folder).size(), 2u);
  HWND bar = ::GetDlgItem(window, kProgressBar);
  probe::Press(::GetDlgItem(window, kPackButton));
  ASSERT_TRUE(probe::WaitUntil([&] { return probe::ProgressPosition(bar) > 0; }, 30'000));
  // Responsive while it packs: its texts answer, and so does the button.
  EXPECT_EQ(Status(window), L"Wird verpackt \x2026");
  probe::Press(::GetDlgItem(window, kCancelButton));
  EXPECT_EQ(WaitForStatus(window, "Abgebrochen"), L"Abgebrochen. Es wurde kein Paket geschrieben.");
  EXPECT_LT(probe::ProgressPosition(bar), 1000);

  WIN32_FIND_DATAA entry;
  std::vector<std::string> left;
  HANDLE find = ::FindFirstFileA((root + "\\*").c_str(), &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    left.emplace_back(entry.cFileName);
  } while (::FindNextFileA(find, &entry));
  ::FindClose(find);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".", "..", "Kurs"}));

  // Closed while it packs, the pack is cancelled and the window closes at
  // its end, having answered meanwhile.
  probe::Press(::GetDlgItem(window, kPackButton));
  ASSERT_TRUE(probe::WaitUntil([&] { return probe::ProgressPosition(bar) > 0; }, 30'000));
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(started.back().Wait(30'000), std::optional<DWORD>(0));
  EXPECT_FALSE(Exists(root + "\\Kurs.exe"));
}

// The shell's recycle bin is not everywhere (a USB stick, a share, here a
// home whose trash cannot be made): a setting taken out there is deleted
// only when the author says so.
TEST_F(AuthoringE2E, ASettingTakenOutWhereThereIsNoRecycleBinStaysUnlessTheAuthorSaysSo) {
  WriteBytes(folder + "\\a.txt", {'a'});
  const Bytes icon = {0, 0, 1, 0};
  WriteBytes(folder + "\\icon.ico", icon);
  HWND window = OpenWindow({{"XDG_DATA_HOME", "/proc/version/no-trash"}});
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(TypeFolder(window, folder).size(), 1u);
  probe::Press(::GetDlgItem(window, kRemoveIconButton));
  probe::PressKey(window, VK_ESCAPE);
  EXPECT_NE(Answer(IDYES).find(L"noch nicht gespeichert"), std::wstring::npos);
  EXPECT_NE(Answer(IDNO).find(L"gibt es keinen Papierkorb"), std::wstring::npos);
  EXPECT_EQ(started.back().Wait(30'000), std::optional<DWORD>(0));
  EXPECT_EQ(ReadBytes(folder + "\\icon.ico"), icon);
}

// A mono 8-bit WAV of 8,000 bytes a second.
Bytes Wav(std::uint32_t milliseconds) {
  const std::uint32_t data = milliseconds * 8;
  Bytes wav = {'R',  'I',  'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V',  'E',  'f', 'm',
               't',  ' ',  16,  0,   0, 0, 1, 0, 1,   0,   0x40, 0x1F, 0,   0,
               0x40, 0x1F, 0,   0,   1, 0, 8, 0, 'd', 'a', 't',  'a'};
  for (int i = 0; i < 4; ++i) wav.push_back(static_cast<std::uint8_t>(data >> (8 * i)));
  wav.resize(wav.size() + data, 0x80);
  return wav;
}

TEST_F(AuthoringE2E, TheShowsPartSetsASlidesSecondsAndSoundAndTheMusicAsTheCommandLinePacksThem) {
  WriteBytes(folder + "\\01 Titel.bmp", {'B', 'M'});
  WriteBytes(folder + "\\01 Titel.wav", Wav(1'000));
  WriteBytes(folder + "\\02 Ende.txt", {'E'});
  WriteBytes(folder + "\\Musik.wav", Wav(3'000));
  HWND window = OpenWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(TypeFolder(window, folder).size(), 4u);
  HWND list = ::GetDlgItem(window, kFileList);

  // The first slide is selected: its seconds typed as a German types them,
  // its sound the one named like it, offered first.
  ASSERT_TRUE(probe::TypeText(::GetDlgItem(window, kEntrySecondsEdit), L"2,5"));
  probe::PressKey(::GetDlgItem(window, kEntrySoundCombo), VK_DOWN);
  probe::PressKey(::GetDlgItem(window, kMusicCombo), VK_DOWN);  // (keine), 01 Titel.wav, Musik.wav
  probe::PressKey(::GetDlgItem(window, kMusicCombo), VK_DOWN);
  ASSERT_TRUE(probe::WaitUntil(
      [&] { return probe::ListViewRows(list)[3][kSoundColumn] == L"Musik"; }, 10'000));
  const auto rows = probe::ListViewRows(list);
  EXPECT_EQ(rows[0][kSecondsColumn], L"2,5");
  EXPECT_EQ(rows[0][kSoundColumn], L"01 Titel.wav (0:01)");
  EXPECT_EQ(rows[1][kSoundColumn],
            L"Ton zu \x201E"
            L"01 Titel.bmp\x201C");
  // When the show advances by itself, a slide stands at least as long as
  // its narration.
  ASSERT_TRUE(probe::TypeText(::GetDlgItem(window, kAdvanceEdit), L"0,5"));
  ASSERT_TRUE(probe::TypeText(::GetDlgItem(window, kEntrySecondsEdit), L"0.5"));
  EXPECT_EQ(probe::ListViewRows(list)[0][kSecondsColumn], L"1 (Ton)");
  EXPECT_EQ(probe::ListViewRows(list)[2][kSecondsColumn], L"(0,5)");  // the show's

  probe::PressKey(window, VK_RETURN);
  EXPECT_NE(WaitForStatus(window, "ist fertig").find(L"Dateien: 5"), std::wstring::npos);
  EXPECT_EQ(ReadBytes(folder + "\\show.ini"), ([] {
              const std::string text =
                  "[01 Titel.bmp]\nSeconds=0.5\nSound=01 Titel.wav\n\n[Show]\nMusic=Musik.wav\n"
                  "Advance=0.5\n";
              return Bytes(text.begin(), text.end());
            }()));
  const std::string cli = root + "\\cli.exe";
  const auto in = [&](const char* name) { return " \"" + folder + "\\" + name + "\""; };
  ASSERT_EQ(RunToEnd("\"" + binDir + "\\karupack.exe\" pack -q -l \"" + binDir +
                     "\\turv_rec.exe\" -o \"" + cli + "\" --show" + in("show.ini") +
                     in("01 Titel.bmp") + in("01 Titel.wav") + in("02 Ende.txt") + in("Musik.wav")),
            0u);
  EXPECT_EQ(ReadBytes(root + "\\Kurs.exe"), ReadBytes(cli));
  probe::PressKey(window, VK_ESCAPE);
  EXPECT_EQ(started.front().Wait(30'000), std::optional<DWORD>(0));
}

// "Probelauf": the package's show opens at once (with the real launcher and
// player), the author steps through it, and the window offers the times.
TEST_F(AuthoringE2E, ARehearsalsTimesBecomeTheSlidesSeconds) {
  for (const char* name : {"1.txt", "2.txt", "3.txt"}) WriteBytes(folder + "\\" + name, {'x'});
  HWND window = OpenWindow({{"TURV_LAUNCHER", binDir + "\\turv.exe"}});
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(TypeFolder(window, folder).size(), 3u);
  probe::PressKey(window, VK_RETURN);
  WaitForStatus(window, "ist fertig");
  probe::Press(::GetDlgItem(window, kRehearseButton));
  const auto show = probe::WaitFor(
      [](const probe::WindowInfo& w) { return w.visible && w.className == player::kShowClass; },
      60'000);
  ASSERT_TRUE(show) << "the rehearsal did not open into the show: " << probe::Utf8(Status(window))
                    << [] {
                         std::string all;
                         for (const auto& w : probe::TopLevel()) {
                           if (w.visible) all += " [" + w.className + ": " + w.text + "]";
                         }
                         return all;
                       }();
  // Each slide stands a while, the first longest; the third step ends the show.
  for (const auto& [title, ms] : {std::pair{L"1.txt", 1'500}, {L"2.txt", 300}, {L"3.txt", 300}}) {
    EXPECT_TRUE(probe::WaitUntil([&] { return probe::TextOfW(show->handle) == title; }, 10'000))
        << probe::Utf8(title);
    ::Sleep(ms);
    ::PostMessageA(show->handle, WM_KEYDOWN, VK_RIGHT, 0);
  }
  const std::wstring question = Answer(IDYES);
  EXPECT_NE(question.find(L"3 Folien"), std::wstring::npos) << probe::Utf8(question);
  EXPECT_NE(WaitForStatus(window, "bernommen: 3 Folien").find(L"bernommen: 3 Folien"),
            std::wstring::npos);
  const auto rows = probe::ListViewRows(::GetDlgItem(window, kFileList));
  ASSERT_EQ(rows.size(), 3u);
  const auto seconds = [&](std::size_t row) {  // "1,5" as the list spells it
    std::wstring text = rows[row][kSecondsColumn];
    std::replace(text.begin(), text.end(), L',', L'.');
    return text.empty() || text[0] == L'(' ? 0.0 : std::stod(text);
  };
  for (std::size_t row = 0; row < rows.size(); ++row) {
    EXPECT_EQ(rows[row][kNoteColumn], L"Sekunden aus dem Probelauf.");
    EXPECT_GE(seconds(row), row == 0 ? 1.5 : 0.3) << probe::Utf8(rows[row][kSecondsColumn]);
  }
  probe::PressKey(window, VK_ESCAPE);
  Answer(IDNO);  // the times are not saved
  EXPECT_EQ(started.front().Wait(30'000), std::optional<DWORD>(0));
}

// Explorer hands a drop over as the full paths of what was dropped.
TEST_F(AuthoringE2E, ADropLeavesAFileOfThePackagesNameThatIsNoPackageAndOpensTheWindowForTheRest) {
  WriteBytes(folder + "\\a.txt", {'a'});
  const Bytes program = ReadBytes(binDir + "\\recplayer.exe");
  WriteBytes(root + "\\Kurs.exe", program);
  started.push_back(StartLikeExplorer("\"" + folder + "\"", {}));
  const auto box = WindowOf(started.back(), "#32770");
  ASSERT_TRUE(box);
  ::Sleep(200);
  const std::wstring told = BoxText(box->handle);
  EXPECT_NE(told.find(L"Kurs was not packed: Kurs.exe beside the folder is no package karupack "
                      L"made, so it was left as it is"),
            std::wstring::npos)
      << probe::Utf8(told);
  probe::PressKey(box->handle, VK_RETURN);
  EXPECT_EQ(started.back().Wait(30'000), std::optional<DWORD>(1));
  EXPECT_EQ(ReadBytes(root + "\\Kurs.exe"), program);

  // Two things dropped: the window, saying what it takes.
  started.push_back(StartLikeExplorer("\"" + folder + "\" \"" + folder + "\\a.txt\"", {}));
  const auto window = WindowOf(started.back(), "TurvAuthoringWindow");
  ASSERT_TRUE(window);
  EXPECT_EQ(probe::TextOfW(::GetDlgItem(window->handle, kStatusText)),
            L"Auf karupack.exe l\xE4sst sich nur ein Ordner ziehen. W\xE4hlen Sie ihn hier.");
  probe::PressKey(window->handle, VK_ESCAPE);
  EXPECT_EQ(started.back().Wait(30'000), std::optional<DWORD>(0));
}

// Without a manifest a 32-bit program gets file virtualization and old
// controls, and is scaled blurry.
TEST_F(AuthoringE2E, KarupackCarriesItsManifest) {
  HMODULE file =
      ::LoadLibraryExA((binDir + "\\karupack.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(file, nullptr);
  HRSRC found = ::FindResourceA(file, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(file, found)));
  const std::string manifest(bytes, ::SizeofResource(file, found));
  ::FreeLibrary(file);
  for (const char* part :
       {"level=\"asInvoker\"", "Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
        ">PerMonitorV2, PerMonitor<", "<longPathAware", ">true/pm<"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace turv

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: turv_authoring_tests BIN_DIR WORK_DIR\n");
    return 2;
  }
  turv::binDir = turv::testfiles::WindowsPath(argv[1]);
  turv::workRoot = turv::testfiles::WindowsPath(argv[2]);
  return RUN_ALL_TESTS();
}
