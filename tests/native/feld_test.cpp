// Feld: zero-filled growth, segment runs, and a buffer that does not move
// while it grows within its reservation.
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/feld.h"

namespace turv {
namespace {

constexpr auto kSegment = static_cast<std::int64_t>(Feld::kSegmentBytes);

TEST(Feld, GrowsWithZerosAndShrinksOnRelease) {
  Feld f;
  f.SetLength(10);
  for (std::int64_t i = 0; i < 10; ++i) EXPECT_EQ(f[i], 0);
  f[3] = 7;
  f.SetLength(4);
  f.Grow(6);
  EXPECT_EQ(f[3], 7);
  EXPECT_EQ(f[4], 0);  // grown again: zero, not what was there before
  EXPECT_THROW(f[10], std::out_of_range);
  f.Clear();
  EXPECT_EQ(f.Length(), 0);
  EXPECT_THROW(f.Run(0, 1), std::out_of_range);
  EXPECT_THROW(f.SetLength(-1), std::length_error);
}

TEST(Feld, RunsStopAtTheSegmentAndTheEnd) {
  Feld f;
  f.SetLength(kSegment + 100);
  EXPECT_EQ(f.Run(kSegment - 10, 50).size(), 10u);
  EXPECT_EQ(f.Run(kSegment, 50).size(), 50u);
  EXPECT_EQ(f.Run(kSegment + 90, 50).size(), 10u);
  f[kSegment - 1] = 1;
  f[kSegment] = 2;
  EXPECT_EQ(f.Run(kSegment - 1, 1)[0], 1);
  EXPECT_EQ(f.Run(kSegment, 1)[0], 2);
}

TEST(Feld, ReservedGrowthNeverMovesTheBytes) {
  Feld f;
  f.Reserve(3 * 16'284 + 1);
  f.SetLength(1);
  const std::uint8_t* first = f.Run(0, 1).data();
  for (int i = 0; i < 3; ++i) f.Grow(16'284);
  EXPECT_EQ(f.Run(0, 1).data(), first);

  // Beyond the plan the short last segment moves once, keeping its bytes.
  f[5] = 9;
  f.Grow(16'284);
  EXPECT_EQ(f[5], 9);
  EXPECT_EQ(f.Length(), 4 * 16'284 + 1);
}

}  // namespace
}  // namespace turv
