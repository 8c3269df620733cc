#pragma once

#include <cstdint>

namespace pv {

// Hue, saturation and lightness shifts of skin colours. Pure arithmetic on
// COLORREF values (red in the lowest byte), spelled as std::uint32_t so that
// it builds without <windows.h>; a COLORREF converts to it implicitly.
using ColorRef = std::uint32_t;

struct Hsl {
  double hue = 0;         // 0..1
  double saturation = 0;  // 0..1
  double lightness = 0;   // 0..1
};

// The lookup maps of one shift. Hue and saturation maps are kept per hue
// sector, so that a later shift can treat the sectors apart; today every
// sector carries the same maps.
struct ShiftTable {
  static constexpr int kSectors = 6;
  int hue[kSectors][256];
  int saturation[kSectors][256];
  int lightness[256];

  // The sector of a hue on the 0..255 scale.
  static int SectorOf(int hue255);
};

Hsl RgbToHsl(ColorRef color);
ColorRef HslToRgb(double hue, double saturation, double lightness);

// hue in degrees (clamped to -180..180), saturation in percent (clamped to
// -100..100), lightness unclamped (-200 gives black, 200 white).
ShiftTable BuildShiftTable(int hue, int saturation, int lightness);
ColorRef ShiftColor(ColorRef color, const ShiftTable& table);

constexpr ColorRef MakeColorRef(int red, int green, int blue) {
  return static_cast<ColorRef>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

// One channel multiplied by alpha (0..255) with rounding, as GDI+ and
// AlphaBlend's premultiplied pixels hold it, and back (alpha above 0).
constexpr std::uint8_t Premultiply(int channel, int alpha) {
  return static_cast<std::uint8_t>((channel * alpha + 127) / 255);
}
constexpr std::uint8_t Unpremultiply(int channel, int alpha) {
  const int value = (channel * 255 + alpha / 2) / alpha;
  return static_cast<std::uint8_t>(value < 255 ? value : 255);
}

}  // namespace pv
