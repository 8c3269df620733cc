#include <gtest/gtest.h>

#include <climits>

#include "ui/ControlMath.h"

using namespace pv;

namespace {

using pv::FrameHit;
using pv::Rect;

TEST(ControlMath, ProgressFillIsTruncatedAndNeverClamped) {
  // The range set by ResetRange on a 300-pixel bar.
  EXPECT_EQ(pv::ProgressFillWidth(300, 50, 0, 100), 150);
  EXPECT_EQ(pv::ProgressFillWidth(300, 100, 0, 100), 300);
  EXPECT_EQ(pv::ProgressFillWidth(300, 1, 0, 7), 42);    // 42.86 truncated
  EXPECT_EQ(pv::ProgressFillWidth(300, -1, 0, 7), -42);  // toward zero
  // Past the maximum the fill is wider than the bar; the painter cuts it.
  EXPECT_EQ(pv::ProgressFillWidth(300, 150, 0, 100), 450);
  // The minimum only shortens the range.
  EXPECT_EQ(pv::ProgressFillWidth(300, 50, 50, 150), 150);
  // No positive range, no fill, at any position.
  for (int position : {INT_MIN, -1, 0, 5, 100, INT_MAX}) {
    EXPECT_EQ(pv::ProgressFillWidth(300, position, 5, 5), 0);
    EXPECT_EQ(pv::ProgressFillWidth(300, position, 100, 0), 0);
  }
  // Ends of the int range neither overflow nor divide by zero.
  EXPECT_EQ(pv::ProgressFillWidth(528, INT_MAX, 0, 100), 528LL * INT_MAX / 100);
  EXPECT_EQ(pv::ProgressFillWidth(INT_MAX, INT_MAX, INT_MIN, INT_MAX), 1073741823LL);
  EXPECT_EQ(pv::ProgressFillWidth(INT_MIN, INT_MIN, INT_MIN, INT_MIN + 1), static_cast<long long>(INT_MIN) * INT_MIN);
}

TEST(ControlMath, FrameRectanglesFollowTheBands) {
  // Our skin: a 40-pixel caption band and 1-pixel sides and bottom.
  const pv::FrameRects rects = pv::ComputeFrameRects(528, 348, {40, 1, 1, 1});
  EXPECT_EQ(rects.client, (Rect{1, 40, 527, 347}));
  EXPECT_EQ(rects.top, (Rect{0, 0, 528, 40}));
  EXPECT_EQ(rects.left, (Rect{0, 40, 1, 347}));
  EXPECT_EQ(rects.right, (Rect{527, 40, 528, 347}));
  EXPECT_EQ(rects.bottom, (Rect{0, 347, 528, 348}));
  // Without records the whole window is client area and the bands are empty.
  const pv::FrameRects bare = pv::ComputeFrameRects(100, 50, {});
  EXPECT_EQ(bare.client, (Rect{0, 0, 100, 50}));
  EXPECT_TRUE(bare.top.IsEmpty());
  EXPECT_TRUE(bare.bottom.IsEmpty());
  // Hostile thicknesses stay in range.
  const pv::FrameRects wild = pv::ComputeFrameRects(100, 50, {INT_MIN, INT_MAX, INT_MIN, INT_MAX});
  EXPECT_EQ(wild.client.right, INT_MAX);
  EXPECT_EQ(wild.client.bottom, 50 - INT_MAX);
}

struct HitCase {
  int x;
  int y;
  FrameHit expected;
};

TEST(ControlMath, ThickFrameHitAtEveryEdgeAndCorner) {
  // 200 x 100 with a 20-pixel caption and 6-pixel sides and bottom.
  const pv::FrameRects rects = pv::ComputeFrameRects(200, 100, {20, 6, 6, 6});
  const HitCase cases[] = {
      {0, 0, FrameHit::TopLeft},    {3, 3, FrameHit::TopLeft},     {4, 3, FrameHit::Caption},
      {3, 4, FrameHit::Caption},    {4, 1, FrameHit::Top},         {100, 0, FrameHit::Top},
      {100, 1, FrameHit::Top},      {100, 2, FrameHit::Caption},   {199, 0, FrameHit::TopRight},
      {196, 3, FrameHit::TopRight}, {195, 1, FrameHit::Top},       {196, 4, FrameHit::Caption},
      {200, 0, FrameHit::None},     {100, 19, FrameHit::Caption},  {0, 20, FrameHit::Left},
      {5, 89, FrameHit::Left},      {5, 90, FrameHit::BottomLeft}, {0, 93, FrameHit::BottomLeft},
      {194, 50, FrameHit::Right},   {199, 89, FrameHit::Right},    {199, 90, FrameHit::BottomRight},
      {0, 94, FrameHit::Bottom},    {0, 96, FrameHit::BottomLeft}, {3, 99, FrameHit::BottomLeft},
      {4, 99, FrameHit::Bottom},    {100, 94, FrameHit::Bottom},   {196, 99, FrameHit::BottomRight},
      {195, 99, FrameHit::Bottom},  {199, 95, FrameHit::Bottom},   {100, 50, FrameHit::None},
      {-1, 50, FrameHit::None},     {100, 100, FrameHit::None},
  };
  for (const HitCase& c : cases) {
    EXPECT_EQ(pv::ThickFrameHit(rects, {c.x, c.y}, false), c.expected) << c.x << ", " << c.y;
  }
  // A control in the caption band keeps the point, corners included; the
  // other bands do not look for controls.
  EXPECT_EQ(pv::ThickFrameHit(rects, {1, 1}, true), FrameHit::None);
  EXPECT_EQ(pv::ThickFrameHit(rects, {100, 10}, true), FrameHit::None);
  EXPECT_EQ(pv::ThickFrameHit(rects, {0, 50}, true), FrameHit::Left);
  // Without a sizing border only the caption counts; without a top record
  // there is none.
  EXPECT_EQ(pv::CaptionHit(rects, {0, 0}, false), FrameHit::Caption);
  EXPECT_EQ(pv::CaptionHit(rects, {0, 50}, false), FrameHit::None);
  EXPECT_EQ(pv::CaptionHit(pv::ComputeFrameRects(200, 100, {}), {10, 0}, false), FrameHit::None);
}

}  // namespace
