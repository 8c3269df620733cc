#pragma once

#include <vector>

#include "ui/Geometry.h"

namespace pv {

// Where the parts of the container controls go: tabs, tool bar items,
// header columns and list rows. Plain rectangles in the host window's
// client coordinates, like the controls' own.

// A horizontal tab is its text's width plus 35 pixels, and never narrower
// than 80 for texts under 45 pixels.
int TabWidth(int textWidth);

struct TabShape {
  bool visible = true;
  int textWidth = 0;
};

// Visible tabs one after another from the control's left (or, for vertical
// tabs, top) edge, across its whole height (or width); hidden tabs get an
// empty rectangle and take no room.
std::vector<Rect> LayoutTabs(const Rect& bounds, bool vertical, int verticalTabHeight,
                             const std::vector<TabShape>& tabs);

struct ToolItemShape {
  bool visible = true;
  bool separator = false;
};

struct ToolBarMetrics {
  int padding = 0;
  int cellWidth = 0;
  int cellHeight = 0;
  int insetTop = 0;
  int insetBottom = 0;
  int separatorWidth = 0;  // the source width of the separator image, 0 without one
};

// Visible items from the left, each with the padding on both sides and
// centred vertically at the cell height (less the insets); hidden items get
// an empty rectangle and take no room.
std::vector<Rect> LayoutToolItems(const Rect& bounds, const ToolBarMetrics& metrics,
                                  const std::vector<ToolItemShape>& items);

// Columns side by side from the left edge over the whole height; negative
// widths count as 0.
std::vector<Rect> LayoutColumns(const Rect& bounds, const std::vector<int>& widths);

// The width of the list view's scroll bar; the list and its header give it
// up at their right while it shows.
constexpr int kListScrollBarWidth = 30;

// The parts of a list view: the header band at the top, the list area below
// it, and the scroll bar at the right of the list area when it shows.
struct ListFrame {
  Rect header;
  Rect area;
  Rect scrollBar;
};
ListFrame LayoutListFrame(const Rect& bounds, int headerHeight, bool scrollBarShown);

// Row `index` of a list area, unscrolled; one row height tall, as wide as
// the area.
Rect ListRowRect(const Rect& area, int rowHeight, int index);

// A cell of a row: the column's horizontal span, cut at the area's right
// edge; a cell without a column has no width and sits at the right end of
// the last column.
Rect ListCellRect(const Rect& row, const std::vector<Rect>& columns, int column, int areaRight);

// The row under a point of the list area scrolled by `offset`, or -1.
int ListRowAt(const Rect& area, int rowHeight, int offset, int rowCount, int x, int y);

}  // namespace pv
