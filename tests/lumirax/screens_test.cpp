// The monitors the show and the presenter's console fill.
#include <gtest/gtest.h>

#include "lumirax/screens.h"

namespace turv::player {
namespace {

TEST(Screens, TheShowTakesAnotherMonitorThanTheWindowsAndMovesWhenOneGoes) {
  const Monitor laptop{u"\\\\.\\DISPLAY1", 0, 0, 1280, 800};
  const Monitor projector{u"\\\\.\\DISPLAY2", 1280, 0, 2304, 768};
  const Monitor wall{u"\\\\.\\DISPLAY3", -1920, 0, 0, 1080};

  // One monitor: the show as ever, no console.
  EXPECT_EQ(PlanScreens({laptop}, laptop.name, {}), (Screens{laptop.name, {}}));
  EXPECT_EQ(Swap(Screens{laptop.name, {}}), (Screens{laptop.name, {}}));
  // Two: the show where the window is not, the console with the window;
  // S swaps them.
  const Screens two = PlanScreens({laptop, projector}, laptop.name, {});
  EXPECT_EQ(two, (Screens{projector.name, laptop.name}));
  EXPECT_EQ(PlanScreens({laptop, projector}, projector.name, {}),
            (Screens{laptop.name, projector.name}));
  EXPECT_EQ(Swap(two), (Screens{laptop.name, projector.name}));
  // Three: the largest of the others, unless the last show's is known;
  // the window's own is never the show's, not even when last used.
  const std::vector<Monitor> three{laptop, projector, wall};
  EXPECT_EQ(PlanScreens(three, laptop.name, {}), (Screens{wall.name, laptop.name}));
  EXPECT_EQ(PlanScreens(three, laptop.name, projector.name),
            (Screens{projector.name, laptop.name}));
  EXPECT_EQ(PlanScreens(three, wall.name, wall.name), (Screens{laptop.name, wall.name}));
  EXPECT_EQ(PlanScreens(three, u"gone", {}), (Screens{wall.name, laptop.name}));

  // Unplugged during the show: the show moves to the monitor left and the
  // console closes; with monitors enough both keep a place.
  EXPECT_EQ(Replan(two, {laptop, projector}), two);
  EXPECT_EQ(Replan(two, {laptop}), (Screens{laptop.name, {}}));
  EXPECT_EQ(Replan(Swap(two), {laptop}), (Screens{laptop.name, {}}));
  EXPECT_EQ(Replan(Screens{wall.name, laptop.name}, {laptop, projector}),
            (Screens{projector.name, laptop.name}));
  EXPECT_EQ(Replan(Screens{wall.name, laptop.name}, {projector, wall}),
            (Screens{wall.name, projector.name}));
  EXPECT_EQ(Replan(two, {}), Screens{});
}

}  // namespace
}  // namespace turv::player
