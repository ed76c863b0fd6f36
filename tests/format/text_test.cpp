// Names and captions as text: Windows-1252 <-> UTF-8, and which names can be
// files on Windows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "format/karu_format.h"

namespace turv::format {
namespace {

using ::testing::HasSubstr;

TEST(Cp1252, ConvertsBothWays) {
  EXPECT_EQ(ToUtf8("Einf\xFChrung"), "Einf\xC3\xBChrung");
  EXPECT_EQ(ToUtf8("\x80 \x9F \xA0"), "\xE2\x82\xAC \xC5\xB8 \xC2\xA0");
  EXPECT_EQ(ToCp1252("Gr\xC3\xB6\xC3\x9F"
                     "e \xE2\x80\x9Equote\xE2\x80\x9C \xE2\x84\xA2"),
            "Gr\xF6\xDF"
            "e \x84quote\x93 \x99");
  std::string every;
  for (int b = 1; b < 256; ++b) every += static_cast<char>(b);
  EXPECT_EQ(ToCp1252(ToUtf8(every)), every);
}

TEST(Cp1252, RefusesWhatItCannotHoldOrRead) {
  const auto refused = [](std::string_view utf8, const char* why) {
    try {
      const std::string text = ToCp1252(utf8);
      ADD_FAILURE() << "accepted: " << why;
    } catch (const FormatError& error) {
      EXPECT_THAT(error.what(), HasSubstr(why));
    }
  };
  refused("Kurs \xE4\xB8\xAD.txt", "U+4E2D \"\xE4\xB8\xAD\" has no Windows-1252 form");
  refused("\xF0\x9F\x98\x80", "U+1F600");
  refused("\xC2\x80", "U+0080");          // 0x80 is the euro sign, not this control
  refused("ab\xC3", "byte 3");            // cut short
  refused("\xC0\xAF", "byte 1");          // overlong slash
  refused("\xED\xA0\x80", "byte 1");      // surrogate
  refused("a\x80", "byte 2");             // continuation without a lead
  refused("\xC3\x28", "byte 1");          // lead without a continuation
  refused("\xF4\x90\x80\x80", "byte 1");  // beyond U+10FFFF
  refused("\xFF", "byte 1");
}

TEST(FileNames, AcceptsPlainWindowsNames) {
  for (const char* name :
       {"intro.txt", "a", "Bild 1.bmp", ".hidden", "x.con", "console.txt", "COM10", "LPT",
        "Gr\xFC\xDF"
        "e",
        "x.y z", "0123456789012345678901234567890!"}) {
    EXPECT_EQ(NameProblem(name), std::nullopt) << name;
  }
}

TEST(FileNames, RefusesNamesWindowsWouldRefuseOrChange) {
  const auto refused = [](std::string_view name, const char* why) {
    const auto problem = NameProblem(name);
    ASSERT_TRUE(problem.has_value()) << name;
    EXPECT_THAT(*problem, HasSubstr(why)) << name;
  };
  refused("", "empty");
  refused(std::string(33, 'x'), "33 characters");
  refused(".", "no file name");
  refused("..", "no file name");
  for (const char* bad : {"a<b", "a>b", "a:b", "a\"b", "a/b", "a\\b", "a|b", "a?b", "a*b"}) {
    refused(bad, "forbids");
  }
  refused("C:evil", "forbids");
  refused("tab\there", "control character (\"\\x09\")");
  refused("del\x7F", "control character (\"\\x7F\")");
  for (const char c1 : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'}) {  // the C1 controls
    refused(std::string("c1") + c1, "control character (\"\\u00");
  }
  refused(std::string("nul\0x", 5), "control character (\"\\x00\")");
  refused("ende.", "dot");
  refused("ende ", "blank");
  for (const char* device : {"CON", "con", "Nul.txt", "aux.tar.gz", "PRN", "com1", "LPT9.log",
                             "COM0", "com\xB9", "LPT\xB3", "nul .txt", "CONIN$", "conout$"}) {
    refused(device, "device name");
  }
}

// What reaches a terminal: controls escaped, so that no name, caption or
// path can move the cursor, retitle the window or start a terminal command.
TEST(Printable, EscapesEveryControlCharacterAndStrayByte) {
  EXPECT_EQ(Printable("Gr\xC3\xBC\xC3\x9F"
                      "e \xE2\x82\xAC"),
            "Gr\xC3\xBC\xC3\x9F"
            "e \xE2\x82\xAC");
  EXPECT_EQ(Printable(std::string("\0\t\n\x1B[2J\x7F", 8)), "\\x00\\x09\\x0A\\x1B[2J\\x7F");
  EXPECT_EQ(Printable("\xC2\x80\xC2\x9D]0;x\xC2\x9F\xC2\xA0"), "\\u0080\\u009D]0;x\\u009F\xC2\xA0");
  // The characters that reorder text: a name must not turn a line around.
  EXPECT_EQ(Printable("a\xE2\x80\xAA\xE2\x80\xAE\xE2\x81\xA6\xE2\x81\xA9\xE2\x80\xAF\xE2\x81\xAA"),
            "a\\u202A\\u202E\\u2066\\u2069\xE2\x80\xAF\xE2\x81\xAA");
  EXPECT_EQ(Printable("a\x9B"
                      "b\xC3"),
            "a\\x9Bb\\xC3");  // no UTF-8: C1 on 8-bit terminals
  EXPECT_EQ(Quoted("c1\x81\x9D \xFC"), "\"c1\\u0081\\u009D \xC3\xBC\"");
}

TEST(FileNames, FoldsCaseAsWindowsDoes) {
  EXPECT_EQ(FoldCase("Bild.BMP"), FoldCase("bild.bmp"));
  EXPECT_EQ(FoldCase("\xC4\xD6\xDC.txt"), "\xE4\xF6\xFC.txt");  // ÄÖÜ
  EXPECT_EQ(FoldCase("\x8A\x8C\x8E\x9F"), "\x9A\x9C\x9E\xFF");  // Š Œ Ž Ÿ
  EXPECT_EQ(FoldCase("\xD7\xDF"), "\xD7\xDF");                  // × and ß have no other case here
}

}  // namespace
}  // namespace turv::format
