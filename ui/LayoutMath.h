#pragma once

#include "ui/Geometry.h"

namespace pv {

// Where a control goes inside its parent, from the "size" numbers of the skin.

// x, y, width and height as the skin gives them.
struct LayoutRequest {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  friend constexpr bool operator==(const LayoutRequest&, const LayoutRequest&) = default;
};

// Mode 0 anchors each axis to the parent's near edge, or to its far edge when
// the offset is negative; mode 1 always measures from the near edge.
constexpr int kLayoutAnchored = 0;
constexpr int kLayoutOffsets = 1;

// Only a request with a positive width and height places a control; anything
// else leaves the control where its owner puts it.
constexpr bool HasLayoutSize(const LayoutRequest& request) { return request.w > 0 && request.h > 0; }

// The control's rectangle inside `parent` (mode 1 for offsets, any other
// value anchored).
Rect ComputeLayout(const Rect& parent, const LayoutRequest& request, int mode);

}  // namespace pv
