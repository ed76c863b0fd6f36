// Launches where the system's ANSI code page cannot hold every name: the
// launch reaches the real folders and files, with short names or without,
// and its text rules walk characters, not bytes.
#include <algorithm>

#include "launch_fixture.h"
#include "platform/app_texts.h"

namespace turv::testing {
namespace {

class CodePageTest : public LaunchTest {
 protected:
  // Tests without a fixture find the double's system as it was left.
  void TearDown() override { fake::Reset(); }

  // Gives every existing folder or file on the path whose name is not plain
  // ASCII a short name, as a volume with short names does.
  void GiveShortNames(const std::string& path) {
    for (std::size_t end = 3; end <= path.size(); ++end) {
      if (end < path.size() && path[end] != '\\') continue;
      const std::string prefix = path.substr(0, end);
      const std::string name = prefix.substr(prefix.rfind('\\') + 1);
      const bool plain = std::all_of(name.begin(), name.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
      if (!plain && (W().HasFolder(prefix) || W().FileBytes(prefix))) {
        W().SetShortName(prefix, "S" + std::to_string(++shortNames) + "~1");
      }
    }
  }

  // What every good launch leaves: the player and the data in the work
  // folder, the player started there, nobody told anything.
  void ExpectLaunched(const std::string& work, const fake::Bytes& data) {
    EXPECT_EQ(W().FileBytes(work + "\\lumirax.exe"), player);
    EXPECT_EQ(W().FileBytes(work + "\\karu.pqd"), data);
    EXPECT_TRUE(W().messages.empty());
    EXPECT_TRUE(W().boxes.empty());
    ASSERT_EQ(W().shellCalls.size(), 1u);
    EXPECT_EQ(W().Canonical(W().shellCalls[0].currentFolder), W().Canonical(work));
    EXPECT_TRUE(W().form.closed);
  }

  std::string StartFileText(const std::string& work) {
    const auto bytes = W().FileBytes(work + "\\norvi.stq");
    return bytes && bytes->size() >= 4 ? std::string(bytes->begin() + 4, bytes->end()) : "";
  }

  int shortNames = 0;
};

TEST_F(CodePageTest, PathsOutsideTheCodePageReachTheRealFoldersWithOrWithoutShortNames) {
  const std::string temp = "C:\\Users\\user\\AppData\\Local\\Temp";
  struct Place {
    const char* what;
    std::string package, start, temp, work;
  };
  const Place places[] = {
      {"package and start folder", "C:\\Users\\Юрий\\Kurse\\Kurs.exe", "C:\\Users\\Юрий\\Kurse",
       temp, temp + "\\KARU"},
      {"package name", "C:\\Kurse\\Курс.exe", "C:\\Kurse", temp, temp + "\\KARU"},
      // Spelled like the start folder once the code page has had them.
      {"temporary folder", "C:\\Олег\\Kurs.exe", "C:\\Олег", "C:\\Юрий", "C:\\Юрий\\KARU"},
      {"missing temporary folder", "C:\\Kurse\\Kurs.exe", "C:\\Kurse", "C:\\Users\\Юрий\\Temp",
       "C:\\Kurse\\KARU"},
  };
  for (const Place& place : places) {
    for (const bool withShortNames : {true, false}) {
      SCOPED_TRACE(std::string(place.what) + (withShortNames ? ", short names" : ", none"));
      SetUp();
      const auto data = Pattern(20'000, 4);
      MakePackage(data, place.package);
      W().AddFolder(place.start);
      W().currentFolder = place.start;
      if (place.work.starts_with(place.temp)) W().AddFolder(place.temp);
      W().tempPath = place.temp + "\\";
      if (withShortNames) {
        for (const auto& path : {place.package, place.temp}) GiveShortNames(path);
      }
      Start();

      ExpectLaunched(place.work, data);
      const std::string startFile = StartFileText(place.work);
      if (withShortNames) {
        // Plain texts throughout, and one that any program can follow.
        for (const auto& text : {Launch.StartDir, Launch.WorkDir, Launch.OwnPath}) {
          EXPECT_EQ(text.find('?'), std::string::npos) << text;
        }
        EXPECT_TRUE(W().HasFolder(startFile)) << startFile;
        EXPECT_EQ(W().Canonical(startFile), W().Canonical(place.start));
      }
    }
  }
}

TEST_F(CodePageTest, TwoByteCharactersAreNeverTakenForLettersOrBackslashes) {
  W().codePage = 932;
  const std::string hyo = "\x95\x5C";                    // 表: its second byte is "\"
  const std::string anime = "\x83\x41\x83\x6A\x83\x81";  // アニメ: ア is 0x83 "A"
  EXPECT_EQ(StripBackslash(hyo + "\\"), hyo);
  EXPECT_EQ(StripBackslash("C:\\" + hyo), "C:\\" + hyo);
  EXPECT_EQ(platform::ApplicationTitle("C:\\" + hyo + "\\" + anime + ".exe"), anime);
  EXPECT_EQ(platform::ApplicationTitle("C:\\Kurse\\" + hyo + "KU" + anime + "RS.EXE"),
            hyo + "ku" + anime + "rs");

  W().AddFolder("C:\\表");
  W().AddFolder("C:\\Temp\\表");
  W().currentFolder = "C:\\表";
  W().tempPath = "C:\\Temp\\表\\";
  const auto data = Pattern(9'000, 5);
  MakePackage(data, "C:\\表\\アニメ.EXE");
  Start();
  ExpectLaunched("C:\\Temp\\表\\KARU", data);
  EXPECT_EQ(Launch.TempDir, "C:\\Temp\\" + hyo);
  EXPECT_EQ(Launch.OwnPath, "c:\\" + hyo + "\\" + anime + ".exe");
  EXPECT_EQ(StartFileText("C:\\Temp\\表\\KARU"), "C:\\" + hyo);
}

}  // namespace
}  // namespace turv::testing
