#include "ui/ColorShift.h"

#include <algorithm>
#include <cmath>

namespace pv {

namespace {

int Clamp255(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, 0, 255)); }

// One channel of HslToRgb at position t on the 0..6 hue scale.
double Channel(double p, double q, double t) {
  if (t > 6) t -= 6;
  if (t < 0) t += 6;
  if (t < 1) return p + (q - p) * t;
  if (t < 3) return q;
  if (t < 4) return p + (q - p) * (4 - t);
  return p;
}

int ToByte(double v) {
  // Truncation; NaN (never produced from valid input) reads as 0.
  if (!(v > 0)) return 0;
  return Clamp255(static_cast<std::int64_t>(v * 255));
}

}  // namespace

int ShiftTable::SectorOf(int hue255) {
  static constexpr int kBounds[] = {21, 64, 106, 149, 192, 234};
  if (hue255 >= kBounds[5] || hue255 < kBounds[0]) return 0;
  int sector = 0;
  while (sector + 1 < kSectors && hue255 >= kBounds[sector]) ++sector;
  return sector;
}

Hsl RgbToHsl(ColorRef color) {
  const double r = (color & 0xFF) / 255.0;
  const double g = ((color >> 8) & 0xFF) / 255.0;
  const double b = ((color >> 16) & 0xFF) / 255.0;
  const double max = std::max({r, g, b});
  const double min = std::min({r, g, b});
  Hsl out;
  out.lightness = (max + min) / 2;
  if (max == min) return out;
  const double d = max - min;
  out.saturation = out.lightness < 0.5 ? d / (max + min) : d / (2 - max - min);
  double h;
  if (r == max) {
    h = (g - b) / d;
  } else if (g == max) {
    h = 2 + (b - r) / d;
  } else {
    h = 4 + (r - g) / d;
  }
  h /= 6;
  if (h < 0) h += 1;
  out.hue = h;
  return out;
}

ColorRef HslToRgb(double hue, double saturation, double lightness) {
  const double q = lightness < 0.5 ? lightness * (1 + saturation) : lightness + saturation - lightness * saturation;
  const double p = 2 * lightness - q;
  const double t = 6 * hue;
  return MakeColorRef(ToByte(Channel(p, q, t + 2)), ToByte(Channel(p, q, t)), ToByte(Channel(p, q, t - 2)));
}

ShiftTable BuildShiftTable(int hue, int saturation, int lightness) {
  hue = std::clamp(hue, -180, 180);
  saturation = std::clamp(saturation, -100, 100);
  const int hueStep = hue * 255 / 360;
  const int s = std::clamp(saturation * 255 / 100, -255, 255);

  ShiftTable table;
  for (int i = 0; i < 256; ++i) {
    int h = i + hueStep;
    if (h < 0) {
      h += 255;
    } else if (h > 255) {
      h -= 255;
    }
    const int sat = Clamp255(static_cast<std::int64_t>(i) * (s + 255) / 255);
    for (int sector = 0; sector < ShiftTable::kSectors; ++sector) {
      table.hue[sector][i] = h;
      table.saturation[sector][i] = sat;
    }
    // 64-bit: lightness is not clamped, so the product may leave int range.
    const std::int64_t v = i;
    const std::int64_t light = lightness > 0 ? v + (255 - v) * lightness / 200 : v + v * lightness / 200;
    table.lightness[i] = Clamp255(light);
  }
  return table;
}

ColorRef ShiftColor(ColorRef color, const ShiftTable& table) {
  const Hsl hsl = RgbToHsl(color);
  const int h255 = Clamp255(static_cast<std::int64_t>(std::floor(hsl.hue * 255)));
  const int s255 = Clamp255(static_cast<std::int64_t>(std::floor(hsl.saturation * 255)));
  const int sector = ShiftTable::SectorOf(h255);
  const ColorRef rgb = HslToRgb(table.hue[sector][h255] / 255.0, table.saturation[sector][s255] / 255.0, hsl.lightness);
  return MakeColorRef(table.lightness[rgb & 0xFF], table.lightness[(rgb >> 8) & 0xFF],
                      table.lightness[(rgb >> 16) & 0xFF]);
}

}  // namespace pv
