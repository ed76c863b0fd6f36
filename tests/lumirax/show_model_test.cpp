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
  EXPECT_FALSE(show.Go(Step::Next));  // the end: back to browsing there
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
  EXPECT_EQ(loop.Wanted(), (List{2, 0}));
  EXPECT_TRUE(loop.Go(Step::Next));
  EXPECT_EQ(loop.Current(), 0u);
  Show alone({true}, 0, true);
  EXPECT_EQ(alone.Wanted(), (List{0}));
  EXPECT_TRUE(alone.Go(Step::Next));
}

}  // namespace
}  // namespace turv::player
