// Only bitmaps whose every size and offset fits the file reach the drawing
// call, in a header it cannot misread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "lumirax/bmp_layout.h"

namespace turv::player {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Shape {
  std::uint32_t headerSize = 40;
  std::int32_t width = 3;
  std::int32_t height = 2;
  std::uint16_t bitsPerPixel = 24;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::uint16_t planes = 1;
};

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::size_t TableColors(const Shape& s) {
  if (s.bitsPerPixel <= 8 && s.colorsUsed == 0) return std::size_t{1} << s.bitsPerPixel;
  return s.colorsUsed;
}

// A well-formed file of that shape: masks 0xF800/0x07E0/0x001F where bit
// fields ask for them, a colour table of distinct entries, patterned pixels.
Bytes Bmp(const Shape& s) {
  const bool bitFields = s.compression == 3;
  const std::size_t masks = bitFields && s.headerSize == 40 ? 12 : 0;
  const std::size_t table = TableColors(s) * 4;
  const std::size_t offset = 14 + s.headerSize + masks + table;
  const std::size_t stride =
      (static_cast<std::size_t>(std::max(s.width, 0)) * s.bitsPerPixel + 31) / 32 * 4;
  const std::size_t pixels = stride * static_cast<std::size_t>(std::abs(s.height));
  Bytes b(offset + pixels, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, static_cast<std::uint32_t>(offset));
  Put32(b, 14, s.headerSize);
  Put32(b, 18, static_cast<std::uint32_t>(s.width));
  Put32(b, 22, static_cast<std::uint32_t>(s.height));
  b[26] = static_cast<std::uint8_t>(s.planes);
  b[28] = static_cast<std::uint8_t>(s.bitsPerPixel);
  Put32(b, 30, s.compression);
  Put32(b, 34, 0xDEADBEEF);  // a wrong image size must not matter
  Put32(b, 46, s.colorsUsed);
  if (bitFields) {
    Put32(b, 54, 0xF800);
    Put32(b, 58, 0x07E0);
    Put32(b, 62, 0x001F);
  }
  for (std::size_t i = 0; i < table; ++i)
    b[14 + s.headerSize + masks + i] = static_cast<std::uint8_t>(i + 1);
  for (std::size_t i = 0; i < pixels; ++i) b[offset + i] = static_cast<std::uint8_t>(i * 7);
  return b;
}

void ExpectRefused(const Bytes& file, const char* why) {
  EXPECT_THROW(ReadBmpLayout(file), BmpError) << why;
}

TEST(BmpLayout, FindsPixelsAndBuildsAPlainHeaderForEveryDepth) {
  for (const std::uint16_t depth : {1, 4, 8, 16, 24, 32}) {
    const Shape shape{.width = 5, .height = 3, .bitsPerPixel = depth};
    const Bytes file = Bmp(shape);
    const BmpLayout layout = ReadBmpLayout(file);
    const std::size_t table = TableColors(shape) * 4;
    EXPECT_EQ(layout.width, 5) << depth;
    EXPECT_EQ(layout.height, 3) << depth;
    EXPECT_EQ(layout.bitsOffset, 54 + table) << depth;
    EXPECT_EQ(layout.bitsSize, (5u * depth + 31) / 32 * 4 * 3) << depth;
    EXPECT_EQ(layout.bitsOffset + layout.bitsSize, file.size()) << depth;
    ASSERT_EQ(layout.info.size(), 40 + table) << depth;
    EXPECT_EQ(Get32(layout.info, 20), layout.bitsSize) << "image size set right";
    EXPECT_EQ(Get32(layout.info, 32), TableColors(shape));
    EXPECT_TRUE(std::equal(layout.info.begin() + 40, layout.info.end(), file.begin() + 54));
  }
}

TEST(BmpLayout, TopDownRowsAndAShortColourTable) {
  const Bytes file = Bmp({.width = 2, .height = -4, .bitsPerPixel = 8, .colorsUsed = 3});
  const BmpLayout layout = ReadBmpLayout(file);
  EXPECT_EQ(layout.height, 4);
  EXPECT_EQ(static_cast<std::int32_t>(Get32(layout.info, 8)), -4);  // the drawing keeps the order
  EXPECT_EQ(layout.info.size(), 40u + 12);
  EXPECT_EQ(layout.bitsOffset, 54u + 12);
}

TEST(BmpLayout, LongerHeadersShrinkToFortyBytesAndKeepTheirMasks) {
  // A version-5 header, whose profile offsets the drawing call would follow.
  const Bytes v5 =
      Bmp({.headerSize = 124, .width = 4, .height = 2, .bitsPerPixel = 32, .compression = 3});
  const BmpLayout a = ReadBmpLayout(v5);
  ASSERT_EQ(a.info.size(), 52u);
  EXPECT_EQ(Get32(a.info, 0), 40u);
  EXPECT_EQ(Get32(a.info, 40), 0xF800u);
  EXPECT_EQ(Get32(a.info, 48), 0x001Fu);
  EXPECT_EQ(a.bitsOffset, 14u + 124);

  // The same masks after a 40-byte header.
  const BmpLayout b =
      ReadBmpLayout(Bmp({.width = 4, .height = 2, .bitsPerPixel = 16, .compression = 3}));
  ASSERT_EQ(b.info.size(), 52u);
  EXPECT_EQ(Get32(b.info, 0), 40u);
  EXPECT_TRUE(std::equal(a.info.begin() + 40, a.info.end(), b.info.begin() + 40));
  EXPECT_EQ(b.bitsOffset, 14u + 40 + 12);

  // A plain version-4 header with a colour table behind it.
  const BmpLayout c =
      ReadBmpLayout(Bmp({.headerSize = 108, .width = 4, .height = 2, .bitsPerPixel = 4}));
  EXPECT_EQ(c.info.size(), 40u + 64);
  EXPECT_EQ(c.info[40], 1);  // the table's first byte
  EXPECT_EQ(c.bitsOffset, 14u + 108 + 64);
}

TEST(BmpLayout, RefusesWhatItCannotDrawSafely) {
  ExpectRefused({}, "empty");
  ExpectRefused(Bytes{'P', 'K', 3, 4}, "no BMP");
  Bytes cut = Bmp({});
  cut.resize(50);
  ExpectRefused(cut, "header cut short");
  ExpectRefused(Bmp({.headerSize = 12}), "core header");
  ExpectRefused(Bmp({.planes = 2}), "planes");
  ExpectRefused(Bmp({.bitsPerPixel = 2}), "depth");
  ExpectRefused(Bmp({.bitsPerPixel = 8, .compression = 1}), "RLE8");
  ExpectRefused(Bmp({.bitsPerPixel = 24, .compression = 3}), "bit fields at 24 bits");
  ExpectRefused(Bmp({.bitsPerPixel = 32, .compression = 4}), "JPEG inside");
  ExpectRefused(Bmp({.headerSize = 44, .bitsPerPixel = 16, .compression = 3}), "masks cut");
  ExpectRefused(Bmp({.width = 0}), "no width");
  ExpectRefused(Bmp({.width = -3}), "negative width");
  ExpectRefused(Bmp({.height = 0}), "no height");
  ExpectRefused(Bmp({.bitsPerPixel = 8, .colorsUsed = 257}), "table too long");

  Bytes shortPixels = Bmp({});
  shortPixels.pop_back();
  ExpectRefused(shortPixels, "one pixel byte missing");

  Bytes overlap = Bmp({.bitsPerPixel = 8});
  Put32(overlap, 10, Get32(overlap, 10) - 4);  // pixels start inside the table
  ExpectRefused(overlap, "pixels over the table");

  Bytes far = Bmp({});
  Put32(far, 10, 0xFFFFFFF0);
  ExpectRefused(far, "pixels past the end");

  Bytes huge = Bmp({});
  Put32(huge, 18, 65'535);
  Put32(huge, 22, 0x80000000);  // the most negative height
  ExpectRefused(huge, "a side out of range");
  Put32(huge, 22, 65'535);
  ExpectRefused(huge, "a picture far larger than its file");
}

// Whatever the bytes, a layout that comes back lies inside the file.
TEST(BmpLayout, DamagedFilesNeverYieldALayoutOutsideThem) {
  std::mt19937 random(7);
  const std::vector<Bytes> seeds = {Bmp({.bitsPerPixel = 8, .colorsUsed = 16}),
                                    Bmp({.headerSize = 124, .bitsPerPixel = 32, .compression = 3}),
                                    Bmp({.width = 9, .height = -5, .bitsPerPixel = 1})};
  int accepted = 0;
  for (const Bytes& seed : seeds) {
    for (std::size_t length = 0; length <= seed.size(); ++length) {
      const Bytes cut(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(length));
      try {
        const BmpLayout layout = ReadBmpLayout(cut);
        EXPECT_LE(layout.bitsOffset + layout.bitsSize, cut.size());
        ++accepted;
      } catch (const BmpError&) {
      }
    }
    for (int round = 0; round < 3'000; ++round) {
      Bytes damaged = seed;
      for (int k = 0; k < 3; ++k) {
        damaged[random() % std::min<std::size_t>(damaged.size(), 80)] =
            static_cast<std::uint8_t>(random());
      }
      try {
        const BmpLayout layout = ReadBmpLayout(damaged);
        EXPECT_LE(layout.bitsOffset + layout.bitsSize, damaged.size());
        ++accepted;
      } catch (const BmpError&) {
      }
    }
  }
  EXPECT_GT(accepted, 3);  // the whole files, at least
}

TEST(FitInto, KeepsTheProportionsAndCentres) {
  const Box area{10, 20, 800, 600};
  EXPECT_EQ(FitInto(400, 100, area), (Box{10, 220, 800, 200}));  // wide: full width
  EXPECT_EQ(FitInto(100, 400, area), (Box{335, 20, 150, 600}));  // tall: full height
  EXPECT_EQ(FitInto(4, 3, area), (Box{10, 20, 800, 600}));       // small ones grow
  EXPECT_EQ(FitInto(10'000, 1, area), (Box{10, 319, 800, 1}));   // never below a pixel
  EXPECT_EQ(FitInto(0, 5, area).width, 0);
  EXPECT_EQ(FitInto(5, 5, Box{0, 0, 0, 100}).height, 0);
}

}  // namespace
}  // namespace turv::player
