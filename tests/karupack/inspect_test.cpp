// list, extract and verify on what others may hand us: hostile names,
// damaged data, and signed packages.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "fixture.h"
#include "test_icon.h"

namespace turv::karupack::testing {
namespace {

using ::testing::HasSubstr;

// A bare data file holding the given names, each with a body of its name
// and captioned with it unless captions are given.
std::string DataFile(const std::vector<std::string>& names,
                     const std::vector<std::string>& captions = {}) {
  std::vector<format::Entry> entries;
  std::string bodies;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    entries.push_back({name, i < captions.size() ? captions[i] : name,
                       static_cast<std::int64_t>(name.size()), 0});
    bodies += name;
  }
  const auto directory = format::BuildDirectory(entries);
  return std::string(directory.begin(), directory.end()) + bodies;
}

TEST_F(PackerTest, ExtractWritesNothingForHostileNames) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"ok.txt", "../evil"}, "entry 2 (\"../evil\"): the name holds '/'"},
      {{"/tmp/evil"}, "'/'"},
      {{".."}, "no file name"},
      {{"..\\evil"}, "'\\'"},
      {{"C:evil"}, "':'"},
      {{"sub/evil"}, "'/'"},
      {{"CON"}, "device name"},
      {{"evil\x1B[2J"}, "\\x1B"},
      {{"evil."}, "dot"},
      {{"same.txt", "SAME.TXT"}, "entry 2 (\"SAME.TXT\"): the name of entry 1 again"}};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const fs::path data = Write("case" + std::to_string(i) + ".pqd", DataFile(cases[i].first));
    const fs::path into = Dir() / "into";
    const auto before = Contents(Dir());
    EXPECT_THAT(Karupack({"extract", data.string(), "-C", into.string()}),
                FailedWith(cases[i].second));
    EXPECT_EQ(Contents(Dir()), before) << "case " << i;
    EXPECT_THAT(Karupack({"verify", data.string()}), FailedWith("not a package"));
  }
  EXPECT_FALSE(fs::exists("/tmp/evil"));
}

TEST_F(PackerTest, ExtractReplacesALinkRatherThanWritingThroughIt) {
  const fs::path outside = Write("outside/secret.txt", "keep me");
  const fs::path data = Write("k.pqd", DataFile({"note.txt", "other.txt"}));
  fs::create_directories(Dir() / "into");
  fs::create_symlink(outside, Dir() / "into" / "note.txt");
  Write("into/other.txt", "an older file");
  ASSERT_EQ(Karupack({"extract", data.string(), "-C", (Dir() / "into").string()}).status, 0);
  EXPECT_EQ(Read(outside), "keep me");
  EXPECT_FALSE(fs::is_symlink(Dir() / "into" / "note.txt"));
  EXPECT_EQ(Read(Dir() / "into" / "note.txt"), "note.txt");
  EXPECT_EQ(Read(Dir() / "into" / "other.txt"), "other.txt");
  EXPECT_EQ(Contents(Dir() / "into").size(), 2u);  // no temporary files left
}

