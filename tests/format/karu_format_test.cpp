// The directory block as BuildDirectory writes it and ParseDirectory reads
// it back, byte for byte at the offsets the layout fixes, and the reader's
// refusal of damaged blocks. Damage at random is left to the fuzzing harness
// (tests/fuzz/directory_fuzz.cpp), which checks the same and more.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "format/karu_format.h"

namespace turv::format {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;

// Messages begin with the entry they are about: "entry 3: ..." or
// "entry 3 ("name"): ...".
auto NamesEntry(int entry) {
  return ContainsRegex("^entry " + std::to_string(entry) + "[: ]");
}

std::vector<Entry> ThreeFiles() {
  return {{"intro.txt", "Einf\xFChrung", 1'000, 0},
          {"leer.txt", "", 0, 0},
          {"bild.bmp", "Das Bild", 70'000, 0}};
}

std::uint64_t RegionOf(const std::vector<Entry>& entries) {
  std::uint64_t size = kDirectorySize;
  for (const Entry& e : entries) size += static_cast<std::uint64_t>(e.size);
  return size;
}

std::uint64_t GetLe(const Bytes& b, std::size_t at) {
  std::uint64_t v = 0;
  for (std::size_t i = 8; i-- > 0;) v = (v << 8) | b[at + i];
  return v;
}

void PutLe(Bytes& b, std::size_t at, std::uint64_t v) {
  for (std::size_t i = 0; i < 8; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::size_t At(std::size_t entry, std::size_t field) {
  return entry * kEntrySize + field;
}

// One unused entry's bytes, or as many of them as the block holds.
void ExpectUnused(const Bytes& b, std::size_t entry, std::size_t length) {
  Bytes expected(kEntrySize, 0);
  expected[kNameOffset] = 1;
  expected[kNameOffset + 1] = '0';
  expected[kCaptionOffset] = 1;
  expected[kCaptionOffset + 1] = '0';
  expected.resize(length);
  const auto first = b.begin() + static_cast<std::ptrdiff_t>(At(entry, 0));
  EXPECT_EQ(Bytes(first, first + static_cast<std::ptrdiff_t>(length)), expected)
      << "entry " << entry + 1;
}

TEST(Directory, RoundTripsAndAssignsPositionsInOrder) {
  auto entries = ThreeFiles();
  const Bytes block = BuildDirectory(entries);
  ASSERT_EQ(block.size(), kDirectorySize);
  EXPECT_EQ(entries[0].position, 672'224);
  EXPECT_EQ(entries[1].position, 673'224);
  EXPECT_EQ(entries[2].position, 673'224);  // after an empty body
  EXPECT_EQ(ParseDirectory(block, RegionOf(entries)), entries);
  // A certificate or other bytes behind the last body are no concern.
  EXPECT_EQ(ParseDirectory(block, RegionOf(entries) + 9'000), entries);
  // No files at all is a valid, empty directory.
  std::vector<Entry> none;
  EXPECT_TRUE(ParseDirectory(BuildDirectory(none), kDirectorySize).empty());
}

TEST(Directory, HoldsFullLengthTextsAndAFullBlock) {
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < kMaxEntries; ++i) {
    entries.push_back({std::string(kNameMax, static_cast<char>('A' + i % 26)),
                       std::string(kCaptionMax, '\xE4'), static_cast<std::int64_t>(i % 3), 0});
  }
  const Bytes block = BuildDirectory(entries);
  EXPECT_EQ(ParseDirectory(block, RegionOf(entries)), entries);
  EXPECT_EQ(block[At(kMaxEntries - 1, kNameOffset)], kNameMax);
  ExpectUnused(block, kMaxEntries, 176);  // the cut 2,873rd entry

  entries.push_back({"one.txt", "", 1, 0});
  EXPECT_THROW(BuildDirectory(entries), FormatError);
}

TEST(Directory, WritesTheBytesTheLayoutFixes) {
  auto entries = ThreeFiles();
  const Bytes block = BuildDirectory(entries);

  // The first entry: length-prefixed texts, zero after them, little-endian numbers.
  EXPECT_EQ(block[At(0, 0)], 9);
  EXPECT_EQ(std::string(block.begin() + 1, block.begin() + 10), "intro.txt");
  for (std::size_t i = 10; i < kCaptionOffset; ++i) EXPECT_EQ(block[i], 0) << i;
  EXPECT_EQ(block[At(0, kCaptionOffset)], 10);
  EXPECT_EQ(block[At(0, kCaptionOffset + 5)], 0xFC);
  for (std::size_t i = kCaptionOffset + 11; i < kSizeOffset; ++i) EXPECT_EQ(block[i], 0) << i;
  EXPECT_EQ(Bytes(block.begin() + kSizeOffset, block.begin() + kEntrySize),
            (Bytes{0xE8, 0x03, 0, 0, 0, 0, 0, 0, 0xE0, 0x41, 0x0A, 0, 0, 0, 0, 0}));
  // An empty caption is a lone zero length byte.
  EXPECT_EQ(block[At(1, kCaptionOffset)], 0);
  EXPECT_EQ(GetLe(block, At(2, kPositionOffset)), 673'224u);

  // Every later entry reads "0"/"0"/0/0, the cut last one as far as it goes.
  for (std::size_t e = 3; e < kMaxEntries; ++e) ExpectUnused(block, e, kEntrySize);
  EXPECT_EQ(At(kMaxEntries, 0) + 176, kDirectorySize);
  ExpectUnused(block, kMaxEntries, 176);
}

TEST(Directory, BuildRefusesWhatTheBlockCannotHold) {
  const auto refused = [](Entry e, const char* why) {
    std::vector<Entry> entries = {{"ok.txt", "", 1, 0}, e};
    try {
      BuildDirectory(entries);
      ADD_FAILURE() << "accepted: " << why;
    } catch (const FormatError& error) {
      EXPECT_THAT(error.what(), NamesEntry(2));
      EXPECT_THAT(error.what(), HasSubstr(why));
    }
  };
  refused({"", "", 0, 0}, "empty");
  refused({std::string(33, 'n'), "", 0, 0}, "33 characters");
  refused({"a.txt", std::string(185, 'c'), 0, 0}, "185 characters");
  refused({"a.txt", "", -1, 0}, "negative");
}

// A valid block with ThreeFiles, to be damaged by each test.
struct Damaged {
  std::vector<Entry> entries = ThreeFiles();
  Bytes block = BuildDirectory(entries);
  std::uint64_t region = RegionOf(entries);

  void ExpectRefused(int entry, const std::string& why) const {
    try {
      const auto parsed = ParseDirectory(block, region);
      ADD_FAILURE() << "accepted a block that should fail with: " << why;
    } catch (const FormatError& error) {
      EXPECT_THAT(error.what(), NamesEntry(entry));
      EXPECT_THAT(error.what(), HasSubstr(why));
      EXPECT_EQ(error.Entry(), static_cast<std::size_t>(entry));  // for readers' own words
      EXPECT_NE(error.Kind(), Damage::Other);
    }
  }
};

TEST(Directory, ParseRefusesDamagedTextsAndSizes) {
  Damaged name;
  name.block[At(1, kNameOffset)] = 33;
  name.ExpectRefused(2, "name's length byte says 33");

  Damaged caption;
  caption.block[At(2, kCaptionOffset)] = 185;
  caption.ExpectRefused(3, "caption's length byte says 185");

  Damaged unusedText;  // length bytes count in unused entries as well
  unusedText.block[At(200, kNameOffset)] = 0xFF;
  unusedText.ExpectRefused(201, "after the unused entry 4");

  Damaged empty;
  empty.block[At(1, kNameOffset)] = 0;
  empty.ExpectRefused(2, "empty");

  Damaged negative;
  PutLe(negative.block, At(2, kSizeOffset), ~std::uint64_t{0});
  negative.ExpectRefused(3, "negative");

  Damaged tooLong;
  PutLe(tooLong.block, At(2, kSizeOffset), 70'001);
  tooLong.ExpectRefused(3, "runs past the end");

  Damaged cut;
  cut.region -= 1;
  cut.ExpectRefused(3, "runs past the end");
}

TEST(Directory, ParseRefusesBodiesOutOfPlace) {
  Damaged inside;
  PutLe(inside.block, At(0, kPositionOffset), 1'000);
  inside.ExpectRefused(1, "must begin at 672224");

  Damaged overlap;
  PutLe(overlap.block, At(1, kPositionOffset), 673'223);
  overlap.ExpectRefused(2, "overlaps");

  Damaged gap;
  PutLe(gap.block, At(2, kPositionOffset), 673'225);
  gap.ExpectRefused(3, "gap of 1 bytes");

  Damaged outside;
  PutLe(outside.block, At(2, kPositionOffset), 0x7FFF'FFFF);
  outside.ExpectRefused(3, "gap");

  Damaged swapped;  // the bodies' order differs from the entries'
  PutLe(swapped.block, At(0, kPositionOffset), 673'224);
  PutLe(swapped.block, At(2, kPositionOffset), 672'224);
  swapped.ExpectRefused(1, "must begin at 672224");

  Damaged backwards;
  PutLe(backwards.block, At(2, kPositionOffset), 672'300);
  backwards.ExpectRefused(3, "out of order");

  Damaged late;  // a used entry after an unused one
  std::copy_n(late.block.begin() + static_cast<std::ptrdiff_t>(At(2, 0)), kEntrySize,
              late.block.begin() + static_cast<std::ptrdiff_t>(At(4, 0)));
  late.ExpectRefused(5, "after the unused entry 4");
}

TEST(Directory, ParseReadsOnlyTheLow32BitsOfAPosition) {
  Damaged high;
  high.block[At(0, kPositionOffset + 4)] = 0x5A;
  high.block[At(0, kPositionOffset + 7)] = 0xFF;
  EXPECT_EQ(ParseDirectory(high.block, high.region), high.entries);
}

TEST(Directory, ParseRefusesABlockCutShort) {
  const Damaged whole;
  const Bytes shortBlock(whole.block.begin(), whole.block.end() - 1);
  try {
    ParseDirectory(shortBlock, whole.region);
    ADD_FAILURE() << "accepted a short block";
  } catch (const FormatError& error) {
    EXPECT_THAT(error.what(), NamesEntry(2873));
    EXPECT_THAT(error.what(), HasSubstr("cut short"));
  }
  try {
    ParseDirectory(whole.block, 1'000);
    ADD_FAILURE() << "accepted a region shorter than the block";
  } catch (const FormatError& error) {
    EXPECT_THAT(error.what(), NamesEntry(5));
    EXPECT_THAT(error.what(), HasSubstr("cut short"));
  }
}

}  // namespace
}  // namespace turv::format
