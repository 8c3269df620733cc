#include "ui/UIToolBar.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/CHApp.h"
#include "ui/CHBitmap.h"
#include "ui/ControlLayout.h"
#include "ui/IResource.h"
#include "ui/StylePainter.h"
#include "ui/UIKind.h"

namespace pv {

namespace {

RECT ToRECT(const pv::Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// Rows of the icon strip.
constexpr int kRowNormal = 0;
constexpr int kRowHot = 1;
constexpr int kRowPressed = 2;
constexpr int kRowDisabled = 3;

bool OnWindowThread(HWND window) {
  return !window || ::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId();
}

}  // namespace

UIToolBar::UIToolBar() { kind = UIKind::ToolBar; }

UIToolBar::~UIToolBar() = default;

int UIToolBar::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  if (!resource) return 0;
  const JValue* found = resource->FindNode(path, node);
  if (!found) return 1;
  LoadIdAndSize(resource, found);
  background = resource->GetImageStyle("bkgnd", found);
  separatorStyle = resource->GetImageStyle("seperator", found);
  ItemsChanged();
  return 1;
}

void UIToolBar::Layout() {
  UIObject::Layout();
  ItemsChanged();
}

void UIToolBar::ItemsChanged() {
  layoutPending = true;
  // Another thread moving the bar leaves the items (and the tooltip window,
  // which belongs to the window's thread) for the next paint.
  if (OnWindowThread(GetHostWindow())) LayoutItems();
  Invalidate();
}

void UIToolBar::LayoutItems() {
  layoutPending = false;
  pv::ToolBarMetrics metrics;
  metrics.padding = padding;
  metrics.cellWidth = cellWidth;
  metrics.cellHeight = cellHeight;
  metrics.insetTop = itemInsets.top;
  metrics.insetBottom = itemInsets.bottom;
  metrics.separatorWidth = separatorStyle.bitmap ? separatorStyle.sourceWidth : 0;
  std::vector<pv::ToolItemShape> shapes;
  shapes.reserve(items.size());
  for (const Item& item : items) shapes.push_back(pv::ToolItemShape{item.visible, item.separator});
  const std::vector<pv::Rect> rects =
      pv::LayoutToolItems(pv::Rect{rect.left, rect.top, rect.right, rect.bottom}, metrics, shapes);
  for (std::size_t i = 0; i < items.size(); ++i) items[i].rect = ToRECT(rects[i]);
  UpdateTools();
}

bool UIToolBar::EnsureTooltip() {
  if (tooltip.GetHwnd()) return true;
  HWND host = GetHostWindow();
  if (!host) return false;
  CHApp::EnsureCommonControls();
  return tooltip.Create(host, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, nullptr, TOOLTIPS_CLASSW, WS_EX_TOPMOST,
                        0, 0, 0, 0);
}

void UIToolBar::UpdateTools() {
  bool wanted = false;
  for (const Item& item : items) wanted = wanted || (!item.separator && !item.tooltip.empty());
  if (!wanted && !tooltip.GetHwnd()) return;
  if (!EnsureTooltip()) return;
  HWND host = GetHostWindow();
  for (const Item& item : items) {
    if (item.separator) continue;
    if (!item.visible) {
      RemoveTool(item.id);
    } else if (!item.tooltip.empty()) {
      tooltip.SetTool(host, static_cast<UINT_PTR>(item.id), item.tooltip.c_str(), &item.rect);
    }
  }
}

void UIToolBar::RemoveTool(int itemId) {
  if (!tooltip.GetHwnd()) return;
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = GetHostWindow();
  tool.uId = static_cast<UINT_PTR>(itemId);
  ::SendMessageW(tooltip.GetHwnd(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void UIToolBar::Paint(HDC dc, const RECT&, const RECT&) {
  if (layoutPending) LayoutItems();
  PaintImageStyle(rect, background, dc);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    if (!item.visible) continue;
    if (item.separator) {
      PaintImageStyle(item.rect, separatorStyle, dc);
      continue;
    }
    if (!iconStrip || cellWidth <= 0 || cellHeight <= 0) continue;
    const bool hot = static_cast<int>(i) == hotItem;
    int row = kRowNormal;
    if (!item.enabled) {
      row = kRowDisabled;
    } else if (hot && state == 2) {
      row = kRowHot;
    } else if (hot && state == 3) {
      row = kRowPressed;
    }
    const long long x = static_cast<long long>(cellWidth) * item.image;
    const long long y = static_cast<long long>(cellHeight) * row;
    // A cell outside the strip (an index past its end) is not drawn.
    if (item.image < 0 || x + cellWidth > iconStrip->Width() || y + cellHeight > iconStrip->Height()) continue;
    iconStrip->Draw(dc, item.rect.left, item.rect.top, cellWidth, cellHeight, static_cast<int>(x), static_cast<int>(y),
                    cellWidth, cellHeight);
  }
}

int UIToolBar::ItemAt(POINT point) const {
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    if (item.visible && !item.separator && ::PtInRect(&item.rect, point)) return static_cast<int>(i);
  }
  return -1;
}

void UIToolBar::UpdateItemCursor(int index) {
  HCURSOR wanted = nullptr;
  if (index < 0) {
    wanted = ::LoadCursorW(nullptr, IDC_ARROW);
  } else if (items[static_cast<std::size_t>(index)].enabled) {
    wanted = ::LoadCursorW(nullptr, IDC_HAND);
  } else {
    return;
  }
  // Kept as the hover cursor too, so WM_SETCURSOR shows the same.
  cursor = wanted;
  if (::GetCursor() != wanted) ::SetCursor(wanted);
}

int UIToolBar::MouseMove(UINT, POINT point) {
  const int index = ItemAt(point);
  UpdateItemCursor(index);
  if (index != hotItem) {
    hotItem = index;
    state = index >= 0 ? 2 : 0;
    Invalidate();
  }
  return 1;
}

int UIToolBar::MouseDown(UINT, POINT point) {
  if (!enabled || !visible) return 0;
  state = 3;
  UpdateItemCursor(ItemAt(point));
  Invalidate();
  return 1;
}

int UIToolBar::MouseUp(UINT keys, POINT point) {
  UIObject::MouseUp(keys, point);
  if (!enabled || !visible) return 0;
  state = 2;
  UpdateItemCursor(ItemAt(point));
  Invalidate();
  if (hotItem < 0 || static_cast<std::size_t>(hotItem) >= items.size() || !items[hotItem].enabled) return 1;
  state = 0;
  Invalidate();
  // The receivers may remove the bar: everything needed is taken first, and
  // the window message goes straight to the host window.
  const WPARAM command = static_cast<WPARAM>(static_cast<UINT>(items[hotItem].id));
  HWND host = GetHostWindow();
  if (parent) parent->Notify(this, WM_COMMAND, command, reinterpret_cast<LPARAM>(host));
  if (host) ::SendMessageW(host, WM_COMMAND, command, reinterpret_cast<LPARAM>(host));
  return 1;
}

int UIToolBar::MouseLeave(UINT, POINT) {
  if (hotItem >= 0 && static_cast<std::size_t>(hotItem) < items.size() && items[hotItem].keepHot) return 0;
  hotItem = -1;
  state = 0;
  Invalidate();
  return 0;
}

void UIToolBar::RelayTooltip(MSG* message) {
  if (tooltip.GetHwnd()) ::SendMessageW(tooltip.GetHwnd(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
  UIObject::RelayTooltip(message);
}

UIToolBar::Item* UIToolBar::FindItem(int itemId) {
  for (Item& item : items) {
    if (!item.separator && item.id == itemId) return &item;
  }
  return nullptr;
}

int UIToolBar::AddButton(int itemId, int image, const std::wstring& text) {
  Item item;
  item.id = itemId;
  item.image = image;
  item.tooltip = text;
  items.push_back(std::move(item));
  ItemsChanged();
  return static_cast<int>(items.size()) - 1;
}

int UIToolBar::AddSeparator() {
  Item item;
  item.separator = true;
  items.push_back(item);
  ItemsChanged();
  return static_cast<int>(items.size()) - 1;
}

bool UIToolBar::RemoveItem(int itemId) {
  const auto it =
      std::find_if(items.begin(), items.end(), [&](const Item& item) { return !item.separator && item.id == itemId; });
  if (it == items.end()) return false;
  const int index = static_cast<int>(it - items.begin());
  RemoveTool(itemId);
  items.erase(it);
  if (hotItem == index) {
    hotItem = -1;
    state = 0;
  } else if (hotItem > index) {
    --hotItem;
  }
  ItemsChanged();
  return true;
}

void UIToolBar::RemoveAllItems() {
  for (const Item& item : items) {
    if (!item.separator) RemoveTool(item.id);
  }
  items.clear();
  hotItem = -1;
  state = 0;
  ItemsChanged();
}

bool UIToolBar::SetItemEnabled(int itemId, bool value) {
  Item* item = FindItem(itemId);
  if (!item) return false;
  item->enabled = value;
  Invalidate();
  return true;
}

bool UIToolBar::SetItemVisible(int itemId, bool value) {
  Item* item = FindItem(itemId);
  if (!item) return false;
  item->visible = value;
  ItemsChanged();
  return true;
}

bool UIToolBar::SetItemKeepHot(int itemId, bool value) {
  Item* item = FindItem(itemId);
  if (!item) return false;
  item->keepHot = value;
  return true;
}

bool UIToolBar::SetItemTooltip(int itemId, const std::wstring& text) {
  Item* item = FindItem(itemId);
  if (!item) return false;
  if (text.empty()) RemoveTool(itemId);
  item->tooltip = text;
  ItemsChanged();
  return true;
}

void UIToolBar::SetIconStrip(CHBitmap* strip) {
  iconStrip = strip;
  Invalidate();
}

void UIToolBar::SetCellSize(int width, int height) {
  cellWidth = width;
  cellHeight = height;
  ItemsChanged();
}

void UIToolBar::SetPadding(int value) {
  padding = value;
  ItemsChanged();
}

void UIToolBar::SetItemInsets(const RECT& insets) {
  itemInsets = insets;
  ItemsChanged();
}

}  // namespace pv
