// Pictures before the screen: the EXIF orientation and the frame's size
// read from hostile bytes, the pixels turned by it, scaled with a filter
// that keeps every pixel's share, laid over the background, the size asked
// of the decoder, and which slides the decoding thread takes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "lumirax/picture.h"
#include "lumirax/picture_header.h"
#include "lumirax/player_text.h"
#include "lumirax/slide_queue.h"

namespace turv::player {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, unsigned v, bool little) {
  out.push_back(static_cast<std::uint8_t>(little ? v : v >> 8));
  out.push_back(static_cast<std::uint8_t>(little ? v >> 8 : v));
}
void Put32(Bytes& out, std::uint32_t v, bool little) {
  Put16(out, little ? v & 0xFFFF : v >> 16, little);
  Put16(out, little ? v >> 16 : v & 0xFFFF, little);
}

// A JPEG's start: SOI, the segments given, then SOS.
Bytes Jpeg(const std::vector<Bytes>& segments) {
  Bytes out{0xFF, 0xD8};
  for (const Bytes& s : segments) out.insert(out.end(), s.begin(), s.end());
  out.insert(out.end(), {0xFF, 0xDA, 0x00, 0x02, 0x12, 0x34});
  return out;
}

Bytes Segment(std::uint8_t marker, const Bytes& body) {
  Bytes out{0xFF, marker};
  Put16(out, static_cast<unsigned>(body.size() + 2), false);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// An APP1 EXIF segment whose first directory holds a tag before the
// orientation and then the orientation entry as given.
struct Exif {
  bool little = true;
  unsigned value = 6;
  unsigned type = 3;  // SHORT
  std::uint32_t count = 1;
  std::uint32_t ifd = 8;
  unsigned entries = 2;
};
Bytes App1(const Exif& e) {
  Bytes body{'E', 'x', 'i', 'f', 0, 0};
  body.insert(body.end(), e.little ? std::initializer_list<std::uint8_t>{'I', 'I'}
                                   : std::initializer_list<std::uint8_t>{'M', 'M'});
  Put16(body, 42, e.little);
  Put32(body, e.ifd, e.little);
  Put16(body, e.entries, e.little);
  for (const auto& [tag, type, count, value] :
       {std::tuple{271u, 2u, 4u, 0x616E6F43u}, std::tuple{274u, e.type, e.count, e.value}}) {
    Put16(body, tag, e.little);
    Put16(body, type, e.little);
    Put32(body, count, e.little);
    if (type == 3) {
      Put16(body, value, e.little);
      Put16(body, 0, e.little);
    } else {
      Put32(body, value, e.little);
    }
  }
  Put32(body, 0, e.little);  // no next directory
  return Segment(0xE1, body);
}

const Bytes kJfif = Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 0, 0});

TEST(ExifOrientation, EveryValueInEitherByteOrderAfterOtherSegments) {
  for (const bool little : {true, false}) {
    for (unsigned v = 1; v <= 8; ++v) {
      EXPECT_EQ(JpegOrientation(Jpeg({kJfif, App1({.little = little, .value = v})})),
                static_cast<int>(v))
          << little << v;
    }
  }
  // Fill bytes before a marker are allowed.
  Bytes filled = Jpeg({App1({})});
  filled.insert(filled.begin() + 2, {0xFF, 0xFF});
  EXPECT_EQ(JpegOrientation(filled), 6);
}

