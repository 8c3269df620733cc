#pragma once

#include <windows.h>

#include <string>

namespace pv {

class CHBitmap;

// An image record of the skin ("bi", "bg", "bc", "mg", "md", "fi", "fg",
// "fc", "al", "of"), painted as a nine-grid with an optional foreground.
// The bitmaps belong to the skin resource that filled the record.
struct UIImageStyle {
  int sourceX = 0;
  int sourceY = 0;
  int sourceWidth = 0;
  int sourceHeight = 0;
  COLORREF keyColor = 0;  // 0: no colour key
  int marginLeft = 0;
  int marginTop = 0;
  int marginRight = 0;
  int marginBottom = 0;
  int mode = 0;
  CHBitmap* bitmap = nullptr;
  int foreX = 0;
  int foreY = 0;
  int foreWidth = 0;
  int foreHeight = 0;
  COLORREF foreKeyColor = 0;
  CHBitmap* foreBitmap = nullptr;
  int alignment = 0;
  int offsetX = 0;
  int offsetY = 0;
};

// A text record of the skin ("ft", "al", "cr", "of", "tx"). The font belongs
// to the skin resource; null means the painter's default font.
struct UITextStyle {
  HFONT font = nullptr;
  int alignment = 0;  // DrawText flag values: 1 centre, 2 right, 4 vcentre, 8 bottom, 0x20 one line, 0x40000 ellipsis
  COLORREF color = 0;
  int offsetX = 0;
  int offsetY = 0;
  std::wstring text;
};

}  // namespace pv
