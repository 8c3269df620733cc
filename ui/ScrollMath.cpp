#include "ui/ScrollMath.h"

#include <algorithm>
#include <cstdlib>

namespace pv {

namespace {

// The vertical computation serves both directions: a horizontal bar is
// computed with x and y exchanged.
Rect Transpose(const Rect& r) { return Rect{r.top, r.left, r.bottom, r.right}; }

ScrollParts Transpose(const ScrollParts& p) {
  return ScrollParts{Transpose(p.upArrow), Transpose(p.downArrow), Transpose(p.thumb),
                     Transpose(p.track),   Transpose(p.pageUp),    Transpose(p.pageDown)};
}

// A thumb across the whole width of the track, from top for length pixels
// and never past the track's bottom.
Rect ThumbAt(const Rect& track, long long top, long long length) {
  const int from = ClampToInt(top);
  return Rect{track.left, from, track.right, std::min(ClampToInt(top + length), track.bottom)};
}

ScrollParts VerticalParts(const Rect& bar, const ScrollState& s, int minimumThumb, const Rect& previousThumb) {
  ScrollParts parts;
  parts.upArrow = Rect{bar.left, bar.top, bar.right, bar.top};
  parts.downArrow = Rect{bar.left, bar.bottom, bar.right, bar.bottom};
  parts.track = bar;
  const long long range = static_cast<long long>(s.maximum) - s.minimum;
  // Without a range there is nothing to scroll and nothing to drag.
  if (range <= 0) return parts;

  const Rect& track = parts.track;
  const int length = track.Height();
  const int r = ClampToInt(range);
  const int shift = ClampToInt(static_cast<long long>(s.position) - s.minimum);
  const int m = minimumThumb;
  if (s.page > 0) {
    long long offset = MulDiv(shift, length, r);
    long long thumb = r < s.page ? length : MulDiv(s.page - 1, length, r);
    if (thumb < m) {
      offset = MulDiv(shift, ClampToInt(thumb + length - m), r);
      offset = std::max(0LL, std::min<long long>(offset, static_cast<long long>(length) - m));
      thumb = m;
    }
    // A position below the minimum must not lift the thumb off the track.
    parts.thumb = ThumbAt(track, track.top + std::max(0LL, offset), thumb);
  } else {
    long long offset = MulDiv(shift, ClampToInt(static_cast<long long>(length) - m), r);
    offset = std::max(0LL, std::min<long long>(offset, static_cast<long long>(length) - m));
    const Rect moved = ThumbAt(track, track.top + offset, m);
    const bool wasEmpty = previousThumb.IsEmpty();
    if (wasEmpty || std::llabs(static_cast<long long>(moved.top) - previousThumb.top) >= m) {
      parts.thumb = moved;
    } else {
      parts.thumb = Rect{track.left, previousThumb.top, track.right, previousThumb.bottom};
    }
  }
  if (parts.thumb.Height() > length) parts.thumb = track;
  parts.pageUp = Rect{track.left, track.top, track.right, parts.thumb.top};
  parts.pageDown = Rect{track.left, parts.thumb.bottom, track.right, track.bottom};
  return parts;
}

}  // namespace

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  long long multiplicand = a;
  long long divisor = c;
  if (divisor < 0) {
    multiplicand = -multiplicand;
    divisor = -divisor;
  }
  const long long product = multiplicand * b;
  const long long result = product >= 0 ? (product + divisor / 2) / divisor : (product - divisor / 2) / divisor;
  if (result > 2147483647LL || result < -2147483647LL) return -1;
  return static_cast<int>(result);
}

ScrollParts ComputeScrollParts(const Rect& bounds, bool horizontal, const ScrollState& state, int minimumThumb,
                               const Rect& previousThumb) {
  if (!horizontal) return VerticalParts(bounds, state, minimumThumb, previousThumb);
  return Transpose(VerticalParts(Transpose(bounds), state, minimumThumb, Transpose(previousThumb)));
}

Rect MoveThumb(const Rect& thumb, const Rect& track, bool horizontal, int delta) {
  if (horizontal) return Transpose(MoveThumb(Transpose(thumb), Transpose(track), false, delta));
  const long long length = thumb.Height();
  const long long lowest = std::max<long long>(track.top, track.bottom - length);
  const long long top = std::clamp<long long>(static_cast<long long>(thumb.top) + delta, track.top, lowest);
  return Rect{thumb.left, ClampToInt(top), thumb.right, ClampToInt(top + length)};
}

int TrackedPosition(const Rect& thumb, const Rect& track, bool horizontal, const ScrollState& s) {
  if (horizontal) return TrackedPosition(Transpose(thumb), Transpose(track), false, s);
  const long long span = static_cast<long long>(s.maximum) - s.page - s.minimum + 1;
  const long long room = static_cast<long long>(track.Height()) - thumb.Height();
  // The position counts from the minimum, so a bar from 10 to 20 reports 10
  // to 20 and not 0 to 10.
  if (span <= 0 || room <= 0) return s.minimum;
  const int along =
      MulDiv(ClampToInt(static_cast<long long>(thumb.top) - track.top), ClampToInt(span), ClampToInt(room));
  return ClampToInt(static_cast<long long>(s.minimum) + along);
}

bool DragPointCounts(int x, int y, const Rect& track, bool horizontal) {
  if (horizontal) return DragPointCounts(y, x, Transpose(track), false);
  if (y < track.top || y > track.bottom) return false;
  constexpr long long kSideReach = 96;
  return static_cast<long long>(track.left) - x <= kSideReach && static_cast<long long>(x) - track.right <= kSideReach;
}

int ApplyScrollCode(int code, const ScrollState& s, int tracked) {
  const long long minimum = s.minimum;
  const long long last = static_cast<long long>(s.maximum) - s.page - 1;
  const long long position = s.position;
  long long result = position;
  switch (code) {
    case 0:  // line up
      result = std::max(position - 1, minimum);
      break;
    case 1:  // line down
      result = std::max(std::min(position + 1, last), minimum);
      break;
    case 2:  // page up
      result = std::max(position - s.page, minimum);
      break;
    case 3:  // page down
      result = std::max(std::min(position + s.page, last), minimum);
      break;
    case 4:  // thumb position
    case 5:  // thumb track
      result = tracked;
      break;
    case 6:  // top
      result = minimum;
      break;
    case 7:  // bottom
      result = std::max(last, minimum);
      break;
    default:
      break;
  }
  return ClampToInt(result);
}

std::optional<int> ApplyWheel(unsigned delta, const ScrollState& s) {
  if (static_cast<long long>(s.maximum) - s.minimum <= 100) return std::nullopt;
  const long long step = s.page / 8;
  const long long position = s.position;
  if (delta & 0x8000u) {
    const long long last = static_cast<long long>(s.maximum) + 1 - s.page;
    return ClampToInt(std::max<long long>(std::min(position + step, last), s.minimum));
  }
  return ClampToInt(std::max<long long>(position - step, s.minimum));
}

}  // namespace pv
