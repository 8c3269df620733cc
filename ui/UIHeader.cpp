#include "ui/UIHeader.h"

#include "ui/ControlLayout.h"
#include "ui/IResource.h"
#include "ui/StylePainter.h"

namespace pv {

int UIHeader::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  if (!resource) return 0;
  const JValue* found = resource->FindNode(path, node);
  if (!found) return 1;
  textStyle = resource->GetTextStyle("text", found);
  background = resource->GetImageStyle("bkgnd", found);
  splitter = resource->GetImageStyle("splitter", found);
  // A skin without a usable height keeps the default rather than hiding
  // the header.
  if (resource->FindNode("height", found)) {
    const int value = resource->GetInt("height", found);
    if (value > 0) height = value;
  }
  return 1;
}

void UIHeader::Layout() {
  UIObject::Layout();
  LayoutColumns();
}

void UIHeader::LayoutColumns() {
  std::vector<int> widths;
  widths.reserve(columns.size());
  for (const Column& column : columns) widths.push_back(column.width);
  const std::vector<pv::Rect> rects = pv::LayoutColumns(pv::Rect{rect.left, rect.top, rect.right, rect.bottom}, widths);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    columns[i].rect = RECT{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
  }
}

std::vector<RECT> UIHeader::ColumnRects() const {
  std::vector<RECT> rects;
  rects.reserve(columns.size());
  for (const Column& column : columns) rects.push_back(column.rect);
  return rects;
}

void UIHeader::Paint(HDC dc, const RECT&, const RECT&) {
  PaintImageStyle(rect, background, dc);
  LayoutColumns();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Column& column = columns[i];
    if (i > 0) {
      PaintImageStyle(RECT{column.rect.left - 1, column.rect.top, column.rect.left + 1, column.rect.bottom}, splitter,
                      dc);
    }
    PaintTextStyle(dc, column.rect, column.text.c_str(), nullptr, textStyle);
  }
}

int UIHeader::AddColumn(const std::wstring& text, int width) {
  Column column;
  column.text = text;
  column.width = width;
  columns.push_back(std::move(column));
  LayoutColumns();
  Invalidate();
  return static_cast<int>(columns.size()) - 1;
}

bool UIHeader::RemoveColumn(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= columns.size()) return false;
  columns.erase(columns.begin() + index);
  LayoutColumns();
  Invalidate();
  return true;
}

void UIHeader::RemoveAllColumns() {
  columns.clear();
  Invalidate();
}

bool UIHeader::SetColumnWidth(int index, int width) {
  if (index < 0 || static_cast<std::size_t>(index) >= columns.size()) return false;
  columns[static_cast<std::size_t>(index)].width = width;
  LayoutColumns();
  Invalidate();
  return true;
}

bool UIHeader::SetColumnText(int index, const std::wstring& text) {
  if (index < 0 || static_cast<std::size_t>(index) >= columns.size()) return false;
  columns[static_cast<std::size_t>(index)].text = text;
  Invalidate();
  return true;
}

}  // namespace pv
