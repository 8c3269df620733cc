#pragma once

#include <windows.h>

#include <string>

#include "ui/UIStyles.h"

namespace pv {

// The two painters every skinned control draws with: an image record sliced
// as a nine-grid with an optional foreground picture, and a text record drawn
// with GDI+. Both paint nothing for missing skin data.

// Draws the record's source rectangle into `dest` as a nine-grid (corners
// unscaled, edges and centre stretched): 32-bit images blend with their
// alpha, others are keyed out with the colour key when there is one and
// copied otherwise. Then the foreground picture at its own size, placed by
// the record's alignment and offset. Pieces whose source lies outside the
// image are not drawn.
void PaintImageStyle(const RECT& dest, const UIImageStyle& style, HDC dc);

// Draws `text` (the record's own text when null) in the record's font (the
// default UI font when it has none) and colour, in `rect` moved by the
// record's offset, aligned by the record's DrawText flags (centre, right,
// vertical centre, bottom, single line, word ellipsis), clipped to `clip`
// when one is given.
void PaintTextStyle(HDC dc, const RECT& rect, const wchar_t* text, const RECT* clip, const UITextStyle& style);

// Chooses the font a text is drawn in so that it fits its control on one
// line: the record's own font, or when the text is wider than the room,
// the same face one pixel smaller, and so on up to kMaxSteps pixels (the
// smallest when none fits). Texts are never cut or ellipsised for a
// language whose words run longer. The choice is kept until the text, the
// record's font or the room changes; smaller fonts live for the process.
class TextFit {
 public:
  static constexpr int kMaxSteps = 2;
  HFONT Font(HDC dc, const UITextStyle& style, const wchar_t* text, int room);

 private:
  std::wstring text_;
  HFONT base_ = nullptr;
  int room_ = -1;
  HFONT chosen_ = nullptr;
};

// The size the text takes in `layout` with the record's font and horizontal
// alignment, wrapped to the layout's width; zero for no text.
SIZE MeasureTextStyle(HDC dc, const UITextStyle& style, const RECT& layout, const wchar_t* text);
// The width of the text on one line with the record's font.
int MeasureTextWidth(HDC dc, const UITextStyle& style, const wchar_t* text);

// A rounded outline of `width` pixels just inside `rect`, anti-aliased, in
// the colour: the keyboard focus mark.
void PaintFocusRing(HDC dc, const RECT& rect, COLORREF color, int width, const RECT& clip);

// The process-wide UI fonts: the icon-title font at weight 400 and at 700.
// Made on first use and kept for the life of the process.
HFONT DefaultUIFont();
HFONT DefaultUIBoldFont();

}  // namespace pv
