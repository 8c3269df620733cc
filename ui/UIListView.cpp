#include "ui/UIListView.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "ui/ControlLayout.h"
#include "ui/Handles.h"
#include "ui/IResource.h"
#include "ui/ScrollMath.h"
#include "ui/StylePainter.h"
#include "ui/UIHeader.h"
#include "ui/UIScrollBar.h"

namespace pv {

namespace {

pv::Rect ToGrid(const RECT& r) { return pv::Rect{r.left, r.top, r.right, r.bottom}; }

RECT ToRECT(const pv::Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

RECT Shifted(const RECT& r, int dy) { return RECT{r.left, r.top - dy, r.right, r.bottom - dy}; }

}  // namespace

static_assert(UIListView::kDrawTextFlags == 0x40025);

UIListView::UIListView() {
  header = AddChild(this, std::make_unique<UIHeader>());
  scrollBar = AddChild(this, std::make_unique<UIScrollBar>());
  scrollBar->SetVisible(false);
}

int UIListView::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  layoutRequest = pv::LayoutRequest{0, 0, 200, 200};
  if (!resource) return 0;
  const JValue* found = resource->FindNode(path, node);
  if (!found) return 1;
  header->LoadStyle(resource, "Header", found);
  scrollBar->LoadStyle(resource, "ScrollBar", found);
  itemOdd = resource->GetImageStyle("Item/odd", found);
  itemEven = resource->GetImageStyle("Item/even", found);
  itemSelected = resource->GetImageStyle("Item/selected", found);
  // A skin without a usable row height keeps the default: rows of no
  // height could never be pressed or scrolled.
  if (resource->FindNode("Item/height", found)) {
    const int value = resource->GetInt("Item/height", found);
    if (value > 0) rowHeight = value;
  }
  Arrange();
  return 1;
}

void UIListView::Layout() {
  UIObject::Layout();
  Arrange();
}

void UIListView::PlaceFrame() {
  const pv::ListFrame frame = pv::LayoutListFrame(ToGrid(rect), header->GetHeight(), scrollBar->IsVisible());
  header->SetRect(ToRECT(frame.header));
  header->LayoutColumns();
  listArea = ToRECT(frame.area);
  if (scrollBar->IsVisible()) {
    scrollBar->SetRect(ToRECT(frame.scrollBar));
    scrollBar->Recalc();
  }
}

void UIListView::LayoutRows() {
  const std::vector<RECT> columnRects = header->ColumnRects();
  std::vector<pv::Rect> columns;
  columns.reserve(columnRects.size());
  for (const RECT& c : columnRects) columns.push_back(ToGrid(c));
  const pv::Rect area = ToGrid(listArea);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    Row& row = rows[i];
    const pv::Rect rowRect = pv::ListRowRect(area, rowHeight, static_cast<int>(i));
    row.rect = ToRECT(rowRect);
    for (std::size_t j = 0; j < row.cells.size(); ++j) {
      row.cells[j].rect = ToRECT(pv::ListCellRect(rowRect, columns, static_cast<int>(j), area.right));
    }
  }
}

void UIListView::Arrange() {
  if (::IsRectEmpty(&rect)) return;
  PlaceFrame();
  LayoutRows();
  const long long content = static_cast<long long>(rows.size()) * rowHeight;
  const int areaHeight = listArea.bottom - listArea.top;
  const bool overflow = !rows.empty() && content > areaHeight;
  if (overflow != scrollBar->IsVisible()) {
    // The bar takes (or gives back) its width: lay out again around it.
    scrollBar->SetVisible(overflow);
    scrollOffset = 0;
    PlaceFrame();
    LayoutRows();
  }
  if (!overflow) {
    scrollOffset = 0;
    return;
  }
  // Rows removed since the last scroll may leave the offset past the end.
  scrollOffset = pv::ClampToInt(std::clamp<long long>(scrollOffset, 0, content - areaHeight));
  scrollBar->SetRange(0, pv::ClampToInt(content));
  scrollBar->SetPage(areaHeight);
  scrollBar->SetPosition(scrollOffset);
  scrollBar->Invalidate();
}

