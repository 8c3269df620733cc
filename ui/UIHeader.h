#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

// The column header of a list view: columns of given widths side by side
// from the left, each with its caption, and a 2-pixel splitter image on the
// border before every column but the first.
class UIHeader : public UIObject {
 public:
  static constexpr int kDefaultHeight = 32;

  struct Column {
    std::wstring text;
    RECT rect{};
    int width = 0;
  };

  UIHeader() = default;

  // "text", "bkgnd", "splitter", "height" (32 when the skin has none).
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Layout() override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;

  // Columns go at the right end; returns the new column's index.
  int AddColumn(const std::wstring& text, int width);
  // False for an index out of range.
  bool RemoveColumn(int index);
  void RemoveAllColumns();
  bool SetColumnWidth(int index, int width);
  bool SetColumnText(int index, const std::wstring& text);
  // Places the columns in the current rectangle.
  void LayoutColumns();

  int GetHeight() const { return height; }
  void SetHeight(int value) { height = value; }
  std::size_t ColumnCount() const { return columns.size(); }
  const Column* GetColumn(std::size_t index) const { return index < columns.size() ? &columns[index] : nullptr; }
  std::vector<RECT> ColumnRects() const;

 protected:
  int height = kDefaultHeight;
  UITextStyle textStyle;
  UIImageStyle background;
  UIImageStyle splitter;
  std::vector<Column> columns;
};

}  // namespace pv
