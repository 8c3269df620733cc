#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/CHBitmap.h"
#include "ui/StylePainter.h"
#include "ui/UIResource.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

// B, G, R, A packed as CHBitmap::PixelAt returns them.
constexpr std::uint32_t Bgra(int b, int g, int r, int a = 255) {
  return static_cast<std::uint32_t>(b | (g << 8) | (r << 16) | (a << 24));
}

void Put(CHBitmap& bitmap, int x, int y, std::uint32_t bgra) {
  const int bytes = bitmap.BitsPerPixel() / 8;
  std::memcpy(bitmap.Bits() + (bitmap.Height() - 1 - y) * bitmap.Stride() + x * bytes, &bgra, bytes);
}

void Fill(CHBitmap& bitmap, std::uint32_t bgra) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) Put(bitmap, x, y, bgra);
  }
}

// A white 32-bit picture painted through its own DC.
class Canvas {
 public:
  Canvas(int width, int height) {
    EXPECT_TRUE(bitmap_.CreateDib(width, height, 32));
    Fill(bitmap_, Bgra(255, 255, 255));
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

// A 12 x 12 opaque picture whose every pixel differs: blue = 20 x, green =
// 20 y, red 255.
void MakeGradient(CHBitmap& image, int bits) {
  ASSERT_TRUE(image.CreateDib(12, 12, bits));
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) Put(image, x, y, Bgra(20 * x, 20 * y, 255));
  }
}

std::uint32_t GradientAt(int x, int y) { return 0xFF0000 | (20 * y) << 8 | (20 * x); }

TEST(StylePainter, NineGridKeepsCornersAndStretchesTheRest) {
  for (int bits : {32, 24}) {
    SCOPED_TRACE(bits);
    CHBitmap image;
    MakeGradient(image, bits);
    UIImageStyle style;
    style.bitmap = &image;
    style.sourceWidth = style.sourceHeight = 12;
    style.marginLeft = style.marginTop = style.marginRight = style.marginBottom = 4;

    Canvas canvas(50, 60);
    PaintImageStyle(RECT{10, 20, 40, 50}, style, canvas.dc());
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(canvas.At(10 + x, 20 + y), GradientAt(x, y));
        EXPECT_EQ(canvas.At(36 + x, 20 + y), GradientAt(8 + x, y));
        EXPECT_EQ(canvas.At(10 + x, 46 + y), GradientAt(x, 8 + y));
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
  // Blue with a magenta 2 x 2 block at the top-left, 24 bits.
  CHBitmap image;
  ASSERT_TRUE(image.CreateDib(4, 4, 24));
  Fill(image, Bgra(255, 0, 0));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) Put(image, x, y, Bgra(255, 0, 255));
  }
  UIImageStyle style;
  style.bitmap = &image;
  style.sourceWidth = style.sourceHeight = 4;
  style.keyColor = RGB(255, 0, 255);

  Canvas canvas(20, 10);
  PaintImageStyle(RECT{0, 0, 4, 4}, style, canvas.dc());   // same size: TransparentBlt
  PaintImageStyle(RECT{8, 0, 16, 8}, style, canvas.dc());  // stretched first, then keyed
  EXPECT_EQ(canvas.At(0, 0), kWhite);
  EXPECT_EQ(canvas.At(1, 1), kWhite);
  EXPECT_EQ(canvas.At(3, 3), 0x0000FFu);
  EXPECT_EQ(canvas.At(2, 0), 0x0000FFu);
  EXPECT_EQ(canvas.At(8, 0), kWhite);
  EXPECT_EQ(canvas.At(11, 3), kWhite);
  EXPECT_EQ(canvas.At(12, 0), 0x0000FFu);
  EXPECT_EQ(canvas.At(15, 7), 0x0000FFu);

  // Without the key the block is copied, and a stretch keeps the source's
  // top at the top.
  style.keyColor = 0;
  PaintImageStyle(RECT{0, 0, 4, 4}, style, canvas.dc());
  PaintImageStyle(RECT{8, 0, 16, 8}, style, canvas.dc());
  EXPECT_EQ(canvas.At(0, 0), 0xFF00FFu);
  EXPECT_EQ(canvas.At(11, 3), 0xFF00FFu);
  EXPECT_EQ(canvas.At(8, 7), 0x0000FFu);
}

