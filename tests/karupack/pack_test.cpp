// karupack pack, run as a program: what it writes, and that every bad
// input is refused before anything is written.
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <random>
#include <thread>

#include "fixture.h"
#include "format/show_settings.h"
#include "karupack/paths.h"
#include "test_icon.h"

namespace turv::karupack::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string RandomBytes(std::size_t size) {
  std::mt19937 random(static_cast<unsigned>(size));
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  return bytes;
}

TEST_F(PackerTest, PacksFilesAndFoldersInOrderWithCaptions) {
  std::string umlauts;
  for (int i = 0; i < 32; ++i) umlauts += "\xC3\xA4";
  const std::string bild = RandomBytes(100'000);
  Write("extra/zuerst.txt", "first");
  Write("slides/intro.txt", "Hallo\n");
  Write("slides/bild.bmp", bild);
  Write(
      "slides/\xC3\x9C"
      "bersicht.txt",
      "");
  Write("slides/" + umlauts, "32");
  Write("slides/sub/tief.txt", "not packed");
  const auto captions = Write("captions.txt",
                              "\xEF\xBB\xBF# Captions\n\nintro.txt\tEinf\xC3\xBChrung\r\n"
                              "BILD.BMP\tDas Bild\n" +
                                  std::string("zuerst.txt\t") + std::string(184, 'c'));
  const fs::path package = Dir() / "out" / "Kurs.exe";
  fs::create_directories(package.parent_path());

  const Outcome packed =
      Karupack({"pack", "-o", package.string(), "-l", Launcher().string(), "-c", captions.string(),
                (Dir() / "extra/zuerst.txt").string(), (Dir() / "slides").string()});
  ASSERT_EQ(packed.status, 0) << packed.err;
  EXPECT_THAT(packed.err, HasSubstr("sub: skipped"));
  EXPECT_THAT(packed.out, HasSubstr("5 files"));
  EXPECT_EQ(fs::status(package).permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                fs::perms::others_read | fs::perms::others_exec);

  // The launcher byte for byte, but for the header checksum of the package.
  const std::string bytes = Read(package);
  std::string launcher = Read(Launcher());
  const auto checksumAt = seal::ReadLauncher(seal::FileSource(Launcher())).checksumOffset;
  launcher.replace(checksumAt, 4, bytes, checksumAt, 4);
  EXPECT_TRUE(bytes.substr(0, launcher.size()) == launcher) << "the launcher part differs";
  const auto entries = EntriesOf(package);
  ASSERT_EQ(entries.size(), 5u);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"zuerst.txt", std::string(184, 'c')},
      {"bild.bmp", "Das Bild"},
      {"intro.txt", "Einf\xFChrung"},
      {"\xDC"
       "bersicht.txt",
       "\xDC"
       "bersicht.txt"},
      {std::string(32, '\xE4'), std::string(32, '\xE4')}};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, expected[i].first) << i;
    EXPECT_EQ(entries[i].caption, expected[i].second) << i;
  }
  EXPECT_EQ(bytes.substr(launcher.size() + static_cast<std::size_t>(entries[1].position), 100'000),
            bild);
  EXPECT_EQ(bytes.size(), launcher.size() + format::kDirectorySize + 5 + 100'000 + 6 + 0 + 2);
}

TEST_F(PackerTest, ListsExtractsAndVerifiesWhatItPacked) {
  Write("slides/intro.txt", "Hallo\n");
  Write("slides/bild.bmp", RandomBytes(70'000));
  const auto captions = Write("c.txt", "intro.txt\tEinf\xC3\xBChrung\n");
  const fs::path package = Dir() / "Kurs.exe";
  ASSERT_EQ(Karupack({"pack", "-q", "-l", Launcher().string(), "-c", captions.string(), "-o",
                      package.string(), (Dir() / "slides").string()})
                .status,
            0);

  const Outcome list = Karupack({"list", package.string()});
  ASSERT_EQ(list.status, 0) << list.err;
  const std::string files =
      "name       caption      size  position\n"
      "bild.bmp   bild.bmp    70000    672224\n"
      "intro.txt  Einf\xC3\xBChrung      6    742224\n"
      "total      2 files     70006\n";
  EXPECT_EQ(list.out, files + "player: 5000 bytes, not a Windows program (no MZ header)\n");

  const Outcome verify = Karupack({"verify", package.string()});
  EXPECT_EQ(verify.status, 0) << verify.err;
  EXPECT_THAT(verify.out, HasSubstr("OK"));

  const fs::path into = Dir() / "new" / "folder";
  const Outcome extract = Karupack({"extract", package.string(), "-C", into.string()});
  ASSERT_EQ(extract.status, 0) << extract.err;
  EXPECT_EQ(Contents(into), Contents(Dir() / "slides"));

  // The data file alone, as the launcher writes it, reads the same.
  const std::string bytes = Read(package);
  const fs::path data = Write("karu.pqd", bytes.substr(Read(Launcher()).size()));
  const Outcome listData = Karupack({"list", data.string()});
  EXPECT_EQ(listData.out, files);
  EXPECT_THAT(Karupack({"verify", data.string()}), FailedWith("not a package"));
}

TEST_F(PackerTest, TakesTheLauncherFromTheEnvironment) {
  Write("in/a.txt", "a");
  const fs::path package = Dir() / "Kurs.exe";
  const std::vector<std::string> args = {"pack", "-q", "-o", package.string(),
                                         (Dir() / "in").string()};
  EXPECT_EQ(Karupack(args, WithEnv("TURV_LAUNCHER=" + Launcher().string())).status, 0);
  fs::remove(package);
  const std::string missing = (Dir() / "missing.exe").string();
  EXPECT_THAT(Karupack(args, WithEnv("TURV_LAUNCHER=" + missing)), FailedWith(missing));
  EXPECT_FALSE(fs::exists(package));
}

TEST_F(PackerTest, PacksTheSameBytesWhateverTheCopyItsTimesAndTheCurrentFolder) {
  // The sample presentation copied twice, its files made in opposite orders
  // and given other times, each copy packed from its own folder.
  const fs::path sample = TURV_SAMPLE_DIR;
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(sample / "slides")) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  const auto now = fs::file_time_type::clock::now();
  std::vector<fs::path> packages;
  for (const bool second : {false, true}) {
    const fs::path copy = Dir() / (second ? "zweite Kopie" : "a");
    fs::create_directories(copy / "slides");
    if (second) std::reverse(files.begin(), files.end());
    for (std::size_t i = 0; i < files.size(); ++i) {
      const fs::path to = copy / "slides" / files[i].filename();
      fs::copy_file(files[i], to);
      fs::last_write_time(to, now - std::chrono::hours(second ? 24 * 400 + i : i));
    }
    fs::copy_file(sample / "captions.txt", copy / "captions.txt");
    fs::copy_file(sample / "icon.ico", copy / "icon.ico");
    RunOptions here;
    here.folder = copy;
    packages.push_back(copy / "Kurs.exe");
    const Outcome packed =
        Karupack({"pack", "-q", "-l", Launcher().string(), "-o", "Kurs.exe", "-c", "captions.txt",
                  "--icon", "icon.ico", "--info", "ProductName=Farben und Formen", "--info",
                  "FileVersion=1.2.3", second ? (copy / "slides").string() : "slides"},
                 here);
    ASSERT_EQ(packed.status, 0) << packed.err;
  }
  EXPECT_EQ(EntriesOf(packages[0]).size(), files.size());
  EXPECT_TRUE(Read(packages[0]) == Read(packages[1])) << "the two packages differ";
}

// The header checksum by the rule file-inspection tools check it with:
// 32-bit little-endian words added with end-around carry, the field's left
// out, folded to 16 bits, plus the file's length.
std::uint32_t IndependentChecksum(std::string file, std::size_t field) {
  const std::size_t length = file.size();
  file.append((4 - length % 4) % 4, '\0');
  std::uint64_t sum = 0;
  for (std::size_t at = 0; at < file.size(); at += 4) {
    if (at == field) continue;
    std::uint32_t word = 0;
    for (int i = 3; i >= 0; --i) word = word << 8 | static_cast<std::uint8_t>(file[at + i]);
    sum += word;
    sum = (sum & 0xFFFF'FFFF) + (sum >> 32);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  sum = (sum + (sum >> 16)) & 0xFFFF;
  return static_cast<std::uint32_t>(sum + length);
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

TEST_F(PackerTest, WritesTheHeaderChecksumOfTheWholePackage) {
  const fs::path sample = TURV_SAMPLE_DIR;
  // Three bytes first: every body behind them starts at an odd offset.
  const fs::path odd = Write("abc.txt", "abc");
  const fs::path package = Dir() / "Kurs.exe";
  const Outcome packed = Karupack(
      {"pack", "-q", "-l", TURV_REAL_LAUNCHER, "-o", package.string(), "-c",
       (sample / "captions.txt").string(), "--icon", (sample / "icon.ico").string(), "--info",
       "ProductName=Farben und Formen", odd.string(), (sample / "slides").string()});
  ASSERT_EQ(packed.status, 0) << packed.err;
  std::string bytes = Read(package);
  const auto field =
      static_cast<std::size_t>(seal::ReadLauncher(seal::FileSource(package)).checksumOffset);
  const std::uint32_t sum = IndependentChecksum(bytes, field);
  std::uint32_t stored = 0;
  for (int i = 3; i >= 0; --i) stored = stored << 8 | static_cast<std::uint8_t>(bytes[field + i]);
  EXPECT_EQ(Hex(stored), Hex(sum));
  EXPECT_THAT(Karupack({"verify", package.string()}).out,
              HasSubstr("\n  checksum: " + Hex(sum) + ", right\n"));

  // A package of an older packer: the stale checksum is reported, not refused.
  bytes.replace(field, 4, "\x12\x34\x56\x78");
  const Outcome stale = Karupack({"verify", Write("Stale.exe", bytes).string()});
  EXPECT_EQ(stale.status, 0) << stale.err;
  EXPECT_THAT(stale.out, HasSubstr("checksum: 0x78563412, stale: the file gives " + Hex(sum)));
}

// Each case: the files to pack and what the refusal must say. The folder
// "out" holds an earlier package that must stay as it was.
class RefusalTest : public PackerTest {
 protected:
  void SetUp() override {
    PackerTest::SetUp();
    Write("out/Kurs.exe", "the earlier package");
    before_ = Contents(Dir() / "out");
  }
  void ExpectRefused(const Outcome& outcome, const std::string& why) {
    EXPECT_THAT(outcome, FailedWith(why));
    ExpectNothingWritten(why);
  }
  void ExpectNothingWritten(const std::string& context) {
    EXPECT_EQ(Contents(Dir() / "out"), before_) << context;
  }
  Outcome PackFolder(const std::string& folder, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {(Dir() / folder).string()};
    args.insert(args.end(), more.begin(), more.end());
    return Pack(Output(), args);
  }
  fs::path Output() const { return Dir() / "out" / "Kurs.exe"; }

 private:
  std::map<std::string, std::string> before_;
};

// The name rules themselves are tested with the format library; here, that
// the packer applies them to names as the system spells them.
TEST_F(RefusalTest, NamesWindowsCannotHold) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string(33, 'x'), "33 characters"},
      {"Kurs \xE4\xB8\xAD.txt", "U+4E2D"},
      {"bad\xFF.txt", "not valid UTF-8"},
      {"a:b", "':'"},
      {"a\\b", "'\\'"},
      {"tab\tname", "control character"},
      {"ende.", "dot"},
      {"nul.txt", "device name"}};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string folder = "case" + std::to_string(i);
    Write(folder + "/good.txt", "good");
    Write(folder + "/" + cases[i].first, "bad");
    ExpectRefused(PackFolder(folder), cases[i].second);
  }
}

TEST_F(RefusalTest, NamesEqualButForCase) {
  Write("case/Bild.bmp", "1");
  Write("case/bild.BMP", "2");
  ExpectRefused(PackFolder("case"), "already taken");
  Write("umlaut/\xC3\x84.txt", "1");  // Ä
  Write("umlaut/\xC3\xA4.txt", "2");  // ä
  ExpectRefused(PackFolder("umlaut"), "(but for case)");
  Write("one/x.txt", "1");
  Write("two/x.txt", "2");
  ExpectRefused(PackFolder("one", {(Dir() / "two").string()}), "already taken by");
}

TEST_F(RefusalTest, BadCaptions) {
  Write("in/intro.txt", "1");
  // How single lines are read is tested with the parser; here, how the
  // captions meet the packed files.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"# long\nintro.txt\t" + std::string(185, 'c'), "line 2: the caption has 185"},
      {"intro.txt\tEinf\xC3\xBChrung\nfehlt.txt\tGibt es nicht", "line 2: \"fehlt.txt\" names no"},
      {"intro.txt\tEins\nINTRO.TXT\tZwei", "a second caption"}};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto captions = Write("captions" + std::to_string(i) + ".txt", cases[i].first);
    ExpectRefused(PackFolder("in", {"-c", captions.string()}), cases[i].second);
  }
  ExpectRefused(PackFolder("in", {"-c", (Dir() / "none.txt").string()}), "none.txt");
}

