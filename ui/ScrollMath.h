#pragma once

#include <optional>

#include "ui/Geometry.h"

namespace pv {

// The arithmetic of the skinned scroll bar and of the controls that scroll
// with it (the edit box, the list view): the parts of the bar, the thumb
// drag, the scroll codes and the wheel.

// Win32 MulDiv: a * b / c in 64 bits, rounded half away from zero; -1 when
// c is 0 or the result does not fit (Wine's and Windows' rules).
int MulDiv(int a, int b, int c);

// The range, page and position of a bar. A page of 0 is a bar without a
// page: its thumb has the minimum length.
struct ScrollState {
  int minimum = 0;
  int maximum = 0;
  int page = 0;
  int position = 0;
};

// The parts of a bar, all in the bar's own coordinates.
struct ScrollParts {
  Rect upArrow;
  Rect downArrow;
  Rect thumb;
  Rect track;
  Rect pageUp;
  Rect pageDown;
  friend constexpr bool operator==(const ScrollParts&, const ScrollParts&) = default;
};

// The parts of a bar filling `bounds`. The arrows have no length, so the
// track is the whole bar. With no range the bar has no thumb and no page
// areas. `previousThumb` matters only without a page: such a thumb moves
// only from nothing or by at least its minimum length.
ScrollParts ComputeScrollParts(const Rect& bounds, bool horizontal, const ScrollState& state, int minimumThumb,
                               const Rect& previousThumb);

// The thumb moved along the track by `delta` pixels and kept inside it.
Rect MoveThumb(const Rect& thumb, const Rect& track, bool horizontal, int delta);

// The position a thumb at its place in the track stands for: 0 (plus the
// minimum) when the range beyond the page is not positive or the thumb
// fills the track.
int TrackedPosition(const Rect& thumb, const Rect& track, bool horizontal, const ScrollState& state);

// Whether a pointer during a thumb drag moves the thumb: it must lie along
// the track, and across it not more than 96 pixels from either side.
bool DragPointCounts(int x, int y, const Rect& track, bool horizontal);

// The scroll codes of WM_VSCROLL applied to a position: line and page
// steps, the tracked position for 4 and 5 (as it is), top and bottom. The
// last position is maximum - page - 1; steps stop there and at the minimum,
// and never go below the minimum even when the content is shorter than the
// page. Unknown codes keep the position.
int ApplyScrollCode(int code, const ScrollState& state, int tracked);

// The wheel: nothing (nullopt) for a range of 100 or less; otherwise an
// eighth of a page per notch whatever the size of the turn, toward the end
// (at most maximum + 1 - page) for a turn toward the user (bit 15 of the
// delta set), toward the start (at least the minimum) for any other.
std::optional<int> ApplyWheel(unsigned delta, const ScrollState& state);

}  // namespace pv
