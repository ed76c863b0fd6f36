// show.ini as the authoring window edits it: a file written by hand keeps
// its lines where nothing changed, what the packer refuses is named beside
// its setting and written back only as a comment, and a slide's sound is
// offered by its name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "authoring/show_setup.h"
#include "format/karu_format.h"

namespace turv::authoring {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::IsEmpty;

const std::vector<std::string> kNames = {"01 Titel.png", "01 Titel.mp3", "02 Folie.png",
                                         "02 folie.WAV", "03 Ende.png",  "Musik.mp3"};

// What the packer's reader makes of a text, with the packed names.
format::ShowParse Packed(const std::string& text) {
  format::ShowParse parse = format::ParseShowSettings(text);
  std::vector<std::string> cp1252;
  for (const auto& name : kNames) cp1252.push_back(format::ToCp1252(name));
  format::CheckShowEntries(parse, cp1252);
  return parse;
}

TEST(ShowSetup, AHandWrittenFileKeepsItsLinesWhereNothingChanged) {
  const std::string file =
      "\xEF\xBB\xBF; Unsere Messe\r\n"
      "[show]\r\n"
      "advance = 8   ; Sekunden\r\n"
      "Kiosk=yes\r\n"
      "Fade=100\r\n"
      "FADE=200\r\n"
      "\r\n"
      "# die Titelfolie\r\n"
      "[01 titel.png]\r\n"
      "Note=Begr\xC3\xBC\xC3\x9F"
      "en; dann los\r\n"
      "Seconds=5\r\n";
  ShowSetup show(file, kNames);
  EXPECT_THAT(show.Refusals(), IsEmpty());
  EXPECT_FALSE(show.Dirty());
  EXPECT_EQ(show.Written(), file);  // read and written again: the same bytes
  EXPECT_EQ(show.Value(kShowSection, "Advance"), "8");
  EXPECT_EQ(show.Value(kShowSection, "Fade"), "200");  // the later line wins, as in the reader
  EXPECT_THAT(show.Notes("01 Titel.png"), ElementsAre("Begrüßen; dann los"));

  show.Set(kShowSection, "Advance", "2.5");      // its comment and spelling stay
  show.Set(kShowSection, "Kiosk", "");           // taken out
  show.Set(kShowSection, "Fade", "300");         // in the first line's place, the second gone
  show.Set(kShowSection, "Music", "Musik.mp3");  // before the blank line
  show.Set("01 Titel.png", "Sound", "01 Titel.mp3");
  show.SetNotes("01 Titel.png", {"Begrüßen", "Fragen?"});
  show.Set("02 Folie.png", "Seconds", "12");  // a section of its own, at the end
  EXPECT_TRUE(show.Dirty());
  EXPECT_EQ(show.Written(),
            "\xEF\xBB\xBF; Unsere Messe\r\n"
            "[show]\r\n"
            "advance = 2.5 ; Sekunden\r\n"
            "Fade=300\r\n"
            "Music=Musik.mp3\r\n"
            "\r\n"
            "# die Titelfolie\r\n"
            "[01 titel.png]\r\n"
            "Note=Begr\xC3\xBC\xC3\x9F"
            "en\r\n"
            "Note=Fragen?\r\n"
            "Seconds=5\r\n"
            "Sound=01 Titel.mp3\r\n"
            "\r\n"
            "[02 Folie.png]\r\n"
            "Seconds=12\r\n");
  const format::ShowSettings& settings = show.Settings();
  EXPECT_EQ(settings.advanceMilliseconds, 2'500u);
  EXPECT_FALSE(settings.kiosk);
  EXPECT_EQ(settings.music, "Musik.mp3");
  ASSERT_EQ(settings.slides.size(), 2u);
  EXPECT_EQ(settings.slides[1].milliseconds, 12'000u);
  EXPECT_EQ(Packed(show.Written()).settings, settings);

  show.Saved();
  EXPECT_FALSE(show.Dirty());
  EXPECT_EQ(SecondsText(8'000), "8");
  EXPECT_EQ(SecondsText(1'250), "1.25");
}

TEST(ShowSetup, RefusedLinesAreNamedBesideTheirSettingsAndWrittenOnlyAsComments) {
  const std::string file =
      "[Show]\n"
      "Fade=9000\n"
      "Advnce=5\n"
      "Loop=yes\n"
      "[weg.png]\n"
      "Seconds=3\n"
      "; kept as it is\n"
      "[02 Folie.png]\n"
      "Sound=03 Ende.png\n"
      "Note=\xFF\n";
  ShowSetup show(file, kNames);
  EXPECT_THAT(show.Refusals(),
              ElementsAre(Field(&ShowSetup::Refusal::line, 2), Field(&ShowSetup::Refusal::line, 3),
                          Field(&ShowSetup::Refusal::line, 5), Field(&ShowSetup::Refusal::line, 9),
                          Field(&ShowSetup::Refusal::line, 10)));
  EXPECT_EQ(show.RefusalOf(kShowSection, "Fade"), "„Fade=9000“ liegt außerhalb des Erlaubten.");
  EXPECT_EQ(show.RefusalOf(kShowSection, "Advnce"), "„Advnce“ ist kein bekannter Schlüssel.");
  EXPECT_EQ(show.RefusalOf("weg.png", ""), "„weg.png“ liegt nicht im Ordner.");
  EXPECT_EQ(show.RefusalOf("02 Folie.png", "Sound"), "„03 Ende.png“ ist keine Tondatei.");
  EXPECT_EQ(show.RefusalOf(kShowSection, "Loop"), std::nullopt);
  EXPECT_TRUE(show.Settings().loop);  // the good lines hold

  // Written, the packer takes it: the refused lines are comments, a
  // section that names no file with all of its lines.
  const std::string written = show.Written();
  EXPECT_EQ(written,
            "[Show]\n"
            "; vom Packer abgelehnt: Fade=9000\n"
            "; vom Packer abgelehnt: Advnce=5\n"
            "Loop=yes\n"
            "; vom Packer abgelehnt: [weg.png]\n"
            "; vom Packer abgelehnt: Seconds=3\n"
            "; kept as it is\n"
            "[02 Folie.png]\n"
            "; vom Packer abgelehnt: Sound=03 Ende.png\n"
            "; vom Packer abgelehnt: Note=?\n");
  EXPECT_THAT(Packed(written).problems, IsEmpty());

  // Set again, a refused line is mended in its place.
  show.Set(kShowSection, "Fade", "400");
  EXPECT_EQ(show.RefusalOf(kShowSection, "Fade"), std::nullopt);
  EXPECT_EQ(show.Settings().fadeMilliseconds, 400u);
  EXPECT_EQ(show.Written().substr(0, 16), "[Show]\nFade=400\n");
}

TEST(ShowSetup, TheSoundNamedLikeTheSlideIsOfferedAndTakenForAll) {
  EXPECT_EQ(SoundByName("01 Titel.png", kNames), "01 Titel.mp3");
  EXPECT_EQ(SoundByName("02 Folie.png", kNames), "02 folie.WAV");  // as Windows compares names
  EXPECT_EQ(SoundByName("03 Ende.png", kNames), std::nullopt);
  EXPECT_EQ(SoundByName("01 Titel.mp3", kNames), std::nullopt);  // a sound has none

  ShowSetup show(std::nullopt, kNames);
  EXPECT_FALSE(show.Exists());
  show.Set("02 Folie.png", "Sound", "Musik.mp3");  // chosen by hand: it stays
  EXPECT_EQ(show.TakeSoundsByName(), 1u);
  EXPECT_EQ(show.Value("01 Titel.png", "Sound"), "01 Titel.mp3");
  EXPECT_EQ(show.Value("02 Folie.png", "Sound"), "Musik.mp3");
  EXPECT_THAT(show.Refusals(), IsEmpty());
  // A sound is marked in the list as the slide's, the music as the show's.
  show.Set("02 Folie.png", "Sound", "");
  show.Set(kShowSection, "Music", "musik.mp3");
  EXPECT_EQ(show.UseOf("01 Titel.mp3"), "Ton zu „01 Titel.png“");
  EXPECT_EQ(show.UseOf("Musik.mp3"), "Musik");
  EXPECT_EQ(show.UseOf("02 folie.WAV"), std::nullopt);
}

TEST(ShowSetup, ARehearsalsTimesBecomeTheSlidesSecondsInTenths) {
  ShowSetup show(
      "[Show]\nMusic=Musik.mp3\n[01 titel.png]\nSeconds=8 ; by hand\nSound=01 Titel.mp3\n", kNames);
  const std::vector<format::StoodTime> times = {
      {"01 TITEL.png", 12'349}, {"01 Titel.mp3", 3'000},  // the slide's sound: no slide
      {"02 Folie.png", 4'950},  {"02 folie.WAV", 2'049},  // an audio entry is a slide
      {"Musik.mp3", 9'000},     {"weg.png", 1'000},       // renamed since
      {"03 Ende.png", 49}};                               // stepped past
  EXPECT_THAT(show.TakeTimes(times), ElementsAre("01 Titel.png", "02 Folie.png", "02 folie.WAV"));
  EXPECT_TRUE(show.Dirty());
  EXPECT_EQ(show.Value("01 Titel.png", "Seconds"), "12.3");
  EXPECT_EQ(show.Value("02 Folie.png", "Seconds"), "5");
  EXPECT_EQ(show.Value("02 folie.WAV", "Seconds"), "2");
  EXPECT_EQ(show.Value("03 Ende.png", "Seconds"), "");
  EXPECT_EQ(show.Value("01 Titel.mp3", "Seconds"), "");
  // Rewritten in place, in a file the packer takes as it is.
  EXPECT_TRUE(show.Written().starts_with(
      "[Show]\nMusic=Musik.mp3\n[01 titel.png]\nSeconds=12.3 ; by hand\nSound="))
      << show.Written();
  const format::ShowParse parse = Packed(show.Written());
  EXPECT_THAT(parse.problems, IsEmpty());
  ASSERT_EQ(parse.settings.slides.size(), 3u);
  EXPECT_EQ(parse.settings.slides[0].milliseconds, 12'300u);

  EXPECT_THAT(ShowSetup::NotRead("zu groß").TakeTimes(times), IsEmpty());
}

}  // namespace
}  // namespace turv::authoring
