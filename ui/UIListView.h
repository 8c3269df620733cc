#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

class UIHeader;
class UIScrollBar;

// A list of rows under a column header. Rows are one row height tall and
// striped odd and even; a press selects a row; each cell's text is drawn
// in the cell's column. When the rows run taller than the list area a
// scroll bar appears at the right (the list and its header then give up
// its width), and the bar and the wheel scroll the rows.
class UIListView : public UIObject {
 public:
  static constexpr int kDefaultRowHeight = 28;
  static constexpr COLORREF kDefaultTextColor = 0xFFFFFF;
  static constexpr UINT kDrawTextFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_WORD_ELLIPSIS;

  struct Cell {
    RECT rect{};
    std::wstring text;
  };
  struct Row {
    RECT rect{};
    std::vector<Cell> cells;
  };

  UIListView();

  // Sets the layout to 0, 0, 200, 200 first; then "Header", "ScrollBar",
  // "Item/odd", "Item/even", "Item/selected" and "Item/height" (28 when the
  // skin has none).
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Layout() override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  int MouseDown(UINT keys, POINT point) override;
  // An eighth of a page per notch while the bar shows and the rows run
  // more than 100 pixels; 0 while it is hidden.
  int MouseWheel(UINT keys, unsigned delta, POINT point) override;
  // Takes WM_VSCROLL from the own bar; everything else goes up.
  LRESULT Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) override;

  // Columns are the header's; these keep the cells in step with it.
  int AddColumn(const std::wstring& text, int width);
  bool RemoveColumn(int index);
  // Rows go at the end with their cells' texts; returns the new row's index.
  int AddRow(const std::vector<std::wstring>& cells);
  // False for an index out of range. The selection follows its row;
  // removing the selected row leaves none selected.
  bool RemoveRow(int index);
  void RemoveAllRows();
  // Adds cells up to the column as needed; false for a row out of range or
  // a negative column.
  bool SetCellText(int row, int column, const std::wstring& text);
  // -1 for none; false for an index out of range.
  bool SetSelectedRow(int index);
  void SetItemTextColor(COLORREF color);

  UIHeader* GetHeader() const { return header; }
  UIScrollBar* GetScrollBar() const { return scrollBar; }
  std::size_t RowCount() const { return rows.size(); }
  const Row* GetRow(std::size_t index) const { return index < rows.size() ? &rows[index] : nullptr; }
  int GetSelectedRow() const { return selectedRow; }
  int GetScrollOffset() const { return scrollOffset; }
  int GetRowHeight() const { return rowHeight; }
  const RECT& GetListArea() const { return listArea; }

  // Places header, area, bar, rows and cells in the current rectangle and
  // decides whether the bar shows.
  void Arrange();

 protected:
  UIHeader* header = nullptr;        // first child, owned through the tree
  UIScrollBar* scrollBar = nullptr;  // second child, owned through the tree
  RECT listArea{};
  int rowHeight = kDefaultRowHeight;
  int scrollOffset = 0;
  int selectedRow = -1;
  COLORREF textColor = kDefaultTextColor;
  UINT drawFlags = kDrawTextFlags;
  UIImageStyle itemOdd;
  UIImageStyle itemEven;
  UIImageStyle itemSelected;
  std::vector<Row> rows;

 private:
  void PlaceFrame();
  void LayoutRows();
  void ScrollTo(int position);
};

}  // namespace pv
