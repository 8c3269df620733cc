#include "ui/LayoutMath.h"

namespace pv {

Rect ComputeLayout(const Rect& parent, const LayoutRequest& request, int mode) {
  long long left = static_cast<long long>(parent.left) + request.x;
  long long top = static_cast<long long>(parent.top) + request.y;
  if (mode != kLayoutOffsets) {
    if (request.x < 0) left = static_cast<long long>(parent.right) + request.x;
    if (request.y < 0) top = static_cast<long long>(parent.bottom) + request.y;
  }
  return RectFromSize(left, top, request.w, request.h);
}

}  // namespace pv
