#include "ui/UIScrollBar.h"

#include <windowsx.h>

#include "ui/IResource.h"
#include "ui/StylePainter.h"

namespace pv {

namespace {

pv::Rect ToGrid(const RECT& r) { return pv::Rect{r.left, r.top, r.right, r.bottom}; }

RECT ToRECT(const pv::Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace

UIScrollBar::UIScrollBar(int minimum) : minimumThumb(minimum) {}

UIScrollBar::~UIScrollBar() = default;

int UIScrollBar::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  if (!resource) return 0;
  const JValue* found = resource->FindNode(path, node);
  if (!found) return 1;
  thumb = resource->GetImageStyle("thumb", found);
  trackbar = resource->GetImageStyle("trackbar", found);
  return 1;
}

void UIScrollBar::Layout() {
  UIObject::Layout();
  Recalc();
}

void UIScrollBar::Recalc() {
  const pv::ScrollParts parts =
      pv::ComputeScrollParts(ToGrid(rect), horizontal, state, minimumThumb, ToGrid(thumbRect));
  upArrowRect = ToRECT(parts.upArrow);
  downArrowRect = ToRECT(parts.downArrow);
  thumbRect = ToRECT(parts.thumb);
  trackRect = ToRECT(parts.track);
  pageUpRect = ToRECT(parts.pageUp);
  pageDownRect = ToRECT(parts.pageDown);
}

void UIScrollBar::SetRange(int minimum, int maximum) {
  state.minimum = minimum;
  state.maximum = maximum;
  Recalc();
}

void UIScrollBar::SetPage(int page) {
  state.page = page;
  Recalc();
}

void UIScrollBar::SetPosition(int position) {
  state.position = position;
  Recalc();
}

void UIScrollBar::SetHorizontal(bool value) {
  horizontal = value;
  Recalc();
}

void UIScrollBar::Paint(HDC dc, const RECT&, const RECT&) {
  PaintImageStyle(trackRect, trackbar, dc);
  if (!::IsRectEmpty(&thumbRect)) PaintImageStyle(thumbRect, thumb, dc);
}

void UIScrollBar::Scroll(int code) {
  if (parent) parent->Notify(this, WM_VSCROLL, static_cast<WPARAM>(code), 0);
}

int UIScrollBar::MouseDown(UINT, POINT point) {
  if (::PtInRect(&upArrowRect, point)) {
    Scroll(SB_LINEUP);
  } else if (::PtInRect(&downArrowRect, point)) {
    Scroll(SB_LINEDOWN);
  } else if (::PtInRect(&thumbRect, point)) {
    DragThumb(point);
  } else if (::PtInRect(&pageUpRect, point)) {
    Scroll(SB_PAGEUP);
  } else if (::PtInRect(&pageDownRect, point)) {
    Scroll(SB_PAGEDOWN);
  } else {
    return 0;
  }
  return 1;
}

void UIScrollBar::DragThumb(POINT start) {
  HWND host = GetHostWindow();
  if (!host || dragging_) return;
  dragAnchor = horizontal ? start.x - rect.left : start.y - rect.top;
  // Only positions that differ from where the drag began are reported.
  trackedPosition = lastTracked = state.position;
  dragging_ = true;
  ::SetCapture(host);
  ::UpdateWindow(host);

  // The loop dispatches messages, and one of them (or a scroll the drag
  // reports) may delete this bar.
  const bool stayed = RunCaptureLoop(host, [&](const MSG& message) {
    if (message.message == WM_LBUTTONUP) return CaptureStep::kEnd;
    if (message.message == WM_KEYDOWN) {
      // No keys while the thumb is held.
      return message.wParam == VK_ESCAPE ? CaptureStep::kEnd : CaptureStep::kHandled;
    }
    if (message.message == WM_MOUSEMOVE && message.hwnd == host) {
      DragTo(POINT{GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)});
      return CaptureStep::kHandled;
    }
    return CaptureStep::kDispatch;
  });
  if (!stayed) return;
  dragging_ = false;
  Invalidate();
}

void UIScrollBar::DragTo(POINT point) {
  if (!pv::DragPointCounts(point.x, point.y, ToGrid(trackRect), horizontal)) return;
  const int along = horizontal ? point.x - rect.left : point.y - rect.top;
  const int delta = along - dragAnchor;
  dragAnchor = along;
  const pv::Rect track = ToGrid(trackRect);
  const pv::Rect moved = pv::MoveThumb(ToGrid(thumbRect), track, horizontal, delta);
  thumbRect = ToRECT(moved);
  if (horizontal) {
    pageUpRect = RECT{trackRect.left, trackRect.top, thumbRect.left, trackRect.bottom};
    pageDownRect = RECT{thumbRect.right, trackRect.top, trackRect.right, trackRect.bottom};
  } else {
    pageUpRect = RECT{trackRect.left, trackRect.top, trackRect.right, thumbRect.top};
    pageDownRect = RECT{trackRect.left, thumbRect.bottom, trackRect.right, trackRect.bottom};
  }
  trackedPosition = pv::TrackedPosition(moved, track, horizontal, state);
  Invalidate();
  if (trackedPosition == lastTracked) return;
  lastTracked = trackedPosition;
  if (parent) {
    parent->Notify(this, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, static_cast<WORD>(trackedPosition)), 0);
  }
}

}  // namespace pv
