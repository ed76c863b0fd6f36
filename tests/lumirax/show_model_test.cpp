// The show's steps and what it has decoded ahead of each.
#include <gtest/gtest.h>

#include "lumirax/show_model.h"

namespace turv::player {
namespace {

using Step = Show::Step;
using List = std::vector<std::size_t>;

TEST(Show, StepsEndsAfterTheLastAndDecodesTheNeighboursAhead) {
  // Pictures, a text slide at 2, pictures again.
  Show show({true, true, false, true, true}, 1);
  EXPECT_EQ(show.Current(), 1u);
  EXPECT_EQ(show.Wanted(), (List{1, 0}));  // the next is text: nothing to decode

  EXPECT_TRUE(show.Go(Step::Next));
  EXPECT_EQ(show.Current(), 2u);
  EXPECT_EQ(show.Wanted(), (List{3, 1}));

  EXPECT_TRUE(show.Go(Step::Last));
  EXPECT_EQ(show.Current(), 4u);
  EXPECT_EQ(show.Wanted(), (List{4, 3}));
  EXPECT_EQ(show.Following(), std::nullopt);  // the console's "last slide"
  EXPECT_FALSE(show.Go(Step::Next));          // the end: back to browsing there
  EXPECT_EQ(show.Current(), 4u);

  EXPECT_TRUE(show.Go(Step::First));
  EXPECT_EQ(show.Wanted(), (List{0, 1}));
  EXPECT_TRUE(show.Go(Step::Previous));  // nothing before the first
  EXPECT_EQ(show.Current(), 0u);
  EXPECT_TRUE(show.Go(Step::Next));
  EXPECT_TRUE(show.Go(Step::Previous));
  EXPECT_EQ(show.Current(), 0u);

  // A start past the end is the last slide; one slide ends on any Next.
  EXPECT_EQ(Show({true, true}, 7).Current(), 1u);
  Show one({false}, 0);
  EXPECT_TRUE(one.Wanted().empty());
  EXPECT_FALSE(one.Go(Step::Next));

  // A looping show goes on to the first slide, and decodes it ahead.
  Show loop({true, false, true}, 2, true);
  EXPECT_EQ(loop.Following(), std::optional<std::size_t>(0));
  EXPECT_EQ(loop.Wanted(), (List{2, 0}));
  EXPECT_TRUE(loop.Go(Step::Next));
  EXPECT_EQ(loop.Current(), 0u);
  Show alone({true}, 0, true);
  EXPECT_EQ(alone.Wanted(), (List{0}));
  EXPECT_TRUE(alone.Go(Step::Next));
}

// The keys presenters and clickers send: a slide by its number, a blanked
// screen, the overview.
TEST(Show, NumbersBlankAndTheOverviewTakeThePresentersKeys) {
  using Key = Show::Key;
  using Out = Show::Outcome;
  Show show(std::vector<bool>(30, true), 0);
  const auto type = [&](std::initializer_list<int> digits) {
    for (const int d : digits) EXPECT_EQ(show.Digit(d), Out::Kept);
    return show.Press(Key::Enter);
  };
  EXPECT_EQ(type({1, 2}), Out::Moved);
  EXPECT_EQ(show.Current(), 11u);
  EXPECT_EQ(type({9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}), Out::Moved);  // past the end: the last
  EXPECT_EQ(show.Current(), 29u);
  EXPECT_EQ(type({0}), Out::Moved);
  EXPECT_EQ(show.Current(), 0u);
  EXPECT_EQ(show.Digit(4), Out::Kept);  // another key forgets the number
  EXPECT_EQ(show.Press(Key::Right), Out::Moved);
  EXPECT_EQ(show.Press(Key::Enter), Out::Unhandled);  // no number: the window's Enter
  EXPECT_EQ(show.Current(), 1u);

  // Black and white: the same key again, or any step, brings the slide back.
  EXPECT_EQ(show.Press(Key::Black), Out::Redraw);
  EXPECT_EQ(show.Shown(), Show::Screen::Black);
  EXPECT_EQ(show.Press(Key::White), Out::Redraw);
  EXPECT_EQ(show.Shown(), Show::Screen::White);
  EXPECT_EQ(show.Press(Key::White), Out::Redraw);
  EXPECT_EQ(show.Shown(), Show::Screen::Slide);
  EXPECT_EQ(show.Press(Key::Black), Out::Redraw);
  EXPECT_EQ(show.Press(Key::Next), Out::Moved);
  EXPECT_EQ(show.Shown(), Show::Screen::Slide);
  EXPECT_EQ(show.Press(Key::White), Out::Redraw);
  EXPECT_EQ(show.Press(Key::First), Out::Moved);
  EXPECT_EQ(show.Press(Key::Black), Out::Redraw);
  EXPECT_EQ(show.Press(Key::Up), Out::Redraw);  // no step before the first, yet back
  EXPECT_EQ(show.Shown(), Show::Screen::Slide);

  // The overview: the arrows move the mark by slides and rows, Enter shows
  // the marked slide, Tab or Esc go back to the slide that was up.
  ASSERT_EQ(type({5}), Out::Moved);
  show.SetOverviewColumns(4);
  EXPECT_EQ(show.Press(Key::Overview), Out::Redraw);
  EXPECT_TRUE(show.InOverview());
  EXPECT_EQ(show.Mark(), 4u);
  EXPECT_EQ(show.Press(Key::Down), Out::Redraw);
  EXPECT_EQ(show.Press(Key::Right), Out::Redraw);
  EXPECT_EQ(show.Mark(), 9u);
  EXPECT_EQ(show.Press(Key::Up), Out::Redraw);
  EXPECT_EQ(show.Press(Key::Up), Out::Redraw);
  EXPECT_EQ(show.Mark(), 1u);
  EXPECT_EQ(show.Press(Key::Up), Out::Kept);  // the top row
  EXPECT_EQ(show.Press(Key::Black), Out::Kept);
  EXPECT_EQ(show.Press(Key::Escape), Out::Redraw);
  EXPECT_FALSE(show.InOverview());
  EXPECT_EQ(show.Current(), 4u);
  EXPECT_EQ(show.Press(Key::Overview), Out::Redraw);
  EXPECT_EQ(show.Press(Key::Last), Out::Redraw);
  EXPECT_EQ(show.Press(Key::Down), Out::Kept);  // the last row
  EXPECT_EQ(show.Press(Key::Overview), Out::Redraw);
  EXPECT_EQ(show.Current(), 4u);
  EXPECT_EQ(show.Press(Key::Overview), Out::Redraw);
  EXPECT_EQ(show.Press(Key::Left), Out::Redraw);
  EXPECT_EQ(show.Press(Key::Enter), Out::Moved);
  EXPECT_FALSE(show.InOverview());
  EXPECT_EQ(show.Current(), 3u);
  EXPECT_EQ(show.Press(Key::Overview), Out::Redraw);
  EXPECT_EQ(type({2, 0}), Out::Moved);  // a number leaves the overview too
  EXPECT_FALSE(show.InOverview());
  EXPECT_EQ(show.Current(), 19u);

  EXPECT_EQ(show.Press(Key::Escape), Out::Ended);
  EXPECT_EQ(type({3, 0}), Out::Moved);
  EXPECT_EQ(show.Press(Key::Next), Out::Ended);  // past the last, as Right always did
}

// The console's notes: an entry's Note= lines, found as Windows finds names.
TEST(Show, NotesComePerEntryFromTheirSection) {
  const auto parse = format::ParseShowSettings(
      "[02 Farben.png]\nNote=Gr\xC3\xBC\xC3\x9F"
      "e zuerst\nNote=dann die Tabelle\n[01 Titel.txt]\n");
  ASSERT_TRUE(parse.problems.empty());
  const std::vector<format::Entry> entries = {
      {"01 Titel.txt", "", 1, 0}, {"02 FARBEN.png", "", 1, 0}, {"03 Ende.txt", "", 1, 0}};
  EXPECT_EQ(NotesPerEntry(parse.settings, entries),
            (std::vector<std::u16string>{u"", u"Grüße zuerst\ndann die Tabelle", u""}));
}

// The console's time: paused time does not count, a reset starts at zero
// whether running or paused.
TEST(Stopwatch, CountsOnlyWhileRunning) {
  Stopwatch watch(1'000);
  EXPECT_EQ(MinutesSeconds(watch.Elapsed(62'999)), u"01:01");
  watch.Toggle(62'999);
  EXPECT_EQ(watch.Elapsed(500'000), 61'999u);
  watch.Toggle(500'000);
  EXPECT_EQ(watch.Elapsed(501'000), 62'999u);
  watch.Reset(501'000);
  EXPECT_EQ(MinutesSeconds(watch.Elapsed(501'999)), u"00:00");
  watch.Toggle(502'000);
  watch.Reset(600'000);
  EXPECT_TRUE(watch.Paused());
  EXPECT_EQ(watch.Elapsed(700'000), 0u);
  EXPECT_EQ(MinutesSeconds(6'000'000), u"100:00");
}

}  // namespace
}  // namespace turv::player
