// karupack pack --player as an author runs it: the package carries the
// author's program as its player, byte for byte, and says so in list and
// verify; a file Windows would not start as a program is refused.
#include "fixture.h"
#include "test_icon.h"

namespace turv::karupack::testing {
namespace {

using ::testing::HasSubstr;

class PlayerTest : public PackerTest {
 protected:
  // The win32 build's lumirax.exe: a real program with version strings.
  static std::string BuiltPlayer() {
    const fs::path path = fs::path(TURV_REAL_LAUNCHER).parent_path() / "lumirax.exe";
    if (!fs::exists(path)) ADD_FAILURE() << path << " is missing: build the win32 preset first";
    return fs::exists(path) ? Read(path) : std::string();
  }
  Outcome PackWith(const fs::path& player, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"pack", "-q",           "-l",       Launcher().string(),
                                     "-o",   Out().string(), "--player", player.string()};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back((Dir() / "in").string());
    return Karupack(args);
  }
  fs::path Out() const { return Dir() / "Kurs.exe"; }
};

TEST_F(PlayerTest, ThePackageCarriesTheAuthorsProgramByteForByte) {
  Write("in/intro.txt", "Hallo\n");
  Write("in/bild.bmp", std::string(30'000, 'b'));
  // Larger than the launcher's own player, with bytes behind its sections.
  const std::string program = BuiltPlayer() + std::string(200'001, '\x5A');
  const fs::path player = Write("Mein Player.exe", program);
  const fs::path plain = Dir() / "Plain.exe";
  ASSERT_EQ(Pack(plain, {(Dir() / "in").string()}).status, 0);
  const fs::path icon = Write("Kurs.ico", testicon::Icon({{16, 0xFF'10'20'30}}));
  const Outcome packed = PackWith(player, {"--icon", icon.string(), "--info", "ProductName=Kurs"});
  ASSERT_EQ(packed.status, 0) << packed.err;

  // Sealed for the new player, which lies in it as given, the data behind.
  const std::string bytes = Read(Out());
  const seal::FileSource source(Out());
  EXPECT_EQ(seal::PackageSealProblem(source), std::nullopt);
  const auto facts = seal::ReadLauncher(source);
  EXPECT_EQ(bytes.substr(facts.playerOffset, facts.playerSize), program);
  const auto plainImage = seal::ReadLauncher(seal::FileSource(plain)).ImageSize();
  EXPECT_EQ(bytes.substr(facts.ImageSize()), Read(plain).substr(plainImage));

  const Outcome verify = Karupack({"verify", Out().string()});
  EXPECT_EQ(verify.status, 0) << verify.err;
  const std::string shown = "player: " + std::to_string(program.size()) +
                            " bytes, x86 (32-bit) program, not signed, ProductName \"turv\", "
                            "FileVersion \"" TURV_VERSION_TEXT "\"\n";
  EXPECT_THAT(verify.out, HasSubstr("  " + shown));
  EXPECT_THAT(verify.out, HasSubstr("  icon: 16x16 32-bit\n"));
  EXPECT_THAT(Karupack({"list", Out().string()}).out, HasSubstr("\n" + shown));

  // A 64-bit program is carried with a note; a signed one is shown signed.
  const fs::path x64 = Write("x64.exe", MakeProgram({0x8664, 0x22, 2, true}));
  const Outcome wide = PackWith(x64);
  ASSERT_EQ(wide.status, 0) << wide.err;
  EXPECT_EQ(wide.err, "karupack: " + x64.string() +
                          ": note: an x64 (64-bit) program: it starts on 64-bit Windows only\n");
  EXPECT_THAT(Karupack({"list", Out().string()}).out,
              HasSubstr("player: 1024 bytes, x64 (64-bit) program, not signed\n"));
  if (!HaveTool("osslsigncode") || !HaveTool("openssl")) return;
  Write("small.exe", MakeProgram());
  const std::string make =
      "cd '" + Dir().string() +
      "' && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Test "
      "-keyout key.pem -out cert.pem >/dev/null 2>&1 && osslsigncode sign -certs cert.pem "
      "-key key.pem -n Player -in small.exe -out signed.exe >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0) << "signing failed";
  ASSERT_EQ(PackWith(Dir() / "signed.exe").status, 0);
  EXPECT_THAT(Karupack({"list", Out().string()}).out, HasSubstr(" program, signed\n"));
}

// One line saying what the file is, and nothing written.
TEST_F(PlayerTest, RefusesWhatWindowsWouldNotStartAsAProgram) {
  Write("in/a.txt", "a");
  const auto shaped = [](ProgramShape shape) { return MakeProgram(shape); };
  std::vector<std::uint8_t> overlapping = MakeProgram();
  overlapping[0x80 + 24 + 0xE0 + 13] = 0;  // the section starts in the headers' memory
  std::vector<std::uint8_t> mismatched = MakeProgram();
  mismatched[0x80 + 5] = 0x86;  // an x64 machine on a 32-bit header
  mismatched[0x80 + 4] = 0x64;
  const std::vector<std::pair<std::vector<std::uint8_t>, std::string>> cases = {
      {{'j', 'u', 's', 't'}, "not a Windows program (no MZ header)"},
      {shaped({0x14C, 0x2102, 2, false}), "a DLL, not a program"},
      {shaped({0x14C, 0x100, 2, false}), "not marked as an executable image"},
      {shaped({0x14C, 0x102, 1, false}), "a driver or a native-subsystem program"},
      {shaped({0x14C, 0x102, 10, false}), "a program for another system (subsystem 10: EFI"},
      {shaped({0x1C4, 0x102, 2, false}), "a program for ARM (32-bit) processors"},
      {mismatched, "a 32-bit (PE32) header on an x64 (64-bit) program"},
      {overlapping, "a program file the Windows loader refuses: section .text is not"}};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const fs::path player = Write("player" + std::to_string(i) + ".exe", cases[i].first);
    const auto before = Contents(Dir());
    EXPECT_THAT(PackWith(player),
                FailedWith(player.string() + ": not a player to carry: " + cases[i].second));
    EXPECT_TRUE(Contents(Dir()) == before) << cases[i].second;
  }
  EXPECT_THAT(PackWith(Dir() / "none.exe"), FailedWith("none.exe"));

  // A player that takes the package to 2 GiB is refused before it is read.
  const fs::path huge = Write("huge.exe", MakeProgram());
  fs::resize_file(huge, (std::uint64_t{1} << 31) - 300'000);
  const Outcome big = PackWith(huge);
  EXPECT_THAT(big, FailedWith("below 2 GiB"));
  EXPECT_LT(big.peakKib, 512 * 1024) << "the player was read whole";
  EXPECT_FALSE(fs::exists(Out()));
}

}  // namespace
}  // namespace turv::karupack::testing
