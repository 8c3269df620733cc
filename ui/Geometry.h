#pragma once

#include <algorithm>
#include <climits>

namespace pv {

// Plain rectangles for the geometry that builds without <windows.h>: the
// nine-grid slicing and the control layout. Same conventions as a Win32
// RECT: right and bottom are exclusive, a rectangle without area is empty.

struct Point {
  int x = 0;
  int y = 0;
  friend constexpr bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
  constexpr bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

// Skin numbers are arbitrary 32-bit values; sums of them are taken in 64
// bits and brought back into range, so no input overflows an int.
constexpr int ClampToInt(long long value) { return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)); }

// A rectangle from its origin and size.
constexpr Rect RectFromSize(long long x, long long y, long long width, long long height) {
  return Rect{ClampToInt(x), ClampToInt(y), ClampToInt(x + width), ClampToInt(y + height)};
}

// The common part of two rectangles, or the zero rectangle when they do not
// overlap.
constexpr Rect Intersect(const Rect& a, const Rect& b) {
  const Rect common{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                    std::min(a.bottom, b.bottom)};
  return common.IsEmpty() ? Rect{} : common;
}

}  // namespace pv
