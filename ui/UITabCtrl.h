#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

// A row (or column) of tabs. A horizontal tab is as wide as its text plus
// 35 pixels, and 80 pixels for texts under 45; a vertical tab is as wide as
// the control and a fixed height tall. Pressing a tab other than the
// selected one selects it and tells the parent (Notify, lParam the control)
// and the host window (WM_COMMAND, lParam the host window), both with the
// tab id in wParam.
class UITabCtrl : public UIObject {
 public:
  static constexpr int kDefaultVerticalTabHeight = 30;

  struct Tab {
    int id = 0;
    std::wstring text;
    RECT rect{};
    bool visible = true;
  };

  UITabCtrl();

  // "bkgnd", "Item/normal", "Item/pressed", "Text/normal", "Text/pressed".
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  int MouseDown(UINT keys, POINT point) override;

  // Tabs go at the end; returns the new tab's index.
  int AddTab(int id, const std::wstring& text);
  // False for an index out of range. The selection follows its tab; removing
  // the selected tab leaves none selected.
  bool RemoveTab(int index);
  void RemoveAllTabs();
  bool SetTabText(int index, const std::wstring& text);
  bool SetTabVisible(int index, bool visible);
  // Selects a tab (or none with -1) without telling anybody; false for an
  // index out of range.
  bool SetSelected(int index);
  void SetVertical(bool vertical);
  void SetVerticalTabHeight(int height);

  int GetSelected() const { return selected; }
  std::size_t TabCount() const { return tabs.size(); }
  const Tab* GetTab(std::size_t index) const { return index < tabs.size() ? &tabs[index] : nullptr; }
  // Places the tabs now (they are placed at each paint and press): text
  // widths need the host's paint DC.
  void ArrangeTabs();

 protected:
  int selected = -1;
  std::vector<Tab> tabs;
  UIImageStyle background;
  UIImageStyle itemNormal;
  UIImageStyle itemPressed;
  UITextStyle textNormal;
  UITextStyle textPressed;
  bool vertical = false;
  int verticalTabHeight = kDefaultVerticalTabHeight;

 private:
  void ArrangeTabs(HDC dc);
};

}  // namespace pv
