// The show's settings file: what it says, what each bad line gives, and the
// check against the packed names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "format/show_settings.h"

namespace turv::format {
namespace {

using ::testing::ElementsAre;

SlideSettings Slide(std::string entry, int line) {
  SlideSettings slide;
  slide.entry = std::move(entry);
  slide.line = line;
  return slide;
}

TEST(ShowSettings, ReadsEveryKeyAsWritten) {
  const ShowParse parse = ParseShowSettings(
      "\xEF\xBB\xBF; an author's show\r\n"
      "  [ show ]  ; the show itself\r\n"
      "ADVANCE = 0.25   ; seconds\r\n"
      "loop=Ja\n"
      "Start=list\n"
      "Kiosk=true\n"
      "Music=Track#2.mp3 # a name may hold '#'\n"
      "Volume=40\n"
      "Fade=5000\n"
      "\n"
      "# slides\n"
      "[\xC3\x84 [1].png] ; ']' in a name\n"
      "Seconds=86400\n"
      "Sound=01 Titel.mp3\n"
      "Volume=0\n"
      "Note= Erstens; zweitens # drittens \n"
      "Note=\n"
      "[b.png]\n"
      "Seconds=1.5\n"
      "Seconds=2\n");
  EXPECT_THAT(parse.problems, ElementsAre());
  ShowSettings expected;
  expected.advanceMilliseconds = 250;
  expected.loop = true;
  expected.kiosk = true;
  expected.startInShow = true;  // the kiosk's, whatever Start says
  expected.music = "Track#2.mp3";
  expected.musicLine = 7;
  expected.musicVolume = 40;
  expected.fadeMilliseconds = 5000;
  SlideSettings& first = expected.slides.emplace_back(Slide("\xC4 [1].png", 12));
  first.milliseconds = 86'400'000;
  first.sound = "01 Titel.mp3";
  first.soundLine = 14;
  first.volume = 0;
  first.notes = {"Erstens; zweitens # drittens", ""};
  expected.slides.push_back(Slide("b.png", 18));
  expected.slides.back().milliseconds = 2000;
  EXPECT_EQ(parse.settings, expected);
  EXPECT_EQ(parse.settings.Slide("\xE4 [1].PNG"), &parse.settings.slides[0]);
  EXPECT_EQ(parse.settings.Slide("c.png"), nullptr);
  EXPECT_EQ(ShowSummary(parse.settings),
            "advance 0.25 s, 2 slides timed, 1 sound, music \"Track#2.mp3\", fade 5000 ms, "
            "1 slide with notes, loop, kiosk");
  EXPECT_EQ(ShowSummary(ParseShowSettings("[Show]\nStart=show\n").settings), "starts in the show");
  EXPECT_EQ(ShowSummary(ParseShowSettings("").settings), "by hand");
}

TEST(ShowSettings, NamesEachBadLineAndReadsOnPastIt) {
  struct Case {
    const char* section;  // the section the line stands in, or nullptr for none
    std::string line;
    ShowFault fault;
    const char* detail;
  };
  const Case cases[] = {
      {nullptr, "Advance=8", ShowFault::KeyOutsideSection, "Advance"},
      {"Show", "Advance=8s", ShowFault::BadNumber, "Advance=8s"},
      {"Show", "Advance=0.2525", ShowFault::BadNumber, "Advance=0.2525"},
      {"Show", "Advance=86400.001", ShowFault::OutOfRange, "Advance=86400.001"},
      {"Show", "Advance=99999999999999999999999", ShowFault::OutOfRange,
       "Advance=99999999999999999999999"},
      {"Show", "Advance=-1", ShowFault::OutOfRange, "Advance=-1"},
      {"Show", "Fade=5001", ShowFault::OutOfRange, "Fade=5001"},
      {"Show", "Fade=0.5", ShowFault::BadNumber, "Fade=0.5"},
      {"Show", "Volume=101", ShowFault::OutOfRange, "Volume=101"},
      {"Show", "Loop=maybe", ShowFault::BadYesNo, "Loop=maybe"},
      {"Show", "Kiosk=", ShowFault::BadYesNo, "Kiosk="},
      {"Show", "Start=slides", ShowFault::BadStart, "Start=slides"},
      {"Show", "Secnds=5", ShowFault::UnknownKey, "Secnds"},
      {"Show", "Seconds=5", ShowFault::UnknownKey, "Seconds"},   // a slide's key
      {"a.png", "Advance=5", ShowFault::UnknownKey, "Advance"},  // the show's key
      {"a.png", "Sound=\xE4\xB8\xAD.mp3", ShowFault::NotWindows1252, "\xE4\xB8\xAD.mp3"},
      {"a.png", "Note=ok \xC3", ShowFault::NotUtf8, "Note=ok \\xC3"},
      {"a.png", "Seconds 5", ShowFault::Syntax, "Seconds 5"},
      {"a.png", "[b.png", ShowFault::Syntax, "[b.png"},
      {"a.png", "[] ; none", ShowFault::Syntax, "[] ; none"},
      {"a.png", "[b.png] c", ShowFault::Syntax, "[b.png] c"},
      {"a.png", "[\xE4\xB8\xAD.png]", ShowFault::NotWindows1252, "\xE4\xB8\xAD.png"},
      {"a.png", "[A.PNG]", ShowFault::SectionTwice, "A.PNG"},
      {"Show", "[SHOW]", ShowFault::SectionTwice, "SHOW"},
  };
  for (const Case& c : cases) {
    std::string file = "; first\n";
    if (c.section) file += "[" + std::string(c.section) + "]\n";
    const int line = c.section ? 3 : 2;
    // After the bad line, a good one that must still count, in the show's section.
    file += c.line + "\n[Later.png]\nSeconds=3\n";
    const ShowParse parse = ParseShowSettings(file);
    ASSERT_EQ(parse.problems.size(), 1u) << c.line;
    EXPECT_EQ(parse.problems[0], (ShowProblem{line, c.fault, c.detail})) << c.line;
    const SlideSettings* later = parse.settings.Slide("later.png");
    ASSERT_NE(later, nullptr) << c.line;
    EXPECT_EQ(later->milliseconds, 3000u) << c.line;
    if (c.section && std::string_view(c.section) == "a.png") {
      // The bad line changed nothing of the first section's settings.
      EXPECT_EQ(parse.settings.slides[0], Slide("a.png", 2)) << c.line;
    }
  }

  // A section twice is read but applied nowhere; its own faults still count.
  const ShowParse twice = ParseShowSettings("[a.png]\nSeconds=1\n[a.png]\nSeconds=2\nSecs=3\n");
  EXPECT_EQ(twice.settings.slides[0].milliseconds, 1000u);
  EXPECT_THAT(twice.problems, ElementsAre(ShowProblem{3, ShowFault::SectionTwice, "a.png"},
                                          ShowProblem{5, ShowFault::UnknownKey, "Secs"}));

  const ShowParse large = ParseShowSettings(std::string(kShowSettingsMax + 1, '\n'));
  EXPECT_THAT(large.problems, ElementsAre(ShowProblem{0, ShowFault::TooLarge, "1048577"}));
  EXPECT_THAT(ParseShowSettings(std::string(kShowSettingsMax, '\n')).problems, ElementsAre());
}

TEST(ShowSettings, ChecksTheNamesAgainstThePackage) {
  ShowParse parse = ParseShowSettings(
      "[Show]\n"
      "Music=gone.mp3\n"   // 2
      "[a.png]\n"          // 3
      "Sound=A.MP3\n"      // 4
      "[missing.png]\n"    // 5
      "Sound=b.png\n"      // 6: checked though its section is gone
      "[B.png]\n"          // 7
      "Sound=notes.txt\n"  // 8
      "Seconds=2\n"
      "[a.mp3]\n"
      "Secs=1\n"            // 11: the reader's problems and the check's, in line order
      "Sound=gone.wma\n");  // 12
  const std::vector<std::string> names = {"a.png", "b.png", "a.mp3", "notes.txt"};
  CheckShowEntries(parse, names);
  EXPECT_THAT(parse.problems, ElementsAre(ShowProblem{2, ShowFault::NoSuchEntry, "gone.mp3"},
                                          ShowProblem{5, ShowFault::NoSuchEntry, "missing.png"},
                                          ShowProblem{6, ShowFault::NotAudio, "b.png"},
                                          ShowProblem{8, ShowFault::NotAudio, "notes.txt"},
                                          ShowProblem{11, ShowFault::UnknownKey, "Secs"},
                                          ShowProblem{12, ShowFault::NoSuchEntry, "gone.wma"}));
  // What was wrong is left out; the rest stays.
  EXPECT_EQ(parse.settings.music, "");
  ASSERT_EQ(parse.settings.slides.size(), 3u);
  EXPECT_EQ(parse.settings.slides[0].sound, "A.MP3");
  EXPECT_EQ(parse.settings.slides[1].sound, "");
  EXPECT_EQ(parse.settings.slides[1].milliseconds, 2000u);
  for (const char* audio : {"x.mp3", "x.WAV", "x.m4a", "x.Aac", "x.wma"})
    EXPECT_TRUE(IsAudioName(audio)) << audio;
  for (const char* other : {"mp3", "x.mp4", "x.mp3.txt"}) EXPECT_FALSE(IsAudioName(other)) << other;
}

TEST(ShowSettings, DescribesProblemsEscaped) {
  EXPECT_EQ(Describe({7, ShowFault::UnknownKey, "Sec\x1B[2Jnds\xE2\x80\xAE"}),
            "line 7: unknown key \"Sec\\x1B[2Jnds\\u202E\"");
  EXPECT_EQ(Describe({3, ShowFault::OutOfRange, "Fade=9000"}),
            "line 3: out of range: \"Fade=9000\" (milliseconds from 0 to 5,000)");
  EXPECT_EQ(Describe({0, ShowFault::TooLarge, "1048577"}), "larger than 1 MiB (1048577 bytes)");
}

}  // namespace
}  // namespace turv::format
