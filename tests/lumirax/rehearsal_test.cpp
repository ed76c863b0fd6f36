// A rehearsal on a fake clock: the show it gives and the time each slide stood.
#include <gtest/gtest.h>

#include "lumirax/rehearsal.h"

namespace turv::player {
namespace {

using Times = std::vector<format::StoodTime>;

TEST(Rehearsal, GivesEverySlideByHandAndSumsTheVisits) {
  ShowPlan plan;
  plan.slides = {{1, 8000, 4, 70}, {2, 0, std::nullopt, 100}};
  plan.loop = plan.kiosk = true;
  plan.fadeMilliseconds = 500;
  ForRehearsal(plan);
  EXPECT_EQ(plan.slides, (std::vector<TimedSlide>{{1, 0, 4, 70}, {2, 0, std::nullopt, 100}}));
  EXPECT_TRUE(plan.startInShow);
  EXPECT_FALSE(plan.loop);
  EXPECT_FALSE(plan.kiosk);
  EXPECT_EQ(plan.fadeMilliseconds, 500u);

  const std::vector<format::Entry> entries{{"show.ini", "", 1, 0},
                                           {"01 Begr\xFC\xDFung.png", "", 1, 0},
                                           {"02.png", "", 1, 0},
                                           {"03.txt", "", 1, 0}};
  Rehearsal rehearsal;
  EXPECT_EQ(rehearsal.Times(entries), Times{});
  rehearsal.Entered(2, 1'000);
  rehearsal.Entered(3, 3'500);
  rehearsal.Entered(2, 4'000);  // back for a question
  rehearsal.Entered(2, 4'100);  // the same slide again: it stays on screen
  rehearsal.Entered(1, 6'000);
  EXPECT_FALSE(rehearsal.Over());
  rehearsal.Ended(7'000);
  EXPECT_TRUE(rehearsal.Over());
  rehearsal.Entered(3, 8'000);  // after the end nothing counts
  rehearsal.Ended(9'000);
  EXPECT_EQ(rehearsal.Times(entries),
            (Times{{"02.png", 4'500}, {"03.txt", 500}, {"01 Begr\xC3\xBC\xC3\x9Fung.png", 1'000}}));
}

}  // namespace
}  // namespace turv::player
