#pragma once

#include "ui/Geometry.h"

namespace pv {

// The arithmetic of the basic controls and the frame window that needs no
// window: the fill of a progress bar, the frame's five rectangles and which
// part of the frame a point is over.

// The fill of a progress bar `width` pixels wide: width x position / (maximum
// - minimum), truncated toward zero, when the range is positive; 0 for an
// empty or inverted range. The position is not reduced by the minimum and
// not clamped, so a position past the maximum gives a fill wider than the
// bar (the painter clips it) and a negative one a negative fill (nothing
// drawn). Taken in 64 bits, so no input overflows.
long long ProgressFillWidth(int width, int position, int minimum, int maximum);

// Band thicknesses of a frame: the source heights of the top and bottom
// records and the source widths of the left and right ones.
struct FrameBands {
  int top = 0;
  int left = 0;
  int right = 0;
  int bottom = 0;
};

struct FrameRects {
  Rect client;
  Rect top;
  Rect left;
  Rect right;
  Rect bottom;
  friend constexpr bool operator==(const FrameRects&, const FrameRects&) = default;
};

// The rectangles of a frame whose own rectangle ends at (width, height).
FrameRects ComputeFrameRects(int width, int height, const FrameBands& bands);

// What a point over the frame does. None: whatever the system's own hit test
// said.
enum class FrameHit { None, Caption, Top, TopLeft, TopRight, Left, Right, Bottom, BottomLeft, BottomRight };

// Width of the corner squares and of the lowest rows of the side bands that
// size diagonally, and the rows at the top edge that size upwards.
constexpr int kFrameCornerGrip = 4;
constexpr int kFrameTopGrip = 2;

// A frame without a sizing border: the top band is the caption except over
// a control that takes the mouse (`overControl`).
FrameHit CaptionHit(const FrameRects& rects, Point point, bool overControl);

// A frame with a sizing border: the caption as above, plus its top rows and
// corners, and the side and bottom bands, size the window.
FrameHit ThickFrameHit(const FrameRects& rects, Point point, bool overControl);

}  // namespace pv