// The show's settings, however given, are one entry "show.ini" that the
// commands show as such and extract gives back for packing the folder again.
TEST_F(PackerTest, PacksTheShowSettingsAndGivesThemBack) {
  const std::string show =
      "[Show]\nAdvance=8\nLoop=ja\nMusic=musik.mp3\n[a.png]\nSeconds=0.5\nSound=a.mp3\nNote="
      "Hallo\n";
  Write("in/a.png", "png");
  Write("in/a.mp3", "mp3");
  Write("in/musik.mp3", "music");
  const fs::path settings = Write("Mein Vortrag.ini", show);
  const fs::path package = Dir() / "Kurs.exe";
  const Outcome packed = Pack(package, {"--show", settings.string(), (Dir() / "in").string()});
  ASSERT_EQ(packed.status, 0) << packed.err;
  const auto entries = EntriesOf(package);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries.back().name, "show.ini");
  EXPECT_EQ(entries.back().caption, "show.ini");

  // Packed as a plain file given last, it is the same package.
  const fs::path plain = Dir() / "plain.exe";
  ASSERT_EQ(Pack(plain, {(Dir() / "in").string(), Write("x/show.ini", show).string()}).status, 0);
  EXPECT_EQ(Read(plain), Read(package));

  const std::string summary =
      "show.ini: the show's settings: advance 8 s, 1 slide timed, 1 sound, music \"musik.mp3\", "
      "1 slide with notes, loop\n";
  EXPECT_THAT(Karupack({"list", package.string()}).out, HasSubstr("\n" + summary));
  const Outcome verify = Karupack({"verify", package.string()});
  EXPECT_EQ(verify.status, 0) << verify.err;
  EXPECT_THAT(verify.out, HasSubstr("\n  " + summary));

  const fs::path back = Dir() / "back";
  ASSERT_EQ(Karupack({"extract", package.string(), "-C", back.string()}).status, 0);
  EXPECT_EQ(Read(back / "show.ini"), show);
  const fs::path again = Dir() / "again.exe";
  const Outcome folder = Karupack({"pack", "-q", "-l", Launcher().string(), "-o", again.string(),
                                   "--folder-settings", back.string()});
  ASSERT_EQ(folder.status, 0) << folder.err;
  EXPECT_EQ(Read(again), Read(package));

  // A show.ini no packer checked (an older one's) is reported, not refused.
  std::string bytes = Read(package);
  bytes.replace(bytes.rfind("Loop=ja"), 7, "Loop=jo");
  const Outcome older = Karupack({"verify", Write("older.exe", bytes).string()});
  EXPECT_EQ(older.status, 0) << older.err;
  EXPECT_THAT(older.out, HasSubstr("show.ini: show settings the player cannot use (it runs by "
                                   "hand): line 3: \"Loop=jo\": yes or no expected\n"));
}

