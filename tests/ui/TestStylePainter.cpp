#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ui/CHBitmap.h"
#include "ui/StylePainter.h"
#include "ui/UIResource.h"

using namespace pv;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

void Put(CHBitmap& bitmap, int x, int y, std::uint32_t bgra) {
  const int bytes = bitmap.BitsPerPixel() / 8;
  std::memcpy(bitmap.Bits() + (bitmap.Height() - 1 - y) * bitmap.Stride() + x * bytes, &bgra, bytes);
}

// A white 32-bit picture painted through its own DC.
class Canvas {
 public:
  Canvas(int width, int height) {
    EXPECT_TRUE(bitmap_.CreateDib(width, height, 32));
    std::memset(bitmap_.Bits(), 0xFF, bitmap_.ImageSize());
    EXPECT_TRUE(bitmap_.LockDC());
  }
  HDC dc() const { return bitmap_.DC(); }
  // The colour only, as 0xRRGGBB.
  std::uint32_t At(int x, int y) const {
    ::GdiFlush();
    return bitmap_.PixelAt(x, y) & 0xFFFFFF;
  }
  // The smallest rectangle holding every pixel that is no longer white.
  RECT Ink() const {
    RECT ink{bitmap_.Width(), bitmap_.Height(), 0, 0};
    for (int y = 0; y < bitmap_.Height(); ++y) {
      for (int x = 0; x < bitmap_.Width(); ++x) {
        if (At(x, y) == kWhite) continue;
        ink = RECT{std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                   std::max<LONG>(ink.bottom, y + 1)};
      }
    }
    return ink;
  }
  bool Untouched() const {
    const RECT ink = Ink();
    return ::IsRectEmpty(&ink) != FALSE;
  }

 private:
  CHBitmap bitmap_;
};

// A 12 x 12 opaque picture whose every pixel differs (blue 20 x, green
// 20 y, red 255), and that pixel as 0xRRGGBB.
void MakeGradient(CHBitmap& image, int bits) {
  ASSERT_TRUE(image.CreateDib(12, 12, bits));
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) Put(image, x, y, (20u * x) | (20u * y) << 8 | 0xFF0000u | 0xFF000000u);
  }
}
std::uint32_t GradientAt(int x, int y) { return 0xFF0000u | (20u * y) << 8 | (20u * x); }

UIImageStyle WholeImage(CHBitmap& image) {
  UIImageStyle style;
  style.bitmap = &image;
  style.sourceWidth = image.Width();
  style.sourceHeight = image.Height();
  return style;
}

TEST(StylePainter, NineGridKeepsCornersAndStretchesTheRest) {
  for (int bits : {32, 24}) {  // AlphaBlend, then BitBlt and DrawDib
    SCOPED_TRACE(bits);
    CHBitmap image;
    MakeGradient(image, bits);
    UIImageStyle style = WholeImage(image);
    style.marginLeft = style.marginTop = style.marginRight = style.marginBottom = 4;
    Canvas canvas(50, 60);
    PaintImageStyle(RECT{10, 20, 40, 50}, style, canvas.dc());
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(canvas.At(10 + x, 20 + y), GradientAt(x, y));
        EXPECT_EQ(canvas.At(36 + x, 46 + y), GradientAt(8 + x, 8 + y));
      }
    }
    // The top edge keeps its rows and takes its columns from the middle band.
    const std::uint32_t edge = canvas.At(25, 22);
    EXPECT_EQ(edge & 0xFFFF00, GradientAt(0, 2) & 0xFFFF00);
    EXPECT_GE(edge & 0xFF, 80u);
    EXPECT_LE(edge & 0xFF, 140u);
    EXPECT_EQ(canvas.At(9, 20), kWhite);
    EXPECT_EQ(canvas.At(40, 50), kWhite);
  }
}

