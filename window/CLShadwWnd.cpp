#include "window/CLShadwWnd.h"

#include "ui/StylePainter.h"
#include "ui/UIResource.h"

namespace pv {

CLShadwWnd::CLShadwWnd(int side) : side_(side) {}

CLShadwWnd::~CLShadwWnd() = default;

const char* CLShadwWnd::ShadePath(int side) {
  switch (side) {
    case kLeft:
      return "/Meta/shadeleft";
    case kTop:
      return "/Meta/shadetop";
    case kRight:
      return "/Meta/shaderight";
    case kBottom:
      return "/Meta/shadebottom";
    default:
      return nullptr;
  }
}

bool CLShadwWnd::CreateShadow(HWND owner) {
  if (!Create(owner, nullptr, WS_POPUP | WS_CLIPSIBLINGS, L"", L"CHWindow", WS_EX_TOOLWINDOW, 0, 0, 0, 0)) return false;
  MakeLayered();
  LoadShadeStyle(UIResource::Current(), "", nullptr);
  return true;
}

int CLShadwWnd::LoadShadeStyle(IResource* resource, const char*, const JValue*) {
  const char* path = ShadePath(side_);
  if (resource && path) shade_ = resource->GetImageStyle(path, nullptr);
  return 1;
}

void CLShadwWnd::Place(int left, int top, int right, int bottom) {
  // The main window reports a position several times while it is set up
  // and shown; placing a layered window again where it already stands
  // costs a server round trip and a full upload of its pixels for nothing.
  const RECT target{left, top, right, bottom};
  if (placed_ && ::EqualRect(&target, &placedAt_) && ::IsWindowVisible(hwnd)) return;
  placed_ = true;
  placedAt_ = target;
  const int width = right - left, height = bottom - top;
  Move(left, top, width, height);
  SetLayout(0, 0, width, height);
  SetEnabled(true);
  if (IsLayered() && !resizing) {
    // Only the blend changes here; the picture follows from the repaint.
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(hwnd, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &blend, ULW_ALPHA);
  }
  // Shown without activation: a shadow taking the focus from the window it
  // follows would end typing in the path box whenever the window moved.
  ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  Invalidate(nullptr, true);
}

void CLShadwWnd::Paint(HDC dc, const RECT& rect, const RECT&) { PaintImageStyle(rect, shade_, dc); }

}  // namespace pv
