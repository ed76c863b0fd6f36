// Packages that carry their author's icon and version information, as a
// user on Windows sees them: the icon read back the way Explorer reads it,
// the strings as the file's properties show them, the package launched with
// the recording player; and a folder dropped on karupack.exe.
//   turv_branding_tests BIN_DIR WORK_DIR
#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "format/karu_format.h"
#include "seal/branding.h"
#include "test_files.h"
#include "test_icon.h"
#include "turv_version.h"
#include "window_probe.h"

namespace turv {
namespace {

using namespace testfiles;

std::string binDir;
std::string workRoot;

// The images of the test icon, each of its own colour.
constexpr std::uint32_t k16 = 0xFF'10'20'30, k32 = 0xFF'C0'40'20, k48 = 0xFF'20'A0'60;
const std::vector<testicon::Image> kImages = {
    {16, k16}, {32, k32}, {48, k48}, {256, 0xFF'20'80'F0, true}};

// An icon's colour bitmap: its size, and the colour in its middle as RGB.
struct Drawn {
  int width = 0, height = 0;
  COLORREF middle = 0;
};
Drawn Draw(HICON icon) {
  ICONINFO info{};
  if (icon == nullptr || !::GetIconInfo(icon, &info)) return {};
  const win32::GdiObject color(info.hbmColor), mask(info.hbmMask);
  BITMAP bitmap{};
  ::GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof header.bmiHeader;
  header.bmiHeader.biWidth = bitmap.bmWidth;
  header.bmiHeader.biHeight = -bitmap.bmHeight;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(bitmap.bmWidth * bitmap.bmHeight));
  HDC screen = ::GetDC(nullptr);
  ::GetDIBits(screen, info.hbmColor, 0, static_cast<UINT>(bitmap.bmHeight), pixels.data(), &header,
              DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  const std::uint32_t p =
      pixels[static_cast<std::size_t>(bitmap.bmHeight / 2 * bitmap.bmWidth + bitmap.bmWidth / 2)];
  return {bitmap.bmWidth, bitmap.bmHeight, RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF)};
}

COLORREF Rgb(std::uint32_t argb) {
  return RGB(argb >> 16 & 0xFF, argb >> 8 & 0xFF, argb & 0xFF);
}

// A version string as the file's properties show it: through the first
// translation the file lists.
std::wstring VersionString(const std::string& file, const wchar_t* key) {
  const std::wstring path = Wide(file);
  std::vector<std::uint8_t> block(::GetFileVersionInfoSizeW(path.c_str(), nullptr));
  if (block.empty() ||
      !::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) {
    return L"(no version information)";
  }
  WORD* translation = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length) ||
      length < 4) {
    return L"(no translation)";
  }
  wchar_t query[64];
  std::swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1], key);
  wchar_t* value = nullptr;
  if (!::VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &length)) {
    return L"(none)";
  }
  return value;
}

VS_FIXEDFILEINFO FixedInfo(const std::string& file) {
  const std::wstring path = Wide(file);
  std::vector<std::uint8_t> block(::GetFileVersionInfoSizeW(path.c_str(), nullptr));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (block.empty() ||
      !::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
      !::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) {
    return {};
  }
  return *fixed;
}

class BrandingE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    root = workRoot + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    RemoveTree(root);
    ::CreateDirectoryA(workRoot.c_str(), nullptr);
    ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr)) << root;
  }
  void TearDown() override {
    for (auto& p : started) {
      if (p.Running()) ::TerminateProcess(p.handle.Get(), 9);
    }
  }

  std::string root;
  std::vector<probe::Process> started;
};

