// The captions file's lines, read without running the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "karupack/captions.h"
#include "karupack/errors.h"

namespace turv::karupack {
namespace {

std::vector<Caption> Parse(const std::string& text) {
  std::istringstream in(text);
  return ParseCaptions(in, "captions.txt");
}

TEST(Captions, ReadsLinesAndSkipsCommentsAndBlanks) {
  const auto captions = Parse(
      "\xEF\xBB\xBF# Kurs\r\n"
      "\r\n"
      "intro.txt\tEinf\xC3\xBChrung\r\n"
      "   \t \n"
      "#bild.bmp\tskipped\n"
      "Gr\xC3\xBC\xC3\x9F"
      "e.txt\tmit # und  Blanks \n"
      "last.txt\tno line end");
  EXPECT_EQ(captions, (std::vector<Caption>{{3, "intro.txt", "Einf\xFChrung"},
                                            {6,
                                             "Gr\xFC\xDF"
                                             "e.txt",
                                             "mit # und  Blanks "},
                                            {7, "last.txt", "no line end"}}));
  EXPECT_TRUE(Parse("").empty());
  EXPECT_TRUE(Parse("# only a comment").empty());
}

TEST(Captions, RefusalsNameTheFileAndLine) {
  const auto refused = [](const std::string& text, const std::string& why) {
    try {
      Parse(text);
      ADD_FAILURE() << "accepted: " << why;
    } catch (const Failure& failure) {
      EXPECT_THAT(failure.what(), ::testing::StartsWith("captions.txt: "));
      EXPECT_THAT(failure.what(), ::testing::HasSubstr(why));
    }
  };
  refused("a.txt\tok\nb.txt caption", "line 2: no tab");
  refused("a.txt\t" + std::string(185, 'x'), "line 1: the caption has 185 characters");
  refused("\xE4\xB8\xAD.txt\tx", "line 1: the name: the character U+4E2D");
  refused("a.txt\t\xC3", "line 1: the caption: not valid UTF-8");
  refused("a.txt\t", "line 1: the caption is empty");
  for (const char* control : {"\x01", "\x7F", "\xC2\x81", "\xC2\x9D"}) {  // C0, DEL, C1
    refused(std::string("a.txt\tx") + control + "y", "control character");
  }
  refused("a.txt\t" + std::string(70'000, 'x'), "line 1: too long");
  // 184 characters of two bytes each fit: the limit counts characters.
  std::string umlauts;
  for (int i = 0; i < 184; ++i) umlauts += "\xC3\xA4";
  EXPECT_EQ(Parse("a.txt\t" + umlauts).front().text, std::string(184, '\xE4'));
}

}  // namespace
}  // namespace turv::karupack
