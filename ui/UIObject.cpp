#include "ui/UIObject.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "ui/CHApp.h"
#include "ui/IResource.h"
#include "ui/StylePainter.h"
#include "ui/UIAccessible.h"

namespace pv {

namespace {

pv::Rect ToGrid(const RECT& r) { return pv::Rect{r.left, r.top, r.right, r.bottom}; }

RECT ToRECT(const pv::Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// Client coordinates are signed: a captured pointer left of or above the
// window reports negative values.
POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool Usable(const UIObject* object) { return object && object->IsEnabled() && object->IsVisible(); }

// Top to bottom, then left to right; equal places keep the tree's order.
void SortInReadingOrder(std::vector<UIObject*>& objects) {
  std::stable_sort(objects.begin(), objects.end(), [](const UIObject* a, const UIObject* b) {
    if (a->GetRect().top != b->GetRect().top) return a->GetRect().top < b->GetRect().top;
    return a->GetRect().left < b->GetRect().left;
  });
}

}  // namespace

UIObject::UIObject() {
  // The two process-wide UI fonts come into being with the first control.
  DefaultUIFont();
  DefaultUIBoldFont();
}

UIObject::~UIObject() {
  *alive = false;
  // Whoever still holds the accessible object finds it cut off.
  if (UIAccessible* accessible = std::exchange(accessible_, nullptr)) {
    accessible->Disconnect();
    accessible->Release();
  }
  // Unbind before anything is torn down, so that no message (the tooltip
  // going away, say) reaches an object that is half gone. The window itself
  // goes last.
  HWND former = Detach();
  ForgetInTree();
  hoverChild = nullptr;
  focusChild = nullptr;
  for (auto& child : children) child.reset();
  children.clear();
  ReleaseBuffer();
  backgroundBrush.reset();
  tooltipWindow.reset();
  timers.clear();
  if (former && ::IsWindow(former)) ::DestroyWindow(former);
}

// ---------------------------------------------------------------------------
// Tree

UIObject* UIObject::CreateChild(int kind, IResource* resource, UIObject* parent, const char* path, const JValue* node) {
  if (!parent) return nullptr;
  std::unique_ptr<UIObject> control = CreateControl(kind);
  if (!control) return nullptr;
  if (resource) control->LoadStyle(resource, path, node);
  return AddChild(parent, std::move(control));
}

bool UIObject::AppendChild(UIObject* parent, std::unique_ptr<UIObject> child) {
  if (!parent || !child) return false;
  UIObject* added = child.get();
  added->parent = parent;
  parent->children.push_back(std::move(child));
  if (pv::HasLayoutSize(added->layoutRequest)) added->Layout();
  for (auto& grandchild : added->children) {
    if (pv::HasLayoutSize(grandchild->layoutRequest)) grandchild->Layout();
  }
  // A control added to a window on screen shows without waiting for the
  // next repaint of its area.
  added->Invalidate();
  return true;
}

UIObject* UIObject::WindowOwner() {
  UIObject* node = this;
  while (node && !node->hwnd) node = node->parent;
  return node;
}

UIObject* UIObject::DeepestHovered() const {
  UIObject* node = hoverChild;
  if (!node) return nullptr;
  while (node->hoverChild) node = node->hoverChild;
  return node;
}

void UIObject::ForgetInTree() {
  // A control may go while its tree lives on: nothing above it may keep
  // pointing at it, and none of its timers may tick into freed memory.
  if (hasTooltip) RemoveTool();
  for (UIObject* above = parent; above; above = above->parent) {
    if (above->hoverChild == this) above->hoverChild = nullptr;
    if (above->focusChild == this) above->focusChild = nullptr;
    for (auto it = above->timers.begin(); it != above->timers.end();) {
      if (it->second != this) {
        ++it;
        continue;
      }
      if (above->hwnd) ::KillTimer(above->hwnd, static_cast<UINT_PTR>(it->first));
      it = above->timers.erase(it);
    }
  }
}

void UIObject::LoadIdAndSize(IResource* resource, const JValue* node) {
  if (!resource) return;
  id = resource->GetInt("id", node);
  const std::array<int, 4> size = resource->GetRect("size", node);
  layoutRequest = pv::LayoutRequest{size[0], size[1], size[2], size[3]};
}

// ---------------------------------------------------------------------------
// Base behaviour of the virtual operations

HDC UIObject::GetPaintDC() {
  if (!hwnd) return parent ? parent->GetPaintDC() : nullptr;
  return EnsureBuffer() ? buffer.dc.get() : nullptr;
}

void UIObject::Layout() {
  if (parent && pv::HasLayoutSize(layoutRequest) && !SameRect(rect, parent->rect)) {
    rect = ToRECT(pv::ComputeLayout(ToGrid(parent->rect), layoutRequest, layoutMode));
    for (auto& child : children) {
      if (pv::HasLayoutSize(child->layoutRequest)) child->Layout();
    }
  }
  UpdateToolRect();
}

HWND UIObject::GetHostWindow() {
  if (hwnd) return hwnd;
  return parent ? parent->GetHostWindow() : nullptr;
}

void UIObject::Paint(HDC, const RECT&, const RECT&) {}

void UIObject::Invalidate(const RECT* area, bool erase) {
  if (!hwnd) {
    // A copy: the parent may pass it on to another thread's window.
    const RECT own = area ? *area : rect;
    if (parent) parent->Invalidate(&own, erase);
    return;
  }
  if (!::IsWindowVisible(hwnd) || resizing) return;
  if (layered) {
    RequestLayeredRepaint(area);
  } else {
    ::InvalidateRect(hwnd, area, erase ? TRUE : FALSE);
  }
}

int UIObject::LoadStyle(IResource*, const char*, const JValue*) { return 0; }

int UIObject::MouseUp(UINT keys, POINT point) {
  UIObject* target = DeepestHovered();
  return Usable(target) ? target->MouseUp(keys, point) : 0;
}

int UIObject::MouseDown(UINT, POINT) { return 0; }

int UIObject::MouseDoubleClick(UINT keys, POINT point) {
  UIObject* target = DeepestHovered();
  return Usable(target) ? target->MouseDoubleClick(keys, point) : 0;
}

int UIObject::RightUp(UINT keys, POINT point) {
  UIObject* target = DeepestHovered();
  return Usable(target) ? target->RightUp(keys, point) : 0;
}

int UIObject::RightDown(UINT keys, POINT point) {
  UIObject* target = DeepestHovered();
  return Usable(target) ? target->RightDown(keys, point) : 0;
}

int UIObject::MouseMove(UINT, POINT) { return 0; }

int UIObject::MouseEnter(UINT, POINT) { return 0; }

int UIObject::MouseLeave(UINT, POINT) { return 0; }

int UIObject::MouseWheel(UINT, unsigned, POINT) { return 0; }

int UIObject::ShowChanged(bool) { return 1; }

void UIObject::TooltipText(NMTTDISPINFOW*) {}

void UIObject::Timer(int) {}

int UIObject::KeyDown(WPARAM, LPARAM) { return 0; }

int UIObject::KeyUp(WPARAM wParam, LPARAM lParam) {
  UIObject* target = DeepestHovered();
  return Usable(target) ? target->KeyUp(wParam, lParam) : 0;
}

int UIObject::Char(WPARAM, LPARAM) { return 0; }

int UIObject::FocusLost(UIObject*) { return 0; }

int UIObject::FocusGained(UIObject*) { return 0; }

bool UIObject::DoDefaultAction() { return false; }

RECT UIObject::FocusRect() { return rect; }

void UIObject::FocusChanged(UIObject*) {}

int UIObject::AccessibleRole() { return accessibleRole > 0 ? accessibleRole : 0; }

std::wstring UIObject::AccessibleName() { return accessibleName; }

unsigned UIObject::AccessibleState() { return 0; }

std::wstring UIObject::AccessibleValue() { return {}; }

std::wstring UIObject::DefaultActionName(UIObject*) { return {}; }

// ---------------------------------------------------------------------------
// Assistive technology

void UIObject::CollectExposed(std::vector<UIObject*>& out) {
  for (auto& child : children) {
    if (!child->visible) continue;
    if (child->accessibleRole != 0 && child->AccessibleRole() != 0) out.push_back(child.get());
    child->CollectExposed(out);
  }
}

std::vector<UIObject*> UIObject::AccessibleChildren() {
  std::vector<UIObject*> exposed;
  CollectExposed(exposed);
  SortInReadingOrder(exposed);
  return exposed;
}

bool UIObject::HoldsInTree(const UIObject* object) const {
  for (const auto& child : children) {
    if (child.get() == object || child->HoldsInTree(object)) return true;
  }
  return false;
}

void UIObject::NotifyWinEvent(DWORD event, UIObject* control) {
  if (!hwnd) return;
  LONG child = CHILDID_SELF;
  if (control) {
    const std::vector<UIObject*> exposed = AccessibleChildren();
    const auto at = std::find(exposed.begin(), exposed.end(), control);
    if (at == exposed.end()) {
      // A focus on something that is not exposed is the window's own.
      if (event != EVENT_OBJECT_FOCUS) return;
    } else {
      child = static_cast<LONG>(at - exposed.begin()) + 1;
    }
  }
  ::NotifyWinEvent(event, hwnd, OBJID_CLIENT, child);
}

void UIObject::RaiseAccessibleEvent(DWORD event) {
  UIObject* host = WindowOwner();
  if (!host || !host->hwnd) return;
  if (::GetWindowThreadProcessId(host->hwnd, nullptr) == ::GetCurrentThreadId()) {
    host->NotifyWinEvent(event, host == this ? nullptr : this);
  } else {
    ::PostMessageW(host->hwnd, kAccessibleEvent, event, reinterpret_cast<LPARAM>(this));
  }
}

bool UIObject::PostDefaultAction(UIObject* control) {
  return hwnd && ::PostMessageW(hwnd, kAccessibleAction, 0, reinterpret_cast<LPARAM>(control)) != FALSE;
}

LRESULT UIObject::AnswerGetObject(WPARAM wParam, LPARAM lParam) {
  if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT)) return CallDefault(WM_GETOBJECT, wParam, lParam);
  if (!accessible_) accessible_ = new UIAccessible(this);
  return ::LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(accessible_));
}

