#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "ui/ControlLayout.h"

using namespace pv;

namespace {

using pv::Rect;

TEST(ControlLayout, TabsTakeTheirTextWidthPlus35OrAtLeast80) {
  EXPECT_EQ(pv::TabWidth(30), 80);
  EXPECT_EQ(pv::TabWidth(60), 95);
  EXPECT_EQ(pv::TabWidth(0), 80);
  EXPECT_EQ(pv::TabWidth(44), 80);
  EXPECT_EQ(pv::TabWidth(45), 80);
  EXPECT_EQ(pv::TabWidth(46), 81);
  EXPECT_EQ(pv::TabWidth(INT_MAX), INT_MAX);

  const Rect bounds{10, 5, 500, 35};
  const std::vector<pv::TabShape> tabs{{true, 30}, {true, 60}, {false, 500}, {true, 100}};
  EXPECT_EQ(pv::LayoutTabs(bounds, false, 30, tabs),
            (std::vector<Rect>{{10, 5, 90, 35}, {90, 5, 185, 35}, {}, {185, 5, 320, 35}}));
  EXPECT_EQ(pv::LayoutTabs(bounds, true, 30, tabs),
            (std::vector<Rect>{{10, 5, 500, 35}, {10, 35, 500, 65}, {}, {10, 65, 500, 95}}));
}

TEST(ControlLayout, ToolItemsSitInCellsWithPadding) {
  pv::ToolBarMetrics metrics;
  metrics.padding = 2;
  metrics.cellWidth = 24;
  metrics.cellHeight = 24;
  metrics.insetTop = 1;
  metrics.insetBottom = 2;
  metrics.separatorWidth = 4;
  const std::vector<pv::ToolItemShape> items{{true, false}, {true, true}, {false, false}, {true, false}};
  // Centred: top = (40 - 24) / 2 + 1, bottom = top + 24 - 2.
  EXPECT_EQ(pv::LayoutToolItems(Rect{0, 0, 200, 40}, metrics, items),
            (std::vector<Rect>{{2, 9, 26, 31}, {30, 9, 34, 31}, {}, {38, 9, 62, 31}}));
}

TEST(ControlLayout, ListRowsCellsAndPresses) {
  // The scroll bar's part of the view and the cells are checked on a
  // window; here the cases a window rarely shows.
  const std::vector<Rect> columns = pv::LayoutColumns(Rect{0, 0, 200, 24}, {120, -3, 120});
  EXPECT_EQ(columns, (std::vector<Rect>{{0, 0, 120, 24}, {120, 0, 120, 24}, {120, 0, 240, 24}}));
  EXPECT_EQ(pv::LayoutListFrame(Rect{0, 0, 200, 20}, 24, false).area, (Rect{0, 20, 200, 20}));
  const Rect area{0, 24, 170, 200};
  const Rect row = pv::ListRowRect(area, 20, 2);
  EXPECT_EQ(row, (Rect{0, 64, 170, 84}));
  EXPECT_EQ(pv::ListCellRect(row, columns, 3, 170), (Rect{170, 64, 170, 84}));
  EXPECT_EQ(pv::ListCellRect(row, {}, 0, 170), (Rect{0, 64, 0, 84}));

  // Row under (x, y) with the rows scrolled by an offset.
  const int presses[][5] = {
      // offset, rows, x, y, row
      {0, 10, 5, 24, 0},  {0, 10, 5, 43, 0},  {0, 10, 5, 44, 1},    {20, 10, 5, 24, 1},
      {0, 3, 5, 120, -1}, {0, 10, 5, 10, -1}, {0, 10, 180, 50, -1},
  };
  for (const auto& p : presses) EXPECT_EQ(pv::ListRowAt(area, 20, p[0], p[1], p[2], p[3]), p[4]) << p[3];
  EXPECT_EQ(pv::ListRowAt(area, 0, 0, 10, 5, 50), -1);
}

}  // namespace
