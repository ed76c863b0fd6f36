// The work folder's place and the start-folder file's bytes.
#include "core/errors.h"
#include "core/wtools_u.h"
#include "launch_fixture.h"

namespace turv::testing {
namespace {

class WorkFolderTest : public LaunchTest {};

TEST_F(WorkFolderTest, TemporaryFoldersOfAnyLengthGetKaruWithOneBackslash) {
  const std::vector<std::string> temps = {
      "C:\\TEMP\\",
      "C:\\TEMP",
      "C:\\1234567890123456\\",    // 19 characters: fits the first ask
      "C:\\12345678901234567\\",   // 20: asked again
      "C:\\123456789012345678\\",  // 21
      "C:\\Users\\Someone With A Long Name\\AppData\\Local\\Temp\\"};
  for (const auto& temp : temps) {
    SetUp();
    W().AddFolder(temp);
    W().tempPath = temp;
    PrepareWorkDir();
    const std::string expected = StripBackslash(temp) + "\\KARU";
    EXPECT_EQ(Launch.WorkDir, expected) << temp;
    EXPECT_EQ(Launch.TempDir, StripBackslash(temp)) << temp;
    EXPECT_TRUE(W().HasFolder(expected)) << temp;
  }
}

TEST_F(WorkFolderTest, GetTempDirTrimsBlanksAndControlsAndStoresItsResult) {
  W().tempPath = " \tC:\\TEMP\\ \r\n";
  EXPECT_EQ(GetTempDir(), "C:\\TEMP");
  EXPECT_EQ(Launch.TempDir, "C:\\TEMP");
  W().tempPath.reset();  // the system call fails
  EXPECT_EQ(GetTempDir(), "");
  EXPECT_EQ(Launch.TempDir, "");
}

TEST_F(WorkFolderTest, MissingTemporaryFolderFallsBackToTheCurrentFolder) {
  W().tempPath = "C:\\NoSuchTemp\\";
  W().AddFolder("D:\\");
  W().currentFolder = "D:\\";
  PrepareWorkDir();
  EXPECT_EQ(Launch.WorkDir, "D:\\KARU");
  EXPECT_TRUE(W().HasFolder("D:\\KARU"));

  SetUp();
  W().tempPath.reset();
  PrepareWorkDir();
  EXPECT_EQ(Launch.WorkDir, "C:\\Kurs\\KARU");
}

TEST_F(WorkFolderTest, AnExistingWorkFolderIsUsedAsItIs) {
  W().AddFile(Work() + "\\notes.txt", {'h', 'i'});
  PrepareWorkDir();
  EXPECT_EQ(Launch.WorkDir, Work());
  EXPECT_EQ(W().FileBytes(Work() + "\\notes.txt"), (fake::Bytes{'h', 'i'}));
  EXPECT_TRUE(W().messages.empty());
}

TEST_F(WorkFolderTest, AQuietlyFailingCreationIsNotReportedButTheStartFolderFileFails) {
  W().failingFolders.insert(Work());
  MakePackage({});
  Start();
  ASSERT_GE(W().boxes.size(), 1u);
  EXPECT_EQ(W().boxes[0].text,
            "Datei \"" + Work() + "\\norvi.stq\" kann nicht erstellt werden. Path not found.");
  // The activation phase runs all the same and fails at the data file.
  EXPECT_EQ(W().messages, std::vector<std::string>{" DataStore-Error 1"});
  ASSERT_EQ(W().boxes.size(), 2u);
  EXPECT_EQ(W().boxes[1].text, "E/A-Fehler 103.");
}

TEST_F(WorkFolderTest, StartFolderFileHoldsTheLengthAndTheTrimmedCharacters) {
  W().AddFolder("C:\\W");
  WriteStartDirFile("C:\\W", "norvi.stq", "D:\\Kurs");
  EXPECT_EQ(W().FileBytes("C:\\W\\norvi.stq"),
            (fake::Bytes{7, 0, 0, 0, 'D', ':', '\\', 'K', 'u', 'r', 's'}));

  WriteStartDirFile("C:\\W", "norvi.stq", "");
  EXPECT_EQ(W().FileBytes("C:\\W\\norvi.stq"), (fake::Bytes{0, 0, 0, 0}));

  WriteStartDirFile("C:\\W", "norvi.stq", " \t\r\n");
  EXPECT_EQ(W().FileBytes("C:\\W\\norvi.stq"), (fake::Bytes{0, 0, 0, 0}));

  // Windows-1252 bytes pass as they are; inner blanks stay.
  WriteStartDirFile("C:\\W", "norvi.stq",
                    " C:\\Br\xFC"
                    "cke A\n");
  EXPECT_EQ(W().FileBytes("C:\\W\\norvi.stq"),
            (fake::Bytes{11, 0, 0, 0, 'C', ':', '\\', 'B', 'r', 0xFC, 'c', 'k', 'e', ' ', 'A'}));

  // An existing longer file is truncated.
  W().AddFile("C:\\W\\old.stq", fake::Bytes(100, 'x'));
  WriteStartDirFile("C:\\W", "old.stq", "C:");
  EXPECT_EQ(W().FileBytes("C:\\W\\old.stq"), (fake::Bytes{2, 0, 0, 0, 'C', ':'}));
}

TEST_F(WorkFolderTest, StartFolderFileFailuresRaiseFileStreamErrors) {
  try {
    WriteStartDirFile("C:\\Missing", "norvi.stq", "C:\\");
    FAIL() << "no error";
  } catch (const FileStreamError& e) {
    EXPECT_STREQ(e.what(),
                 "Datei \"C:\\Missing\\norvi.stq\" kann nicht erstellt werden. Path not found");
  }
  W().AddFolder("C:\\W");
  W().freeSpace = 4;
  try {
    WriteStartDirFile("C:\\W", "norvi.stq", "C:\\Kurs");
    FAIL() << "no error";
  } catch (const FileStreamError& e) {
    EXPECT_STREQ(e.what(), "Stream-Schreibfehler");
  }
}

TEST_F(WorkFolderTest, TheCreationPhaseRecordsTheStartFolderAndWritesItsFile) {
  W().AddFolder("D:\\Eigene Kurse");
  W().currentFolder = "D:\\Eigene Kurse";
  MakePackage({});
  Start();
  EXPECT_EQ(Launch.StartDir, "D:\\Eigene Kurse");
  const auto bytes = W().FileBytes(Work() + "\\norvi.stq");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(Text(*bytes), std::string("\x0F\0\0\0D:\\Eigene Kurse", 19));
}

}  // namespace
}  // namespace turv::testing
