#include "ui/LayoutMath.h"

namespace pv {

Rect ComputeLayout(const Rect& parent, const LayoutSpec& spec, int mode) {
  long long left = static_cast<long long>(parent.left) + spec.x;
  long long top = static_cast<long long>(parent.top) + spec.y;
  if (mode != kLayoutOffsets) {
    if (spec.x < 0) left = static_cast<long long>(parent.right) + spec.x;
    if (spec.y < 0) top = static_cast<long long>(parent.bottom) + spec.y;
  }
  return RectFromSize(left, top, spec.w, spec.h);
}

}  // namespace pv
