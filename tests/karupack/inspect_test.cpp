// list, extract and verify on what others may hand us: hostile names,
// damaged data, and signed packages.
#include <unistd.h>

#include <cstdlib>

#include "fixture.h"

namespace turv::karupack::testing {
namespace {

using ::testing::HasSubstr;

// A bare data file holding the given names, each with a body of its name.
std::string DataFile(const std::vector<std::string>& names) {
  std::vector<format::Entry> entries;
  std::string bodies;
  for (const std::string& name : names) {
    entries.push_back({name, name, static_cast<std::int64_t>(name.size()), 0});
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