TEST_F(BrandingE2E, APackageShowsItsIconAndVersionAndLaunchesAsAnUnbrandedOne) {
  const std::string slides = root + "\\slides";
  ::CreateDirectoryA(slides.c_str(), nullptr);
  std::mt19937 random(9);
  Bytes body(300'000);
  for (auto& b : body) b = static_cast<std::uint8_t>(random());
  WriteBytes(slides + "\\bild.bmp", body);
  WriteBytes(slides + "\\text.txt", {'H', 'a', 'l', 'l', 'o'});
  WriteBytes(root + "\\Kurs.ico", testicon::Icon(kImages));
  const std::string package = root + "\\Kurs.exe";
  // Typed as an author types it, texts beyond ASCII included.
  const std::string command = "\"" + binDir + "\\karupack.exe\" pack -q -l \"" + binDir +
                              "\\turv_rec.exe\" -o \"" + package + "\" --icon \"" + root +
                              "\\Kurs.ico\" \"--info=ProductName=Farben und Formen \xE2\x80\x93 "
                              "Grundkurs\" --info FileVersion=2.0.1 \"--info=CompanyName="
                              "Malschule Gr\xC3\xBCn\" \"" +
                              slides + "\"";
  ASSERT_EQ(RunToEnd(command), 0u);

  // The icon as Explorer takes it from the file, at both shell sizes (Wine
  // scales its small one from the 32-pixel image), and as a program loads
  // it at 16 and 48 pixels: each its own image.
  HICON large = nullptr, small = nullptr;
  ASSERT_EQ(::ExtractIconExA(package.c_str(), 0, &large, &small, 1), 2u);
  const Drawn big = Draw(large), little = Draw(small);
  ::DestroyIcon(large);
  ::DestroyIcon(small);
  EXPECT_EQ(big.width, 32);
  EXPECT_EQ(big.middle, Rgb(k32));
  EXPECT_EQ(little.width, 16);
  HMODULE file = ::LoadLibraryExA(package.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(file, nullptr);
  for (const auto& [size, colour] : {std::pair(16, k16), std::pair(48, k48)}) {
    HICON loaded =
        static_cast<HICON>(::LoadImageA(file, MAKEINTRESOURCEA(1), IMAGE_ICON, size, size, 0));
    const Drawn drawn = Draw(loaded);
    ::DestroyIcon(loaded);
    EXPECT_EQ(drawn.width, size);
    EXPECT_EQ(drawn.height, size);
    EXPECT_EQ(drawn.middle, Rgb(colour)) << size;
  }
  ::FreeLibrary(file);

  // The strings as the file's properties show them, and the numbers.
  EXPECT_EQ(VersionString(package, L"ProductName"), L"Farben und Formen \x2013 Grundkurs");
  EXPECT_EQ(VersionString(package, L"CompanyName"), L"Malschule Gr\xFCn");
  EXPECT_EQ(VersionString(package, L"FileVersion"), L"2.0.1");
  const VS_FIXEDFILEINFO fixed = FixedInfo(package);
  EXPECT_EQ(fixed.dwFileVersionMS, 0x0002'0000u);
  EXPECT_EQ(fixed.dwFileVersionLS, 0x0001'0000u);
  EXPECT_EQ(fixed.dwProductVersionMS, 0x0002'0000u);

  // Launched as a user launches it: the player and the data unpacked byte
  // for byte, the player started.
  const std::string temp = root + "\\Temp", record = root + "\\runs.txt";
  ::CreateDirectoryA(temp.c_str(), nullptr);
  probe::StartOptions options;
  options.folder = root;
  options.environment = {{"TMP", temp}, {"TEMP", temp}, {"TURV_TEST_RECORD", record}};
  started.push_back(probe::Start(package, options));
  EXPECT_EQ(started.back().Wait(60'000), std::optional<DWORD>(0));
  EXPECT_EQ(ReadBytes(temp + "\\KARU\\lumirax.exe"), ReadBytes(binDir + "\\recplayer.exe"));
  const Bytes whole = ReadBytes(package);
  const auto image = seal::ReadLauncher(seal::MemorySource(whole)).ImageSize();
  EXPECT_EQ(ReadBytes(temp + "\\KARU\\karu.pqd"),
            Bytes(whole.begin() + static_cast<std::ptrdiff_t>(image), whole.end()));
  EXPECT_TRUE(probe::WaitUntil([&] { return Exists(record); }, 15'000)) << "the player did not run";
}

// One version for the project, and the project's icon where no author's is.
TEST_F(BrandingE2E, TheProgramsCarryTheProjectsVersionAndIcon) {
  for (const char* program : {"turv.exe", "karupack.exe", "lumirax.exe"}) {
    const std::string file = binDir + "\\" + program;
    EXPECT_EQ(VersionString(file, L"FileVersion"), Wide(TURV_VERSION_TEXT)) << program;
    EXPECT_EQ(VersionString(file, L"ProductVersion"), Wide(TURV_VERSION_TEXT)) << program;
  }
  for (const char* program : {"turv.exe", "karupack.exe"}) {
    HICON large = nullptr;
    EXPECT_EQ(::ExtractIconExA((binDir + "\\" + program).c_str(), 0, &large, nullptr, 1), 1u)
        << program;
    // The play sign's white in the middle of the slate.
    EXPECT_EQ(Draw(large).middle, RGB(255, 255, 255)) << program;
    ::DestroyIcon(large);
  }
}

TEST_F(BrandingE2E, AFolderDroppedOnKarupackBecomesAPackageBesideIt) {
  const std::string folder = root + "\\Mein Kurs";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  WriteBytes(folder + "\\a.txt", {'e', 'i', 'n', 's'});
  WriteBytes(folder + "\\b.txt", {'z', 'w', 'e', 'i'});
  const std::string captions = "a.txt\tDie Einf\xC3\xBChrung\n";
  WriteBytes(folder + "\\captions.txt", Bytes(captions.begin(), captions.end()));
  WriteBytes(folder + "\\icon.ico", testicon::Icon(kImages));
  const std::string info =
      "# the package's properties\r\nProductName=Mein Kurs\r\nFileVersion=1.0.1\r\n";
  WriteBytes(folder + "\\info.txt", Bytes(info.begin(), info.end()));

  // Explorer passes the folder as the one argument and gives the console
  // program a console of its own.
  const auto drop =
      [&](const std::string& dropped) -> std::pair<std::string, std::optional<DWORD>> {
    probe::StartOptions options;
    options.arguments = "\"" + dropped + "\"";
    options.creationFlags = CREATE_NEW_CONSOLE;
    started.push_back(probe::Start(binDir + "\\karupack.exe", options));
    const auto& karupack = started.back();
    const auto box = probe::WaitFor(
        [&](const probe::WindowInfo& w) {
          return w.pid == karupack.pid && w.visible && w.className == "#32770";
        },
        60'000);
    if (!box) return {"(no message box)", karupack.Wait(0)};
    ::Sleep(200);
    std::string text;
    for (const auto& c : probe::Children(box->handle)) {
      if (c.className == "Static" && c.text.size() > text.size()) text = c.text;
    }
    EXPECT_EQ(box->text, "karupack");
    probe::PressKey(box->handle, VK_RETURN);
    return {text, karupack.Wait(30'000)};
  };

  const auto [told, status] = drop(folder);
  EXPECT_EQ(status, std::optional<DWORD>(0)) << told;
  EXPECT_EQ(told,
            "Mein Kurs.exe is ready beside the folder Mein Kurs: 2 files, 8 bytes, with its "
            "captions, its icon, its version information.");
  const Bytes package = ReadBytes(root + "\\Mein Kurs.exe");
  ASSERT_FALSE(package.empty());
  const seal::MemorySource source(package);
  const auto start = seal::ReadLauncher(source).ImageSize();
  const auto entries = format::ParseDirectory(std::span(package).subspan(start),
                                              package.size() - start);  // the folder's files only
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "a.txt");
  EXPECT_EQ(entries[0].caption, "Die Einf\xFChrung");
  EXPECT_EQ(entries[1].name, "b.txt");
  EXPECT_EQ(seal::DescribeIcon(seal::ReadBranding(source).icon),
            "16x16 32-bit, 32x32 32-bit, 48x48 32-bit, 256x256 PNG");
  EXPECT_EQ(VersionString(root + "\\Mein Kurs.exe", L"ProductName"), L"Mein Kurs");

  // A folder karupack cannot pack: the reason, and nothing written.
  const std::string wrong = root + "\\Falsch";
  ::CreateDirectoryA(wrong.c_str(), nullptr);
  WriteBytes(wrong + "\\a.txt", {'a'});
  WriteBytes(wrong + "\\info.txt", {'C', 'o', 'l', 'o', 'r', '=', 'b', 'l', 'a', 'u'});
  const auto [reason, failed] = drop(wrong);
  EXPECT_EQ(failed, std::optional<DWORD>(1));
  EXPECT_NE(reason.find("Falsch was not packed:"), std::string::npos) << reason;
  EXPECT_NE(reason.find("info.txt: line 1: unknown key \"Color\""), std::string::npos) << reason;
  EXPECT_FALSE(Exists(root + "\\Falsch.exe"));
}

}  // namespace
}  // namespace turv

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: turv_branding_tests BIN_DIR WORK_DIR\n");
    return 2;
  }
  turv::binDir = turv::testfiles::WindowsPath(argv[1]);
  turv::workRoot = turv::testfiles::WindowsPath(argv[2]);
  return RUN_ALL_TESTS();
}