TEST_F(RefusalTest, ShowSettingsThatWillNotDo) {
  Write("in/a.png", "png");
  Write("in/notes.txt", "text");
  // How lines are read is tested with the reader; here, that the packer
  // refuses on any problem, naming the file and line, and checks the
  // settings against what it packs.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"[Show]\nSec\x1B[2J=5\nLoop=maybe\n", ":2: unknown key \"Sec\\x1B[2J\" (and 1 more)"},
      {"[a.png]\n[b.png]\n", ":2: no packed entry is named \"b.png\""},
      {"[A.PNG]\nSound=notes.txt\n", ":2: \"notes.txt\" is no audio file"},
      {std::string(format::kShowSettingsMax + 1, ';'), ": larger than 1 MiB (1048577 bytes)"}};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const fs::path show = Write("show" + std::to_string(i) + ".ini", cases[i].first);
    ExpectRefused(PackFolder("in", {"--show", show.string()}), show.string() + cases[i].second);
  }
  // A folder's own show.ini, taken as its settings or packed as a file.
  Write("in/show.ini", "[c.png]\n");
  ExpectRefused(Karupack({"pack", "-q", "-l", Launcher().string(), "-o", Output().string(),
                          "--folder-settings", (Dir() / "in").string()}),
                (Dir() / "in/show.ini").string() + ":1: no packed entry is named \"c.png\"");
  ExpectRefused(PackFolder("in"), "show.ini:1: no packed entry");
  Write("in/show.ini", "");
  ExpectRefused(PackFolder("in", {"--show", Write("s.ini", "").string()}),
                "in/show.ini: a second show's settings beside --show");
}

