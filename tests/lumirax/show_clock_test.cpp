// The show that runs itself: its running order, when it moves on, its
// fades and what the kiosk refuses, on a fake clock.
#include <gtest/gtest.h>

#include "lumirax/show_clock.h"

namespace turv::player {
namespace {

TEST(ShowPlan, SlidesLeaveOutSettingsSoundsAndMusicAndTakeTheirTimes) {
  const std::vector<format::Entry> entries{{"show.ini", "", 1, 0},     {"01 Titel.png", "", 1, 0},
                                           {"01 Titel.mp3", "", 1, 0}, {"02 Text.txt", "", 1, 0},
                                           {"03 Lied.MP3", "", 1, 0},  {"Musik.mp3", "", 1, 0},
                                           {"04 Ende.png", "", 1, 0}};
  format::ShowSettings settings;
  settings.advanceMilliseconds = 8'000;
  settings.loop = true;
  settings.kiosk = true;  // starts in the show, though Start= says nothing
  settings.music = "musik.MP3";
  settings.fadeMilliseconds = 400;
  const auto section = [](std::string entry, std::string sound) {
    format::SlideSettings slide;
    slide.entry = std::move(entry);
    slide.sound = std::move(sound);
    return slide;
  };
  settings.slides = {section("01 TITEL.png", "01 Titel.mp3"), section("02 Text.txt", ""),
                     section("Fehlt.png", "04 Ende.png")};
  settings.slides[0].milliseconds = 5'000;
  settings.slides[0].volume = 80;

  const ShowPlan plan = PlanShow(settings, entries);
  EXPECT_EQ(plan.slides, (std::vector<TimedSlide>{{1, 5'000, 2, 80},
                                                  {3, 8'000, std::nullopt, 100},
                                                  {4, 8'000, 4, 100},  // an audio slide
                                                  {6, 8'000, std::nullopt, 100}}));
  EXPECT_EQ(plan.music, std::optional<std::size_t>(5));
  EXPECT_EQ(plan.musicVolume, kMusicUnderNarration);  // narration plays over it
  EXPECT_TRUE(plan.loop && plan.kiosk && plan.startInShow);
  EXPECT_EQ(plan.fadeMilliseconds, 400u);
  // Shift+F5 on an entry that is no slide starts at the next slide.
  EXPECT_EQ(plan.SlideOf(1), 0u);
  EXPECT_EQ(plan.SlideOf(2), 1u);
  EXPECT_EQ(plan.SlideOf(9), 3u);

  settings.musicVolume = 70;
  settings.slides.clear();
  EXPECT_EQ(PlanShow(settings, entries).musicVolume, 70);
  EXPECT_EQ(SettingsEntry(entries), std::optional<std::size_t>(0));
  EXPECT_EQ(SettingsEntry(std::span(entries).subspan(1)), std::nullopt);
}

TEST(ShowClock, ATimedSlideStandsItsTimeAndItsSoundAndAKeyRestartsTheCount) {
  struct Case {
    const char* what;
    std::uint32_t milliseconds;
    bool sounding;
    std::optional<std::uint64_t> keyAt;        // a key's step back onto a slide of the same time
    std::optional<std::uint64_t> soundEndsAt;  // when sounding
    std::optional<std::uint64_t> due;          // entered at 1,000
    bool keeps = false;  // the key keeps the slide (back from black or the overview)
  };
  const Case cases[] = {
      {"by hand", 0, false, std::nullopt, std::nullopt, std::nullopt},
      {"timed", 5'000, false, std::nullopt, std::nullopt, 6'000},
      {"a key restarts the count", 5'000, false, 3'500, std::nullopt, 8'500},
      {"a sound longer than its time", 2'000, true, std::nullopt, 9'000, 9'000},
      {"a sound shorter than its time", 5'000, true, std::nullopt, 2'000, 6'000},
      {"an audio slide by hand", 0, true, std::nullopt, 4'000, std::nullopt},
      {"a key while its sound plays", 2'000, true, 1'500, 2'000, 3'500},
      {"back from black", 5'000, false, 3'500, std::nullopt, 8'500, true},
      {"back from black while its sound plays", 2'000, true, 1'500, 2'000, 3'500, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShowClock clock;
    clock.Entered(1'000, c.milliseconds, c.sounding);
    if (c.keyAt && c.keeps) clock.Restart(*c.keyAt);
    if (c.keyAt && !c.keeps) clock.Entered(*c.keyAt, c.milliseconds, c.sounding);
    if (c.sounding) {
      EXPECT_EQ(clock.Due(), std::nullopt);  // never before the sound has ended
      clock.SoundEnded(*c.soundEndsAt);
    }
    EXPECT_EQ(clock.Due(), c.due);
  }
  // A late end of a sound the slide no longer plays moves nothing.
  ShowClock clock;
  clock.Entered(1'000, 5'000, false);
  clock.SoundEnded(20'000);
  EXPECT_EQ(clock.Due(), std::optional<std::uint64_t>(6'000));

  // A sound's position as polled: one that moves holds the slide, one past
  // its end or standing still has ended; an unknown length never ends it.
  clock.Entered(1'000, 200, true);
  clock.SoundAt(1'500, 0, 0);
  clock.SoundAt(2'900, 0, 0);
  clock.SoundAt(3'000, 400, 3'000);
  clock.SoundAt(3'900, 1'300, 3'000);
  EXPECT_TRUE(clock.Sounding());
  clock.SoundAt(4'000, 3'000, 3'000);
  EXPECT_EQ(clock.Due(), std::optional<std::uint64_t>(4'000));
  clock.Entered(5'000, 200, true);
  clock.SoundAt(5'500, 0, 100);
  EXPECT_TRUE(clock.Sounding());
  clock.SoundAt(5'000 + kSoundStallMs, 0, 100);  // opened, never played
  EXPECT_EQ(clock.Due(), std::optional<std::uint64_t>(5'000 + kSoundStallMs));
}

TEST(ShowClock, AFadeRunsItsTimeAndAStepDuringItCompletesItAndCuts) {
  ShowClock clock;
  EXPECT_EQ(clock.FadeLevel(0), 255);
  EXPECT_FALSE(clock.StartFade(1'000, 0));  // a cut
  EXPECT_TRUE(clock.StartFade(1'000, 400));
  EXPECT_EQ(clock.FadeLevel(1'000), 0);
  EXPECT_EQ(clock.FadeLevel(1'200), 127);
  EXPECT_FALSE(clock.StartFade(1'300, 400));  // a key during the fade
  EXPECT_EQ(clock.FadeLevel(1'300), 255);
  EXPECT_TRUE(clock.StartFade(1'301, 400));  // the next step fades again
  EXPECT_TRUE(clock.FadeFrame(1'316));
  EXPECT_FALSE(clock.FadeFrame(1'701));
  EXPECT_EQ(clock.FadeLevel(1'701), 255);
  // Frames that cannot keep the pace: the fade skips to its end.
  EXPECT_TRUE(clock.StartFade(2'000, 400));
  EXPECT_FALSE(clock.FadeFrame(2'000 + kFadeStallMs + 1));
  EXPECT_EQ(clock.FadeLevel(2'200), 255);

  // A frame: no channel spills into its neighbour, the ends are the slides.
  const std::vector<std::uint32_t> from{0xFFFFFF, 0x000000, 0xFF0000},
      to{0x000000, 0xFFFFFF, 0x0000FF};
  std::vector<std::uint32_t> out(3);
  ShowClock::Blend(from, to, out, 128);
  EXPECT_EQ(out, (std::vector<std::uint32_t>{0x7E7E7E, 0x808080, 0x7E0080}));
  ShowClock::Blend(from, to, out, 0);
  EXPECT_EQ(out, from);
  ShowClock::Blend(from, to, out, 255);
  EXPECT_EQ(out, to);
}

TEST(ShowGestures, TheKioskRefusesLeavingAndOpeningAndAltF4EndsThePlayer) {
  struct Case {
    Gesture gesture;
    Effect shown, kiosk;
  };
  const Case cases[] = {
      {Gesture::Escape, Effect::EndShow, Effect::Nothing},
      {Gesture::Click, Effect::Next, Effect::Nothing},
      {Gesture::StepPastEnd, Effect::EndShow, Effect::Nothing},
      {Gesture::Open, Effect::Open, Effect::Nothing},
      {Gesture::Close, Effect::EndShow, Effect::EndPlayer},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EffectOf(c.gesture, false), c.shown) << static_cast<int>(c.gesture);
    EXPECT_EQ(EffectOf(c.gesture, true), c.kiosk) << static_cast<int>(c.gesture);
  }
}

}  // namespace
}  // namespace turv::player
