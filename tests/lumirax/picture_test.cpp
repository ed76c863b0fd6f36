// Pictures before the screen: the EXIF orientation read from hostile bytes,
// the pixels turned by it, scaled with a filter that keeps every pixel's
// share, laid over the background, and the size asked of the decoder.
#include <gtest/gtest.h>

#include <string>

#include "lumirax/picture.h"
#include "lumirax/picture_header.h"
#include "lumirax/player_text.h"

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

TEST(HeaderSize, WhatEachFormatPromisesBeforeAnyDecoder) {
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  Put32(png, 100'000, false);
  Put32(png, 3, false);
  EXPECT_EQ(HeaderSize(png), (Size{100'000, 3}));
  EXPECT_EQ(HeaderSize(std::span(png).first(23)), std::nullopt);

  Bytes gif{'G', 'I', 'F', '8', '9', 'a'};
  Put16(gif, 640, true);
  Put16(gif, 480, true);
  EXPECT_EQ(HeaderSize(gif), (Size{640, 480}));

  Bytes bmp(26, 0);
  bmp[0] = 'B', bmp[1] = 'M';
  bmp[18] = 0x20, bmp[22] = 0xF0, bmp[23] = 0xFF, bmp[24] = 0xFF, bmp[25] = 0xFF;  // top-down
  EXPECT_EQ(HeaderSize(bmp), (Size{32, 16}));
  bmp[22] = 0, bmp[23] = 0, bmp[24] = 0, bmp[25] = 0x80;  // INT_MIN rows
  EXPECT_EQ(HeaderSize(bmp), std::nullopt);

  // A progressive JPEG's frame header after the EXIF segment; DHT is no frame.
  const Bytes dht = Segment(0xC4, {0, 1, 2, 3, 4, 5});
  const Bytes sof2 = Segment(0xC2, {8, 0x0F, 0xA0, 0x17, 0x70, 3});
  EXPECT_EQ(HeaderSize(Jpeg({App1({}), dht, sof2})), (Size{6000, 4000}));
  EXPECT_EQ(HeaderSize(Jpeg({App1({}), dht})), std::nullopt);
  EXPECT_EQ(HeaderSize(Jpeg({Segment(0xC0, {8, 0, 0, 0x17, 0x70, 3})})), std::nullopt);  // 0 rows
  EXPECT_EQ(HeaderSize(Bytes{'I', 'I', 42, 0, 8, 0, 0, 0}), std::nullopt);
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
  // Growing interpolates between neighbours.
  EXPECT_EQ(Scaled({2, 1}, {4, 1}, {0xFF000000, 0xFF0000FF}),
            (std::vector<std::uint32_t>{0xFF000000, 0xFF000040, 0xFF0000BF, 0xFF0000FF}));
}

TEST(OverBackground, PremultipliedColoursCoverTheBackgroundByTheirAlpha) {
  Pixels p = Make(3, 1, {0x80000080, 0x00000000, 0xFF123456});
  OverBackground(p, 0xFFFFFF);
  EXPECT_EQ(p.data, (std::vector<std::uint32_t>{0xFF7F7FFF, 0xFFFFFFFF, 0xFF123456}));
}

// A decoder of one solid picture that can decode at half size or not at all.
class SolidFrame : public PictureFrame {
 public:
  SolidFrame(Size stored, bool halves, std::vector<Size>& asked)
      : stored_(stored), halves_(halves), asked_(asked) {}
  Size StoredSize() const override { return stored_; }
  Size Reduce(Size wanted) override {
    asked_.push_back(wanted);
    if (halves_ && wanted.width * 2 <= stored_.width) {
      rows_ = {stored_.width / 2, stored_.height / 2};
    }
    return rows_;
  }
  void CopyRows(int top, int count, std::span<std::uint32_t> rows) override {
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(rows_.width) * static_cast<std::size_t>(count));
    EXPECT_LE(top + count, rows_.height);
    std::fill(rows.begin(), rows.end(), 0xFF00FF00);
  }

 private:
  Size stored_;
  bool halves_;
  std::vector<Size>& asked_;
  Size rows_ = stored_;
};

class SolidDecoder : public PictureDecoder {
 public:
  SolidDecoder(Size stored, bool halves) : stored_(stored), halves_(halves) {}
  std::unique_ptr<PictureFrame> Open(std::span<const std::uint8_t>) override {
    ++opened;
    return std::make_unique<SolidFrame>(stored_, halves_, asked);
  }
  std::vector<Size> asked;
  int opened = 0;

 private:
  Size stored_;
  bool halves_;
};

TEST(RenderPicture, FitsUprightAsksForTheReducedSizeAndRefusesTooLarge) {
  // A landscape photo stored sideways (orientation 6) is portrait upright:
  // it fits a portrait area by its height.
  SolidDecoder photo({400, 300}, true);
  const Pixels upright = RenderPicture(photo, {}, {100, 200}, 6, 0x000000);
  EXPECT_EQ(upright.width, 100);
  EXPECT_EQ(upright.height, 133);
  ASSERT_EQ(photo.asked, (std::vector<Size>{{133, 100}}));
  EXPECT_EQ(upright.data.front(), 0xFF00FF00u);

  // 48 million pixels are refused unless the codec decodes them smaller.
  SolidDecoder whole({8'000, 6'000}, false);
  try {
    RenderPicture(whole, {}, {1'280, 1'024}, 1, 0);
    ADD_FAILURE() << "accepted";
  } catch (const PlayerError& error) {
    EXPECT_NE(ToUtf8(error.Message()).find("zu gro"), std::string::npos);
  }
  SolidDecoder reduced({8'000, 6'000}, true);
  EXPECT_EQ(RenderPicture(reduced, {}, {1'280, 1'024}, 1, 0).width, 1'280);

  // A PNG header promising that many never reaches the decoder at all.
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  Put32(png, 100'000, false);
  Put32(png, 100'000, false);
  SolidDecoder bomb({1, 1}, false);
  EXPECT_THROW(RenderPicture(bomb, png, {1'280, 1'024}, 1, 0), PlayerError);
  EXPECT_EQ(bomb.opened, 0);
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