TEST(ExifOrientation, AnythingDamagedOrHostileReadsAsUpright) {
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"no jpeg", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}},
      {"no exif", Jpeg({kJfif})},
      {"value 0", Jpeg({App1({.value = 0})})},
      {"value 9", Jpeg({App1({.value = 9})})},
      {"a long", Jpeg({App1({.type = 4})})},
      {"two values", Jpeg({App1({.count = 2})})},
      {"directory past the segment", Jpeg({App1({.ifd = 4'000})})},
      {"directory offset wraps", Jpeg({App1({.ifd = 0xFFFFFFF8u})})},
      {"more entries than bytes", Jpeg({App1({.value = 0, .entries = 0xFFFF})})},
      {"not 42",
       [] {
         Bytes b = Jpeg({App1({})});
         b[2 + 4 + 6 + 2] = 43;
         return b;
       }()},
      {"exif after the image data",
       [] {
         Bytes b = Jpeg({});
         const Bytes app1 = App1({});
         b.insert(b.end(), app1.begin(), app1.end());
         return b;
       }()},
      {"segment longer than the file", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 'E', 'x'}},
      {"segment length below two", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01, 0xFF, 0xDA}},
  };
  for (const auto& [name, bytes] : cases) EXPECT_EQ(JpegOrientation(bytes), 1) << name;

  // Every cut of a good file stops inside the bounds (the sanitizers watch).
  const Bytes whole = Jpeg({kJfif, App1({.value = 8})});
  for (std::size_t n = 0; n < whole.size(); ++n) {
    const int value = JpegOrientation(std::span(whole).first(n));
    EXPECT_TRUE(value == 1 || value == 8) << n;
  }
}

Bytes CorpusFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The picture header's fuzz corpus: real small files, and the lying set,
// each stating a frame no decoder should be given.
const std::filesystem::path kCorpus = TURV_PICTURE_CORPUS;

TEST(HeaderSize, TheFirstFrameOfEveryFormatBeforeAnyDecoder) {
  constexpr std::uint32_t k2G = 0x8000'0000u;
  const std::map<std::string, FrameSize> files = {
      {"png-64x48.png", {64, 48}},
      {"gif-64x48.gif", {64, 48}},
      {"lying-gif-frame-20000.gif", {20'000, 20'000}},  // on a 1x1 screen
      {"lying-tiff-100000.tif", {100'000, 100'000}},
      {"lying-tiff-100000-big-endian.tif", {100'000, 100'000}},
      {"lying-png-2g.png", {k2G, k2G}},
      {"lying-bmp-2g-rows.bmp", {1, k2G}},  // top-down, INT_MIN rows
      {"lying-jpeg-65535.jpg", {65'535, 65'535}},
  };
  for (const auto& [name, size] : files)
    EXPECT_EQ(HeaderSize(CorpusFile(kCorpus / name)), size) << name;

  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  Put32(png, 100'000, false);
  Put32(png, 3, false);
  EXPECT_EQ(HeaderSize(png), (FrameSize{100'000, 3}));
  EXPECT_EQ(HeaderSize(std::span(png).first(23)), std::nullopt);

  Bytes bmp(26, 0);
  bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40;
  bmp[18] = 0x20, bmp[22] = 0xF0, bmp[23] = 0xFF, bmp[24] = 0xFF, bmp[25] = 0xFF;  // top-down
  EXPECT_EQ(HeaderSize(bmp), (FrameSize{32, 16}));
  bmp[14] = 12, bmp[20] = 0x10;  // the old header's 16-bit sides
  EXPECT_EQ(HeaderSize(bmp), (FrameSize{32, 16}));

  // A progressive JPEG's frame header after the EXIF segment; DHT is no frame.
  const Bytes dht = Segment(0xC4, {0, 1, 2, 3, 4, 5});
  const Bytes sof2 = Segment(0xC2, {8, 0x0F, 0xA0, 0x17, 0x70, 3});
  EXPECT_EQ(HeaderSize(Jpeg({App1({}), dht, sof2})), (FrameSize{6000, 4000}));
  // However many segments stand before it.
  std::vector<Bytes> many(100, kJfif);
  many.push_back(sof2);
  EXPECT_EQ(HeaderSize(Jpeg(many)), (FrameSize{6000, 4000}));
  EXPECT_EQ(HeaderSize(Jpeg({App1({}), dht})), std::nullopt);
  EXPECT_EQ(HeaderSize(Jpeg({Segment(0xC0, {8, 0, 0, 0x17, 0x70, 3})})), std::nullopt);  // 0 rows
  EXPECT_EQ(HeaderSize(Bytes{'I', 'I', 42, 0, 8, 0, 0, 0}), std::nullopt);
  // A GIF that ends before its first image.
  EXPECT_EQ(HeaderSize(Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}),
            std::nullopt);
}

Pixels Make(int width, int height, std::vector<std::uint32_t> data) {
  return {width, height, std::move(data)};
}

TEST(Orient, EachOrientationTurnsTheStoredPixelsUpright) {
  // Stored:  a b c
  //          d e f
  enum : std::uint32_t { a = 1, b, c, d, e, f };
  const Pixels stored = Make(3, 2, {a, b, c, d, e, f});
  const std::vector<std::vector<std::uint32_t>> upright = {
      {a, b, c, d, e, f}, {c, b, a, f, e, d}, {f, e, d, c, b, a}, {d, e, f, a, b, c},
      {a, d, b, e, c, f}, {d, a, e, b, f, c}, {f, c, e, b, d, a}, {c, f, b, e, a, d}};
  for (int o = 1; o <= 8; ++o) {
    const Pixels turned = Orient(stored, o);
    EXPECT_EQ(turned.data, upright[static_cast<std::size_t>(o - 1)]) << o;
    EXPECT_EQ(turned.width, o >= 5 ? 2 : 3) << o;
  }
}

std::vector<std::uint32_t> Scaled(Size from, Size to, const std::vector<std::uint32_t>& data) {
  Resampler r(from, to);
  // In bands of one row and then the rest, as the decoder hands them.
  r.Add(std::span(data).first(static_cast<std::size_t>(from.width)));
  r.Add(std::span(data).subspan(static_cast<std::size_t>(from.width)));
  const Pixels out = r.Finish();
  EXPECT_EQ(out.width, to.width);
  EXPECT_EQ(out.height, to.height);
  return out.data;
}

TEST(Resampler, ShrinksByAreaAndGrowsSmoothly) {
  constexpr std::uint32_t W = 0xFFFFFFFF, K = 0xFF000000, G = 0xFF808080;
  // A checkerboard halved is grey: no pixel is dropped.
  EXPECT_EQ(Scaled({4, 4}, {2, 2}, {W, K, W, K, K, W, K, W, W, K, W, K, K, W, K, W}),
            (std::vector<std::uint32_t>(4, G)));
  // Three columns into two: each target pixel takes one and a half.
  EXPECT_EQ(Scaled({3, 1}, {2, 1}, {0xFF000000, 0xFFFFFFFF, 0xFF000000}),
            (std::vector<std::uint32_t>(2, 0xFF555555)));
  // 6000 x 2 into 7 x 1: weights over many pixels still add up exactly.
  EXPECT_EQ(Scaled({6000, 2}, {7, 1}, std::vector<std::uint32_t>(12'000, 0x80402010)),
            (std::vector<std::uint32_t>(7, 0x80402010)));
  // Column positions past 32 bits (100,000 x 50,000 on one scale).
  EXPECT_EQ(Scaled({100'000, 2}, {50'000, 1}, std::vector<std::uint32_t>(200'000, 0x80402010)),
            (std::vector<std::uint32_t>(50'000, 0x80402010)));
  // Growing interpolates between neighbours.
  EXPECT_EQ(Scaled({2, 1}, {4, 1}, {0xFF000000, 0xFF0000FF}),
            (std::vector<std::uint32_t>{0xFF000000, 0xFF000040, 0xFF0000BF, 0xFF0000FF}));
}

TEST(OverBackground, PremultipliedColoursCoverTheBackgroundByTheirAlpha) {
  Pixels p = Make(3, 1, {0x80000080, 0x00000000, 0xFF123456});
  OverBackground(p, 0xFFFFFF);
  EXPECT_EQ(p.data, (std::vector<std::uint32_t>{0xFF7F7FFF, 0xFFFFFFFF, 0xFF123456}));
}

// A decoder of one solid picture that can decode at 1/reduction of its size
// (a JPEG decoder's 8) or not at all; it notes what it is asked.
class SolidFrame : public PictureFrame {
 public:
  SolidFrame(Size stored, int reduction, std::vector<Size>& asked, std::size_t& largestBand)
      : stored_(stored), reduction_(reduction), asked_(asked), largestBand_(largestBand) {}
  Size StoredSize() const override { return stored_; }
  Size Reduce(Size wanted) override {
    asked_.push_back(wanted);
    // The most it can reduce, by halves, to no less than wanted.
    for (int by = reduction_; by > 1; by /= 2) {
      if (wanted.width * by <= stored_.width) {
        rows_ = {stored_.width / by, stored_.height / by};
        break;
      }
    }
    return rows_;
  }
  void CopyRows(int top, int count, std::span<std::uint32_t> rows) override {
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(rows_.width) * static_cast<std::size_t>(count));
    EXPECT_LE(top + count, rows_.height);
    largestBand_ = std::max(largestBand_, rows.size_bytes());
    std::fill(rows.begin(), rows.end(), 0xFF00FF00);
  }

 private:
  Size stored_;
  int reduction_;
  std::vector<Size>& asked_;
  std::size_t& largestBand_;
  Size rows_ = stored_;
};

class SolidDecoder : public PictureDecoder {
 public:
  SolidDecoder(Size stored, int reduction) : stored_(stored), reduction_(reduction) {}
  std::unique_ptr<PictureFrame> Open(std::span<const std::uint8_t>) override {
    ++opened;
    return std::make_unique<SolidFrame>(stored_, reduction_, asked, largestBand);
  }
  int JpegReduction() const override { return reduction_; }
  std::vector<Size> asked;
  std::size_t largestBand = 0;
  int opened = 0;

 private:
  Size stored_;
  int reduction_;
};

Bytes PngHeader(std::uint32_t width, std::uint32_t height) {
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  Put32(png, width, false);
  Put32(png, height, false);
  return png;
}

Bytes JpegHeader(unsigned width, unsigned height) {
  return Jpeg({Segment(
      0xC0, {8, static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height),
             static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width), 3})});
}

// Renders and expects the refusal's line; whether the decoder was asked.
bool Refused(SolidDecoder& decoder, const Bytes& file, const char* why) {
  try {
    RenderPicture(decoder, file, {1'280, 1'024}, 1, 0);
    ADD_FAILURE() << "accepted";
  } catch (const PlayerError& error) {
    EXPECT_NE(ToUtf8(error.Message()).find(why), std::string::npos) << ToUtf8(error.Message());
  }
  return decoder.opened == 0;
}

TEST(RenderPicture, FitsUprightAndAsksForTheReducedSize) {
  // A landscape photo stored sideways (orientation 6) is portrait upright:
  // it fits a portrait area by its height.
  SolidDecoder photo({400, 300}, 2);
  const Pixels upright = RenderPicture(photo, JpegHeader(400, 300), {100, 200}, 6, 0x000000);
  EXPECT_EQ(upright.width, 100);
  EXPECT_EQ(upright.height, 133);
  ASSERT_EQ(photo.asked, (std::vector<Size>{{133, 100}}));
  EXPECT_EQ(upright.data.front(), 0xFF00FF00u);
}

TEST(RenderPicture, WhatTheDecoderWouldHoldTooMuchOfNeverReachesIt) {
  // 48 million pixels: a JPEG passes only to a decoder that reduces it.
  SolidDecoder whole({8'000, 6'000}, 1);
  EXPECT_TRUE(Refused(whole, JpegHeader(8'000, 6'000), "zu gro"));
  SolidDecoder reduced({8'000, 6'000}, 8);
  EXPECT_EQ(RenderPicture(reduced, JpegHeader(8'000, 6'000), {100, 100}, 1, 0).width, 100);
  // A codec that cannot reduce a PNG is given no second chance.
  SolidDecoder png({8'000, 6'000}, 8);
  EXPECT_TRUE(Refused(png, PngHeader(8'000, 6'000), "zu gro"));
  // Headers that lie, even to a decoder that reduces JPEGs to an eighth.
  for (const auto& file : std::filesystem::directory_iterator(kCorpus)) {
    if (!file.path().filename().string().starts_with("lying-")) continue;
    SolidDecoder lied({1, 1}, 8);
    EXPECT_TRUE(Refused(lied, CorpusFile(file.path()), "zu gro")) << file.path();
  }
  // No header the player can read: no decoder is asked what it is.
  SolidDecoder unknown({1, 1}, 8);
  EXPECT_TRUE(Refused(unknown, Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}, "besch"));
}

TEST(RenderPicture, VeryWidePicturesTakeBandsOfBoundedBytesAndAddUpExactly) {
  // Past 16,843,009 columns a column's sums no longer fit 32 bits.
  constexpr int kWidth = 17'000'000;
  SolidDecoder wide({kWidth, 1}, 1);
  const Pixels shown = RenderPicture(wide, PngHeader(kWidth, 1), {100, 100}, 1, 0);
  ASSERT_EQ(shown.width, 100);
  EXPECT_EQ(shown.data, std::vector<std::uint32_t>(100, 0xFF00FF00u));
  EXPECT_EQ(wide.largestBand, std::size_t{kWidth} * 4);  // one row, not 32
  // A photo still comes in bands of many rows, within the bound.
  SolidDecoder photo({2'000, 1'000}, 1);
  RenderPicture(photo, PngHeader(2'000, 1'000), {1'280, 1'024}, 1, 0);
  EXPECT_GT(photo.largestBand, std::size_t{2'000} * 4 * 8);
  EXPECT_LE(photo.largestBand, kBandBytes);
}

TEST(SlideQueue, DecodesEachWishOnceAndNothingForAnEmptyArea) {
  const SlideRequest first{0, {640, 480}, 0}, second{1, {640, 480}, 0};
  SlideQueue queue;
  queue.Want({first, second, {2, {0, 0}, 0}, {3, {640, 0}, 0}});  // minimised: 0 x 0
  EXPECT_EQ(queue.Next(), first);
  queue.Want({first, second});  // under way: not again
  queue.Finished({first, {}, u"", false});
  queue.Want({first, second});  // finished, not yet taken: not again
  EXPECT_EQ(queue.Next(), second);
  EXPECT_EQ(queue.Next(), std::nullopt);
  queue.Finished({second, {}, u"", false});
  EXPECT_EQ(queue.Take().size(), 2u);
  queue.Want({first});  // taken, and wanted anew (the window forgot it)
  EXPECT_EQ(queue.Next(), first);
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