void UIListView::Paint(HDC dc, const RECT&, const RECT&) {
  if (rowHeight <= 0) return;
  const int saved = ::SaveDC(dc);
  // Rows scrolled up stay out of the header's band.
  ::IntersectClipRect(dc, listArea.left, listArea.top, listArea.right, listArea.bottom);
  int band = 0;
  for (long long y = listArea.top; y < listArea.bottom; y += rowHeight, ++band) {
    const RECT stripe{listArea.left, static_cast<LONG>(y), listArea.right,
                      static_cast<LONG>(std::min<long long>(y + rowHeight, listArea.bottom))};
    PaintImageStyle(stripe, band % 2 == 0 ? itemEven : itemOdd, dc);
  }
  const COLORREF previousColor = ::SetTextColor(dc, textColor);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const RECT rowRect = Shifted(rows[i].rect, scrollOffset);
    if (!::RectVisible(dc, &rowRect)) continue;
    const UIImageStyle& look = static_cast<int>(i) == selectedRow ? itemSelected : (i % 2 == 1 ? itemOdd : itemEven);
    PaintImageStyle(rowRect, look, dc);
    for (const Cell& cell : rows[i].cells) {
      RECT cellRect = Shifted(cell.rect, scrollOffset);
      if (cell.text.empty() || ::IsRectEmpty(&cellRect)) continue;
      ::DrawTextW(dc, cell.text.c_str(), -1, &cellRect, drawFlags);
    }
  }
  ::SetTextColor(dc, previousColor);
  ::RestoreDC(dc, saved);
}

int UIListView::MouseDown(UINT, POINT point) {
  if (!enabled || !visible) return 0;
  const int row =
      pv::ListRowAt(ToGrid(listArea), rowHeight, scrollOffset, static_cast<int>(rows.size()), point.x, point.y);
  if (row < 0) return 0;
  if (row != selectedRow) {
    selectedRow = row;
    Invalidate();
  }
  return 1;
}

void UIListView::ScrollTo(int position) {
  scrollBar->SetPosition(position);
  scrollBar->Invalidate();
  scrollOffset = position;
  Invalidate();
}

LRESULT UIListView::Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_VSCROLL || sender != scrollBar) return UIObject::Notify(sender, message, wParam, lParam);
  ScrollTo(pv::ApplyScrollCode(LOWORD(wParam), scrollBar->GetState(), scrollBar->GetTrackedPosition()));
  return 0;
}

int UIListView::MouseWheel(UINT, unsigned delta, POINT) {
  if (!scrollBar->IsVisible()) return 0;
  if (const std::optional<int> position = pv::ApplyWheel(delta, scrollBar->GetState())) ScrollTo(*position);
  return 1;
}

int UIListView::AddColumn(const std::wstring& text, int width) {
  const int index = header->AddColumn(text, width);
  Arrange();
  Invalidate();
  return index;
}

bool UIListView::RemoveColumn(int index) {
  if (!header->RemoveColumn(index)) return false;
  Arrange();
  Invalidate();
  return true;
}

int UIListView::AddRow(const std::vector<std::wstring>& cells) {
  Row row;
  row.cells.reserve(cells.size());
  for (const std::wstring& text : cells) row.cells.push_back(Cell{RECT{}, text});
  rows.push_back(std::move(row));
  Arrange();
  Invalidate();
  return static_cast<int>(rows.size()) - 1;
}

bool UIListView::RemoveRow(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= rows.size()) return false;
  rows.erase(rows.begin() + index);
  if (selectedRow == index) {
    selectedRow = -1;
  } else if (selectedRow > index) {
    --selectedRow;
  }
  Arrange();
  Invalidate();
  return true;
}

void UIListView::RemoveAllRows() {
  rows.clear();
  selectedRow = -1;
  Arrange();
  Invalidate();
}

bool UIListView::SetCellText(int row, int column, const std::wstring& text) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows.size() || column < 0) return false;
  std::vector<Cell>& cells = rows[static_cast<std::size_t>(row)].cells;
  if (static_cast<std::size_t>(column) >= cells.size()) cells.resize(static_cast<std::size_t>(column) + 1);
  cells[static_cast<std::size_t>(column)].text = text;
  Arrange();
  Invalidate();
  return true;
}

bool UIListView::SetSelectedRow(int index) {
  if (index < -1 || (index >= 0 && static_cast<std::size_t>(index) >= rows.size())) return false;
  selectedRow = index;
  Invalidate();
  return true;
}

void UIListView::SetItemTextColor(COLORREF color) {
  textColor = color;
  Invalidate();
}

}  // namespace pv
