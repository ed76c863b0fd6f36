// Reading and sealing a launcher: a small program file made here with the
// layout the linker gives (headers, a data section with the seal record, a
// resource section with RCDATA 1000).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "seal/launcher_image.h"
#include "seal/seal_record.h"

namespace turv::seal {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::size_t at, std::uint32_t v, int width = 4) {
  for (int i = 0; i < width; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

constexpr std::size_t kRecordAt = 0x200 + 0x10;
constexpr std::size_t kRsrcAt = 0x400;
constexpr std::size_t kChecksumAt = 88 + 64;

Bytes MakeLauncher(const Bytes& player, std::uint32_t checksum = 0) {
  Bytes b(kRsrcAt + 0x58 + player.size(), 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put(b, 0x3C, 64);
  Put(b, 64, 0x00004550);
  Put(b, 68, 0x14C, 2);
  Put(b, 70, 2, 2);         // sections
  Put(b, 84, 224, 2);       // optional header size
  Put(b, 88, 0x10B, 2);     // PE32
  Put(b, 88 + 32, 0x1000);  // section alignment
  Put(b, 88 + 36, 0x200);   // file alignment
  Put(b, kChecksumAt, checksum);
  Put(b, 88 + 92, 16);           // directories
  Put(b, 88 + 96 + 16, 0x2000);  // resources
  Put(b, 88 + 96 + 20, static_cast<std::uint32_t>(0x58 + player.size()));
  const std::size_t table = 88 + 224;
  std::memcpy(&b[table], ".rdata\0\0", 8);
  Put(b, table + 8, 0x200);
  Put(b, table + 12, 0x1000);
  Put(b, table + 16, 0x200);
  Put(b, table + 20, 0x200);
  std::memcpy(&b[table + 40], ".rsrc\0\0\0", 8);
  Put(b, table + 48, static_cast<std::uint32_t>(0x58 + player.size()));
  Put(b, table + 52, 0x2000);
  Put(b, table + 56, static_cast<std::uint32_t>(0x58 + player.size()));
  Put(b, table + 60, kRsrcAt);
  std::memcpy(&b[kRecordAt], kMarker, sizeof kMarker);
  // type 10 -> name 1000 -> language 0x407 -> data
  Put(b, kRsrcAt + 14, 1, 2);
  Put(b, kRsrcAt + 16, 10);
  Put(b, kRsrcAt + 20, 0x80000018);
  Put(b, kRsrcAt + 0x18 + 14, 1, 2);
  Put(b, kRsrcAt + 0x18 + 16, 1000);
  Put(b, kRsrcAt + 0x18 + 20, 0x80000030);
  Put(b, kRsrcAt + 0x30 + 14, 1, 2);
  Put(b, kRsrcAt + 0x30 + 16, 0x407);
  Put(b, kRsrcAt + 0x30 + 20, 0x48);
  Put(b, kRsrcAt + 0x48, 0x2058);
  Put(b, kRsrcAt + 0x48 + 4, static_cast<std::uint32_t>(player.size()));
  std::memcpy(&b[kRsrcAt + 0x58], player.data(), player.size());
  return b;
}

std::optional<std::string> Problem(const Bytes& b) {
  return SealProblem(MemorySource(b));
}

TEST(Seal, FindsThePlayerAndSealsImageSizeLessPlayerSize) {
  const Bytes player(3'000, 0xAB);
  Bytes launcher = MakeLauncher(player);
  const auto before = ReadLauncher(MemorySource(launcher));
  EXPECT_EQ(before.playerSize, 3'000u);
  EXPECT_EQ(before.playerOffset, kRsrcAt + 0x58);
  EXPECT_EQ(before.recordOffset, kRecordAt);
  EXPECT_FALSE(before.sealed);
  EXPECT_EQ(Problem(launcher), "the launcher is not sealed");

  Seal(launcher);
  EXPECT_EQ(Get(launcher, kRecordAt + 16), launcher.size() - 3'000);
  EXPECT_EQ(Get(launcher, kRecordAt + 20), ~static_cast<std::uint32_t>(launcher.size() - 3'000));
  EXPECT_EQ(Problem(launcher), std::nullopt);
  // Renewed also where the linker left the field at 0.
  EXPECT_EQ(Get(launcher, kChecksumAt), PeChecksum(launcher, kChecksumAt));
  EXPECT_NE(Get(launcher, kChecksumAt), 0u);
}

TEST(Seal, RefusesAWrongValueAndAcceptsAPackageWithDataBehind) {
  Bytes launcher = MakeLauncher(Bytes(100, 1));
  Seal(launcher);
  Bytes grown = launcher;
  grown.push_back(0);  // one byte more than sealed
  EXPECT_TRUE(Problem(grown).has_value());
  EXPECT_EQ(PackageSealProblem(MemorySource(grown)), std::nullopt);

  Bytes tampered = launcher;
  Put(tampered, kRecordAt + 16, Get(launcher, kRecordAt + 16) + 1);
  EXPECT_EQ(Problem(tampered), "the launcher is not sealed");  // the check word no longer fits

  Bytes cut(launcher.begin(), launcher.end() - 1);
  EXPECT_THROW(ReadLauncher(MemorySource(cut)), SealError);

  // A player swapped without sealing again: the data would not begin where
  // the image ends.
  Bytes swapped = grown;
  Put(swapped, kRsrcAt + 0x48 + 4, 92);
  EXPECT_EQ(PackageSealProblem(MemorySource(swapped)),
            "the seal does not match the player it carries: the data would begin at " +
                std::to_string(launcher.size() - 8) +
                ", but the launcher image with its player of 92 bytes ends at " +
                std::to_string(launcher.size()));
}

// The loader maps a section's file bytes only up to its aligned virtual
// size; raw bytes beyond it lie where the next section's addresses are,
// but are not its bytes. A tree planted there is not the one Windows reads.
TEST(Seal, ReadsASectionOnlyAsFarAsTheLoaderMapsIt) {
  const Bytes launcher = MakeLauncher(Bytes(3'000, 0xAB));
  constexpr std::size_t kTable = 88 + 224;
  Bytes bent(launcher.begin(), launcher.begin() + kRsrcAt);
  bent.resize(0x1200, 0);
  bent.insert(bent.end(), launcher.begin() + kRsrcAt, launcher.begin() + kRsrcAt + 0x58);
  Put(bent, 0x1200 + 0x48 + 4, 7);  // the planted tree's player: 7 bytes
  bent.resize(0x1400, 0);
  bent.insert(bent.end(), launcher.begin() + kRsrcAt, launcher.end());
  Put(bent, kTable + 16, 0x1200);       // .rdata: 0x200 bytes in memory, 0x1200 in the file
  Put(bent, kTable + 40 + 20, 0x1400);  // .rsrc behind them
  const auto facts = ReadLauncher(MemorySource(bent));
  EXPECT_EQ(facts.playerSize, 3'000u);
  EXPECT_EQ(facts.playerOffset, 0x1400u + 0x58);
}

TEST(Seal, APlayerThatIsALauncherItselfDoesNotConfuseTheRecord) {
  Bytes player(200, 0);
  std::memcpy(player.data() + 50, kMarker, sizeof kMarker);
  Bytes launcher = MakeLauncher(player);
  EXPECT_EQ(ReadLauncher(MemorySource(launcher)).recordOffset, kRecordAt);
}

TEST(Seal, RenewsAChecksumTheFileCarries) {
  Bytes launcher = MakeLauncher(Bytes(64, 3), 0x1234);
  Seal(launcher);
  EXPECT_EQ(Get(launcher, kChecksumAt), PeChecksum(launcher, kChecksumAt));
  EXPECT_NE(Get(launcher, kChecksumAt), 0x1234u);
}

TEST(Seal, RefusesWhatIsNoLauncher) {
  EXPECT_THROW(ReadLauncher(MemorySource(Bytes(10, 0))), SealError);
  Bytes noRecord = MakeLauncher(Bytes(10, 0));
  std::memset(&noRecord[kRecordAt], 0, 16);
  EXPECT_THROW(ReadLauncher(MemorySource(noRecord)), SealError);
  Bytes noPlayer = MakeLauncher(Bytes(10, 0));
  Put(noPlayer, kRsrcAt + 0x18 + 16, 999);  // RCDATA 999 only
  EXPECT_THROW(ReadLauncher(MemorySource(noPlayer)), SealError);
  Bytes outside = MakeLauncher(Bytes(10, 0));
  Put(outside, kRsrcAt + 0x48 + 4, 1'000'000);  // the player runs past the end
  EXPECT_THROW(ReadLauncher(MemorySource(outside)), SealError);
}

}  // namespace
}  // namespace turv::seal
