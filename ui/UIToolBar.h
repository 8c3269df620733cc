#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/CHTooltip.h"
#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

class CHBitmap;

// A row of icon buttons and separators. Each button shows one cell of an
// icon strip: the cell's column is the item's image index, its row the
// look (0 normal, 1 hot, 2 pressed, 3 disabled). Buttons with a tooltip
// text get a tool in the bar's own tooltip window. A click on an enabled
// button tells the parent (Notify) and the host window (WM_COMMAND), both
// with the item id in wParam and the host window in lParam.
class UIToolBar : public UIObject {
 public:
  struct Item {
    int id = 0;
    int image = 0;  // column of the icon strip
    RECT rect{};
    bool visible = true;
    bool enabled = true;
    std::wstring tooltip;
    bool keepHot = false;  // stays hot when the pointer leaves the bar
    bool separator = false;
  };

  UIToolBar();
  ~UIToolBar() override;

  // "id", "size", "bkgnd", "seperator" (the skin's spelling).
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Layout() override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  int MouseMove(UINT keys, POINT point) override;
  int MouseDown(UINT keys, POINT point) override;
  int MouseUp(UINT keys, POINT point) override;
  int MouseLeave(UINT keys, POINT point) override;
  void RelayTooltip(MSG* message) override;

  // Items go at the end; each call returns the new item's index.
  int AddButton(int id, int image, const std::wstring& tooltip = {});
  int AddSeparator();
  // Removes the item with this id (its tool too); false when there is none.
  bool RemoveItem(int id);
  void RemoveAllItems();
  bool SetItemEnabled(int id, bool enabled);
  bool SetItemVisible(int id, bool visible);
  bool SetItemKeepHot(int id, bool keepHot);
  bool SetItemTooltip(int id, const std::wstring& text);

  // The icon strip stays owned by the caller (a skin image, say) and must
  // outlive the bar or be replaced first; null for none.
  void SetIconStrip(CHBitmap* strip);
  void SetCellSize(int width, int height);
  void SetPadding(int padding);
  // Only the top and bottom insets move the buttons.
  void SetItemInsets(const RECT& insets);

  std::size_t ItemCount() const { return items.size(); }
  // The item at an index, or null.
  const Item* GetItem(std::size_t index) const { return index < items.size() ? &items[index] : nullptr; }
  int GetHotItem() const { return hotItem; }
  int GetState() const { return state; }
  HWND GetTooltipHwnd() const { return tooltip.GetHwnd(); }

 protected:
  UIImageStyle background;
  UIImageStyle separatorStyle;
  CHBitmap* iconStrip = nullptr;
  CHTooltip tooltip;
  bool layoutPending = true;
  RECT itemInsets{};
  int hotItem = -1;
  int padding = 0;
  int cellWidth = 0;
  int cellHeight = 0;
  int state = 0;  // 0 normal, 2 hot, 3 pressed
  std::vector<Item> items;

 private:
  // Places the items and brings their tools up to date.
  void LayoutItems();
  // Marks the items for placing and places them now where that is safe.
  void ItemsChanged();
  void UpdateTools();
  Item* FindItem(int id);
  int ItemAt(POINT point) const;
  // The hand over an enabled button, the arrow off the buttons, and the
  // cursor as it was over a disabled one.
  void UpdateItemCursor(int index);
  void RemoveTool(int id);
  bool EnsureTooltip();
};

}  // namespace pv
