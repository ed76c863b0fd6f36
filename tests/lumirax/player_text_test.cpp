// Texts reach the window as UTF-16 whatever code page they were written in.
#include <gtest/gtest.h>

#include <vector>

#include "lumirax/player_text.h"

namespace turv::player {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

std::u16string Decoded(std::string_view text) {
  const auto bytes = Bytes(text);
  return DecodeTextFile(bytes);
}

TEST(Cp1252, DecodesTheHighHalfAsWindowsDoes) {
  EXPECT_EQ(FromCp1252("Pr\xE4sentation \xDC\xDF"), u"Pr\u00E4sentation \u00DC\u00DF");
  EXPECT_EQ(FromCp1252("\x80\x84\x93\x9F"), u"\u20AC\u201E\u201C\u0178");
  // The five bytes the code page leaves open stay what they were.
  EXPECT_EQ(FromCp1252("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
  std::string every;
  for (int b = 0xA0; b < 0x100; ++b) every += static_cast<char>(b);
  const std::u16string wide = FromCp1252(every);
  ASSERT_EQ(wide.size(), every.size());
  for (std::size_t i = 0; i < wide.size(); ++i) EXPECT_EQ(wide[i], 0xA0 + i);
}

TEST(Utf8, RoundTripsEveryPlaneAndReplacesWhatIsIllFormed) {
  const std::string text = "K\xC3\xBCrbis \xE2\x82\xAC \xF0\x9F\x98\x80";
  const std::u16string wide = FromUtf8(text);
  EXPECT_EQ(wide, u"K\u00FCrbis \u20AC \U0001F600");
  EXPECT_EQ(wide.size(), 11u);  // the emoji is a surrogate pair
  EXPECT_EQ(ToUtf8(wide), text);

  EXPECT_EQ(FromUtf8("a\xC3"), u"a\uFFFD");                    // cut short
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // a surrogate
  EXPECT_EQ(ToUtf8(u"x\xD800y"), "x\xEF\xBF\xBDy");            // lone surrogate
}

TEST(TextFile, PicksTheEncodingFromMarkOrContent) {
  EXPECT_EQ(Decoded("\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                    "e"),
            u"Gr\u00FC\u00DFe");
  EXPECT_EQ(Decoded(std::string("\xFF\xFE\x41\x00\xFC\x00\xAC\x20", 8)), u"A\u00FC\u20AC");
  EXPECT_EQ(Decoded(std::string("\xFE\xFF\x00\x41\x00\xFC\x20\xAC\x00", 9)), u"A\u00FC\u20AC");
  EXPECT_EQ(Decoded("\xC3\x9C"
                    "bung"),
            u"\u00DCbung");  // UTF-8 without a mark
  EXPECT_EQ(Decoded("\xDC"
                    "bung \x80"),
            u"\u00DCbung \u20AC");  // Windows-1252
  // A Windows-1252 text that ends in a letter that opens a UTF-8 sequence.
  EXPECT_EQ(Decoded("Sch\xF6n und sp\xE4"), u"Sch\u00F6n und sp\u00E4");
  EXPECT_EQ(Decoded("sp\xE4"), u"sp\u00E4");
  // A UTF-8 view cut in the middle of its last character stays UTF-8.
  EXPECT_EQ(Decoded("\xC3\xA4 \xE2\x82"), u"\u00E4 \uFFFD\uFFFD");
}

TEST(TextFile, EndsEveryLineWithCrLfForTheEditControl) {
  EXPECT_EQ(Decoded("a\nb\r\nc\rd\n\n"), u"a\r\nb\r\nc\r\nd\r\n\r\n");
  EXPECT_EQ(Decoded(std::string("a\0b", 3)), u"a b");
  EXPECT_EQ(Decoded(""), u"");
}

TEST(ByteCount, GroupsDigitsTheGermanWay) {
  EXPECT_EQ(ByteCount(0), u"0 Bytes");
  EXPECT_EQ(ByteCount(999), u"999 Bytes");
  EXPECT_EQ(ByteCount(1'000), u"1.000 Bytes");
  EXPECT_EQ(ByteCount(672'224), u"672.224 Bytes");
  EXPECT_EQ(ByteCount(4'294'967'296), u"4.294.967.296 Bytes");
}

}  // namespace
}  // namespace turv::player