TEST_F(PackerTest, RefusesDamagedDataNamingTheEntry) {
  std::string data = DataFile({"a.txt", "b.txt", "c.txt"});
  data[2 * format::kEntrySize + format::kPositionOffset] ^= 1;
  const fs::path damaged = Write("damaged.pqd", data);
  EXPECT_THAT(Karupack({"list", damaged.string()}), FailedWith("entry 3 (\"c.txt\")"));
  const fs::path into = Dir() / "into";
  EXPECT_THAT(Karupack({"extract", damaged.string(), "-C", into.string()}), FailedWith("entry 3"));
  EXPECT_FALSE(fs::exists(into));

  const fs::path cut = Write("cut.pqd", DataFile({"a.txt"}).substr(0, 1'000));
  EXPECT_THAT(Karupack({"list", cut.string()}), FailedWith("too short for a data file"));
  EXPECT_THAT(Karupack({"list", (Dir() / "none.pqd").string()}),
              FailedWith("none.pqd: cannot open"));

  // A bare launcher has no data; a program that is no launcher is no package.
  EXPECT_THAT(Karupack({"verify", Launcher().string()}), FailedWith("no data behind the launcher"));
  const fs::path unsealed = Write("unsealed.exe", MakeLauncher(5'000, false));
  EXPECT_THAT(Karupack({"list", unsealed.string()}), FailedWith("not sealed"));
  const fs::path program = Write("other.exe", "MZ and then nothing a program needs");
  EXPECT_THAT(Karupack({"list", program.string()}), FailedWith("not a package"));
}

TEST_F(PackerTest, ExtractRefusesToReplaceTheFileItReads) {
  const std::string data = DataFile({"a.txt", "self.pqd"});
  const fs::path self = Write("self.pqd", data);
  EXPECT_THAT(Karupack({"extract", self.string(), "-C", Dir().string()}),
              FailedWith("entry 2 (\"self.pqd\"): it would replace the file being extracted"));
  EXPECT_TRUE(Read(self) == data);
  EXPECT_FALSE(fs::exists(Dir() / "a.txt"));
}

// A package bent after sealing: its headers moved behind the data, where
// there is room for more section headers, or a section's raw range changed.
class BentPackage {
 public:
  explicit BentPackage(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint32_t Get(std::size_t at, int width = 4) const {
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) {
      v = v << 8 | static_cast<std::uint8_t>(bytes_[at + static_cast<std::size_t>(i)]);
    }
    return v;
  }
  void Put(std::size_t at, std::uint32_t v, int width = 4) {
    for (int i = 0; i < width; ++i) {
      bytes_[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    }
  }
  std::size_t Pe() const { return Get(0x3C); }
  std::size_t Section(std::size_t i) const { return Pe() + 24 + Get(Pe() + 20, 2) + 40 * i; }
  void AddEmptySections(std::size_t count) {
    const std::size_t end = Section(Get(Pe() + 6, 2));
    const auto moved = static_cast<std::uint32_t>(bytes_.size());
    bytes_ += bytes_.substr(Pe(), end - Pe()) + std::string(40 * count, '\0');
    Put(0x3C, moved);
    Put(moved + 6, Get(moved + 6, 2) + static_cast<std::uint32_t>(count), 2);
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// Whatever the headers say, a program file is read in one pass: a file the
// Windows loader would refuse is refused before the seal is looked for.
TEST_F(PackerTest, RefusesProgramFilesWindowsWouldNotLoad) {
  const std::string package = Read(Launcher()) + DataFile({"a.txt"});
  const auto refused = [&](const BentPackage& bent, const std::string& why) {
    const fs::path file = Write("bent.exe", bent.Bytes());
    EXPECT_THAT(Karupack({"list", file.string()}), FailedWith("not a package: " + why));
  };
  BentPackage many(package);
  many.AddEmptySections(95);
  refused(many, "the program has 97 sections; Windows loads at most 96");
  BentPackage past(package);
  past.Put(past.Section(0) + 16, 0x1000'0000);  // the first section's raw size
  refused(past, "section 1 runs past the end of the file");
  BentPackage overlap(package);
  overlap.Put(overlap.Section(0) + 16,
              overlap.Get(overlap.Section(1) + 20) - overlap.Get(overlap.Section(0) + 20) + 1);
  refused(overlap, "sections 1 and 2 overlap in the file");
}

// A named pipe would block an ordinary open until a writer comes; a device
// may never end. Only regular files are read, and nothing waits.
TEST_F(PackerTest, RefusesInputsThatAreNoRegularFilesWithoutWaiting) {
  const fs::path pipe = Dir() / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  Write("in/a.txt", "a");
  const std::string in = (Dir() / "in").string(), out = (Dir() / "out.exe").string();
  const std::vector<std::vector<std::string>> commands = {
      {"list", pipe.string()},
      {"verify", pipe.string()},
      {"extract", pipe.string(), "-C", (Dir() / "x").string()},
      {"pack", "-l", Launcher().string(), "-c", pipe.string(), "-o", out, in},
      {"pack", "-l", pipe.string(), "-o", out, in},
      {"list", "/dev/zero"}};
  for (const auto& command : commands) {
    EXPECT_THAT(Karupack(command), FailedWith("not a regular file")) << command[0];
  }
  EXPECT_THAT(Karupack({"list", Dir().string()}), FailedWith("not a regular file (a folder)"));
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(Dir() / "x"));
}

// Each input is opened once and read through that one open file: a file
// swapped by name in between (for a pipe, say) is never read, nor waited on.
TEST_F(PackerTest, OpensEachInputOnce) {
  if (!HaveTool("strace")) GTEST_SKIP() << "strace is needed (scripts/setup installs it)";
  Write("in/a.txt", "a");
  const fs::path captions = Write("captions.txt", "a.txt\tEine Folie\n");
  const fs::path icon = Write("Kurs.ico", testicon::Icon({{16, 0xFF'00'00'00}}));
  const fs::path player = Write("player.exe", MakeProgram());
  const fs::path package = Dir() / "Kurs.exe";
  // How often the run opened each path.
  const auto opens = [&](const std::vector<std::string>& args) {
    const Trace trace = Traced(args, "open,openat");
    EXPECT_EQ(trace.outcome.status, 0) << trace.outcome.err;
    std::map<std::string, int> count;
    for (const std::string& line : trace.lines) {
      const auto start = line.find('"');
      if (start != std::string::npos)
        ++count[line.substr(start + 1, line.find('"', start + 1) - start - 1)];
    }
    return count;
  };
  auto packed = opens({"pack", "-q", "-l", Launcher().string(), "-o", package.string(), "-c",
                       captions.string(), "--icon", icon.string(), "--info", "ProductName=Kurs",
                       "--player", player.string(), (Dir() / "in").string()});
  for (const fs::path& input : {Launcher(), captions, icon, player, Dir() / "in" / "a.txt"}) {
    EXPECT_EQ(packed[input.string()], 1) << input;
  }
  for (const char* command : {"list", "verify"}) {
    EXPECT_EQ(opens({command, package.string()})[package.string()], 1) << command;
  }
}

// Whether UTF-8 text holds a control character a terminal would act on,
// line ends aside: C0, DEL, or C1 (U+0080 to U+009F).
bool HoldsControl(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if ((b < 0x20 && b != '\n') || b == 0x7F) return true;
    if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      return true;
    }
  }
  return false;
}

// Names and captions come from strangers, paths and arguments too: what
// karupack prints shows every control character escaped, and a C1 control
// in a name is refused like the others.
TEST_F(PackerTest, PrintsEveryControlCharacterEscaped) {
  const fs::path data = Write("evil.pqd", DataFile({"evil\x1B[2J.txt", "c1\x81.txt"},
                                                   {"\x9D]0;Titel\x07", "\x90\x7F\x8D\x8F"}));
  const Outcome list = Karupack({"list", data.string()});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_FALSE(HoldsControl(list.out)) << list.out;
  EXPECT_THAT(list.out, HasSubstr("evil\\x1B[2J.txt  \\u009D]0;Titel\\x07"));
  EXPECT_THAT(list.out, HasSubstr("c1\\u0081.txt     \\u0090\\x7F\\u008D\\u008F"));

  Write("esc/evil\x1B[2J.txt", "x");
  const Outcome esc = Pack(Dir() / "o.exe", {(Dir() / "esc").string()});
  EXPECT_THAT(esc, FailedWith("esc/evil\\x1B[2J.txt: the name cannot be packed: the name holds a "
                              "control character (\"\\x1B\")"));
  Write("c1/osc\xC2\x9D.txt", "x");
  EXPECT_THAT(Pack(Dir() / "o.exe", {(Dir() / "c1").string()}),
              FailedWith("osc\\u009D.txt: the name cannot be packed: the name holds a control "
                         "character (\"\\u009D\")"));

  // The folder skipped and the summary, with an output name of ESC and a
  // byte that is no UTF-8 (a C1 control on an 8-bit terminal).
  Write("in/a.txt", "a");
  fs::create_directory(Dir() / "in" / "sub\x07");
  const Outcome packed = Karupack({"pack", "-l", Launcher().string(), "-o",
                                   (Dir() / "o\x1B\x9B.exe").string(), (Dir() / "in").string()});
  ASSERT_EQ(packed.status, 0) << packed.err;
  EXPECT_THAT(packed.err, HasSubstr("sub\\x07: skipped"));
  EXPECT_THAT(packed.out, HasSubstr("o\\x1B\\x9B.exe: 1 files"));
  for (const Outcome& outcome :
       {packed, Karupack({"list", "\x1B]0;x\x07.pqd"}), Karupack({"pack", "--\xC2\x9B"})}) {
    EXPECT_FALSE(HoldsControl(outcome.out + outcome.err)) << outcome.out << outcome.err;
    EXPECT_EQ(outcome.err.find('\x9B'), std::string::npos) << outcome.err;
  }
}

// Authors sign the finished package; the certificate lands behind the last
// body, where every command must let it be.
TEST_F(PackerTest, ASignedPackageStillListsVerifiesAndExtracts) {
  if (!HaveTool("osslsigncode") || !HaveTool("openssl")) {
    GTEST_SKIP() << "osslsigncode and openssl are needed (scripts/setup installs them)";
  }
  Write("in/intro.txt", "Hallo\n");
  Write("in/bild.bmp", std::string(30'000, 'b'));
  const fs::path package = Dir() / "Kurs.exe";
  ASSERT_EQ(Pack(package, {(Dir() / "in").string()}).status, 0);
  const std::string unsigned_ = Read(package);

  const std::string d = Dir().string();
  const std::string make =
      "cd '" + d +
      "' && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Test "
      "-keyout key.pem -out cert.pem >/dev/null 2>&1 && osslsigncode sign -certs cert.pem "
      "-key key.pem -n Kurs -in Kurs.exe -out Signed.exe >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0) << "signing failed";
  const fs::path signed_ = Dir() / "Signed.exe";
  const std::string bytes = Read(signed_);
  ASSERT_GT(bytes.size(), unsigned_.size());
  // Signing leaves the launcher's bytes but its checksum and certificate entry.
  EXPECT_EQ(bytes.substr(0x200), unsigned_.substr(0x200) + bytes.substr(unsigned_.size()));

  const Outcome verify = Karupack({"verify", signed_.string()});
  EXPECT_EQ(verify.status, 0) << verify.err;
  EXPECT_THAT(verify.out, HasSubstr(std::to_string(bytes.size() - unsigned_.size()) +
                                    " bytes after the last file"));
  EXPECT_THAT(verify.out, HasSubstr("  signed: an Authenticode certificate table of "));
  EXPECT_EQ(Karupack({"list", signed_.string()}).out, Karupack({"list", package.string()}).out);

  // Data appended after signing breaks the signature; a certificate table
  // that lies elsewhere is no frame either.
  const fs::path appended = Write("Appended.exe", bytes + "x");
  EXPECT_THAT(Karupack({"verify", appended.string()}),
              FailedWith("1 bytes follow the certificate table"));
  std::string moved = bytes;
  const std::size_t entry = 0x80 + 24 + 96 + 4 * 8;  // the test launcher's security directory
  moved[entry] = static_cast<char>(moved[entry] - 8);
  EXPECT_THAT(Karupack({"verify", Write("Moved.exe", moved).string()}),
              FailedWith("the signature's frame is broken"));
  ASSERT_EQ(Karupack({"extract", signed_.string(), "-C", (Dir() / "out").string()}).status, 0);
  EXPECT_EQ(Contents(Dir() / "out"), Contents(Dir() / "in"));
}

}  // namespace
}  // namespace turv::karupack::testing