TEST(StylePainter, ColourKeyLeavesTheKeyedPixelsOut) {
  // 24-bit blue with a magenta 2 x 2 block at the top-left.
  CHBitmap image;
  ASSERT_TRUE(image.CreateDib(4, 4, 24));
  for (int i = 0; i < 16; ++i) Put(image, i % 4, i / 4, (i % 4 < 2 && i / 4 < 2) ? 0xFF00FF : 0x0000FF);
  UIImageStyle style = WholeImage(image);
  style.keyColor = RGB(255, 0, 255);
  Canvas canvas(20, 10);
  PaintImageStyle(RECT{0, 0, 4, 4}, style, canvas.dc());   // same size: TransparentBlt
  PaintImageStyle(RECT{8, 0, 16, 8}, style, canvas.dc());  // stretched first, then keyed
  EXPECT_EQ(canvas.At(1, 1), kWhite);
  EXPECT_EQ(canvas.At(2, 0), 0x0000FFu);
  EXPECT_EQ(canvas.At(11, 3), kWhite);
  EXPECT_EQ(canvas.At(12, 0), 0x0000FFu);
  EXPECT_EQ(canvas.At(15, 7), 0x0000FFu);

  // Without the key the block is copied; a stretch keeps the top on top.
  style.keyColor = 0;
  PaintImageStyle(RECT{8, 0, 16, 8}, style, canvas.dc());
  EXPECT_EQ(canvas.At(11, 3), 0xFF00FFu);
  EXPECT_EQ(canvas.At(8, 7), 0x0000FFu);
}

TEST(StylePainter, ForegroundAtItsAlignmentAndBadDataPaintsNothing) {
  CHBitmap image;
  MakeGradient(image, 32);
  UIImageStyle fore;
  fore.foreBitmap = &image;
  fore.foreX = 2;
  fore.foreY = 3;
  fore.foreWidth = fore.foreHeight = 2;
  fore.alignment = 128;  // bottom-right, then moved by the offset
  fore.offsetX = -1;
  fore.offsetY = -2;
  Canvas placed(20, 20);
  PaintImageStyle(RECT{0, 0, 20, 20}, fore, placed.dc());
  EXPECT_EQ(placed.At(17, 16), GradientAt(2, 3));
  EXPECT_EQ(placed.At(18, 17), GradientAt(3, 4));
  EXPECT_EQ(placed.At(19, 19), kWhite);

  // Missing pictures and sizes, and rectangles reaching past the picture
  // (never read), draw nothing.
  CHBitmap empty;
  const UIImageStyle good = WholeImage(image);
  UIImageStyle bad[7] = {good, good, good, good, good, good, fore};
  bad[0].bitmap = nullptr;
  bad[1].bitmap = &empty;
  bad[2].sourceWidth = 0;
  bad[3].sourceHeight = -12;
  bad[4].sourceX = 10;
  bad[5].sourceWidth = bad[5].marginLeft = bad[5].marginRight = 0x7FFFFFFF;
  bad[6].foreY = -5;
  for (const UIImageStyle& style : bad) {
    Canvas canvas(30, 30);
    PaintImageStyle(RECT{0, 0, 30, 30}, style, canvas.dc());
    EXPECT_TRUE(canvas.Untouched());
  }
  Canvas canvas(30, 30);
  PaintImageStyle(RECT{20, 20, 10, 30}, good, canvas.dc());
  PaintImageStyle(RECT{0, 0, 30, 30}, good, nullptr);
  EXPECT_TRUE(canvas.Untouched());
  EXPECT_EQ(image.DC(), nullptr);  // every lock taken was given back
}

TEST(StylePainter, OurButtonKeepsItsCornersWhenWide) {
  UIResource skin;
  ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  const UIImageStyle style = skin.GetImageStyle("MainWindow/PublishBtn/normal", nullptr);
  ASSERT_NE(style.bitmap, nullptr);
  ASSERT_EQ(style.marginLeft, 5);
  const int w = style.sourceWidth;
  const int h = style.sourceHeight;
  Canvas natural(w, h);
  Canvas wide(200, h);
  PaintImageStyle(RECT{0, 0, w, h}, style, natural.dc());
  PaintImageStyle(RECT{0, 0, 200, h}, style, wide.dc());
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(wide.At(x, y), natural.At(x, y));
      EXPECT_EQ(wide.At(195 + x, h - 5 + y), natural.At(w - 5 + x, h - 5 + y));
    }
  }
}

