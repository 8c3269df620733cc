#include "ui/ControlMath.h"

namespace pv {

long long ProgressFillWidth(int width, int position, int minimum, int maximum) {
  if (maximum <= minimum) return 0;
  // Both factors fit in 32 bits, so the product and the range fit in 64.
  const long long range = static_cast<long long>(maximum) - minimum;
  return static_cast<long long>(width) * position / range;
}

FrameRects ComputeFrameRects(int width, int height, const FrameBands& bands) {
  const long long w = width;
  const long long h = height;
  const int insideRight = ClampToInt(w - bands.right);
  const int insideBottom = ClampToInt(h - bands.bottom);
  FrameRects rects;
  rects.client = Rect{bands.left, bands.top, insideRight, insideBottom};
  rects.top = Rect{0, 0, width, bands.top};
  rects.left = Rect{0, bands.top, bands.left, insideBottom};
  rects.right = Rect{insideRight, bands.top, width, insideBottom};
  rects.bottom = Rect{0, insideBottom, width, height};
  return rects;
}

namespace {

// Whether a point lies within the grip of one edge of a rectangle; taken in
// 64 bits so rectangles at the ends of the int range cannot wrap.
bool NearLeft(const Rect& r, Point p) { return p.x < static_cast<long long>(r.left) + kFrameCornerGrip; }
bool NearRight(const Rect& r, Point p) { return p.x >= static_cast<long long>(r.right) - kFrameCornerGrip; }
bool NearTop(const Rect& r, Point p, int rows) { return p.y < static_cast<long long>(r.top) + rows; }
bool NearBottom(const Rect& r, Point p) { return p.y >= static_cast<long long>(r.bottom) - kFrameCornerGrip; }

}  // namespace

FrameHit CaptionHit(const FrameRects& rects, Point point, bool overControl) {
  return rects.top.Contains(point.x, point.y) && !overControl ? FrameHit::Caption : FrameHit::None;
}

FrameHit ThickFrameHit(const FrameRects& rects, Point point, bool overControl) {
  if (rects.top.Contains(point.x, point.y)) {
    if (overControl) return FrameHit::None;
    if (NearTop(rects.top, point, kFrameCornerGrip)) {
      if (NearLeft(rects.top, point)) return FrameHit::TopLeft;
      if (NearRight(rects.top, point)) return FrameHit::TopRight;
    }
    return NearTop(rects.top, point, kFrameTopGrip) ? FrameHit::Top : FrameHit::Caption;
  }
  if (rects.left.Contains(point.x, point.y)) {
    return NearBottom(rects.left, point) ? FrameHit::BottomLeft : FrameHit::Left;
  }
  if (rects.right.Contains(point.x, point.y)) {
    return NearBottom(rects.right, point) ? FrameHit::BottomRight : FrameHit::Right;
  }
  if (rects.bottom.Contains(point.x, point.y)) {
    if (NearBottom(rects.bottom, point)) {
      if (NearLeft(rects.bottom, point)) return FrameHit::BottomLeft;
      if (NearRight(rects.bottom, point)) return FrameHit::BottomRight;
    }
    return FrameHit::Bottom;
  }
  return FrameHit::None;
}

}  // namespace pv
