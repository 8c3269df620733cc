#include "ui/ControlLayout.h"

#include <algorithm>
#include <cstddef>

namespace pv {

int TabWidth(int textWidth) {
  constexpr int kNarrowText = 45;
  constexpr int kNarrowTab = 80;
  constexpr int kTextPadding = 35;
  return textWidth < kNarrowText ? kNarrowTab : ClampToInt(static_cast<long long>(textWidth) + kTextPadding);
}

std::vector<Rect> LayoutTabs(const Rect& bounds, bool vertical, int verticalTabHeight,
                             const std::vector<TabShape>& tabs) {
  std::vector<Rect> rects(tabs.size());
  long long offset = 0;
  for (std::size_t i = 0; i < tabs.size(); ++i) {
    if (!tabs[i].visible) continue;
    if (vertical) {
      rects[i] = Rect{bounds.left, ClampToInt(bounds.top + offset), bounds.right,
                      ClampToInt(bounds.top + offset + verticalTabHeight)};
      offset += verticalTabHeight;
    } else {
      const int width = TabWidth(tabs[i].textWidth);
      rects[i] =
          Rect{ClampToInt(bounds.left + offset), bounds.top, ClampToInt(bounds.left + offset + width), bounds.bottom};
      offset += width;
    }
  }
  return rects;
}

std::vector<Rect> LayoutToolItems(const Rect& bounds, const ToolBarMetrics& m,
                                  const std::vector<ToolItemShape>& items) {
  std::vector<Rect> rects(items.size());
  const long long top =
      static_cast<long long>(bounds.top) + (static_cast<long long>(bounds.Height()) - m.cellHeight) / 2 + m.insetTop;
  const long long bottom = top + m.cellHeight - m.insetBottom;
  long long x = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!items[i].visible) continue;
    const long long left = static_cast<long long>(bounds.left) + m.padding + x;
    const int width = items[i].separator ? m.separatorWidth : m.cellWidth;
    rects[i] = Rect{ClampToInt(left), ClampToInt(top), ClampToInt(left + width), ClampToInt(bottom)};
    x += width + 2LL * m.padding;
  }
  return rects;
}

std::vector<Rect> LayoutColumns(const Rect& bounds, const std::vector<int>& widths) {
  std::vector<Rect> rects;
  rects.reserve(widths.size());
  long long x = bounds.left;
  for (int width : widths) {
    const long long right = x + std::max(width, 0);
    rects.push_back(Rect{ClampToInt(x), bounds.top, ClampToInt(right), bounds.bottom});
    x = right;
  }
  return rects;
}

ListFrame LayoutListFrame(const Rect& bounds, int headerHeight, bool scrollBarShown) {
  ListFrame frame;
  const int right =
      scrollBarShown ? ClampToInt(static_cast<long long>(bounds.right) - kListScrollBarWidth) : bounds.right;
  const int headerBottom =
      std::min(bounds.bottom, ClampToInt(static_cast<long long>(bounds.top) + std::max(headerHeight, 0)));
  frame.header = Rect{bounds.left, bounds.top, right, headerBottom};
  frame.area = Rect{bounds.left, headerBottom, right, bounds.bottom};
  if (scrollBarShown) frame.scrollBar = Rect{right, headerBottom, bounds.right, bounds.bottom};
  return frame;
}

Rect ListRowRect(const Rect& area, int rowHeight, int index) {
  const long long top = static_cast<long long>(area.top) + static_cast<long long>(rowHeight) * index;
  return Rect{area.left, ClampToInt(top), area.right, ClampToInt(top + rowHeight)};
}

Rect ListCellRect(const Rect& row, const std::vector<Rect>& columns, int column, int areaRight) {
  if (column >= 0 && static_cast<std::size_t>(column) < columns.size()) {
    const Rect& c = columns[static_cast<std::size_t>(column)];
    const int right = std::min(c.right, areaRight);
    return Rect{std::min(c.left, right), row.top, right, row.bottom};
  }
  const int end = std::min(columns.empty() ? row.left : columns.back().right, areaRight);
  return Rect{end, row.top, end, row.bottom};
}

int ListRowAt(const Rect& area, int rowHeight, int offset, int rowCount, int x, int y) {
  if (rowHeight <= 0 || !area.Contains(x, y)) return -1;
  const long long along = static_cast<long long>(y) - area.top + offset;
  if (along < 0) return -1;
  const long long index = along / rowHeight;
  return index < rowCount ? static_cast<int>(index) : -1;
}

}  // namespace pv
