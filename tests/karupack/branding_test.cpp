// A package's icon and version information: the resource writer on the real
// launcher of the win32 build, the .ico and version formats, and karupack
// pack --icon/--info as an author runs it.
#include <algorithm>
#include <iterator>

#include "fixture.h"
#include "seal/branding.h"
#include "seal/pe_resources.h"
#include "test_icon.h"

namespace turv::karupack::testing {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t Get(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
void Set(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A program of the win32 build, beside its turv.exe.
Bytes BuiltProgram(const char* name) {
  const fs::path path = fs::path(TURV_REAL_LAUNCHER).parent_path() / name;
  if (!fs::exists(path)) {
    ADD_FAILURE() << path << " is missing: build the win32 preset first (scripts/test does)";
    return {};
  }
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The win32 build's turv.exe: linked with relocations behind its resources,
// a manifest, a default icon and version information.
Bytes RealLauncher() {
  return BuiltProgram("turv.exe");
}

// Offsets in the headers the tests look at.
struct Layout {
  std::size_t optional, directories, table, sections;
  explicit Layout(const Bytes& b)
      : optional(Get(b, 0x3C) + 24),
        directories(optional + 96),
        table(optional + (b[Get(b, 0x3C) + 20] | b[Get(b, 0x3C) + 21] << 8)),
        sections(b[Get(b, 0x3C) + 6]) {}
  std::uint32_t Field(const Bytes& b, std::size_t section, std::size_t at) const {
    return Get(b, table + 40 * section + at);
  }
};

// SizeOfInitializedData as the linker counts it: the file-aligned raw
// sizes of the sections of initialised data.
std::uint32_t InitialisedData(const Bytes& b) {
  const Layout layout(b);
  const std::uint32_t align = Get(b, layout.optional + 36);
  std::uint32_t sum = 0;
  for (std::size_t s = 0; s < layout.sections; ++s) {
    if ((layout.Field(b, s, 36) & 0x40) != 0) {
      sum += (layout.Field(b, s, 16) + align - 1) / align * align;
    }
  }
  return sum;
}

std::vector<seal::Resource> Resources(const Bytes& image, std::uint16_t type) {
  const seal::MemorySource source(image);
  std::vector<seal::Resource> found;
  for (const auto& e : seal::ListResources(source)) {
    if (e.type == seal::ResourceKey(type)) {
      found.push_back({e.type, e.name, e.language, e.codePage, seal::ReadResource(source, e)});
    }
  }
  return found;
}

const std::vector<testicon::Image> kImages = {
    {16, 0xFF'10'20'30}, {32, 0xFF'C0'40'20}, {256, 0xFF'20'80'F0, true}};

seal::Branding TestBranding() {
  seal::Branding branding;
  branding.icon = seal::ParseIconFile(testicon::Icon(kImages));
  branding.version = seal::VersionInfo{{{"ProductName", "Farben und Formen \xF0\x9F\x8E\xA8"},
                                        {"CompanyName", "Malschule Bl\xC3\xA4u"},
                                        {"FileVersion", "1.2.3"}},
                                       {1, 2, 3, 0},
                                       {1, 2, 3, 0}};
  return branding;
}

TEST(ResourceWriter, RebrandsTheRealLauncherIntoAValidImageSealedAgain) {
  const Bytes launcher = RealLauncher();
  ASSERT_FALSE(launcher.empty());
  const seal::MemorySource original(launcher);
  const auto before = seal::ReadLauncher(original);
  const Bytes branded = seal::Brand(launcher, TestBranding());
  const seal::MemorySource source(branded);

  // Loadable and sealed right: sections aligned and in order, every
  // directory inside its section, the image size the sections' end, the
  // checksum renewed, the data offset at the new end of the file.
  EXPECT_EQ(seal::ImageProblem(source), std::nullopt);
  EXPECT_EQ(seal::SealProblem(source), std::nullopt);
  const auto after = seal::ReadLauncher(source);
  EXPECT_EQ(after.ImageSize(), branded.size());
  EXPECT_EQ(Get(branded, after.checksumOffset), seal::PeChecksum(branded, after.checksumOffset));
  const Layout layout(branded);
  const std::size_t last = layout.sections - 1;
  EXPECT_EQ(Get(branded, layout.directories + 5 * 8), layout.Field(branded, last, 12))
      << "the relocations moved with their section";
  EXPECT_EQ(
      Get(branded, layout.optional + 56),
      (layout.Field(branded, last, 12) + layout.Field(branded, last, 8) + 0xFFF) / 0x1000 * 0x1000);
  const Layout old(launcher);
  EXPECT_TRUE(std::equal(
      branded.begin() + layout.Field(branded, last, 20),
      branded.begin() + layout.Field(branded, last, 20) + layout.Field(branded, last, 16),
      launcher.begin() + old.Field(launcher, last, 20)))
      << "the relocations' bytes";
  // Behind the headers, everything before the resources is the linker's,
  // but for the sealed value.
  Bytes linked = launcher;
  std::copy_n(branded.begin() + static_cast<std::ptrdiff_t>(after.recordOffset + 16), 8,
              linked.begin() + static_cast<std::ptrdiff_t>(after.recordOffset + 16));
  const auto rsrcAt = static_cast<std::ptrdiff_t>(layout.Field(branded, last - 1, 20));
  EXPECT_TRUE(
      std::equal(branded.begin() + 0x400, branded.begin() + rsrcAt, linked.begin() + 0x400));

  // The player, the manifest: byte for byte; the icon: every image as the
  // .ico held it, the PNG included; the version: as given.
  EXPECT_EQ(after.playerSize, before.playerSize);
  EXPECT_TRUE(std::equal(
      branded.begin() + static_cast<std::ptrdiff_t>(after.playerOffset),
      branded.begin() + static_cast<std::ptrdiff_t>(after.playerOffset + after.playerSize),
      launcher.begin() + static_cast<std::ptrdiff_t>(before.playerOffset)));
  EXPECT_EQ(Resources(branded, 24).front().data, Resources(launcher, 24).front().data);
  const auto icons = Resources(branded, seal::kRtIcon);
  ASSERT_EQ(icons.size(), 3u);
  for (std::size_t i = 0; i < icons.size(); ++i) {
    EXPECT_EQ(icons[i].data, TestBranding().icon[i].bytes) << "image " << i;
  }
  const auto shown = seal::ReadBranding(source);
  EXPECT_EQ(seal::DescribeIcon(shown.icon), "16x16 32-bit, 32x32 32-bit, 256x256 PNG");
  ASSERT_TRUE(shown.version);
  EXPECT_EQ(shown.version->strings, TestBranding().version->strings);
  EXPECT_EQ(shown.version->fileVersion, (seal::VersionNumber{1, 2, 3, 0}));

  // Branded again, it comes out the same; a small icon alone shrinks the
  // resources and keeps the version information.
  EXPECT_EQ(seal::Brand(branded, TestBranding()), branded);
  seal::Branding small;
  small.icon = seal::ParseIconFile(testicon::Icon({{16, 0xFF'00'00'00}}));
  const Bytes smaller = seal::Brand(branded, small);
  EXPECT_LT(smaller.size(), branded.size());
  EXPECT_EQ(seal::ImageProblem(seal::MemorySource(smaller)), std::nullopt);
  EXPECT_EQ(seal::SealProblem(seal::MemorySource(smaller)), std::nullopt);
  EXPECT_EQ(seal::ReadBranding(seal::MemorySource(smaller)).version->strings,
            TestBranding().version->strings);
}

// The player swapped for programs of other sizes, on the launchers around
// lumirax and around a file that is no program, with a new icon and
// version in the same pass: a valid image sealed for the new size, its
// checksum and initialised-data size as the linker gives them, the player
// byte for byte, the other resources kept.
TEST(ResourceWriter, SwapsThePlayerForOneOfAnySize) {
  Bytes overlaid = BuiltProgram("lumirax.exe");  // larger, with bytes behind its sections
  for (std::size_t i = 0; i < 3'000'001; ++i) overlaid.push_back(static_cast<std::uint8_t>(i * 31));
  for (const char* name : {"turv.exe", "turv_notprog.exe"}) {
    const Bytes launcher = BuiltProgram(name);
    ASSERT_FALSE(launcher.empty());
    ASSERT_EQ(Get(launcher, Layout(launcher).optional + 8), InitialisedData(launcher)) << name;
    for (const Bytes& player : {Bytes{'x'}, overlaid}) {
      const seal::MemorySource playerFile(player);
      seal::Branding branding = TestBranding();
      branding.player = &playerFile;
      const Bytes swapped = seal::Brand(launcher, branding);
      const seal::MemorySource source(swapped);
      const std::string label =
          std::string(name) + ", a player of " + std::to_string(player.size());
      EXPECT_EQ(seal::ImageProblem(source), std::nullopt) << label;
      EXPECT_EQ(seal::SealProblem(source), std::nullopt) << label;
      const auto facts = seal::ReadLauncher(source);
      ASSERT_EQ(facts.playerSize, player.size()) << label;
      EXPECT_TRUE(std::equal(player.begin(), player.end(),
                             swapped.begin() + static_cast<std::ptrdiff_t>(facts.playerOffset)))
          << label;
      EXPECT_EQ(Get(swapped, facts.checksumOffset), seal::PeChecksum(swapped, facts.checksumOffset))
          << label;
      EXPECT_EQ(Get(swapped, Layout(swapped).optional + 8), InitialisedData(swapped)) << label;
      EXPECT_EQ(Resources(swapped, 24).front().data, Resources(launcher, 24).front().data) << label;
      EXPECT_EQ(seal::DescribeIcon(seal::ReadBranding(source).icon),
                "16x16 32-bit, 32x32 32-bit, 256x256 PNG")
          << label;
    }
  }
}

TEST(ResourceWriter, RefusesLaunchersItCannotRewriteSafely) {
  const Bytes launcher = RealLauncher();
  ASSERT_FALSE(launcher.empty());
  const Layout layout(launcher);
  const auto refused = [&](Bytes changed, const char* why) {
    try {
      seal::Brand(changed, TestBranding());
      ADD_FAILURE() << "not refused: " << why;
    } catch (const seal::SealError& error) {
      EXPECT_THAT(error.what(), HasSubstr(why));
    }
  };
  Bytes signed_ = launcher;
  Set(signed_, layout.directories + 4 * 8, static_cast<std::uint32_t>(launcher.size()));
  Set(signed_, layout.directories + 4 * 8 + 4, 8);
  signed_.resize(launcher.size() + 8, 0);
  refused(signed_, "signed");
  Bytes noRelocations = launcher;  // the section behind the resources is no longer known
  Set(noRelocations, layout.directories + 5 * 8, 0);
  Set(noRelocations, layout.directories + 5 * 8 + 4, 0);
  refused(noRelocations, "follows the resources and cannot move");
  // A relocated pointer into the resources: the first relocation of the
  // first block now points at the resource directory.
  Bytes pointing = launcher;
  const std::size_t last = layout.sections - 1;
  const std::size_t relocs = layout.Field(launcher, last, 20);
  const std::uint32_t site = Get(launcher, relocs) + (Get(launcher, relocs + 8) & 0xFFF);
  std::size_t siteAt = 0;
  for (std::size_t s = 0; s < last; ++s) {
    const std::uint32_t va = layout.Field(launcher, s, 12);
    if (site >= va && site < va + layout.Field(launcher, s, 16)) {
      siteAt = layout.Field(launcher, s, 20) + (site - va);
    }
  }
  ASSERT_NE(siteAt, 0u);
  Set(pointing, siteAt, 0x400000 + layout.Field(launcher, last - 1, 12) + 16);
  refused(pointing, "points into its resources");
}

TEST(IconFile, RefusesWhatIsNoIconSayingWhy) {
  const Bytes good = testicon::Icon({{16, 0xFF'00'00'00}, {256, 0xFF'00'00'00, true}});
  EXPECT_EQ(seal::ParseIconFile(good).size(), 2u);
  const auto refused = [](Bytes ico, const char* why) {
    try {
      seal::ParseIconFile(ico);
      ADD_FAILURE() << "not refused: " << why;
    } catch (const seal::SealError& error) {
      EXPECT_THAT(error.what(), HasSubstr(why));
    }
  };
  refused(Bytes{'B', 'M', 0, 0, 0, 0}, "not an icon file");
  Bytes cursor = good;
  cursor[2] = 2;
  refused(cursor, "cursor");
  refused(Bytes{0, 0, 1, 0, 0, 0}, "no image");
  Bytes outside = good;
  Set(outside, 6 + 12, static_cast<std::uint32_t>(good.size()));  // image 1 starts at the end
  refused(outside, "image 1 (16x16) lies outside the file");
  Bytes cut(good.begin(), good.end() - 1);
  refused(cut, "image 2 (256x256) lies outside the file");
  Bytes shortBitmap = good;
  Set(shortBitmap, 6 + 8, Get(good, 6 + 8) - 4);  // the mask's last row missing
  refused(shortBitmap, "image 1 (16x16): its bitmap is cut short");
  Bytes wrongSize = good;
  wrongSize[6 + 16] = 128;  // the entry says 128x256, the PNG is 256x256
  wrongSize[6 + 17] = 128;
  refused(wrongSize, "image 2 (128x128): the PNG is 256x256");
  Bytes compressed = good;
  Set(compressed, Get(good, 6 + 12) + 16, 1);
  refused(compressed, "compressed");
  Bytes depth = good;
  depth[Get(good, 6 + 12) + 14] = 7;
  refused(depth, "7 bits a pixel");
  // Entries that share bytes would multiply them: 256 of them made an icon
  // of 70 KB take 17 MB in the launcher.
  Bytes shared = good;
  Set(shared, 6 + 16 + 12, Get(good, 6 + 12) + 40);  // image 2 starts inside image 1
  refused(shared, "image 2 (256x256) shares bytes with image 1");
}

TEST(VersionResource, CarriesUnicodeTextsAndNumbers) {
  const auto info = *TestBranding().version;
  const auto parsed = seal::ParseVersionResource(seal::BuildVersionResource(info));
  EXPECT_EQ(parsed.strings, info.strings);
  EXPECT_EQ(parsed.productVersion, info.productVersion);
  // Stored as UTF-16: the emoji is a surrogate pair.
  EXPECT_EQ(seal::Utf16("\xF0\x9F\x8E\xA8"), (std::u16string{0xD83C, 0xDFA8}));
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\xFF"}) {
    EXPECT_THROW(seal::Utf16(bad), seal::SealError) << bad;
  }
  EXPECT_EQ(seal::ParseVersionNumber("1.2.3"), (seal::VersionNumber{1, 2, 3, 0}));
  EXPECT_EQ(seal::ParseVersionNumber("10.0.65535.7"), (seal::VersionNumber{10, 0, 65535, 7}));
  for (const char* text : {"1.2", "1.2.3.4.5", "1.2.65536", "1.x.3", "1.2.3.", "v1.2.3", ""}) {
    EXPECT_EQ(seal::ParseVersionNumber(text), std::nullopt) << text;
  }
}

TEST_F(PackerTest, PacksABrandedPackageThatLaunchesAsAnUnbrandedOne) {
  Write("in/intro.txt", "Hallo\n");
  Write("in/bild.bmp", std::string(30'000, 'b'));
  const fs::path icon = Write("Kurs.ico", testicon::Icon(kImages));
  const fs::path plain = Dir() / "Plain.exe";
  const fs::path branded = Dir() / "Kurs.exe";
  ASSERT_EQ(Pack(plain, {(Dir() / "in").string()}).status, 0);
  const Outcome packed =
      Karupack({"pack", "-q", "-l", Launcher().string(), "-o", branded.string(), "--icon",
                icon.string(), "--info", "ProductName=Farben und Formen", "--info",
                "FileVersion=2.0.1", "--info=CompanyName=Malschule Blau", (Dir() / "in").string()});
  ASSERT_EQ(packed.status, 0) << packed.err;

  // The same data behind a launcher that states its own new size.
  const std::string plainBytes = Read(plain), brandedBytes = Read(branded);
  const auto plainImage = seal::ReadLauncher(seal::FileSource(plain)).ImageSize();
  const auto brandedImage = seal::ReadLauncher(seal::FileSource(branded)).ImageSize();
  EXPECT_EQ(brandedBytes.substr(brandedImage), plainBytes.substr(plainImage));

  const Outcome verify = Karupack({"verify", branded.string()});
  EXPECT_EQ(verify.status, 0) << verify.err;
  for (const Outcome& shown : {verify, Karupack({"list", branded.string()})}) {
    EXPECT_THAT(shown.out, HasSubstr("icon: 16x16 32-bit, 32x32 32-bit, 256x256 PNG\n"));
    EXPECT_THAT(shown.out, HasSubstr("version: file 2.0.1.0, product 2.0.1.0\n"));
    EXPECT_THAT(shown.out, HasSubstr("ProductName: Farben und Formen\n"));
    EXPECT_THAT(shown.out, HasSubstr("CompanyName: Malschule Blau\n"));
  }
  EXPECT_THAT(verify.out, HasSubstr("  not signed\n"));

  // A bad icon or an unknown key: one line, nothing written.
  const auto before = Contents(Dir());
  Write("bad.ico", std::string("\0\0\1\0\1\0", 6));
  const fs::path bad = Dir() / "bad.ico";
  const auto withBad = Contents(Dir());
  EXPECT_THAT(Karupack({"pack", "-l", Launcher().string(), "-o", (Dir() / "New.exe").string(),
                        "--icon", bad.string(), (Dir() / "in").string()}),
              FailedWith("bad.ico: not an icon to use: the icon file's directory is cut short"));
  const Outcome unknown =
      Karupack({"pack", "-l", Launcher().string(), "-o", (Dir() / "New.exe").string(), "--info",
                "Comments=nett", (Dir() / "in").string()});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_THAT(unknown.err, HasSubstr("unknown key \"Comments\""));
  EXPECT_EQ(std::count(unknown.err.begin(), unknown.err.end(), '\n'), 1);
  for (const char* info : {"ProductName=", "ProductName", "ProductName=a\x1B[2Jb"}) {
    EXPECT_EQ(Karupack({"pack", "-o", (Dir() / "New.exe").string(), "--info", info,
                        (Dir() / "in").string()})
                  .status,
              2)
        << info;
  }
  EXPECT_EQ(Contents(Dir()), withBad);
  EXPECT_EQ(before.size() + 1, withBad.size());
}

}  // namespace
}  // namespace turv::karupack::testing
