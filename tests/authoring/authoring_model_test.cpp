// The authoring window's model on real folders: what it lists and refuses
// agrees with the packer, what it saves packs as a drop and the command
// line (naming the settings, or told to read them from the folder) pack
// the folder, and a pack on its own thread can be cancelled.
#include <cstdlib>
#include <random>
#include <thread>

#include "authoring/authoring_model.h"
#include "authoring/pack_job.h"
#include "fixture.h"
#include "karupack/branding.h"
#include "karupack/captions.h"
#include "karupack/karupack.h"
#include "test_icon.h"

namespace turv::authoring {
namespace {

using karupack::testing::PackerTest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

class AuthoringTest : public PackerTest {
 protected:
  // The author keeps every settings file the save would take out.
  static bool Keep(const fs::path&) { return false; }

  // Packs in-process with the test launcher; the failure's text, or "".
  std::string PackFails(std::vector<fs::path> inputs) {
    karupack::PackOptions options;
    options.output = Dir() / "probe.exe";
    options.launcher = Launcher();
    options.quiet = true;
    options.inputs = std::move(inputs);
    std::ostringstream ignored;
    try {
      karupack::Pack(options, ignored, ignored);
      return "";
    } catch (const std::exception& error) {
      return error.what();
    }
  }

  static std::vector<std::string> Names(const AuthoringModel& model) {
    std::vector<std::string> names;
    for (const FileRow& row : model.Files()) names.push_back(row.name);
    return names;
  }
};

TEST_F(AuthoringTest, ListsTheFolderAsThePackerPacksItAndWhatItWouldRefuse) {
  Write("Kurs/02 b.txt", "b");
  Write("Kurs/01 a.txt", "a");
  Write("Kurs/captions.txt", "01 a.txt\tEins\nweg.txt\tFort\n");
  Write("Kurs/info.txt", "ProductName=Mein Kurs\nProductVersion=3.0\n");
  Write("Kurs/icon.ico", testicon::Icon({{16, 0xFF'10'20'30}}));
  Write("Kurs/lumirax.exe", "MZ");
  Write("Kurs/sub/x.txt", "");
  Write("outside.txt", "secret");
  fs::create_symlink(Dir() / "outside.txt", Dir() / "Kurs/link.txt");
  // Each name the packer refuses, and how the window words it.
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"x?y.txt", "„?“, das Windows in Dateinamen verbietet"},
      {"nul.txt", "„nul.txt“ ist unter Windows ein Gerätename"},
      {std::string(29, 'l') + ".txt", "zu lang: 33 Zeichen, höchstens 32"},
      {"\xCE\xA9.txt", "„Ω“, das es in Windows-1252 nicht gibt"},
      {"ende.", "endet mit einem Punkt"},
      {"ende ", "endet mit einem Leerzeichen"},
      {"ctl\x01.txt", "Steuerzeichen"},
      {"a\u202Etxt.exe", "„\\u202E“, das es in Windows-1252 nicht gibt"},
      {"b.TXT", "Gleicher Name wie „B.txt“"},
  };
  Write("Kurs/B.txt", "B");
  for (const auto& [name, note] : refused) Write("Kurs/" + name, "x");

  AuthoringModel model(Dir() / "Kurs/");
  EXPECT_EQ(model.Folder(), Dir() / "Kurs");
  // The packer's order (UTF-8 bytes), the settings files not listed, what
  // it skips last.
  std::vector<std::string> expected = {"01 a.txt", "02 b.txt", "B.txt", "b.TXT", "link.txt"};
  for (const auto& [name, note] : refused) {
    if (name != "b.TXT") expected.push_back(name);
  }
  std::sort(expected.begin(), expected.end());
  expected.push_back("sub");
  EXPECT_EQ(Names(model), expected);
  EXPECT_EQ(model.PackedCount(), expected.size() - 1);

  std::vector<fs::path> accepted;
  for (const FileRow& row : model.Files()) {
    if (!row.refused && !row.skipped) accepted.push_back(row.path);
  }
  ASSERT_EQ(PackFails(accepted), "");
  for (const FileRow& row : model.Files()) {
    SCOPED_TRACE(row.name);
    if (row.name == "sub") {
      EXPECT_TRUE(row.skipped);
      EXPECT_EQ(row.note, "Ein Ordner; wird übersprungen.");
    } else if (row.name == "link.txt") {
      EXPECT_TRUE(row.refused);
      EXPECT_THAT(row.note, HasSubstr("Verknüpfung (auf " + (Dir() / "outside.txt").string()));
    } else if (const auto it = std::find_if(refused.begin(), refused.end(),
                                            [&](const auto& r) { return r.first == row.name; });
               it != refused.end()) {
      EXPECT_TRUE(row.refused);
      EXPECT_THAT(row.note, HasSubstr(it->second));
      std::vector<fs::path> withIt = accepted;
      withIt.push_back(row.path);
      EXPECT_NE(PackFails(withIt), "") << "the packer takes what the window refuses";
    } else {
      EXPECT_FALSE(row.refused) << row.note;
      EXPECT_EQ(row.note, "");
    }
  }
  EXPECT_EQ(model.Files()[0].Shown(), "Eins");
  EXPECT_EQ(model.Files()[1].Shown(), "02 b.txt");
  EXPECT_THAT(model.Notes(), ElementsAre("captions.txt, Zeile 2: „weg.txt“ liegt nicht im Ordner; "
                                         "die Zeile entfällt beim Speichern."));
  EXPECT_EQ(model.Blocker(),
            "Dateien, die sich so nicht verpacken lassen: 10. Der Hinweis in der Liste sagt, "
            "warum.");
  EXPECT_EQ(model.Value(Field::Title), "Mein Kurs");
  EXPECT_EQ(model.Icon(), Dir() / "Kurs/icon.ico");
  EXPECT_EQ(model.Player(), Dir() / "Kurs/lumirax.exe");
  // Nothing changed, nothing to ask about; saved, the line goes as the note said.
  EXPECT_FALSE(model.Dirty());
  ASSERT_EQ(model.Save(Keep), std::nullopt);
  EXPECT_THAT(karupack::ReadCaptions(Dir() / "Kurs/captions.txt"),
              ElementsAre(karupack::Caption{2, "01 a.txt", "Eins"}));
}

TEST_F(AuthoringTest, SavedSettingsPackAsADropAndTheCommandLinePackTheFolder) {
  const fs::path real = TURV_REAL_LAUNCHER;
  if (!fs::exists(real)) GTEST_FAIL() << real << " is missing: build the win32 preset first";
  std::mt19937 random(3);
  std::string picture(50'000, '\0');
  for (char& c : picture) c = static_cast<char>(random());
  Write("Kurs/01 a.txt", "Hallo");
  Write("Kurs/02 b.bmp", picture);
  // Half a second of narration at 8,000 bytes a second.
  std::string wav = std::string(
      "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x40\x1F\0\0"
      "\x01\0\x08\0data\xA0\x0F\0\0",
      44);
  wav.resize(wav.size() + 4'000, '\x80');
  Write("Kurs/02 b.wav", wav);
  // A show.ini written by hand, with a line the packer refuses.
  Write("Kurs/show.ini", "; Messe\n[Show]\nLoop=ja bitte\n");
  const auto icon = testicon::Icon({{16, 0xFF'10'20'30}, {32, 0xFF'C0'40'20}});
  Write("Logo.ico", icon);
  Write("Eigener Player.exe", "MZ the author's player");

  AuthoringModel model(Dir() / "Kurs");
  EXPECT_FALSE(model.Dirty());
  model.SetCaption(0, "Die Einführung");
  model.SetValue(Field::Title, "Farben und Formen");
  model.SetValue(Field::Version, "1.2.0");
  EXPECT_EQ(model.SetIcon(Dir() / "Logo.ico"), std::nullopt);
  EXPECT_THAT(model.Notes(), ElementsAre("show.ini, Zeile 3 („Loop=ja bitte“): „Loop=ja bitte“: "
                                         "erwartet wird yes oder no. Beim Speichern bleibt die "
                                         "Zeile als Kommentar stehen."));
  EXPECT_EQ(model.SoundMilliseconds("02 b.wav"), 500u);
  model.Show().Set(kShowSection, "Advance", "4");
  model.Show().Set("02 b.bmp", "Sound", "02 b.wav");
  model.Show().SetNotes("01 a.txt", {"Begrüßen"});
  EXPECT_TRUE(model.Dirty());
  std::vector<fs::path> discarded;
  const auto discard = [&](const fs::path& file) {
    discarded.push_back(file);
    return fs::remove(file);
  };
  ASSERT_EQ(model.Save(discard), std::nullopt);
  EXPECT_FALSE(model.Dirty());
  EXPECT_THAT(model.Notes(), ElementsAre("show.ini, Zeile 3 („Loop=ja bitte“) nimmt der Packer "
                                         "nicht an; sie steht jetzt als Kommentar in der Datei."));
  EXPECT_EQ(Read(Dir() / "Kurs/icon.ico"), std::string(icon.begin(), icon.end()));
  EXPECT_THAT(karupack::ReadCaptions(Dir() / "Kurs/captions.txt"),
              ElementsAre(karupack::Caption{2, "01 a.txt", "Die Einf\xFChrung"}));
  EXPECT_EQ(karupack::ReadInfoFile(Dir() / "Kurs/info.txt"),
            (karupack::InfoLines{{"ProductName", "Farben und Formen"}, {"FileVersion", "1.2.0"}}));
  EXPECT_EQ(Read(Dir() / "Kurs/show.ini"),
            "; Messe\n[Show]\n; vom Packer abgelehnt: Loop=ja bitte\nAdvance=4\n\n[02 b.bmp]\n"
            "Sound=02 b.wav\n\n[01 a.txt]\nNote=Begrüßen\n");

  // Read again, the folder says the same.
  const AuthoringModel again(Dir() / "Kurs");
  EXPECT_EQ(again.Files()[0].Shown(), "Die Einführung");
  EXPECT_EQ(again.Value(Field::Version), "1.2.0");
  EXPECT_EQ(again.Icon(), Dir() / "Kurs/icon.ico");
  EXPECT_THAT(Names(again), ElementsAre("01 a.txt", "02 b.bmp", "02 b.wav"));
  EXPECT_THAT(again.Notes(), ::testing::IsEmpty());
  EXPECT_EQ(again.Show().UseOf("02 b.wav"), "Ton zu „02 b.bmp“");

  // The window's pack, a drop and the command line: one package.
  karupack::PackOptions options = again.Options(Dir() / "window.exe");
  options.launcher = real;
  std::ostringstream notes;
  karupack::Pack(options, notes, notes);
  ::setenv("TURV_LAUNCHER", real.c_str(), 1);
  std::string told;
  ASSERT_EQ(karupack::RunDropped(Dir() / "Kurs", told), 0) << told;
  const auto cli = Karupack(
      {"pack", "-q", "-l", real.string(), "-o", (Dir() / "cli.exe").string(), "-c",
       (Dir() / "Kurs/captions.txt").string(), "--icon", (Dir() / "Kurs/icon.ico").string(),
       "--info", "ProductName=Farben und Formen", "--info", "FileVersion=1.2.0", "--show",
       (Dir() / "Kurs/show.ini").string(), (Dir() / "Kurs/01 a.txt").string(),
       (Dir() / "Kurs/02 b.bmp").string(), (Dir() / "Kurs/02 b.wav").string()});
  ASSERT_EQ(cli.status, 0) << cli.err;
  const auto folderCli =
      Karupack({"pack", "-q", "-l", real.string(), "-o", (Dir() / "folder.exe").string(),
                "--folder-settings", (Dir() / "Kurs").string()});
  ASSERT_EQ(folderCli.status, 0) << folderCli.err;
  const std::string package = Read(Dir() / "window.exe");
  EXPECT_EQ(Read(Dir() / "Kurs.exe"), package);
  EXPECT_EQ(Read(Dir() / "cli.exe"), package);
  EXPECT_EQ(Read(Dir() / "folder.exe"), package);
  EXPECT_EQ(EntriesOf(Dir() / "window.exe").size(), 4u);  // the show's settings packed last

  // A drop again replaces the package it made.
  Write("Kurs/02 b.bmp", "changed");
  ASSERT_EQ(karupack::RunDropped(Dir() / "Kurs", told), 0) << told;
  EXPECT_NE(Read(Dir() / "Kurs.exe"), package);

  // The author's player is kept as the folder's lumirax.exe, the package's
  // player and no packed file.
  AuthoringModel own(Dir() / "Kurs");
  own.SetPlayer(Dir() / "Eigener Player.exe");
  ASSERT_EQ(own.Save(discard), std::nullopt);
  EXPECT_EQ(Read(Dir() / "Kurs/lumirax.exe"), "MZ the author's player");
  const karupack::PackOptions withPlayer = own.Options(Dir() / "x.exe");
  EXPECT_EQ(withPlayer.player, Dir() / "Kurs/lumirax.exe");
  EXPECT_THAT(withPlayer.setAside, ::testing::Contains(Dir() / "Kurs/lumirax.exe"));
  EXPECT_EQ(AuthoringModel(Dir() / "Kurs").Player(), Dir() / "Kurs/lumirax.exe");

  // Taken out again, the icon and the player go to the discard.
  AuthoringModel last(Dir() / "Kurs");
  last.RemoveIcon();
  last.SetPlayer(std::nullopt);
  ASSERT_EQ(last.Save(discard), std::nullopt);
  EXPECT_THAT(discarded, ElementsAre(Dir() / "Kurs/icon.ico", Dir() / "Kurs/lumirax.exe"));
  EXPECT_FALSE(last.Options(Dir() / "x.exe").icon.has_value());
}

TEST_F(AuthoringTest, EditsThePackerWouldRefuseAreKeptAndNamed) {
  Write("Kurs/#1.txt", "");
  Write("Kurs/a.txt", "");
  AuthoringModel model(Dir() / "Kurs");
  const std::vector<std::pair<std::string, std::string>> captions = {
      {std::string(185, 'c'), "Die Beschriftung ist zu lang: 185 Zeichen, höchstens 184."},
      {"mit\tTab", "Die Beschriftung enthält einen Tabulator oder ein Steuerzeichen."},
      {"\xCE\xA9mega", "Die Beschriftung enthält „Ω“, das es in Windows-1252 nicht gibt."},
  };
  for (const auto& [caption, note] : captions) {
    model.SetCaption(1, caption);
    EXPECT_EQ(model.Files()[1].caption, caption);
    EXPECT_TRUE(model.Files()[1].refused);
    EXPECT_EQ(model.Files()[1].note, note);
  }
  model.SetCaption(1, "a.txt");  // its own name: no caption of its own
  EXPECT_EQ(model.Files()[1].caption, "");
  EXPECT_FALSE(model.Files()[1].refused);
  model.SetCaption(0, "Eins");  // the line would read as a comment
  EXPECT_THAT(model.Files()[0].note, HasSubstr("mit „#“ beginnt"));

  model.SetValue(Field::Title, std::string(257, 't'));
  model.SetValue(Field::Company, "Mal\tschule");
  EXPECT_THAT(model.Notes(), ElementsAre("Titel ist zu lang: 257 Zeichen, höchstens 256.",
                                         "Firma enthält einen Tabulator oder ein Steuerzeichen."));
  model.SetCaption(0, "");
  EXPECT_EQ(model.Blocker(), "Titel ist zu lang: 257 Zeichen, höchstens 256.");

  // A captions file that does not read is never written over.
  Write("Kurs/captions.txt", std::string(karupack::kCaptionsFileMax + 1, '#'));
  AuthoringModel broken(Dir() / "Kurs");
  ASSERT_EQ(broken.Notes().size(), 1u);
  EXPECT_THAT(broken.Notes()[0], HasSubstr("too large for a captions file"));
  broken.SetCaption(1, "Neu");
  EXPECT_THAT(broken.Save(Keep).value_or(""), HasSubstr("captions.txt lässt sich nicht lesen"));
  EXPECT_EQ(fs::file_size(Dir() / "Kurs/captions.txt"), karupack::kCaptionsFileMax + 1);

  // Nor a show.ini: too large to read, it takes no edits.
  const std::string huge = "; " + std::string(1 << 20, 'x') + "\n";
  Write("Kurs/show.ini", huge);
  AuthoringModel large(Dir() / "Kurs");
  EXPECT_THAT(large.Notes(), ::testing::Contains(HasSubstr("show.ini lässt sich nicht lesen")));
  large.Show().Set(kShowSection, "Loop", "yes");
  EXPECT_FALSE(large.Dirty());
  ASSERT_EQ(large.Save(Keep), std::nullopt);
  EXPECT_EQ(Read(Dir() / "Kurs/show.ini"), huge);
}

// The packer refuses a captions or info file whole for one bad line: the
// window never writes one, and reads one as the rest plus that line to mend.
TEST_F(AuthoringTest, OnlyWhatThePackerTakesIsSavedAndABadLineIsMendedInTheWindow) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) Write("Kurs/" + std::string(name), "x");
  Write("Kurs/captions.txt",
        "a.txt\tEins\nb.txt\tGy\xC5\x91r\nc.txt\t" + std::string(190, 'c') + "\nohne Tabulator\n");
  Write("Kurs/info.txt",
        "ProductName=Kurs\nLegalCopyright=" + std::string(257, 'r') + "\nBogus=1\n");
  AuthoringModel model(Dir() / "Kurs");
  EXPECT_EQ(model.Files()[0].Shown(), "Eins");
  EXPECT_EQ(model.Files()[1].caption, "Gy\xC5\x91r");
  EXPECT_EQ(model.Files()[1].note,
            "Die Beschriftung enthält „\xC5\x91“, das es in Windows-1252 nicht gibt.");
  EXPECT_EQ(model.Files()[2].note, "Die Beschriftung ist zu lang: 190 Zeichen, höchstens 184.");
  EXPECT_EQ(model.Value(Field::Title), "Kurs");
  EXPECT_EQ(model.Value(Field::Copyright).size(), 257u);
  EXPECT_THAT(model.Notes(),
              ElementsAre("captions.txt, Zeile 4: no tab between the name and the caption; die "
                          "Zeile entfällt beim Speichern.",
                          HasSubstr("info.txt, Zeile 3: unknown key \"Bogus\""),
                          "Copyright ist zu lang: 257 Zeichen, höchstens 256."));

  // Saved, the good edits go in and the refused ones are named and kept.
  model.SetCaption(0, "Erste");
  model.SetValue(Field::Title, "Neu");
  EXPECT_EQ(model.Save(Keep),
            "Nicht gespeichert, weil karupack es so nicht verpacken würde: die Beschriftung von "
            "„b.txt“, die Beschriftung von „c.txt“, Copyright. Berichtigen Sie es, oder verwerfen "
            "Sie die Änderungen mit „Nein“.");
  EXPECT_TRUE(model.Dirty());
  EXPECT_THAT(karupack::ReadCaptions(Dir() / "Kurs/captions.txt"),
              ElementsAre(karupack::Caption{2, "a.txt", "Erste"}));
  EXPECT_EQ(karupack::ReadInfoFile(Dir() / "Kurs/info.txt"),
            (karupack::InfoLines{{"ProductName", "Neu"}}));

  // Mended, all of it is saved.
  model.SetCaption(1, "Gyor");
  model.SetCaption(2, "kurz");
  model.SetValue(Field::Copyright, "\xC2\xA9 2026");
  EXPECT_EQ(model.Save(Keep), std::nullopt);
  EXPECT_FALSE(model.Dirty());
  EXPECT_EQ(karupack::ReadCaptions(Dir() / "Kurs/captions.txt").size(), 3u);
  EXPECT_EQ(karupack::ReadInfoFile(Dir() / "Kurs/info.txt").size(), 2u);
}

// A replaced icon or player is as lost as a removed one: both go to the
// discard before anything takes their place, and one the author keeps
// stays the setting.
TEST_F(AuthoringTest, ASettingsFileTakenOutOrReplacedGoesToTheDiscardOrStays) {
  Write("Kurs/a.txt", "a");
  const auto oldIcon = testicon::Icon({{16, 0xFF'10'20'30}});
  const auto newIcon = testicon::Icon({{32, 0xFF'C0'40'20}});
  Write("Kurs/icon.ico", oldIcon);
  Write("Kurs/lumirax.exe", "MZ old");
  Write("Neu.ico", newIcon);
  std::vector<fs::path> asked;
  const auto keepAll = [&](const fs::path& file) {
    asked.push_back(file);
    return false;
  };
  AuthoringModel model(Dir() / "Kurs");
  ASSERT_EQ(model.SetIcon(Dir() / "Neu.ico"), std::nullopt);
  model.SetPlayer(std::nullopt);
  ASSERT_EQ(model.Save(keepAll), std::nullopt);
  EXPECT_THAT(asked, ElementsAre(Dir() / "Kurs/icon.ico", Dir() / "Kurs/lumirax.exe"));
  EXPECT_EQ(Read(Dir() / "Kurs/icon.ico"), std::string(oldIcon.begin(), oldIcon.end()));
  EXPECT_EQ(model.Icon(), Dir() / "Kurs/icon.ico");
  EXPECT_EQ(model.Player(), Dir() / "Kurs/lumirax.exe");
  EXPECT_FALSE(model.Dirty());
  EXPECT_EQ(Contents(Dir() / "Kurs").size(), 3u) << "the unused copy is left";

  // Let go, the old icon is in the bin and the new one in its place.
  fs::create_directory(Dir() / "bin");
  ASSERT_EQ(model.SetIcon(Dir() / "Neu.ico"), std::nullopt);
  ASSERT_EQ(model.Save([&](const fs::path& file) {
    fs::rename(file, Dir() / "bin" / file.filename());
    return true;
  }),
            std::nullopt);
  EXPECT_EQ(Read(Dir() / "bin/icon.ico"), std::string(oldIcon.begin(), oldIcon.end()));
  EXPECT_EQ(Read(Dir() / "Kurs/icon.ico"), std::string(newIcon.begin(), newIcon.end()));
}

// On Linux a settings file that is a link would be set aside by the
// window and refused by the pack; on Windows std::filesystem sees no
// junction: both ask the system layer, which the packer asks too.
TEST_F(AuthoringTest, ALinkInPlaceOfASettingsFileIsShownAsTheProblemItIs) {
  Write("Kurs/a.txt", "a");
  Write("elsewhere.txt", "a.txt\tGeheim\n");
  fs::create_symlink(Dir() / "elsewhere.txt", Dir() / "Kurs/captions.txt");
  const AuthoringModel model(Dir() / "Kurs");
  ASSERT_THAT(Names(model), ElementsAre("a.txt", "captions.txt"));
  EXPECT_EQ(model.Files()[0].Shown(), "a.txt");
  EXPECT_TRUE(model.Files()[1].refused);
  EXPECT_THAT(model.Files()[1].note,
              HasSubstr("Verknüpfung (auf " + (Dir() / "elsewhere.txt").string()));
  EXPECT_THAT(model.Blocker().value_or(""), HasSubstr("nicht verpacken lassen: 1"));
  EXPECT_THAT(PackFails({Dir() / "Kurs"}), HasSubstr("captions.txt: is a symbolic link"));
}

// Notes are kept to a screenful whatever the file holds.
TEST_F(AuthoringTest, NotesOfALongSettingsFileAreCappedAndCounted) {
  Write("Kurs/a.txt", "a");
  std::string lines;
  for (int i = 0; i < 30'000; ++i) lines += "weg" + std::to_string(i) + ".txt\tX\n";
  Write("Kurs/captions.txt", lines);
  const AuthoringModel model(Dir() / "Kurs");
  const auto notes = model.Notes();
  ASSERT_EQ(notes.size(), AuthoringModel::kNotesKept + 1);
  EXPECT_THAT(notes.front(), HasSubstr("Zeile 1: „weg0.txt“ liegt nicht im Ordner"));
  EXPECT_EQ(notes.back(), "… und 29.980 weitere Hinweise zu captions.txt.");
}

TEST_F(AuthoringTest, APackOnItsOwnThreadReportsProgressAndCancelledLeavesNothing) {
  Write("Kurs/a.txt", "a");
  Sparse("Kurs/b.bin", 64 << 20);
  fs::create_directories(Dir() / "out");
  const auto options = [&] {
    karupack::PackOptions o = AuthoringModel(Dir() / "Kurs").Options(Dir() / "out/Kurs.exe");
    o.launcher = Launcher();
    return o;
  };

  std::vector<std::pair<std::uint64_t, std::uint64_t>> seen;
  std::atomic<int> finished = 0;
  {
    PackJob job(
        options(), [&](std::uint64_t done, std::uint64_t total) { seen.emplace_back(done, total); },
        [&] { ++finished; });
    EXPECT_EQ(job.Wait().end, PackJob::End::Packed) << job.Wait().message;
    EXPECT_EQ(job.Wait().packed.files, 2u);
  }
  EXPECT_EQ(finished, 1);
  ASSERT_GE(seen.size(), 64u);  // at least one call per MiB
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back().first, seen.back().second);
  EXPECT_EQ(seen.back().second, fs::file_size(Dir() / "out/Kurs.exe"));

  // Cancelled half-way, nothing is left, not even the earlier package. The
  // packing thread waits at 8 MiB until the cancel is asked for.
  fs::remove(Dir() / "out/Kurs.exe");
  std::atomic<bool> halfway = false, asked = false;
  std::optional<PackJob> job;
  job.emplace(
      options(),
      [&](std::uint64_t done, std::uint64_t) {
        if (done <= (8 << 20) || halfway.exchange(true)) return;
        while (!asked) std::this_thread::yield();
      },
      [] {});
  while (!halfway) std::this_thread::yield();
  job->Cancel();
  asked = true;
  EXPECT_EQ(job->Wait().end, PackJob::End::Cancelled);
  EXPECT_TRUE(Contents(Dir() / "out").empty());

  // A failure is the packer's reason.
  Write("Kurs/nul.txt", "");
  job.emplace(options(), nullptr, nullptr);
  EXPECT_EQ(job->Wait().end, PackJob::End::Failed);
  EXPECT_THAT(job->Wait().message, HasSubstr("nul.txt: the name cannot be packed"));
}

}  // namespace
}  // namespace turv::authoring