int UIObject::UpdateCursor() {
  UIObject* target = DeepestHovered();
  if (!target) return 0;
  if (target->UpdateCursor()) return 1;
  if (!Usable(target) || !target->cursor) return 0;
  if (::GetCursor() != target->cursor) ::SetCursor(target->cursor);
  return 1;
}

LRESULT UIObject::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd) return ::SendMessageW(hwnd, message, wParam, lParam);
  return parent ? parent->Send(message, wParam, lParam) : 0;
}

bool UIObject::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd) return ::PostMessageW(hwnd, message, wParam, lParam) != FALSE;
  return parent ? parent->Post(message, wParam, lParam) : false;
}

LRESULT UIObject::Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) {
  return parent ? parent->Notify(sender, message, wParam, lParam) : 0;
}

void UIObject::Resized() {}

void UIObject::RelayTooltip(MSG* message) {
  if (tooltipWindow) ::SendMessageW(tooltipWindow.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
  for (auto& child : children) child->RelayTooltip(message);
}

bool UIObject::PreTranslateMessage(MSG* message) {
  RelayTooltip(message);
  return false;
}

// ---------------------------------------------------------------------------
// Helpers

void UIObject::SetEnabled(bool value) {
  enabled = value;
  Invalidate();
}

void UIObject::SetVisible(bool value) {
  if (visible == value) return;
  visible = value;
  ShowChanged(value);
  Invalidate();
  UpdateToolRect();
}

void UIObject::SetLayout(int x, int y, int w, int h) {
  layoutRequest.x = x;
  layoutRequest.y = y;
  if (w >= 0) layoutRequest.w = w;
  if (h >= 0) layoutRequest.h = h;
  const RECT before = rect;
  if (pv::HasLayoutSize(layoutRequest)) Layout();
  // The place the control left needs painting as much as the new one.
  RECT both{};
  if (!SameRect(before, rect) && !::IsRectEmpty(&before) && ::UnionRect(&both, &before, &rect)) {
    Invalidate(&both);
  } else {
    Invalidate();
  }
}

void UIObject::SetAbsoluteLayout() { layoutMode = pv::kLayoutOffsets; }

bool UIObject::IsReachable() const {
  for (const UIObject* node = this; node; node = node->parent) {
    if (!node->visible || !node->enabled) return false;
    if (node->hwnd) break;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Keyboard focus

namespace {

// The mark's band and its gap from the control.
constexpr int kFocusMarkWidth = 2;
constexpr int kFocusMarkGap = 1;

}  // namespace

void UIObject::SetFocusChild(UIObject* target) {
  UIObject* host = WindowOwner();
  if (host && host != this) {
    host->SetFocusChild(target);
    return;
  }
  if (target == focusChild) return;
  UIObject* previous = focusChild;
  if (focusMarkShown && previous) {
    const RECT area = FocusMarkArea(previous);
    Invalidate(&area);
  }
  if (previous) previous->FocusLost(target);
  focusChild = target;
  if (target) target->FocusGained(previous);
  if (focusMarkShown && target) {
    const RECT area = FocusMarkArea(target);
    Invalidate(&area);
  }
  FocusChanged(previous);
  NotifyWinEvent(EVENT_OBJECT_FOCUS, target);
}

void UIObject::CollectTabStops(std::vector<UIObject*>& out) {
  for (auto& child : children) {
    if (!child->visible || !child->enabled) continue;
    if (child->tabStop) out.push_back(child.get());
    child->CollectTabStops(out);
  }
}

std::vector<UIObject*> UIObject::FocusOrder() {
  std::vector<UIObject*> order;
  CollectTabStops(order);
  SortInReadingOrder(order);
  return order;
}

bool UIObject::MoveFocus(bool backward) {
  const std::vector<UIObject*> order = FocusOrder();
  if (order.empty()) return false;
  const auto at = std::find(order.begin(), order.end(), focusChild);
  const std::size_t count = order.size();
  std::size_t next;
  if (at == order.end()) {
    next = backward ? count - 1 : 0;
  } else {
    const std::size_t index = static_cast<std::size_t>(at - order.begin());
    next = backward ? (index + count - 1) % count : (index + 1) % count;
  }
  SetFocusChild(order[next]);
  return true;
}

void UIObject::ShowFocusMark() {
  if (focusMarkShown) return;
  focusMarkShown = true;
  if (focusChild) {
    const RECT area = FocusMarkArea(focusChild);
    Invalidate(&area);
  }
}

RECT UIObject::FocusMarkArea(UIObject* control) {
  RECT area = control->FocusRect();
  ::InflateRect(&area, kFocusMarkWidth + kFocusMarkGap, kFocusMarkWidth + kFocusMarkGap);
  return area;
}

void UIObject::PaintFocusMark(HDC dc, const RECT& clip) {
  if (!focusMarkShown || !focusChild || !focusChild->IsReachable()) return;
  PaintFocusRing(dc, FocusMarkArea(focusChild), focusMarkColor, kFocusMarkWidth, clip);
}

int UIObject::StartTimer(UINT elapse, UIObject* owner) {
  UIObject* host = WindowOwner();
  if (!host || !::IsWindow(host->hwnd)) return 0;
  const int last = host->timers.empty() ? 0 : host->timers.rbegin()->first;
  if (last == INT_MAX) return 0;
  const int newId = last + 1;
  if (!::SetTimer(host->hwnd, static_cast<UINT_PTR>(newId), elapse, nullptr)) return 0;
  host->timers[newId] = owner ? owner : this;
  return newId;
}

int UIObject::StopTimer(int timerId) {
  UIObject* host = WindowOwner();
  if (!host || !::IsWindowVisible(host->hwnd)) return 0;
  host->timers.erase(timerId);
  return ::KillTimer(host->hwnd, static_cast<UINT_PTR>(timerId)) ? 1 : 0;
}

bool UIObject::MakeLayered() {
  if (!hwnd || (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) return layered;
  if (!layered) {
    ModifyExStyle(0, WS_EX_LAYERED);
    layered = (::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    Invalidate();
  }
  return layered;
}

void UIObject::SetBackgroundBrush(pv::UniqueBrush brush) {
  // The buffer DC holds the brush selected; swap it there before the old
  // one is deleted.
  if (buffer.dc) {
    buffer.selectedBrush.reset();
    if (brush) buffer.selectedBrush = pv::SelectGuard(buffer.dc.get(), brush.get());
  }
  backgroundBrush = std::move(brush);
}

// ---------------------------------------------------------------------------
// Tooltips

bool UIObject::RunCaptureLoop(HWND host, const std::function<CaptureStep(const MSG&)>& take) {
  const std::shared_ptr<bool> stillHere = alive;
  const auto release = [host] {
    if (::GetCapture() == host) ::ReleaseCapture();
  };
  MSG message{};
  while (::GetCapture() == host) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // The application's own loop must still see the quit.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got == -1) break;
    const CaptureStep step = take(message);
    if (!*stillHere) {
      release();
      return false;
    }
    if (step == CaptureStep::kEnd) break;
    if (step == CaptureStep::kHandled) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
    if (!*stillHere) {
      release();
      return false;
    }
    if (step == CaptureStep::kDispatchThenEnd) break;
  }
  release();
  return true;
}

HWND UIObject::EnsureTooltipWindow() {
  if (!hwnd) return nullptr;
  if (!tooltipWindow) {
    CHApp::EnsureCommonControls();
    tooltipWindow.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, nullptr, nullptr));
  }
  return tooltipWindow.get();
}

namespace {

// The record up to lParam: its 64-bit size, which both the version 5 and
// the version 6 common controls accept.
TTTOOLINFOW ToolRecord(HWND host, const void* object) {
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = host;
  tool.uId = reinterpret_cast<UINT_PTR>(object);
  return tool;
}

// Where a hidden control's tool goes: nowhere the pointer can be.
constexpr RECT kHiddenTool{-1, -1, 0, 0};

}  // namespace

bool UIObject::AddTool(const wchar_t* text) {
  UIObject* host = WindowOwner();
  if (!host || !host->tooltipWindow) return false;
  TTTOOLINFOW tool = ToolRecord(host->hwnd, this);
  tool.rect = visible ? rect : kHiddenTool;
  tool.lpszText = text ? const_cast<wchar_t*>(text) : LPSTR_TEXTCALLBACKW;
  if (!::SendMessageW(host->tooltipWindow.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) return false;
  hasTooltip = true;
  return true;
}

void UIObject::UpdateToolRect() {
  if (!hasTooltip) return;
  UIObject* host = WindowOwner();
  if (!host || !host->tooltipWindow) return;
  TTTOOLINFOW tool = ToolRecord(host->hwnd, this);
  tool.rect = visible ? rect : kHiddenTool;
  ::SendMessageW(host->tooltipWindow.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void UIObject::RemoveTool() {
  UIObject* host = WindowOwner();
  hasTooltip = false;
  if (!host || !host->tooltipWindow || !host->hwnd) return;
  TTTOOLINFOW tool = ToolRecord(host->hwnd, this);
  ::SendMessageW(host->tooltipWindow.get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

UIObject* UIObject::FindTool(UINT_PTR toolId) {
  if (hasTooltip && reinterpret_cast<UINT_PTR>(this) == toolId) return this;
  for (auto& child : children) {
    if (UIObject* found = child->FindTool(toolId)) return found;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Mouse

int UIObject::RoutePoint(UINT keys, POINT point) {
  if (!::PtInRect(&rect, point)) {
    LeaveChain(keys, point);
    return 0;
  }
  if (!hot) {
    hot = true;
    MouseEnter(keys, point);
  }
  if (hoverChild) {
    // A hover child hidden since the last move is left rather than routed:
    // it would otherwise stay hot and never see the next enter.
    if (hoverChild->visible) {
      hoverChild->RoutePoint(keys, point);
    } else {
      std::exchange(hoverChild, nullptr)->LeaveChain(keys, point);
    }
  }
  UIObject* target = nullptr;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    UIObject* child = it->get();
    if (child->visible && ::PtInRect(&child->rect, point)) {
      target = child;
      break;
    }
  }
  if (target && target == hoverChild) return 1;
  // The former hover child can still hold the point when another child now
  // lies over it; it is left all the same.
  if (hoverChild && hoverChild->hot) hoverChild->LeaveChain(keys, point);
  if (target) target->RoutePoint(keys, point);
  hoverChild = target;
  MouseMove(keys, point);
  return 1;
}

void UIObject::LeaveChain(UINT keys, POINT point) {
  if (hot) {
    hot = false;
    MouseLeave(keys, point);
  }
  if (UIObject* child = std::exchange(hoverChild, nullptr)) child->LeaveChain(keys, point);
}

LRESULT UIObject::OnMouseMove(WPARAM wParam, LPARAM lParam) {
  if (!tracking) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
    // user32's own: the common controls' copy would load them on the first move.
    tracking = ::TrackMouseEvent(&track) != FALSE;
  }
  RoutePoint(static_cast<UINT>(wParam), PointOf(lParam));
  return CallDefault(WM_MOUSEMOVE, wParam, lParam);
}

LRESULT UIObject::OnMouseLeave(WPARAM wParam, LPARAM lParam) {
  tracking = false;
  LeaveChain(0, POINT{-1, -1});
  return CallDefault(WM_MOUSELEAVE, wParam, lParam);
}

LRESULT UIObject::OnSetCursor(WPARAM wParam, LPARAM lParam) {
  if (UpdateCursor()) return TRUE;
  return CallDefault(WM_SETCURSOR, wParam, lParam);
}

LRESULT UIObject::OnLButtonDown(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallDefault(WM_LBUTTONDOWN, wParam, lParam);
  const UINT keys = static_cast<UINT>(wParam);
  const POINT point = PointOf(lParam);
  if (hwnd) ::SetFocus(hwnd);
  UIObject* target = DeepestHovered();
  if (!target) {
    SetFocusChild(nullptr);
    MouseDown(keys, point);
    return result;
  }
  if (!Usable(target)) return result;
  SetFocusChild(target);
  target->MouseDown(keys, point);
  return result;
}

LRESULT UIObject::OnLButtonUp(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallDefault(WM_LBUTTONUP, wParam, lParam);
  const UINT keys = static_cast<UINT>(wParam);
  const POINT point = PointOf(lParam);
  UIObject* target = DeepestHovered();
  if (!target) {
    MouseUp(keys, point);
  } else if (Usable(target)) {
    target->MouseUp(keys, point);
  }
  return result;
}

LRESULT UIObject::OnLButtonDblClk(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallDefault(WM_LBUTTONDBLCLK, wParam, lParam);
  MouseDoubleClick(static_cast<UINT>(wParam), PointOf(lParam));
  return result;
}

LRESULT UIObject::OnRButtonDown(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallDefault(WM_RBUTTONDOWN, wParam, lParam);
  RightDown(static_cast<UINT>(wParam), PointOf(lParam));
  return result;
}

LRESULT UIObject::OnRButtonUp(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallDefault(WM_RBUTTONUP, wParam, lParam);
  RightUp(static_cast<UINT>(wParam), PointOf(lParam));
  return result;
}

LRESULT UIObject::OnMouseWheel(WPARAM wParam, LPARAM lParam) {
  const UINT keys = LOWORD(wParam);
  const unsigned delta = HIWORD(wParam);
  const POINT point = PointOf(lParam);  // screen coordinates, as the message gives them
  UIObject* target = DeepestHovered();
  if (!target) {
    MouseWheel(keys, delta, point);
  } else if (Usable(target)) {
    target->parent->MouseWheel(keys, delta, point);
    target->MouseWheel(keys, delta, point);
  }
  return CallDefault(WM_MOUSEWHEEL, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Keyboard, commands, notifications, timers

LRESULT UIObject::OnKeyDown(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallDefault(WM_KEYDOWN, wParam, lParam);
  ShowFocusMark();
  if (wParam == VK_TAB) {
    MoveFocus(::GetKeyState(VK_SHIFT) < 0);
    return result;
  }
  KeyTarget()->KeyDown(wParam, lParam);
  return result;
}

LRESULT UIObject::OnKeyUp(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallDefault(WM_KEYUP, wParam, lParam);
  KeyTarget()->KeyUp(wParam, lParam);
  return result;
}

LRESULT UIObject::OnChar(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallDefault(WM_CHAR, wParam, lParam);
  KeyTarget()->Char(wParam, lParam);
  return result;
}

LRESULT UIObject::OnCommand(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallDefault(WM_COMMAND, wParam, lParam);
  if (hwnd) {
    if (HWND above = ::GetParent(hwnd)) ::SendMessageW(above, WM_COMMAND, wParam, lParam);
  }
  return result;
}

LRESULT UIObject::OnNotify(WPARAM wParam, LPARAM lParam) {
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header && header->code == TTN_GETDISPINFOW) {
    // The tool id is a control of this tree only if the tree says so; an id
    // of anybody else's tool is never taken for an object.
    UIObject* owner = FindTool(header->idFrom);
    (owner ? owner : this)->TooltipText(reinterpret_cast<NMTTDISPINFOW*>(header));
  }
  return CallDefault(WM_NOTIFY, wParam, lParam);
}

LRESULT UIObject::OnTimer(WPARAM wParam, LPARAM) {
  const auto it = wParam <= static_cast<WPARAM>(INT_MAX) ? timers.find(static_cast<int>(wParam)) : timers.end();
  if (it == timers.end()) {
    ::KillTimer(hwnd, wParam);
    return 0;
  }
  it->second->Timer(it->first);
  return 0;
}

// ---------------------------------------------------------------------------
// Size, visibility and layered windows

void UIObject::LayoutDescendants() {
  for (auto& child : children) {
    if (pv::HasLayoutSize(child->layoutRequest)) child->Layout();
    child->LayoutDescendants();
  }
}

LRESULT UIObject::OnWindowPosChanged(WPARAM wParam, LPARAM lParam) {
  const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
  if (pos && !(pos->flags & (SWP_NOSIZE | SWP_NOCOPYBITS))) {
    RECT client{};
    if (::GetClientRect(hwnd, &client) && !SameRect(client, rect)) {
      rect = client;
      resizing = true;
      LayoutDescendants();
      Resized();
    }
  }
  const LRESULT result = CallDefault(WM_WINDOWPOSCHANGED, wParam, lParam);
  if (resizing) {
    resizing = false;
    if (layered) Invalidate();
  }
  return result;
}

LRESULT UIObject::OnShowWindow(WPARAM wParam, LPARAM lParam) {
  if (wParam && layered && !firstShowDone) {
    firstShowDone = true;
    // Not through Invalidate: the window is not visible yet.
    RequestLayeredRepaint(nullptr);
  }
  return CallDefault(WM_SHOWWINDOW, wParam, lParam);
}

void UIObject::RequestLayeredRepaint(const RECT* area) {
  if (::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId()) {
    ::SendMessageTimeoutW(hwnd, kLayeredRepaint, reinterpret_cast<WPARAM>(area), 0, SMTO_BLOCK, 0, nullptr);
    return;
  }
  // From another thread the repaint is posted, for the whole window and
  // once until it has run. A send could hand over a rectangle that is read
  // after this call has returned, and Wine takes a time-out of 0 as none:
  // the send then waits for the window's thread, a deadlock when that
  // thread is waiting for this one.
  if (!layeredRepaintPosted_.exchange(true)) {
    if (!::PostMessageW(hwnd, kLayeredRepaint, 0, 0)) layeredRepaintPosted_ = false;
  }
}

LRESULT UIObject::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kLayeredRepaint) {
    if (!wParam) layeredRepaintPosted_ = false;
    PaintLayered(reinterpret_cast<const RECT*>(wParam));
    return 0;
  }
  if (message == WM_GETOBJECT && hwnd) return AnswerGetObject(wParam, lParam);
  // Posted controls may have gone since: only those still in the tree.
  if (message == kAccessibleEvent) {
    auto* control = reinterpret_cast<UIObject*>(lParam);
    if (HoldsInTree(control)) NotifyWinEvent(static_cast<DWORD>(wParam), control);
    return 0;
  }
  if (message == kAccessibleAction) {
    auto* control = reinterpret_cast<UIObject*>(lParam);
    if (HoldsInTree(control)) control->DoDefaultAction();
    return 0;
  }
  if (message == WM_SYSKEYDOWN) ShowFocusMark();
  return CHWindow::DefaultProc(message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Painting

bool UIObject::EnsureBuffer() {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (!hwnd || width <= 0 || height <= 0) return false;
  if (buffer.dc && buffer.width == width && buffer.height == height && buffer.isDib == layered) return true;
  ReleaseBuffer();
  if (static_cast<long long>(width) * height * 4 > INT_MAX) return false;

  pv::WindowDC screen(hwnd);
  if (!screen) return false;
  pv::UniqueMemDC dc(::CreateCompatibleDC(screen.get()));
  if (!dc) return false;
  pv::UniqueBitmap bitmap;
  void* bits = nullptr;
  if (layered) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row y starts at y * stride
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap.reset(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bits) bitmap.reset();
  } else {
    bitmap.reset(::CreateCompatibleBitmap(screen.get(), width, height));
  }
  if (!bitmap) return false;

  buffer.selectedBitmap = pv::SelectGuard(dc.get(), bitmap.get());
  buffer.selectedFont = pv::SelectGuard(dc.get(), DefaultUIFont());
  buffer.selectedBrush = pv::SelectGuard(dc.get(), backgroundBrush.get());
  ::SetBkMode(dc.get(), TRANSPARENT);
  buffer.dc = std::move(dc);
  buffer.bitmap = std::move(bitmap);
  buffer.bits = static_cast<std::uint8_t*>(bits);
  buffer.width = width;
  buffer.height = height;
  buffer.stride = width * 4;
  buffer.byteSize = bits ? buffer.stride * height : 0;
  buffer.isDib = layered;
  return true;
}

void UIObject::ReleaseBuffer() {
  // Everything we selected goes back before the DC and bitmap are deleted.
  buffer.selectedBrush.reset();
  buffer.selectedFont.reset();
  buffer.selectedBitmap.reset();
  buffer.dc.reset();
  buffer.bitmap.reset();
  buffer.bits = nullptr;
  buffer.byteSize = buffer.stride = buffer.width = buffer.height = 0;
  buffer.isDib = false;
}

void UIObject::PaintChildren(HDC dc, const RECT& clip) {
  RECT base{};
  if (!::IntersectRect(&base, &rect, &clip)) return;
  for (auto& child : children) {
    if (!child->visible) continue;
    RECT area{};
    if (!::IntersectRect(&area, &base, &child->rect)) continue;
    // The incoming clip already lies inside the DC's clip, so intersecting
    // sets exactly this area without making a region per child.
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    child->Paint(dc, child->rect, area);
    ::RestoreDC(dc, saved);
    child->PaintChildren(dc, area);
  }
}

LRESULT UIObject::OnPaint(WPARAM, LPARAM) {
  pv::PaintDC paint(hwnd);
  const RECT update = paint.paint().rcPaint;
  if (layered || ::IsRectEmpty(&update) || !EnsureBuffer()) return 0;
  HDC dc = buffer.dc.get();
  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, update.left, update.top, update.right, update.bottom);
  if (backgroundBrush) {
    ::PatBlt(dc, update.left, update.top, update.right - update.left, update.bottom - update.top, PATCOPY);
  }
  Paint(dc, rect, update);
  PaintChildren(dc, update);
  PaintFocusMark(dc, update);
  ::RestoreDC(dc, saved);
  ::BitBlt(paint.get(), update.left, update.top, update.right - update.left, update.bottom - update.top, dc,
           update.left, update.top, SRCCOPY);
  return 0;
}

LRESULT UIObject::OnEraseBkgnd(WPARAM, LPARAM) { return 1; }

void UIObject::PaintLayered(const RECT* requested) {
  if (!hwnd || !layered) return;
  RECT client{};
  if (!::GetClientRect(hwnd, &client)) return;
  RECT area = client;
  if (requested && !::IntersectRect(&area, &client, requested)) return;
  if (::IsRectEmpty(&area) || !EnsureBuffer() || !buffer.bits) return;
  const RECT pixels{0, 0, buffer.width, buffer.height};
  if (!::IntersectRect(&area, &area, &pixels)) return;

  // Whole pixels are cleared, not only their alpha: colour left under a
  // zero alpha would be blended in again and break the premultiplication
  // UpdateLayeredWindow relies on.
  ::GdiFlush();
  for (int y = area.top; y < area.bottom; ++y) {
    std::memset(buffer.bits + static_cast<std::ptrdiff_t>(y) * buffer.stride + area.left * 4, 0,
                static_cast<std::size_t>(area.right - area.left) * 4);
  }
  HDC dc = buffer.dc.get();
  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  if (backgroundBrush) ::PatBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, PATCOPY);
  Paint(dc, rect, area);
  PaintChildren(dc, area);
  PaintFocusMark(dc, area);
  ::RestoreDC(dc, saved);
  ::GdiFlush();

  RECT window{};
  if (!::GetWindowRect(hwnd, &window)) return;
  POINT position{window.left, window.top};
  SIZE size{window.right - window.left, window.bottom - window.top};
  POINT origin{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::UpdateLayeredWindow(hwnd, nullptr, &position, &size, dc, &origin, 0, &blend, ULW_ALPHA);
}

}  // namespace pv
