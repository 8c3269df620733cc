#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "ui/ScrollMath.h"

using namespace pv;

namespace {

using pv::Rect;
using pv::ScrollParts;
using pv::ScrollState;

TEST(ScrollMath, MulDivRoundsHalfAwayFromZeroAndReportsFailureAsMinusOne) {
  EXPECT_EQ(pv::MulDiv(49, 100, 200), 25);  // 24.5
  EXPECT_EQ(pv::MulDiv(-49, 100, 200), -25);
  EXPECT_EQ(pv::MulDiv(5, 3, -2), -8);  // -7.5
  EXPECT_EQ(pv::MulDiv(-5, -3, -2), -8);
  EXPECT_EQ(pv::MulDiv(7, 1, 3), 2);
  EXPECT_EQ(pv::MulDiv(1, 1, 0), -1);
  EXPECT_EQ(pv::MulDiv(INT_MAX, 2, 1), -1);
  EXPECT_EQ(pv::MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
  EXPECT_EQ(pv::MulDiv(INT_MIN, 1, 1), -1);  // beyond -2147483647
}

// A vertical bar of 10 x 100 at the origin, minimum thumb 16.
ScrollParts Vertical(const ScrollState& state, const Rect& previous = {}) {
  return pv::ComputeScrollParts(Rect{0, 0, 10, 100}, false, state, 16, previous);
}

TEST(ScrollMath, ThumbFollowsPositionAndPage) {
  // Page 50 of 200: the thumb is MulDiv(49, 100, 200) = 25 long.
  ScrollParts parts = Vertical({0, 200, 50, 0});
  EXPECT_EQ(parts.track, (Rect{0, 0, 10, 100}));
  EXPECT_EQ(parts.upArrow, (Rect{0, 0, 10, 0}));
  EXPECT_EQ(parts.downArrow, (Rect{0, 100, 10, 100}));
  EXPECT_EQ(parts.thumb, (Rect{0, 0, 10, 25}));
  EXPECT_TRUE(parts.pageUp.IsEmpty());
  EXPECT_EQ(parts.pageDown, (Rect{0, 25, 10, 100}));
  parts = Vertical({0, 200, 50, 100});
  EXPECT_EQ(parts.thumb, (Rect{0, 50, 10, 75}));
  EXPECT_EQ(parts.pageUp, (Rect{0, 0, 10, 50}));
  EXPECT_EQ(parts.pageDown, (Rect{0, 75, 10, 100}));
  // Past the end the thumb is cut at the track's bottom; before the start
  // it stays on the track.
  EXPECT_EQ(Vertical({0, 200, 50, 180}).thumb, (Rect{0, 90, 10, 100}));
  EXPECT_EQ(Vertical({10, 210, 50, 0}).thumb, (Rect{0, 0, 10, 25}));
  // A page larger than the range: the thumb fills the track.
  parts = Vertical({0, 40, 50, 0});
  EXPECT_EQ(parts.thumb, (Rect{0, 0, 10, 100}));
  EXPECT_TRUE(parts.pageUp.IsEmpty() && parts.pageDown.IsEmpty());
}

TEST(ScrollMath, ShortThumbsGetTheMinimumLength) {
  // Page 10 of 1000 computes 1 pixel: the thumb gets 16 and travels over
  // MulDiv(position, 1 + 100 - 16, 1000), kept within 0 ... 84.
  EXPECT_EQ(Vertical({0, 1000, 10, 0}).thumb, (Rect{0, 0, 10, 16}));
  EXPECT_EQ(Vertical({0, 1000, 10, 500}).thumb, (Rect{0, 43, 10, 59}));
  EXPECT_EQ(Vertical({0, 1000, 10, 1000}).thumb, (Rect{0, 84, 10, 100}));
  // A minimum longer than the track: the thumb is the track.
  const ScrollParts tiny = pv::ComputeScrollParts(Rect{0, 0, 10, 20}, false, {0, 1000, 10, 500}, 30, {});
  EXPECT_EQ(tiny.thumb, tiny.track);
}

TEST(ScrollMath, WithoutAPageTheThumbMovesOnlyByItsLength) {
  // MulDiv(position, 100 - 16, 100): position 50 gives 42.
  const ScrollParts first = Vertical({0, 100, 0, 50});
  EXPECT_EQ(first.thumb, (Rect{0, 42, 10, 58}));
  // Position 60 would be 50: less than 16 away, so the thumb stays.
  EXPECT_EQ(Vertical({0, 100, 0, 60}, first.thumb).thumb, first.thumb);
  EXPECT_EQ(Vertical({0, 100, 0, 70}, first.thumb).thumb, (Rect{0, 59, 10, 75}));
}

TEST(ScrollMath, NoRangeNoThumb) {
  for (const ScrollState& state : {ScrollState{0, 0, 10, 0}, ScrollState{5, 5, 0, 5}, ScrollState{9, 3, 1, 4}}) {
    const ScrollParts parts = Vertical(state, Rect{0, 10, 10, 30});
    EXPECT_TRUE(parts.thumb.IsEmpty());
    EXPECT_TRUE(parts.pageUp.IsEmpty());
    EXPECT_TRUE(parts.pageDown.IsEmpty());
    EXPECT_EQ(parts.track, (Rect{0, 0, 10, 100}));
  }
}

TEST(ScrollMath, HorizontalBarsExchangeTheAxes) {
  const ScrollParts parts = pv::ComputeScrollParts(Rect{5, 0, 105, 10}, true, {0, 200, 50, 100}, 16, {});
  EXPECT_EQ(parts.thumb, (Rect{55, 0, 80, 10}));
  EXPECT_EQ(parts.pageUp, (Rect{5, 0, 55, 10}));
  EXPECT_EQ(parts.pageDown, (Rect{80, 0, 105, 10}));
  EXPECT_EQ(pv::MoveThumb(parts.thumb, parts.track, true, 100), (Rect{80, 0, 105, 10}));
  EXPECT_TRUE(pv::DragPointCounts(50, 106, parts.track, true));
  EXPECT_FALSE(pv::DragPointCounts(50, 107, parts.track, true));
  EXPECT_FALSE(pv::DragPointCounts(4, 5, parts.track, true));
}

TEST(ScrollMath, ExtremeNumbersStayOnTheTrack) {
  const int big[] = {INT_MIN, -1, 0, 1, INT_MAX};
  for (int a : big) {
    for (int b : big) {
      for (int c : big) {
        const ScrollParts parts = Vertical({a, b, c, a / 2 + b / 2});
        if (parts.thumb.IsEmpty()) continue;
        EXPECT_GE(parts.thumb.top, 0);
        EXPECT_LE(parts.thumb.bottom, 100);
        (void)pv::ApplyScrollCode(3, {a, b, c, b}, a);
        (void)pv::ApplyWheel(0x8000, {a, b, c, b});
        (void)pv::TrackedPosition(parts.thumb, parts.track, false, {a, b, c, b});
      }
    }
  }
}

TEST(ScrollMath, DragMovesTheThumbWithinTheTrackAndReportsItsPosition) {
  const Rect track{0, 0, 10, 100};
  const Rect thumb{0, 25, 10, 50};
  EXPECT_EQ(pv::MoveThumb(thumb, track, false, 30), (Rect{0, 55, 10, 80}));
  EXPECT_EQ(pv::MoveThumb(thumb, track, false, 500), (Rect{0, 75, 10, 100}));
  EXPECT_EQ(pv::MoveThumb(thumb, track, false, -500), (Rect{0, 0, 10, 25}));

  // MulDiv(top, max - page - min + 1, track - thumb), from the minimum.
  EXPECT_EQ(pv::TrackedPosition(Rect{0, 0, 10, 25}, track, false, {0, 200, 50, 0}), 0);
  EXPECT_EQ(pv::TrackedPosition(Rect{0, 75, 10, 100}, track, false, {0, 200, 50, 0}), 151);
  EXPECT_EQ(pv::TrackedPosition(Rect{0, 75, 10, 100}, track, false, {10, 210, 50, 0}), 161);
  EXPECT_EQ(pv::TrackedPosition(Rect{0, 30, 10, 55}, track, false, {0, 40, 50, 0}), 0);  // nothing beyond the page
  EXPECT_EQ(pv::TrackedPosition(track, track, false, {0, 200, 50, 0}), 0);               // no room to move

  // Along the track from its top to its bottom, and up to 96 pixels to
  // either side of it.
  const Rect bar{10, 0, 20, 100};
  EXPECT_FALSE(pv::DragPointCounts(15, -1, bar, false));
  EXPECT_TRUE(pv::DragPointCounts(15, 0, bar, false));
  EXPECT_TRUE(pv::DragPointCounts(15, 100, bar, false));
  EXPECT_FALSE(pv::DragPointCounts(15, 101, bar, false));
  EXPECT_TRUE(pv::DragPointCounts(-86, 50, bar, false));
  EXPECT_FALSE(pv::DragPointCounts(-87, 50, bar, false));
  EXPECT_TRUE(pv::DragPointCounts(116, 50, bar, false));
  EXPECT_FALSE(pv::DragPointCounts(117, 50, bar, false));
}

TEST(ScrollMath, ScrollCodesAndWheelStepWithinTheRange) {
  // Range 0 ... 200, page 50: the last position is 149; 4 and 5 take the
  // tracked position (77) as it is.
  const int codes[][3] = {{0, 10, 9},  {0, 0, 0},   {1, 10, 11}, {1, 149, 149}, {2, 10, 0},  {3, 10, 60}, {3, 140, 149},
                          {4, 10, 77}, {5, 10, 77}, {6, 100, 0}, {7, 0, 149},   {8, 33, 33}, {-1, 33, 33}};
  for (const auto& c : codes) {
    EXPECT_EQ(pv::ApplyScrollCode(c[0], ScrollState{0, 200, 50, c[1]}, 77), c[2]) << c[0] << " at " << c[1];
  }
  // Content shorter than the page never scrolls below the start.
  EXPECT_EQ(pv::ApplyScrollCode(1, ScrollState{0, 30, 50, 0}, 0), 0);
  EXPECT_EQ(pv::ApplyScrollCode(7, ScrollState{0, 30, 50, 0}, 0), 0);

  // The wheel: an eighth of the page per message whatever the turn, down
  // (toward the user, bit 15) to at most max + 1 - page; nothing at all for
  // a range of 100 or less.
  EXPECT_EQ(pv::ApplyWheel(0xFF88, ScrollState{0, 100, 80, 50}), std::nullopt);
  const unsigned deltas[] = {0xFF88, 0x8000, 120, 0x7FFF};
  const int expected[] = {60, 60, 40, 40};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pv::ApplyWheel(deltas[i], ScrollState{0, 300, 80, 50}), expected[i]);
  EXPECT_EQ(pv::ApplyWheel(0xFF88, ScrollState{0, 300, 80, 218}), 221);
  EXPECT_EQ(pv::ApplyWheel(120, ScrollState{0, 300, 80, 5}), 0);
}

}  // namespace
