#include <gtest/gtest.h>

#include <climits>

#include "ui/LayoutMath.h"

using namespace pv;

namespace {

using pv::Rect;

TEST(LayoutMath, NegativeOffsetsAnchorToTheFarEdgeInModeZero) {
  const Rect parent{100, 50, 400, 250};
  struct Case {
    pv::LayoutRequest request;
    int mode;
    Rect expected;
  };
  const Case cases[] = {
      {{-30, 10, 20, 5}, pv::kLayoutAnchored, {370, 60, 390, 65}},
      {{-30, 10, 20, 5}, pv::kLayoutOffsets, {70, 60, 90, 65}},
      {{10, -40, 20, 30}, pv::kLayoutAnchored, {110, 210, 130, 240}},
      {{10, -40, 20, 30}, pv::kLayoutOffsets, {110, 10, 130, 40}},
      {{0, 0, 300, 200}, pv::kLayoutAnchored, {100, 50, 400, 250}},
      {{-1, -1, 1, 1}, pv::kLayoutAnchored, {399, 249, 400, 250}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pv::ComputeLayout(parent, c.request, c.mode), c.expected) << c.request.x << "," << c.request.y;
  }
  EXPECT_TRUE(pv::HasLayoutSize({0, 0, 1, 1}));
  EXPECT_FALSE(pv::HasLayoutSize({0, 0, 0, 0}));
  EXPECT_FALSE(pv::HasLayoutSize({5, 5, -1, 10}));
  // Far-out numbers are clamped, not wrapped.
  const Rect far = pv::ComputeLayout({0, 0, INT_MAX, INT_MAX}, {INT_MAX, INT_MIN, INT_MAX, INT_MAX}, 0);
  EXPECT_EQ(far, (Rect{INT_MAX, -1, INT_MAX, INT_MAX - 1}));
}

}  // namespace