TEST_F(RefusalTest, MoreFilesThanTheDirectoryHolds) {
  for (std::size_t i = 0; i < format::kMaxEntries; ++i) Write("many/" + std::to_string(i), "");
  const fs::path fits = Dir() / "fits.exe";
  ASSERT_EQ(Pack(fits, {(Dir() / "many").string()}).status, 0);
  EXPECT_EQ(EntriesOf(fits).size(), format::kMaxEntries);
  Write("many/one-more", "");
  ExpectRefused(PackFolder("many"), "2873 files to pack; a package holds at most 2872");
}

TEST_F(RefusalTest, PackagesOf2GiBOrMore) {
  const std::uint64_t room =
      (std::uint64_t{1} << 31) - fs::file_size(Launcher()) - format::kDirectorySize;
  Sparse("big/a.bin", room / 2);
  Sparse("big/b.bin", room - room / 2);
  ExpectRefused(PackFolder("big"), "below 2 GiB");
}

TEST_F(RefusalTest, LaunchersThatWillNotDo) {
  Write("in/a.txt", "a");
  const auto pack = [&](const fs::path& launcher) {
    return Karupack(
        {"pack", "-l", launcher.string(), "-o", Output().string(), (Dir() / "in").string()});
  };
  ExpectRefused(pack(Write("unsealed.exe", MakeLauncher(5'000, false))), "not sealed");
  ExpectRefused(pack(Write("text.exe", "just text")), "not a Windows program");
  ExpectRefused(pack(Dir() / "gone.exe"), "no such launcher");
  const fs::path package = Dir() / "package.exe";
  ASSERT_EQ(Pack(package, {(Dir() / "in").string()}).status, 0);
  ExpectRefused(pack(package), "does not match the file size");
}

TEST_F(RefusalTest, AnOutputThatIsAnInput) {
  Write("in/a.txt", "a");
  const auto packTo = [&](const fs::path& output, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"pack", "-l", Launcher().string(), "-o", output.string()};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back((Dir() / "in").string());
    return Karupack(args);
  };
  const auto unchanged = Contents(Dir() / "in");
  EXPECT_THAT(packTo(Dir() / "in" / ".." / "in" / "a.txt"), FailedWith("one of the files"));
  fs::create_hard_link(Dir() / "in" / "a.txt", Dir() / "hard.exe");
  EXPECT_THAT(packTo(Dir() / "hard.exe"), FailedWith("one of the files"));
  fs::create_symlink(Dir() / "in" / "a.txt", Dir() / "soft.exe");
  EXPECT_THAT(packTo(Dir() / "soft.exe"), FailedWith("one of the files"));
  EXPECT_EQ(Contents(Dir() / "in"), unchanged);

  const std::string launcher = Read(Launcher());
  EXPECT_THAT(packTo(Launcher()), FailedWith("is the launcher"));
  EXPECT_EQ(Read(Launcher()), launcher);
  const auto captions = Write("c.txt", "a.txt\tA\n");
  EXPECT_THAT(packTo(captions, {"-c", captions.string()}), FailedWith("is the captions file"));
  const auto icon = Write("x.ico", testicon::Icon({{16, 0xFF'00'00'00}}));
  const std::string iconBytes = Read(icon);
  EXPECT_THAT(packTo(icon, {"--icon", icon.string()}), FailedWith("is the icon file"));
  EXPECT_EQ(Read(icon), iconBytes);
  EXPECT_THAT(packTo(Dir() / "in"), FailedWith("is a folder"));
  ExpectRefused(packTo(Output(), {(Dir() / "missing").string()}), "no such file or folder");
}

// The package takes the output's place by a rename: a pipe or a device
// there (or a link to one) would be replaced by a regular file. A link to
// a regular file is replaced itself; what it points to stays as it was.
TEST_F(RefusalTest, AnOutputThatIsNoRegularFile) {
  Write("in/a.txt", "a");
  const fs::path pipe = Dir() / "out" / "pipe.exe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_THAT(Pack(pipe, {(Dir() / "in").string()}), FailedWith("pipe.exe: is a named pipe"));
  fs::create_symlink(pipe, Dir() / "to-pipe.exe");
  EXPECT_THAT(Pack(Dir() / "to-pipe.exe", {(Dir() / "in").string()}),
              FailedWith("is a named pipe"));
  EXPECT_TRUE(fs::is_fifo(pipe));

  const fs::path target = Write("elsewhere.exe", "keep me");
  const fs::path link = Dir() / "link.exe";
  fs::create_symlink(target, link);
  ASSERT_EQ(Pack(link, {(Dir() / "in").string()}).status, 0);
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(EntriesOf(link).size(), 1u);
  EXPECT_EQ(Read(target), "keep me");
}

// A package is made as a compiler makes its output, under a name that fits
// wherever the output's does, and is on the disk before it takes the
// output's place: a crash never leaves the name on a file cut short.
TEST_F(PackerTest, PutsItsOutputsInPlaceAsACompilerDoes) {
  Write("in/a.txt", "a");
  Write("in/b.txt", "b");
  const std::string in = (Dir() / "in").string();
  RunOptions strict;
  strict.umask = 077;
  const auto mode = [](const fs::path& file) { return fs::status(file).permissions(); };
  const fs::path package = Dir() / "Kurs.exe";
  const std::vector<std::string> pack = {"pack",           "-q", "-l", Launcher().string(), "-o",
                                         package.string(), in};
  ASSERT_EQ(Karupack(pack, strict).status, 0);
  EXPECT_EQ(mode(package), fs::perms::owner_all);
  fs::permissions(package, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(Karupack(pack, strict).status, 0);
  EXPECT_EQ(mode(package), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  const fs::path out = Dir() / "out";
  const std::vector<std::string> extract = {"extract", package.string(), "-C", out.string()};
  ASSERT_EQ(Karupack(extract, strict).status, 0);
  EXPECT_EQ(mode(out / "a.txt"), fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(out / "a.txt", fs::perms::owner_all);
  ASSERT_EQ(Karupack(extract, strict).status, 0);
  EXPECT_EQ(mode(out / "a.txt"), fs::perms::owner_all);

  // 255 bytes, the longest name Linux holds.
  const fs::path longest = Dir() / (std::string(251, 'k') + ".exe");
  EXPECT_EQ(Pack(longest, {in}).status, 0);
  EXPECT_EQ(EntriesOf(longest).size(), 2u);

  // Each file on the disk before its rename, the folder once after the last.
  if (!HaveTool("strace")) GTEST_SKIP() << "strace is needed (scripts/setup installs it)";
  const auto flushedInOrder = [&](const std::vector<std::string>& args, const fs::path& folder,
                                  std::size_t files) {
    const Trace trace = Traced(args, "fsync,rename,renameat,renameat2");
    EXPECT_EQ(trace.outcome.status, 0) << trace.outcome.err;
    std::vector<std::string> calls, expected;
    for (const std::string& line : trace.lines) {
      const auto quoted = [&](std::size_t n) {
        std::size_t at = 0;
        for (std::size_t i = 0; i < 2 * n + 1; ++i) at = line.find('"', at) + 1;
        return line.substr(at, line.find('"', at) - at);
      };
      if (line.starts_with("fsync(")) {
        const auto at = line.find('<') + 1;
        calls.push_back("fsync " + line.substr(at, line.find('>') - at));
      } else if (line.starts_with("rename")) {
        calls.push_back("rename " + quoted(0) + " " + quoted(1));
        expected.push_back("fsync " + quoted(0));
        expected.push_back(calls.back());
      }
    }
    expected.push_back("fsync " + folder.string());
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(expected.size(), 2 * files + 1);
  };
  flushedInOrder(pack, Dir(), 1);
  flushedInOrder(extract, out, 2);
}

// A link inside a packed folder could lead anywhere (to the author's keys):
// it is refused, naming where it leads, unless links are to be followed. A
// link named on the command line is the author's choice, and followed.
TEST_F(RefusalTest, LinksInsideAFolder) {
  const fs::path secret = Write("home/credentials", "secret");
  Write("k2/slide.txt", "slide");
  fs::create_symlink(secret, Dir() / "k2" / "notes.txt");
  ExpectRefused(PackFolder("k2"), "k2/notes.txt: is a symbolic link to " + secret.string() +
                                      "; links inside a folder are packed only with "
                                      "--follow-links");
  fs::create_directory_symlink(Dir() / "home", Dir() / "k2" / "home");
  fs::create_symlink(Dir() / "gone", Dir() / "k2" / "gone.txt");
  ExpectRefused(PackFolder("k2"), "is a symbolic link to");

  const Outcome followed = PackFolder("k2", {"--follow-links"});
  ASSERT_EQ(followed.status, 0) << followed.err;
  EXPECT_THAT(followed.err, HasSubstr("k2/home: skipped"));
  EXPECT_THAT(followed.err, HasSubstr("k2/gone.txt: skipped"));
  const auto entries = EntriesOf(Output());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "notes.txt");
  EXPECT_EQ(entries[0].size, 6);

  fs::create_symlink(Dir() / "k2" / "slide.txt", Dir() / "named.txt");
  const fs::path named = Dir() / "named.exe";
  ASSERT_EQ(Pack(named, {(Dir() / "named.txt").string()}).status, 0);
  EXPECT_EQ(EntriesOf(named).at(0).name, "named.txt");
  EXPECT_EQ(EntriesOf(named).at(0).size, 5);
}

// Which files are one decides the output checks and the files set aside.
// Volumes that number no files, or number files alike, cannot tell by
// numbers: the paths decide, unless the file has several names.
TEST_F(PackerTest, TellsFilesApartWhereTheirNumbersCannot) {
  const fs::path a = Write("a.txt", "a"), b = Write("b.txt", "b"), link = Dir() / "link.txt";
  fs::create_symlink(a, link);
  const auto id = [](const fs::path& path, std::uint64_t index, std::uint64_t links) {
    return FileId{1, index, links, path};
  };
  EXPECT_FALSE(SameFile(id(a, 7, 1), id(b, 7, 1)));  // numbered alike
  EXPECT_FALSE(SameFile(id(a, 0, 1), id(b, 0, 1)));  // not numbered
  EXPECT_TRUE(SameFile(id(a, 0, 1), id(link, 0, 1)));
  EXPECT_TRUE(SameFile(id(a, 7, 2), id(b, 7, 2)));  // two names of one file
  EXPECT_FALSE(SameFile(id(a, 7, 1), id(link, 8, 1)));
  EXPECT_TRUE(SameFile(*IdentityOf(a), *IdentityOf(link)));
  EXPECT_FALSE(SameFile(*IdentityOf(a), *IdentityOf(b)));
}

TEST_F(PackerTest, TellsUsageErrorsFromFailures) {
  const auto usage = [](const Outcome& outcome) {
    EXPECT_EQ(outcome.status, 2) << outcome.err;
    EXPECT_THAT(outcome.err, StartsWith("karupack: "));
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
  };
  usage(Karupack({}));
  usage(Karupack({"unpack"}));
  usage(Karupack({"pack", "in"}));
  usage(Karupack({"pack", "-o", "x.exe"}));
  usage(Karupack({"pack", "-o", "x.exe", "-o", "y.exe", "in"}));
  usage(Karupack({"pack", "--fast", "-o", "x.exe", "in"}));
  usage(Karupack({"pack", "in", "-o"}));
  usage(Karupack({"pack", "-o", "x.exe", "--folder-settings", "a", "b"}));
  usage(Karupack({"pack", "-o", "x.exe", "--folder-settings", "--icon", "i.ico", "in"}));
  usage(Karupack({"pack", "-o", "x.exe", "--folder-settings", "--show", "s.ini", "in"}));
  usage(Karupack({"pack", "-o", "x.exe", "--folder-settings", "--info", "FileVersion=1", "in"}));
  usage(Karupack({"list"}));
  usage(Karupack({"list", "a", "b"}));
  usage(Karupack({"extract", "a"}));
  usage(Karupack({"verify", "-C", "x", "a"}));
  for (const std::string command : {"pack", "list", "extract", "verify"}) {
    const Outcome help = Karupack({command, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, StartsWith("usage: karupack " + command));
  }
  EXPECT_THAT(Karupack({"--help"}).out, HasSubstr("pack -o OUT.exe"));
  EXPECT_THAT(Karupack({"pack", "--help"}).out, HasSubstr("--show SHOW.ini"));
  EXPECT_FALSE(fs::exists("x.exe"));
}

// The temporary file beside the earlier package, once the pack has begun
// writing it.
bool Writing(const fs::path& folder) {
  for (const auto& e : fs::directory_iterator(folder)) {
    std::error_code gone;  // the pack may rename it meanwhile
    if (e.path().filename() != "Kurs.exe" && e.file_size(gone) > (1 << 20) && !gone) return true;
  }
  return false;
}

TEST_F(RefusalTest, AnInterruptedPackLeavesTheEarlierPackage) {
  Sparse("big/huge.bin", std::uint64_t{768} << 20);
  for (const int signal : {SIGTERM, SIGINT}) {
    Child pack({"pack", "-q", "-l", Launcher().string(), "-o", Output().string(),
                (Dir() / "big").string()});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Writing(Dir() / "out") && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(Writing(Dir() / "out")) << "the pack never got going";
    ::kill(pack.Pid(), signal);
    const Outcome outcome = pack.Wait();
    // Cleaned up, it ends as the signal asked, so that a calling script stops too.
    EXPECT_EQ(outcome.signal, signal) << outcome.status << " " << outcome.err;
    EXPECT_EQ(outcome.err, "karupack: interrupted; the unfinished file was removed\n");
    ExpectNothingWritten(strsignal(signal));
  }
}

TEST_F(RefusalTest, AFailedWriteLeavesTheEarlierPackage) {
  Sparse("big/large.bin", 4 << 20);
  const Outcome outcome = Karupack(
      {"pack", "-q", "-l", Launcher().string(), "-o", Output().string(), (Dir() / "big").string()},
      WithFileSizeLimit(2 << 20));
  ExpectRefused(outcome, Output().string() + ": cannot");
  EXPECT_THAT(outcome.err, HasSubstr("too large"));
}

TEST_F(PackerTest, PacksInConstantMemory) {
  Write("small/one.bin", RandomBytes(1 << 20));
  for (int i = 0; i < 3; ++i) Sparse("large/part" + std::to_string(i), std::uint64_t{128} << 20);
  const Outcome small = Pack(Dir() / "small.exe", {(Dir() / "small").string()});
  const Outcome large = Pack(Dir() / "large.exe", {(Dir() / "large").string()});
  ASSERT_EQ(small.status, 0) << small.err;
  ASSERT_EQ(large.status, 0) << large.err;
  EXPECT_EQ(fs::file_size(Dir() / "large.exe"),
            fs::file_size(Launcher()) + format::kDirectorySize + (std::uint64_t{384} << 20));
  RecordProperty("peak_kib_1MiB", std::to_string(small.peakKib));
  RecordProperty("peak_kib_384MiB", std::to_string(large.peakKib));
  EXPECT_LT(large.peakKib - small.peakKib, 4 * 1024)
      << "1 MiB: " << small.peakKib << " KiB, 384 MiB: " << large.peakKib << " KiB";
}

TEST_F(PackerTest, ShowsProgressOnATerminalUnlessQuiet) {
  Sparse("in/data.bin", 16 << 20);
  const std::vector<std::string> args = {"pack",
                                         "-l",
                                         Launcher().string(),
                                         "-o",
                                         (Dir() / "Kurs.exe").string(),
                                         (Dir() / "in").string()};
  const Outcome shown = Karupack(args, OnTerminal());
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_THAT(shown.err, HasSubstr("Kurs.exe ["));
  EXPECT_THAT(shown.err, HasSubstr("] 100% "));
  std::vector<std::string> quiet = args;
  quiet.insert(quiet.begin() + 1, "--quiet");
  const Outcome silent = Karupack(quiet, OnTerminal());
  ASSERT_EQ(silent.status, 0) << silent.err;
  EXPECT_EQ(silent.err, "");
  EXPECT_EQ(silent.out, "");
  // Not on a terminal: no bar either.
  EXPECT_EQ(Karupack(args).err, "");
}

}  // namespace
}  // namespace turv::karupack::testing
