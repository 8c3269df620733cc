#pragma once

#include <array>
#include <cstddef>

#include "ui/Geometry.h"

namespace pv {

// Nine-grid slicing of a skin image: the corners keep their size, the edges
// stretch along one axis and the centre along both.

struct Margins {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// One piece to draw: this part of the image into that part of the target.
struct NinePiece {
  Rect source;
  Rect dest;
  friend constexpr bool operator==(const NinePiece&, const NinePiece&) = default;
};

// At most nine pieces, in rows from the top and left to right within a row.
struct NinePieces {
  std::array<NinePiece, 9> items{};
  std::size_t count = 0;

  const NinePiece* begin() const { return items.data(); }
  const NinePiece* end() const { return items.data() + count; }
  std::size_t size() const { return count; }
  const NinePiece& operator[](std::size_t i) const { return items[i]; }
};

// The pieces that draw `source` into `dest` with the given margins. A row or
// column exists only where its margin (or, for the middle, the room left
// between the margins of the source) is positive; pieces without area in
// the source or in the target are left out. All margins 0 give one piece that
// stretches the whole source. Negative margins count as 0; an empty source
// or target gives no pieces.
NinePieces NineGridPieces(const Rect& source, const Rect& dest, const Margins& margins);

// Where a foreground picture of width x height goes in `dest`: alignment 1
// top-left, 2 top-centre, 4 top-right, 8 middle-left, 16 middle-right,
// 32 bottom-left, 64 bottom-centre, 128 bottom-right, anything else centred;
// the offset is added.
Point PlaceForeground(const Rect& dest, int width, int height, int alignment, int offsetX, int offsetY);

}  // namespace pv
