#include "ui/UIFrameWindow.h"

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

#include "ui/CHBitmap.h"
#include "ui/Handles.h"
#include "ui/IResource.h"
#include "ui/StylePainter.h"
#include "ui/UIButton.h"
#include "ui/UIKind.h"

namespace pv {

namespace {

RECT ToRECT(const pv::Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

LRESULT HitCode(pv::FrameHit hit, LRESULT fallback) {
  switch (hit) {
    case pv::FrameHit::Caption:
      return HTCAPTION;
    case pv::FrameHit::Top:
      return HTTOP;
    case pv::FrameHit::TopLeft:
      return HTTOPLEFT;
    case pv::FrameHit::TopRight:
      return HTTOPRIGHT;
    case pv::FrameHit::Left:
      return HTLEFT;
    case pv::FrameHit::Right:
      return HTRIGHT;
    case pv::FrameHit::Bottom:
      return HTBOTTOM;
    case pv::FrameHit::BottomLeft:
      return HTBOTTOMLEFT;
    case pv::FrameHit::BottomRight:
      return HTBOTTOMRIGHT;
    case pv::FrameHit::None:
      break;
  }
  return fallback;
}

bool OverControlIn(const UIObject& parent, POINT point) {
  for (std::size_t i = parent.ChildCount(); i-- > 0;) {
    const UIObject* child = parent.Child(i);
    if (!child->IsVisible() || !::PtInRect(&child->GetRect(), point)) continue;
    if (!child->IsDragThrough() || OverControlIn(*child, point)) return true;
  }
  return false;
}

}  // namespace

UIFrameWindow::UIFrameWindow() { kind = UIKind::FrameWindow; }

pv::FrameBands UIFrameWindow::GetBands() const {
  return pv::FrameBands{top_.normal.sourceHeight, left_.normal.sourceWidth, right_.normal.sourceWidth,
                        bottom_.normal.sourceHeight};
}

// ---------------------------------------------------------------------------
// Skin

void UIFrameWindow::DropSystemButtons() {
  for (UIButton** slot : {&close_, &restore_, &maximize_, &minimize_}) {
    UIObject* button = std::exchange(*slot, nullptr);
    if (!button) continue;
    const auto found = std::find_if(children.begin(), children.end(),
                                    [button](const std::unique_ptr<UIObject>& child) { return child.get() == button; });
    if (found == children.end()) continue;
    // Out of the list before it goes, so nothing walks the list into a
    // deleted child; its destructor clears the hover and focus links to it.
    std::unique_ptr<UIObject> gone = std::move(*found);
    children.erase(found);
    gone.reset();
  }
}

UIButton* UIFrameWindow::MakeSystemButton(IResource* resource, const char* name, const JValue* frameNode) {
  if (!resource->FindNode(name, frameNode)) return nullptr;
  auto button = std::make_unique<UIButton>();
  button->LoadStyle(resource, name, frameNode);
  // The keyboard has Escape and the system's keys for these.
  button->SetTabStop(false);
  return AddChild(this, std::move(button));
}

int UIFrameWindow::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  const JValue* frame = resource ? resource->FindNode(path, node) : nullptr;
  // A window made at its final size has had no size change yet that would
  // have given the frame its rectangle; the bands, the buttons and the
  // region need it now.
  RECT client{};
  if (hwnd && ::GetClientRect(hwnd, &client)) rect = client;
  client_ = UIImageStyle{};
  top_ = left_ = right_ = bottom_ = BandStyles{};
  // A second load replaces the system buttons rather than adding more.
  DropSystemButtons();
  if (frame) {
    client_ = resource->GetImageStyle("Client/bkgnd", frame);
    top_ = BandStyles{resource->GetImageStyle("Frames/Top/normal", frame),
                      resource->GetImageStyle("Frames/Top/grayed", frame)};
    left_ = BandStyles{resource->GetImageStyle("Frames/Left/normal", frame),
                       resource->GetImageStyle("Frames/Left/grayed", frame)};
    right_ = BandStyles{resource->GetImageStyle("Frames/Right/normal", frame),
                        resource->GetImageStyle("Frames/Right/grayed", frame)};
    bottom_ = BandStyles{resource->GetImageStyle("Frames/Bottom/normal", frame),
                         resource->GetImageStyle("Frames/Bottom/grayed", frame)};
    close_ = MakeSystemButton(resource, "SysBtns/Close", frame);
    restore_ = MakeSystemButton(resource, "SysBtns/Restore", frame);
    maximize_ = MakeSystemButton(resource, "SysBtns/Maximize", frame);
    minimize_ = MakeSystemButton(resource, "SysBtns/Minimize", frame);
    if (restore_) restore_->SetVisible(false);
  }
  Resized();
  Invalidate();
  return 1;
}

// ---------------------------------------------------------------------------
// Painting, layout and region

void UIFrameWindow::Paint(HDC dc, const RECT&, const RECT&) {
  PaintImageStyle(ToRECT(rects_.client), client_, dc);
  PaintImageStyle(ToRECT(rects_.top), top_.normal, dc);
  PaintImageStyle(ToRECT(rects_.left), left_.normal, dc);
  PaintImageStyle(ToRECT(rects_.right), right_.normal, dc);
  PaintImageStyle(ToRECT(rects_.bottom), bottom_.normal, dc);
}

void UIFrameWindow::Resized() {
  rects_ = pv::ComputeFrameRects(rect.right, rect.bottom, GetBands());
  UpdateRegion();
}

void UIFrameWindow::UpdateRegion() {
  if (!hwnd) return;
  if (layered) {
    ::SetWindowRgn(hwnd, nullptr, FALSE);
    return;
  }
  const int width = rect.right;
  const int height = rect.bottom;
  pv::UniqueRegion region(::CreateRectRgn(0, 0, pv::ClampToInt(width + 1LL), pv::ClampToInt(height + 1LL)));
  if (!region) return;

  struct Corner {
    int width;
    int height;
    bool right;
    bool bottom;
  };
  // Corners never reach past the window, whatever margins the skin gives.
  const auto fit = [](int size, int limit) { return std::clamp(size, 0, std::max(limit, 0)); };
  const std::array<Corner, 4> corners{{
      {fit(top_.normal.marginLeft, width), fit(top_.normal.marginTop, height), false, false},
      {fit(top_.normal.marginRight, width), fit(top_.normal.marginTop, height), true, false},
      {fit(bottom_.normal.marginLeft, width), fit(bottom_.normal.marginBottom, height), false, true},
      {fit(bottom_.normal.marginRight, width), fit(bottom_.normal.marginBottom, height), true, true},
  }};
  const bool anyCorner =
      std::any_of(corners.begin(), corners.end(), [](const Corner& c) { return c.width > 0 && c.height > 0; });
  if (!rects_.top.IsEmpty() && anyCorner) {
    // The corners' magenta pixels are found in the frame as painted: the
    // records' images, stretched and placed as on screen.
    CHBitmap picture;
    if (picture.CreateDib(width, height, 24) && picture.LockDC()) {
      Paint(picture.DC(), rect, rect);
      ::GdiFlush();
      for (const Corner& corner : corners) {
        if (corner.width <= 0 || corner.height <= 0) continue;
        const int x = corner.right ? width - corner.width : 0;
        const int y = corner.bottom ? height - corner.height : 0;
        CHBitmap piece;
        if (!piece.CreateDib(corner.width, corner.height, 24) || !piece.LockDC()) continue;
        ::BitBlt(piece.DC(), 0, 0, corner.width, corner.height, picture.DC(), x, y, SRCCOPY);
        ::GdiFlush();
        pv::UniqueRegion mask = piece.MaskRegion();
        if (!mask) continue;
        ::OffsetRgn(mask.get(), x, y);
        ::CombineRgn(region.get(), region.get(), mask.get(), RGN_DIFF);
      }
    }
  }
  // The system owns the region once it took it.
  if (::SetWindowRgn(hwnd, region.get(), FALSE)) region.release();
}

// ---------------------------------------------------------------------------
// Notifications and system commands

LRESULT UIFrameWindow::Notify(UIObject* sender, UINT message, WPARAM, LPARAM) {
  if (message != WM_COMMAND || !sender || !hwnd) return 0;
  WPARAM command = 0;
  if (sender == close_) {
    command = SC_CLOSE;
  } else if (sender == maximize_) {
    command = SC_MAXIMIZE;
  } else if (sender == minimize_) {
    command = SC_MINIMIZE;
  } else if (sender == restore_) {
    command = SC_RESTORE;
  }
  if (command) ::SendMessageW(hwnd, WM_SYSCOMMAND, command, 0);
  return 0;
}

LRESULT UIFrameWindow::OnSysCommand(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallDefault(WM_SYSCOMMAND, wParam, lParam);
  // A close may have destroyed the window by now.
  if (hwnd && ::IsWindow(hwnd) && maximize_ && restore_) {
    const bool zoomed = ::IsZoomed(hwnd) != FALSE;
    UIButton* shown = zoomed ? restore_ : maximize_;
    UIButton* hidden = zoomed ? maximize_ : restore_;
    hidden->SetVisible(false);
    shown->SetVisible(true);
  }
  return result;
}

// ---------------------------------------------------------------------------
// Non-client area

LRESULT UIFrameWindow::OnCreate(WPARAM, LPARAM) {
  const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
  if (style & WS_CAPTION) ::SetWindowLongPtrW(hwnd, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_CAPTION));
  return 0;
}