TEST(StylePainter, ForegroundAtItsAlignment) {
  CHBitmap image;
  MakeGradient(image, 32);
  UIImageStyle style;
  style.foreBitmap = &image;
  style.foreX = 2;
  style.foreY = 3;
  style.foreWidth = 2;
  style.foreHeight = 2;
  style.alignment = 128;
  style.offsetX = -1;
  style.offsetY = -2;
  Canvas canvas(20, 20);
  PaintImageStyle(RECT{0, 0, 20, 20}, style, canvas.dc());
  EXPECT_EQ(canvas.At(17, 16), GradientAt(2, 3));
  EXPECT_EQ(canvas.At(18, 17), GradientAt(3, 4));
  EXPECT_EQ(canvas.At(19, 19), kWhite);
  EXPECT_EQ(canvas.At(16, 16), kWhite);
}

TEST(StylePainter, MissingOrBadImageDataPaintsNothing) {
  CHBitmap image;
  MakeGradient(image, 24);
  UIImageStyle good;
  good.bitmap = &image;
  good.sourceWidth = good.sourceHeight = 12;

  UIImageStyle noBitmap = good;
  noBitmap.bitmap = nullptr;
  UIImageStyle noSize = good;
  noSize.sourceWidth = 0;
  UIImageStyle negative = good;
  negative.sourceHeight = -12;
  UIImageStyle outside = good;  // reaches past the picture: never read
  outside.sourceX = 10;
  UIImageStyle huge = good;
  huge.sourceWidth = 0x7FFFFFFF;
  huge.marginLeft = huge.marginRight = 0x7FFFFFFF;
  UIImageStyle badForeground;
  badForeground.foreBitmap = &image;
  badForeground.foreY = -5;
  badForeground.foreWidth = badForeground.foreHeight = 4;
  CHBitmap empty;
  UIImageStyle emptyBitmap = good;
  emptyBitmap.bitmap = &empty;

  for (const UIImageStyle* style : {&noBitmap, &noSize, &negative, &outside, &huge, &badForeground, &emptyBitmap}) {
    Canvas canvas(30, 30);
    PaintImageStyle(RECT{0, 0, 30, 30}, *style, canvas.dc());
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

// How far a colour is from pure red, channel by channel.
int RedDistance(std::uint32_t rgb) {
  return std::abs(static_cast<int>(rgb >> 16) - 255) + static_cast<int>((rgb >> 8) & 0xFF) +
         static_cast<int>(rgb & 0xFF);
}

// Text tests draw with a font of our skin, as the controls do. (Wine's
// icon-title face here is "MS Shell Dlg" with no TrueType font behind it,
// which GDI+ refuses.)
TEST(StylePainter, TextInItsColourAlignedAndClipped) {
  UIResource skin;
  ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  UITextStyle style;
  style.font = skin.GetFont(118);  // the large caption: strokes wide enough to hold the full colour
  ASSERT_NE(style.font, nullptr);
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
    for (int x = ink.left; x < ink.right; ++x) best = std::min(best, RedDistance(centred.At(x, y)));
  }
  EXPECT_LE(best, 8);  // solid strokes carry the colour (alpha 254 over white)
  RECT inside{};
  EXPECT_TRUE(::IntersectRect(&inside, &ink, &area) && ::EqualRect(&inside, &ink));
  EXPECT_NEAR((ink.left + ink.right) / 2, 80, 3);
  EXPECT_NEAR((ink.top + ink.bottom) / 2, 25, 3);

  // Right-aligned text given explicitly, moved by the offset.
  style.alignment = 38;
  style.offsetX = -10;
  Canvas right(160, 50);
  PaintTextStyle(right.dc(), area, L"MM", nullptr, style);
  // GDI+ keeps a sixth of an em free at the line's end.
  const RECT rightInk = right.Ink();
  EXPECT_LE(rightInk.right, 140);
  EXPECT_GE(rightInk.right, 132);

  // The clip holds the text in.
  style.alignment = 37;
  style.offsetX = 0;
  const RECT leftHalf{10, 5, 80, 45};
  Canvas clipped(160, 50);
  PaintTextStyle(clipped.dc(), area, nullptr, &leftHalf, style);
  const RECT clippedInk = clipped.Ink();
  EXPECT_FALSE(::IsRectEmpty(&clippedInk));
  EXPECT_LE(clippedInk.right, 80);

  // No text, no rectangle or no DC: nothing.
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
  EXPECT_GT(one.cx, 0);
  EXPECT_GT(one.cy, 0);
  EXPECT_GT(four.cx, 2 * one.cx);
  EXPECT_EQ(four.cy, one.cy);
  // Wrapped into a narrow layout the text takes more lines.
  const SIZE wrapped = MeasureTextStyle(canvas.dc(), style, RECT{0, 0, one.cx + 2, 100}, L"M M M M");
  EXPECT_GT(wrapped.cy, 2 * one.cy);
  const SIZE nothing = MeasureTextStyle(canvas.dc(), style, layout, L"");
  EXPECT_EQ(nothing.cx, 0);
  EXPECT_EQ(nothing.cy, 0);
}

}  // namespace
