// What the player decides before anything reaches the screen: where its
// files are, whether they can be trusted, and what each entry shows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "lumirax/player_model.h"
#include "lumirax/show_clock.h"

namespace turv::player {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string Utf8(const std::u16string& text) {
  return ToUtf8(text);
}

// A data file whose given pieces are held in memory and whose other bytes
// follow a pattern, so that a large file costs nothing; it counts what it is
// asked to read.
class FakeSource : public ByteSource {
 public:
  using Pieces = std::map<std::uint64_t, Bytes>;
  FakeSource(Pieces pieces, std::uint64_t size, std::uint64_t* bytesRead)
      : pieces_(std::move(pieces)), size_(size), bytesRead_(bytesRead) {}
  std::uint64_t Size() const override { return size_; }
  void ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const override {
    if (offset > size_ || into.size() > size_ - offset) {
      throw PlayerError(u"read past the end");
    }
    *bytesRead_ += into.size();
    for (std::size_t i = 0; i < into.size(); ++i) {
      into[i] = static_cast<std::uint8_t>((offset + i) * 13);
    }
    for (const auto& [at, bytes] : pieces_) {
      const std::uint64_t from = std::max(at, offset);
      const std::uint64_t to = std::min(at + bytes.size(), offset + into.size());
      for (std::uint64_t k = from; k < to; ++k) into[k - offset] = bytes[k - at];
    }
  }

 private:
  Pieces pieces_;
  std::uint64_t size_;
  std::uint64_t* bytesRead_;
};

struct File {
  std::string name;
  std::string caption;
  Bytes body;
  std::uint64_t size = 0;  // when larger than the body: patterned bytes follow
};

// A data file of the given files: the directory block and the bodies.
class Data {
 public:
  explicit Data(const std::vector<File>& files) {
    std::vector<format::Entry> entries;
    for (const File& f : files) {
      entries.push_back({f.name, f.caption,
                         static_cast<std::int64_t>(std::max<std::uint64_t>(f.size, f.body.size())),
                         0});
    }
    pieces[0] = format::BuildDirectory(entries);
    size = format::kDirectorySize;
    for (std::size_t i = 0; i < files.size(); ++i) {
      pieces[static_cast<std::uint64_t>(entries[i].position)] = files[i].body;
      size += static_cast<std::uint64_t>(entries[i].size);
    }
  }

  Presentation Open() { return Presentation(std::make_unique<FakeSource>(pieces, size, &read)); }
  // The directory and the bodies as one run of bytes (small files only).
  Bytes Flat() const {
    Bytes flat(static_cast<std::size_t>(size));
    std::uint64_t ignored = 0;
    FakeSource(pieces, size, &ignored).ReadAt(0, flat);
    return flat;
  }

