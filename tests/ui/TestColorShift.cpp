#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/ColorShift.h"

using namespace pv;

namespace {

constexpr ColorRef kSamples[] = {
    MakeColorRef(0, 0, 0),     MakeColorRef(255, 255, 255), MakeColorRef(255, 0, 0),    MakeColorRef(0, 255, 0),
    MakeColorRef(0, 0, 255),   MakeColorRef(15, 108, 240),  MakeColorRef(255, 104, 37), MakeColorRef(127, 127, 127),
    MakeColorRef(10, 10, 10),  MakeColorRef(200, 30, 180),  MakeColorRef(1, 2, 3),      MakeColorRef(250, 251, 3),
    MakeColorRef(128, 64, 32), MakeColorRef(229, 229, 229),
};

int Channel(ColorRef c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

}  // namespace

TEST(ColorShift, RgbToHslOfKnownColours) {
  Hsl red = RgbToHsl(MakeColorRef(255, 0, 0));
  EXPECT_DOUBLE_EQ(red.hue, 0);
  EXPECT_DOUBLE_EQ(red.saturation, 1);
  EXPECT_DOUBLE_EQ(red.lightness, 0.5);

  Hsl blue = RgbToHsl(MakeColorRef(0, 0, 255));
  EXPECT_NEAR(blue.hue, 2.0 / 3, 1e-12);

  // Magenta lies below 0 on the raw scale and wraps to 5/6.
  Hsl magenta = RgbToHsl(MakeColorRef(255, 0, 255));
  EXPECT_NEAR(magenta.hue, 5.0 / 6, 1e-12);

  // Lightness above one half takes the other saturation formula.
  Hsl pale = RgbToHsl(MakeColorRef(255, 128, 128));
  EXPECT_NEAR(pale.lightness, (1 + 128 / 255.0) / 2, 1e-12);
  EXPECT_NEAR(pale.saturation, (1 - 128 / 255.0) / (2 - 1 - 128 / 255.0), 1e-12);

  Hsl grey = RgbToHsl(MakeColorRef(127, 127, 127));
  EXPECT_EQ(grey.hue, 0);
  EXPECT_EQ(grey.saturation, 0);
}

TEST(ColorShift, HslRoundTripStaysWithinTruncation) {
  for (ColorRef c : kSamples) {
    const Hsl hsl = RgbToHsl(c);
    const ColorRef back = HslToRgb(hsl.hue, hsl.saturation, hsl.lightness);
    for (int shift : {0, 8, 16}) {
      // HslToRgb truncates, so a channel may come back one lower.
      const int delta = Channel(c, shift) - Channel(back, shift);
      EXPECT_TRUE(delta == 0 || delta == 1) << std::hex << c << " -> " << back;
    }
  }
  EXPECT_EQ(HslToRgb(0, 1, 0.5), MakeColorRef(255, 0, 0));
  EXPECT_EQ(HslToRgb(0.5, 0, 1), MakeColorRef(255, 255, 255));
  EXPECT_EQ(HslToRgb(0.25, 0.3, 0), MakeColorRef(0, 0, 0));
}

TEST(ColorShift, ZeroShiftMapsAreIdentity) {
  const ShiftTable table = BuildShiftTable(0, 0, 0);
  for (int i = 0; i < 256; ++i) {
    for (int sector = 0; sector < ShiftTable::kSectors; ++sector) {
      ASSERT_EQ(table.hue[sector][i], i);
      ASSERT_EQ(table.saturation[sector][i], i);
    }
    ASSERT_EQ(table.lightness[i], i);
  }
}

TEST(ColorShift, LightnessExtremesGiveWhiteAndBlack) {
  const ShiftTable up = BuildShiftTable(0, 0, 200);
  const ShiftTable down = BuildShiftTable(0, 0, -200);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(up.lightness[i], 255);
    ASSERT_EQ(down.lightness[i], 0);
  }
  for (ColorRef c : kSamples) {
    EXPECT_EQ(ShiftColor(c, up), MakeColorRef(255, 255, 255));
    EXPECT_EQ(ShiftColor(c, down), 0u);
  }
  // Lightness is not clamped: far beyond the range the maps saturate
  // instead of overflowing.
  const ShiftTable far = BuildShiftTable(0, 0, 2000000000);
  const ShiftTable farDown = BuildShiftTable(0, 0, -2000000000);
  EXPECT_EQ(far.lightness[0], 255);
  EXPECT_EQ(farDown.lightness[255], 0);
  // Half way: v + (255 - v) * 100 / 200, truncated.
  EXPECT_EQ(BuildShiftTable(0, 0, 100).lightness[10], 132);
  EXPECT_EQ(BuildShiftTable(0, 0, -100).lightness[11], 6);
}

TEST(ColorShift, HueShiftWrapsBy255) {
  const ShiftTable half = BuildShiftTable(180, 0, 0);
  EXPECT_EQ(half.hue[0][0], 127);
  EXPECT_EQ(half.hue[0][128], 255);
  EXPECT_EQ(half.hue[0][129], 1);    // 256 wraps by 255, not 256
  EXPECT_EQ(half.hue[0][255], 127);  // 382 - 255
  const ShiftTable back = BuildShiftTable(-180, 0, 0);
  EXPECT_EQ(back.hue[0][0], 128);  // -127 + 255
  EXPECT_EQ(back.hue[0][200], 73);
  // Degrees are clamped to -180..180.
  EXPECT_EQ(BuildShiftTable(720, 0, 0).hue[3][10], half.hue[3][10]);
  EXPECT_EQ(BuildShiftTable(-720, 0, 0).hue[3][10], back.hue[3][10]);
}

TEST(ColorShift, SaturationMapScalesAndClamps) {
  const ShiftTable grey = BuildShiftTable(0, -100, 0);
  const ShiftTable vivid = BuildShiftTable(0, 100, 0);
  const ShiftTable more = BuildShiftTable(0, 500, 0);  // clamped to 100
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(grey.saturation[0][i], 0);
    ASSERT_EQ(vivid.saturation[5][i], std::min(255, i * 2));
    ASSERT_EQ(more.saturation[2][i], vivid.saturation[2][i]);
  }
  // Full desaturation leaves the lightness grey.
  EXPECT_EQ(ShiftColor(MakeColorRef(255, 0, 0), grey), MakeColorRef(127, 127, 127));
}

TEST(ColorShift, ShiftColorTurnsHues) {
  // Red (hue 0) turned by 120 degrees lands on green; the 255-step scale
  // loses a little on the way.
  const ColorRef turned = ShiftColor(MakeColorRef(255, 0, 0), BuildShiftTable(120, 0, 0));
  EXPECT_LT(Channel(turned, 0), 8);
  EXPECT_EQ(Channel(turned, 8), 255);
  EXPECT_EQ(Channel(turned, 16), 0);
  // Greys have no hue: a hue shift leaves them alone.
  const ShiftTable anyHue = BuildShiftTable(90, 0, 0);
  for (int v : {0, 60, 127, 229, 255}) EXPECT_EQ(ShiftColor(MakeColorRef(v, v, v), anyHue), MakeColorRef(v, v, v));
  // The high byte of a COLORREF is ignored.
  EXPECT_EQ(ShiftColor(0x01000000u | MakeColorRef(255, 0, 0), BuildShiftTable(0, 0, 200)), MakeColorRef(255, 255, 255));
}