LRESULT UIFrameWindow::OnNcCalcSize(WPARAM wParam, LPARAM lParam) {
  if (!lParam) return CallDefault(WM_NCCALCSIZE, wParam, lParam);
  if (wParam) {
    auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
    const RECT proposed = params->rgrc[0];
    const LRESULT result = CallDefault(WM_NCCALCSIZE, wParam, lParam);
    if (const WINDOWPOS* pos = params->lppos) {
      params->rgrc[0] = RECT{pos->x, pos->y, pos->x + pos->cx, pos->y + pos->cy};
    } else {
      params->rgrc[0] = proposed;
    }
    return result;
  }
  // Also when asked without the move's details (at creation), so a sizing
  // border never takes a strip off the client area.
  auto* window = reinterpret_cast<RECT*>(lParam);
  const RECT proposed = *window;
  const LRESULT result = CallDefault(WM_NCCALCSIZE, wParam, lParam);
  *window = proposed;
  return result;
}

LRESULT UIFrameWindow::OnNcPaint(WPARAM, LPARAM) { return 0; }

LRESULT UIFrameWindow::OnNcActivate(WPARAM, LPARAM) { return TRUE; }

bool UIFrameWindow::OverControl(POINT point) const { return OverControlIn(*this, point); }

LRESULT UIFrameWindow::OnNcHitTest(WPARAM wParam, LPARAM lParam) {
  const LRESULT fallback = CallDefault(WM_NCHITTEST, wParam, lParam);
  if (!hwnd) return fallback;
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (!::ScreenToClient(hwnd, &point)) return fallback;
  const pv::Point at{point.x, point.y};
  const bool overControl = rects_.top.Contains(at.x, at.y) && OverControl(point);
  const bool thick = (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_THICKFRAME) != 0;
  return HitCode(thick ? pv::ThickFrameHit(rects_, at, overControl) : pv::CaptionHit(rects_, at, overControl),
                 fallback);
}

}  // namespace pv