  FakeSource::Pieces pieces;
  std::uint64_t size = 0;
  std::uint64_t read = 0;
};

Bytes Text(std::string_view text) {
  return {text.begin(), text.end()};
}

std::u16string Problem(const Bytes& bytes, std::uint64_t size) {
  std::uint64_t read = 0;
  try {
    Presentation(std::make_unique<FakeSource>(FakeSource::Pieces{{0, bytes}}, size, &read));
  } catch (const PlayerError& error) {
    return error.Message();
  }
  return u"(accepted)";
}

TEST(Paths, WorkFolderFollowsTheLaunchersRule) {
  EXPECT_EQ(WorkFolderByRule(u"C:\\TEMP", true, u"D:\\Kurs"), u"C:\\TEMP\\KARU");
  EXPECT_EQ(WorkFolderByRule(u"C:\\Users\\a\\AppData\\Local\\Temp\\", true, u"D:\\Kurs"),
            u"C:\\Users\\a\\AppData\\Local\\Temp\\KARU");
  EXPECT_EQ(WorkFolderByRule(u"C:\\gone", false, u"D:\\Kurs"), u"D:\\Kurs\\KARU");
  EXPECT_EQ(WorkFolderByRule(u"", false, u"C:\\"), u"C:\\KARU");
  EXPECT_EQ(JoinPath(u"C:\\", u"x"), u"C:\\x");
  EXPECT_EQ(JoinPath(u"C:\\a", u"x"), u"C:\\a\\x");
  EXPECT_EQ(StripBackslash(u""), u"");
}

TEST(Paths, StartFileIsLookedForBesideTheDataFirst) {
  // Started by the launcher: the current folder is the work folder.
  EXPECT_EQ(StartFileCandidates(u"C:\\Temp\\KARU", u"c:\\temp\\", true),
            std::vector<std::u16string>{u"C:\\Temp\\KARU\\norvi.stq"});
  // Started by hand from elsewhere.
  EXPECT_EQ(StartFileCandidates(u"D:\\Kurs", u"C:\\Temp", true),
            (std::vector<std::u16string>{u"D:\\Kurs\\norvi.stq", u"C:\\Temp\\KARU\\norvi.stq"}));
  // No temporary folder: the rule leads below the current folder.
  EXPECT_EQ(StartFileCandidates(u"D:\\", u"", false),
            (std::vector<std::u16string>{u"D:\\norvi.stq", u"D:\\KARU\\norvi.stq"}));
}

TEST(StartFile, ReadsTheLengthPrefixedFolder) {
  EXPECT_EQ(ReadStartFile(Text(std::string("\x07\0\0\0D:\\Kurs", 11))), "D:\\Kurs");
  EXPECT_EQ(ReadStartFile(Text(std::string("\0\0\0\0", 4))), "");
  EXPECT_EQ(ReadStartFile(Text(std::string("\x02\0\0\0\xC4x", 6))), "\xC4x");

  for (const std::string& bad :
       {std::string(), std::string("\x01\0\0", 3), std::string("\x08\0\0\0D:\\Kurs", 11),
        std::string("\xFF\xFF\xFF\xFF", 4), std::string("\x00\x00\x00\x80x", 5)}) {
    EXPECT_THROW(ReadStartFile(Text(bad)), PlayerError) << bad.size();
  }
}

TEST(StartFile, StatusLineNamesTheFolderOrWhyItIsUnknown) {
  EXPECT_EQ(StatusLine({StartFolder::State::Found, u"D:\\Kurs"}), u"Eigene Dateien: D:\\Kurs");
  EXPECT_THAT(Utf8(StatusLine({StartFolder::State::Missing, {}})), HasSubstr("norvi.stq fehlt"));
  EXPECT_THAT(Utf8(StatusLine({StartFolder::State::Damaged, {}})),
              HasSubstr("norvi.stq ist besch\xC3\xA4"
                        "digt"));
  EXPECT_THAT(Utf8(StatusLine({StartFolder::State::Found, u""})), HasSubstr("unbekannt"));
}

TEST(Presentation, ReadsOnlyTheDirectoryUntilABodyIsWanted) {
  Data data({{"a.txt", "Erste Folie", Text("eins")},
             {"b.bin", "Gro\xDF", {}, 3'000'000'000},  // 3 GB nobody reads at the start
             {"c.txt", "", Text("drei")}});
  const Presentation p = data.Open();
  EXPECT_EQ(data.read, format::kDirectorySize);
  ASSERT_EQ(p.Entries().size(), 3u);
  EXPECT_EQ(p.Entries()[1].caption, "Gro\xDF");
  EXPECT_EQ(ListText(p.Entries()[0]), u"Erste Folie");
  EXPECT_EQ(ListText(p.Entries()[2]), u"c.txt");  // no caption: the name

  EXPECT_EQ(p.ReadBody(0, kTextLimit), Text("eins"));
  EXPECT_EQ(p.ReadBody(0, 2), Text("ei"));
  EXPECT_EQ(p.ReadBody(2, kTextLimit), Text("drei"));
  EXPECT_EQ(p.ReadBody(1, 10).size(), 10u);
}

TEST(Presentation, CopiesABodyInPiecesOfTheGivenSize) {
  Bytes body(2'500);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<std::uint8_t>(i * 31);
  Data data({{"x.dat", "x", {}}, {"y.dat", "y", body}});
  const Presentation p = data.Open();
  Bytes copied;
  std::size_t largest = 0;
  p.CopyBody(1, 1'024, [&](std::span<const std::uint8_t> piece) {
    largest = std::max(largest, piece.size());
    copied.insert(copied.end(), piece.begin(), piece.end());
  });
  EXPECT_EQ(copied, body);
  EXPECT_EQ(largest, 1'024u);
  int calls = 0;
  p.CopyBody(0, 1'024, [&](std::span<const std::uint8_t>) { ++calls; });
  EXPECT_EQ(calls, 0);  // an empty body
}

TEST(Presentation, EveryDamageGivesTheOneGermanMessage) {
  const std::string headline =
      "Die Pr\xC3\xA4sentationsdaten (karu.pqd) fehlen oder sind besch\xC3\xA4"
      "digt: ";
  EXPECT_THAT(Utf8(Problem({}, 0)), StartsWith(headline + "Die Datei ist leer"));
  EXPECT_THAT(Utf8(Problem(Bytes(1'000), 1'000)),
              StartsWith(headline + "Die Datei ist zu kurz: 1.000 Bytes"));

  Data good({{"a.txt", "A", Text("aaaa")}, {"b.txt", "B", Text("bb")}});
  Bytes moved = good.Flat();
  moved[format::kEntrySize + format::kPositionOffset] += 1;  // entry 2's body one byte on
  EXPECT_EQ(Utf8(Problem(moved, good.size)),
            headline + "Eintrag 2: Sein Inhalt liegt nicht an seinem Platz.");

  // The file ends inside the last body.
  EXPECT_EQ(Utf8(Problem(good.Flat(), good.size - 1)), headline +
                                                           "Eintrag 2: Sein Inhalt reicht \xC3\xBC"
                                                           "ber das Ende der Datei hinaus.");

  Data none({});
  EXPECT_THAT(Utf8(Problem(none.Flat(), none.size)),
              StartsWith("Die Pr\xC3\xA4sentationsdaten (karu.pqd) enthalten keine Eintr"));
}

TEST(Presentation, BytesAfterTheLastBodyAreASignatureNotDamage) {
  Data data({{"a.txt", "A", Text("aaaa")}});
  std::uint64_t read = 0;
  const Presentation p(std::make_unique<FakeSource>(data.pieces, data.size + 9'000, &read));
  EXPECT_EQ(p.Entries().size(), 1u);
}

TEST(Kinds, TheNameDecidesWhatIsTriedFirst) {
  EXPECT_EQ(KindByName("Folie.TXT"), Kind::Text);
  EXPECT_EQ(KindByName("daten.csv"), Kind::Text);
  for (const char* picture : {"Bild.Bmp", "a.dib", "Folie1.PNG", "foto.jpg", "foto.JPEG", "f.jpe",
                              "anim.gif", "scan.tif", "scan.TIFF"}) {
    EXPECT_EQ(KindByName(picture), Kind::Picture) << picture;
  }
  for (const char* sound : {"Musik.MP3", "a.wav", "b.m4a", "c.aac", "d.wma"}) {
    EXPECT_EQ(KindByName(sound), Kind::Audio) << sound;
  }
  EXPECT_EQ(KindByName("film.mp4"), Kind::Other);  // video opens with its program
  EXPECT_EQ(KindByName("bild.webp"), Kind::Other);
  EXPECT_EQ(KindByName("bild.bmp.exe"), Kind::Other);
  EXPECT_EQ(KindByName("txt"), Kind::Other);
  EXPECT_EQ(KindByName("liesmich."), Kind::Other);
}

TEST(Views, TextPictureAudioAndOtherEntries) {
  Data data({{"folie.txt", "Folie", Text("Zeile 1\nZeile 2")},
             {"bild.png", "Bild", Text("\x89PNG")},
             {"aufgabe.html",
              "\xDC"
              "bung",
              Text("<p>12345</p>")}});
  const Presentation p = data.Open();

  const View text = PrepareView(p, 0);
  EXPECT_EQ(text.kind, Kind::Text);
  EXPECT_EQ(text.text, u"Zeile 1\r\nZeile 2");

  data.read = 0;
  EXPECT_EQ(PrepareView(p, 1).kind, Kind::Picture);
  EXPECT_EQ(data.read, 0u);  // the decoder reads the picture

  const View other = PrepareView(p, 2);
  EXPECT_EQ(other.kind, Kind::Other);
  const std::string shown = Utf8(other.text);
  EXPECT_THAT(shown, HasSubstr("aufgabe.html"));
  EXPECT_THAT(shown, HasSubstr("\xC3\x9C"
                               "bung"));
  EXPECT_THAT(shown, HasSubstr("12 Bytes"));
  EXPECT_THAT(shown, HasSubstr("Eingabetaste"));

  // A sound's body is read by the sound desk, not the view.
  Data sound({{"01 Gru\xDF.mp3", "Begr\xFC\xDFung", Text("ID3")}});
  const Presentation withSound = sound.Open();
  sound.read = 0;
  const View audio = PrepareView(withSound, 0);
  EXPECT_EQ(audio.kind, Kind::Audio);
  EXPECT_EQ(sound.read, 0u);
  EXPECT_EQ(Utf8(audio.text).rfind("Begr\xC3\xBC\xC3\x9Fung", 0), 0u);
  EXPECT_THAT(Utf8(audio.text), HasSubstr("Leertaste"));
}

TEST(Views, WhatCannotBeShownSaysWhy) {
  Data data({{"binaer.txt", "B", Text(std::string("MZ\0\0", 4))},
             {"be.txt", "U", Text(std::string("\xFE\xFF\0H\0i", 6))}});
  const View binary = PrepareView(data.Open(), 0);
  EXPECT_EQ(binary.kind, Kind::Other);
  EXPECT_THAT(Utf8(binary.text), HasSubstr("keinen reinen Text"));
  // Both orders of UTF-16 hold NUL bytes and are text all the same.
  EXPECT_EQ(PrepareView(data.Open(), 1).text, u"Hi");
}

TEST(Views, LargeEntriesAreCappedAndNeverReadWhole) {
  Data data({{"gross.txt", "T", Text("Anfang"), kTextLimit + 100},
             {"riesig.jpg", "B", {}, kImageLimit + 1}});
  const Presentation p = data.Open();

  data.read = 0;
  const View text = PrepareView(p, 0);
  EXPECT_EQ(data.read, kTextLimit);
  EXPECT_EQ(text.kind, Kind::Other);  // the pattern holds NUL bytes: not text
  // A large file of real text is shown up to the limit, saying so.
  Data plain({{"gross.txt", "T", Bytes(kTextLimit + 100, 'a')}});
  const View cut = PrepareView(plain.Open(), 0);
  ASSERT_EQ(cut.kind, Kind::Text);
  EXPECT_THAT(Utf8(cut.text.substr(kTextLimit)), HasSubstr("Gek\xC3\xBCrzt"));
  EXPECT_THAT(Utf8(cut.text.substr(kTextLimit)), HasSubstr("4.194.404 Bytes"));

  data.read = 0;
  const View image = PrepareView(p, 1);
  EXPECT_EQ(data.read, 0u);
  EXPECT_EQ(image.kind, Kind::Other);
  EXPECT_THAT(Utf8(image.text), HasSubstr("64 MiB"));
}

TEST(OpenedFiles, NamesStayOneFileInsideTheFolder) {
  const std::map<std::string, std::string> cases = {{"folie.txt", "folie.txt"},
                                                    {"..\\..\\boot.ini", ".._.._boot.ini"},
                                                    {"C:evil.exe", "C_evil.exe"},
                                                    {"a/b", "a_b"},
                                                    {"..", "_"},
                                                    {".", "_"},
                                                    {"x. . ", "x"},
                                                    {"CON", "_CON"},
                                                    {"nul.txt", "_nul.txt"},
                                                    {"Lpt1", "_Lpt1"},
                                                    {"COM\xB9.txt", "_COM\xB9.txt"},
                                                    {"ta\tb", "ta_b"},
                                                    {"\xC4pfel.txt", "\xC4pfel.txt"}};
  for (const auto& [stored, safe] : cases) EXPECT_EQ(SafeFileName(stored), safe) << stored;

  // Every single character and every pair, as a whole name.
  for (int a = 1; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      std::string name(1, static_cast<char>(a));
      if (b != 0) name += static_cast<char>(b);
      const std::string safe = SafeFileName(name);
      ASSERT_FALSE(format::NameProblem(safe)) << static_cast<int>(a) << "," << b << ": " << safe;
    }
  }

  const std::u16string path = OpenedPath(u"C:\\Temp\\KARU", "..\\..\\Windows\\win.ini");
  EXPECT_EQ(path, u"C:\\Temp\\KARU\\Dateien\\.._.._Windows_win.ini");

  // A second copy beside one its program holds open, and the copy's progress.
  EXPECT_EQ(NumberedPath(u"C:\\K.a\\Folie 1.pptx", 2), u"C:\\K.a\\Folie 1 (2).pptx");
  EXPECT_EQ(NumberedPath(u"C:\\K.a\\Liesmich", 3), u"C:\\K.a\\Liesmich (3)");
  EXPECT_EQ(NumberedPath(u"C:\\K.a\\.profil", 2), u"C:\\K.a\\.profil (2)");
  EXPECT_EQ(CopyProgress(u"film.mp4", 1'900'000'000, 2'000'000'000),
            u"\u201Efilm.mp4\u201C wird kopiert: 95 %");
  EXPECT_EQ(CopyProgress(u"leer.txt", 0, 0), u"\u201Eleer.txt\u201C wird kopiert: 100 %");
  EXPECT_EQ(SoundPath(u"C:\\Temp\\KARU", "..\\Musik?.mp3"),
            u"C:\\Temp\\KARU\\Klang\\.._Musik_.mp3");
}

}  // namespace
}  // namespace turv::player

namespace turv::player {
namespace {

TEST(ShowSettingsEntry, MissingOrDamagedSettingsLeaveAShowByHandAndSayWhy) {
  const auto read = [](std::string settings, std::u16string& problem) {
    std::vector<File> files{
        {"a.png", "", Text("x")}, {"b.txt", "", Text("y")}, {"c.mp3", "", Text("z")}};
    if (!settings.empty()) files.push_back({"SHOW.INI", "", Text(settings)});
    Data data(files);
    return ReadShow(data.Open(), problem);
  };
  std::u16string problem = u"left over";
  ShowPlan plan = read("", problem);
  ASSERT_EQ(plan.slides.size(), 3u);
  EXPECT_EQ(plan.slides[2].sound, std::optional<std::size_t>(2));  // plays on its slide
  EXPECT_EQ(problem, u"");

  plan = read("[Show]\nAdvance=2\nLopp=yes\n", problem);
  EXPECT_EQ(plan.slides.size(), 3u);           // the settings are no slide even so
  EXPECT_EQ(plan.slides[0].milliseconds, 0u);  // nothing of them is taken
  EXPECT_EQ(Utf8(problem), "show.ini ist fehlerhaft (Zeile 3), die Präsentation läuft von Hand.");

  plan = read("[Show]\nAdvance=2\n[a.png]\nSeconds=0.5\n", problem);
  EXPECT_EQ(problem, u"");
  ASSERT_EQ(plan.slides.size(), 3u);
  EXPECT_EQ(plan.slides[0].milliseconds, 500u);
  EXPECT_EQ(plan.slides[1].milliseconds, 2'000u);
}

}  // namespace
}  // namespace turv::player
