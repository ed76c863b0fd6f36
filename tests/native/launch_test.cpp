// Whole launches on the test double: what lands in the work folder, what
// the shell is asked, what the user is told, and where a failure stops.
#include "core/texts.h"
#include "launch_fixture.h"

namespace turv::testing {
namespace {

using platform::kMbIconError;
using platform::kMbOk;

TEST_F(LaunchTest, UnpacksPlayerAndDataAndStartsThePlayerMaximisedInTheWorkFolder) {
  const auto data = Pattern(50'000, 9);
  MakePackage(data);
  Start();

  EXPECT_EQ(W().FileBytes(Work() + "\\lumirax.exe"), player);
  EXPECT_EQ(W().FileBytes(Work() + "\\karu.pqd"), data);
  ASSERT_EQ(W().shellCalls.size(), 1u);
  const auto& call = W().shellCalls[0];
  EXPECT_EQ(call.file, Work() + "\\lumirax.exe");
  EXPECT_EQ(call.parameters, "");
  EXPECT_EQ(call.folder, "");
  EXPECT_EQ(call.showMode, platform::kShowMaximized);
  EXPECT_EQ(call.currentFolder, Work());
  EXPECT_NE(call.owner, 0u);
  EXPECT_TRUE(W().messages.empty());
  EXPECT_TRUE(W().boxes.empty());
  EXPECT_TRUE(W().form.closed);
  EXPECT_EQ(Launch.DataOffset, 4'000 + 3'000);
  EXPECT_EQ(Launch.ImageBytes.Length(), 1);  // released after the copy
}

TEST_F(LaunchTest, BareLauncherWritesAnEmptyDataFileAndStillStartsThePlayer) {
  MakePackage({});
  Start();
  EXPECT_EQ(W().FileBytes(Work() + "\\karu.pqd"), fake::Bytes{});
  EXPECT_EQ(W().shellCalls.size(), 1u);
  EXPECT_TRUE(W().form.closed);
}

TEST_F(LaunchTest, NoDataFileNoFolderChangeNoStartWhenTheFileIsNoLargerThanThePlayer) {
  W().AddFile("C:\\Kurs\\Kurs.exe", fake::Bytes(player.size(), 'x'));
  Start();
  EXPECT_FALSE(Launch.HasData);
  EXPECT_FALSE(W().FileBytes(Work() + "\\karu.pqd"));
  EXPECT_EQ(W().currentFolder, "C:\\Kurs");
  EXPECT_TRUE(W().shellCalls.empty());
  EXPECT_TRUE(W().messages.empty());
  EXPECT_TRUE(W().form.closed);
}

TEST_F(LaunchTest, ReadsItsFileThroughTheLoweredPathAndCopiesToTheEntrySize) {
  MakePackage(Pattern(100, 1), "C:\\Kurs\\MEINKURS.Teil2.EXE");
  Start();
  EXPECT_EQ(Launch.OwnPath, "c:\\kurs\\meinkurs.teil2.exe");
  EXPECT_EQ(Launch.OwnSize, 7'100);
  EXPECT_EQ(Launch.ReadSize, 7'100);
}

TEST_F(LaunchTest, ActivationRunsOnceThoughEveryDialogGivesTheFocusBack) {
  W().lockedFiles.insert(W().Normalise(Work() + "\\lumirax.exe"));  // a message during the phase
  MakePackage(Pattern(10, 1));
  Start();
  EXPECT_EQ(W().messages, (std::vector<std::string>{std::string(texts::kDataStoreError),
                                                    std::string(texts::kNotExecutable)}));
  EXPECT_EQ(W().form.activations, 3);                              // shown, and after each dialog
  EXPECT_EQ(W().CallSizes("C:\\Kurs\\Kurs.exe", 'r').size(), 1u);  // one read pass
  EXPECT_EQ(W().shellCalls.size(), 1u);
}

TEST_F(LaunchTest, StartedMinimisedWithoutActivationWaitsForTheUserToRestore) {
  W().startupShowMode = platform::kShowMinNoActive;
  MakePackage(Pattern(10, 1));
  afterRun = [&] {
    EXPECT_TRUE(W().FileBytes(Work() + "\\norvi.stq"));  // the creation phase ran
    EXPECT_FALSE(W().FileBytes(Work() + "\\lumirax.exe"));
    EXPECT_TRUE(W().shellCalls.empty());
    fake::UserRestores();
  };
  Start();
  EXPECT_TRUE(W().FileBytes(Work() + "\\lumirax.exe"));
  EXPECT_EQ(W().shellCalls.size(), 1u);
  EXPECT_TRUE(W().form.closed);
}

// ---- Player extraction failures ----

TEST_F(LaunchTest, LockedPlayerKeepsTheDataOffsetAndStartsTheEarlierPlayer) {
  const auto earlier = Concat(fake::Bytes{'M', 'Z'}, Pattern(500, 4));
  W().AddFile(Work() + "\\lumirax.exe", earlier);
  W().AddFile(Work() + "\\karu.pqd", Pattern(77, 2));
  W().lockedFiles.insert(W().Normalise(Work() + "\\lumirax.exe"));
  const auto data = Pattern(20'000, 5);
  MakePackage(data);
  Start();

  EXPECT_EQ(W().messages, std::vector<std::string>{" DataStore-Error 1"});
  EXPECT_EQ(Launch.PlayerSize, 3'000);
  EXPECT_EQ(W().FileBytes(Work() + "\\karu.pqd"), data);  // not the launcher's bytes
  EXPECT_EQ(W().FileBytes(Work() + "\\lumirax.exe"), earlier);
  ASSERT_EQ(W().shellCalls.size(), 1u);
  EXPECT_EQ(W().shellCalls[0].file, Work() + "\\lumirax.exe");
  EXPECT_TRUE(W().form.closed);
}

TEST_F(LaunchTest, MissingResourceReportsAndTheStartFindsNoPlayer) {
  MakePackage(Pattern(10, 1));
  W().player.reset();
  Start();
  EXPECT_EQ(Launch.PlayerSize, 0);
  EXPECT_EQ(Launch.PlayerPath, "");
  EXPECT_EQ(Launch.DataOffset, 4'000);
  EXPECT_EQ(W().log, (std::vector<std::string>{"message:  DataStore-Error 1",
                                               "shell: " + Work() + "\\lumirax.exe",
                                               "message: Datei nicht ausf\xFChrbar !", "close"}));
}

// ---- Player start ----

TEST_F(LaunchTest, ShellResultsAtAndBelow32AreReportedAndTheWindowCloses) {
  for (const int result : {0, 2, 31, 32, 33, 42}) {
    SetUp();
    W().shellResult = result;
    MakePackage({});
    Start();
    const bool failed = result <= 32;
    EXPECT_EQ(W().messages.size(), failed ? 1u : 0u) << "result " << result;
    if (failed) {
      EXPECT_EQ(W().messages[0], texts::kNotExecutable);
    }
    EXPECT_TRUE(W().form.closed) << "result " << result;
  }
}

TEST_F(LaunchTest, AnErrorDuringTheStartShowsTheUnownedProblemBox) {
  W().shellRaises = true;
  MakePackage({});
  Start();
  ASSERT_EQ(W().boxes.size(), 1u);
  EXPECT_EQ(W().boxes[0].owner, 0u);
  EXPECT_EQ(W().boxes[0].text, "Datei nicht registriert !");
  EXPECT_EQ(W().boxes[0].caption, "Problem");
  EXPECT_EQ(W().boxes[0].flags, kMbIconError);
  EXPECT_TRUE(W().form.closed);
}

// ---- Errors that end the activation phase ----

TEST_F(LaunchTest, AnUnopenedProgramFileEndsThePhaseWithIoError103) {
  MakePackage({});
  W().lockedFiles.insert(W().Normalise("C:\\Kurs\\Kurs.exe"));
  Start();
  ASSERT_EQ(W().boxes.size(), 1u);
  EXPECT_EQ(W().boxes[0].text, "E/A-Fehler 103.");
  EXPECT_EQ(W().boxes[0].caption, "Kurs");
  EXPECT_EQ(W().boxes[0].flags, kMbOk | kMbIconError);
  EXPECT_NE(W().boxes[0].owner, 0u);
  EXPECT_TRUE(W().shellCalls.empty());
  EXPECT_FALSE(W().form.closed);  // left open until the user closes it
}

TEST_F(LaunchTest, AnUncreatableDataFileEndsThePhaseWithIoError103) {
  MakePackage(Pattern(10, 1));
  W().lockedFiles.insert(W().Normalise(Work() + "\\karu.pqd"));
  Start();
  ASSERT_EQ(W().boxes.size(), 1u);
  EXPECT_EQ(W().boxes[0].text, "E/A-Fehler 103.");
  EXPECT_TRUE(W().shellCalls.empty());
  EXPECT_EQ(W().currentFolder, "C:\\Kurs");
  EXPECT_FALSE(W().form.closed);
}

TEST_F(LaunchTest, ReadAndWriteFailuresReportTheirOwnCodes) {
  MakePackage(Pattern(10, 1));
  W().readFaults[W().Normalise("C:\\kurs\\kurs.exe")] = 5;
  Start();
  ASSERT_EQ(W().boxes.size(), 1u);
  EXPECT_EQ(W().boxes[0].text, "Dateizugriff verweigert.");

  SetUp();
  const auto data = Pattern(30'000, 6);
  MakePackage(data);
  W().freeSpace = player.size() + 4 + 7 + 2 * 8'142;  // player, start folder, two blocks
  Start();
  ASSERT_EQ(W().boxes.size(), 1u);
  EXPECT_EQ(W().boxes[0].text, "E/A-Fehler 112.");
  // What was written stays; nothing after the failing call.
  EXPECT_EQ(W().FileBytes(Work() + "\\karu.pqd"),
            fake::Bytes(data.begin(), data.begin() + 2 * 8'142));
  EXPECT_FALSE(W().form.closed);
}

TEST_F(LaunchTest, WithoutAWorkFolderTheActivationWritesNothingAndEndsWithTheFolderError) {
  // The current folder vanished: the creation phase ends at its third step.
  W().currentFolder = "C:\\Gone";
  MakePackage(Pattern(10, 1));
  Start();
  ASSERT_EQ(W().boxes.size(), 2u);
  EXPECT_EQ(W().boxes[0].text, "Datei nicht gefunden.");
  EXPECT_EQ(Launch.WorkDir, "");
  EXPECT_EQ(W().boxes[1].text, "E/A-Fehler 123.");
  EXPECT_FALSE(W().FileBytes("C:\\lumirax.exe"));
  EXPECT_FALSE(W().FileBytes("C:\\karu.pqd"));
  EXPECT_TRUE(W().shellCalls.empty());
  EXPECT_TRUE(W().messages.empty());
  EXPECT_FALSE(W().form.closed);
}

}  // namespace
}  // namespace turv::testing
