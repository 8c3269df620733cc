#include "ui/NineGrid.h"

#include <algorithm>

namespace pv {

namespace {

// One axis of the grid: the start and end of its three bands in the source
// and in the target, and which bands exist.
struct Bands {
  long long source[4];
  long long dest[4];
  bool present[3];
};

Bands Split(int sourceStart, int sourceEnd, int destStart, int destEnd, int lowMargin, int highMargin) {
  const long long low = std::max(lowMargin, 0);
  const long long high = std::max(highMargin, 0);
  const long long sourceLength = static_cast<long long>(sourceEnd) - sourceStart;
  Bands bands{};
  bands.source[0] = sourceStart;
  bands.source[1] = sourceStart + low;
  bands.source[2] = sourceEnd - high;
  bands.source[3] = sourceEnd;
  bands.dest[0] = destStart;
  bands.dest[1] = destStart + low;
  bands.dest[2] = destEnd - high;
  bands.dest[3] = destEnd;
  bands.present[0] = low > 0;
  bands.present[1] = low + high < sourceLength;
  bands.present[2] = high > 0;
  return bands;
}

}  // namespace

NinePieces NineGridPieces(const Rect& source, const Rect& dest, const Margins& margins) {
  NinePieces pieces;
  if (source.IsEmpty() || dest.IsEmpty()) return pieces;
  const Bands columns = Split(source.left, source.right, dest.left, dest.right, margins.left, margins.right);
  const Bands rows = Split(source.top, source.bottom, dest.top, dest.bottom, margins.top, margins.bottom);
  for (int row = 0; row < 3; ++row) {
    if (!rows.present[row]) continue;
    for (int column = 0; column < 3; ++column) {
      if (!columns.present[column]) continue;
      const NinePiece piece{Rect{ClampToInt(columns.source[column]), ClampToInt(rows.source[row]),
                                 ClampToInt(columns.source[column + 1]), ClampToInt(rows.source[row + 1])},
                            Rect{ClampToInt(columns.dest[column]), ClampToInt(rows.dest[row]),
                                 ClampToInt(columns.dest[column + 1]), ClampToInt(rows.dest[row + 1])}};
      if (piece.source.IsEmpty() || piece.dest.IsEmpty()) continue;
      pieces.items[pieces.count++] = piece;
    }
  }
  return pieces;
}

Point PlaceForeground(const Rect& dest, int width, int height, int alignment, int offsetX, int offsetY) {
  const long long left = dest.left;
  const long long top = dest.top;
  const long long right = static_cast<long long>(dest.right) - width;
  const long long bottom = static_cast<long long>(dest.bottom) - height;
  const long long centreX = (left + dest.right) / 2 - width / 2;
  const long long centreY = (top + dest.bottom) / 2 - height / 2;
  long long x = centreX;
  long long y = centreY;
  switch (alignment) {
    case 1:
      x = left, y = top;
      break;
    case 2:
      x = centreX, y = top;
      break;
    case 4:
      x = right, y = top;
      break;
    case 8:
      x = left, y = centreY;
      break;
    case 16:
      x = right, y = centreY;
      break;
    case 32:
      x = left, y = bottom;
      break;
    case 64:
      x = centreX, y = bottom;
      break;
    case 128:
      x = right, y = bottom;
      break;
    default:
      break;
  }
  return Point{ClampToInt(x + offsetX), ClampToInt(y + offsetY)};
}

}  // namespace pv