// The text tests draw with a font of our skin, as the controls do: Wine's
// icon-title face here is "MS Shell Dlg" with no TrueType font behind it,
// which GDI+ refuses.
TEST(StylePainter, TextInItsColourAlignedAndClipped) {
  UIResource skin;
  ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  UITextStyle style;
  style.font = skin.GetFont(118);  // the large caption: strokes wide enough to hold the full colour
  style.color = RGB(255, 0, 0);
  style.alignment = 37;  // centred both ways, one line
  style.text = L"MMMM";
  const RECT area{10, 5, 150, 45};

  Canvas centred(160, 50);
  PaintTextStyle(centred.dc(), area, nullptr, nullptr, style);
  const RECT ink = centred.Ink();
  ASSERT_FALSE(::IsRectEmpty(&ink));
  int best = 1000;
  for (int y = ink.top; y < ink.bottom; ++y) {
    for (int x = ink.left; x < ink.right; ++x) {
      const std::uint32_t c = centred.At(x, y);
      best = std::min<int>(best, std::abs(static_cast<int>(c >> 16) - 255) + ((c >> 8) & 0xFF) + (c & 0xFF));
    }
  }
  EXPECT_LE(best, 8);  // solid strokes carry the colour (alpha 254 over white)
  EXPECT_NEAR((ink.left + ink.right) / 2, 80, 3);
  EXPECT_NEAR((ink.top + ink.bottom) / 2, 25, 3);

  // Right-aligned text given explicitly, moved by the offset; GDI+ keeps a
  // sixth of an em free at the line's end.
  style.alignment = 38;
  style.offsetX = -10;
  Canvas right(160, 50);
  PaintTextStyle(right.dc(), area, L"MM", nullptr, style);
  EXPECT_LE(right.Ink().right, 140);
  EXPECT_GE(right.Ink().right, 132);

  // The clip holds the text in; no text, rectangle or DC draws nothing.
  style.alignment = 37;
  style.offsetX = 0;
  const RECT leftHalf{10, 5, 80, 45};
  Canvas clipped(160, 50);
  PaintTextStyle(clipped.dc(), area, nullptr, &leftHalf, style);
  EXPECT_FALSE(clipped.Untouched());
  EXPECT_LE(clipped.Ink().right, 80);
  Canvas none(160, 50);
  PaintTextStyle(none.dc(), area, L"", nullptr, style);
  PaintTextStyle(none.dc(), RECT{10, 10, 10, 30}, nullptr, nullptr, style);
  PaintTextStyle(nullptr, area, nullptr, nullptr, style);
  EXPECT_TRUE(none.Untouched());
}

TEST(StylePainter, MeasureGrowsWithTheText) {
  UIResource skin;
  ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  Canvas canvas(10, 10);
  UITextStyle style;
  style.font = skin.GetFont(116);
  style.text = L"MMMM";
  const RECT layout{0, 0, 400, 100};
  const SIZE four = MeasureTextStyle(canvas.dc(), style, layout, nullptr);
  const SIZE one = MeasureTextStyle(canvas.dc(), style, layout, L"M");
  EXPECT_GT(one.cy, 0);
  EXPECT_GT(four.cx, 2 * one.cx);
  EXPECT_EQ(four.cy, one.cy);
  // Wrapped into a narrow layout the text takes more lines.
  EXPECT_GT(MeasureTextStyle(canvas.dc(), style, RECT{0, 0, one.cx + 2, 100}, L"M M M M").cy, 2 * one.cy);
  const SIZE nothing = MeasureTextStyle(canvas.dc(), style, layout, L"");
  EXPECT_EQ(nothing.cx + nothing.cy, 0);
}

}  // namespace
