#include "ui/UITabCtrl.h"

#include "ui/ControlLayout.h"
#include "ui/IResource.h"
#include "ui/StylePainter.h"
#include "ui/UIKind.h"

namespace pv {

namespace {

// Centred both ways on one line.
constexpr int kTabTextAlignment = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
// Room enough that the measured text never wraps.
constexpr RECT kMeasureArea{0, 0, 32767, 32767};

}  // namespace

UITabCtrl::UITabCtrl() { kind = UIKind::TabCtrl; }

int UITabCtrl::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  if (!resource) return 0;
  const JValue* found = resource->FindNode(path, node);
  if (!found) return 1;
  background = resource->GetImageStyle("bkgnd", found);
  itemNormal = resource->GetImageStyle("Item/normal", found);
  itemPressed = resource->GetImageStyle("Item/pressed", found);
  textNormal = resource->GetTextStyle("Text/normal", found);
  textPressed = resource->GetTextStyle("Text/pressed", found);
  return 1;
}

void UITabCtrl::ArrangeTabs() { ArrangeTabs(GetPaintDC()); }

void UITabCtrl::ArrangeTabs(HDC dc) {
  std::vector<pv::TabShape> shapes;
  shapes.reserve(tabs.size());
  for (const Tab& tab : tabs) {
    // Every tab is measured in the normal text style, so selecting one
    // never moves the others.
    const int width =
        vertical || !tab.visible ? 0 : MeasureTextStyle(dc, textNormal, kMeasureArea, tab.text.c_str()).cx;
    shapes.push_back(pv::TabShape{tab.visible, width});
  }
  const std::vector<pv::Rect> rects =
      pv::LayoutTabs(pv::Rect{rect.left, rect.top, rect.right, rect.bottom}, vertical, verticalTabHeight, shapes);
  for (std::size_t i = 0; i < tabs.size(); ++i)
    tabs[i].rect = RECT{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
}

void UITabCtrl::Paint(HDC dc, const RECT&, const RECT&) {
  PaintImageStyle(rect, background, dc);
  ArrangeTabs(dc);
  for (std::size_t i = 0; i < tabs.size(); ++i) {
    const Tab& tab = tabs[i];
    if (!tab.visible) continue;
    const bool chosen = static_cast<int>(i) == selected;
    PaintImageStyle(tab.rect, chosen ? itemPressed : itemNormal, dc);
    UITextStyle text = chosen ? textPressed : textNormal;
    text.alignment = kTabTextAlignment;
    PaintTextStyle(dc, tab.rect, tab.text.c_str(), nullptr, text);
  }
}

int UITabCtrl::MouseDown(UINT, POINT point) {
  if (!enabled || !visible) return 0;
  ArrangeTabs();
  for (std::size_t i = 0; i < tabs.size(); ++i) {
    const Tab& tab = tabs[i];
    if (!tab.visible || !::PtInRect(&tab.rect, point)) continue;
    // The selected tab under the pointer is passed over, so a press on it
    // tells nobody anything.
    if (static_cast<int>(i) == selected) continue;
    selected = static_cast<int>(i);
    Invalidate();
    // The receivers may remove the control: everything needed is taken
    // first, and the window message goes straight to the host window.
    const WPARAM command = static_cast<WPARAM>(static_cast<WORD>(tab.id));
    HWND host = GetHostWindow();
    if (parent) parent->Notify(this, WM_COMMAND, command, reinterpret_cast<LPARAM>(this));
    if (host) ::SendMessageW(host, WM_COMMAND, command, reinterpret_cast<LPARAM>(host));
    return 1;
  }
  return 0;
}

int UITabCtrl::AddTab(int tabId, const std::wstring& text) {
  Tab tab;
  tab.id = tabId;
  tab.text = text;
  tabs.push_back(std::move(tab));
  Invalidate();
  return static_cast<int>(tabs.size()) - 1;
}

bool UITabCtrl::RemoveTab(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= tabs.size()) return false;
  tabs.erase(tabs.begin() + index);
  if (selected == index) {
    selected = -1;
  } else if (selected > index) {
    --selected;
  }
  Invalidate();
  return true;
}

void UITabCtrl::RemoveAllTabs() {
  tabs.clear();
  selected = -1;
  Invalidate();
}

bool UITabCtrl::SetTabText(int index, const std::wstring& text) {
  if (index < 0 || static_cast<std::size_t>(index) >= tabs.size()) return false;
  tabs[static_cast<std::size_t>(index)].text = text;
  Invalidate();
  return true;
}

bool UITabCtrl::SetTabVisible(int index, bool value) {
  if (index < 0 || static_cast<std::size_t>(index) >= tabs.size()) return false;
  tabs[static_cast<std::size_t>(index)].visible = value;
  Invalidate();
  return true;
}

bool UITabCtrl::SetSelected(int index) {
  if (index < -1 || (index >= 0 && static_cast<std::size_t>(index) >= tabs.size())) return false;
  selected = index;
  Invalidate();
  return true;
}

void UITabCtrl::SetVertical(bool value) {
  vertical = value;
  Invalidate();
}

void UITabCtrl::SetVerticalTabHeight(int height) {
  verticalTabHeight = height;
  Invalidate();
}

}  // namespace pv
