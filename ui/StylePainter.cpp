#include "ui/StylePainter.h"

#include <objidl.h>
// GDI+ through its flat API only; the C++ wrapper classes stay unused.
#include <gdiplus.h>
#include <vfw.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "ui/CHBitmap.h"
#include "ui/Handles.h"
#include "ui/NineGrid.h"

namespace pv {

namespace gp = Gdiplus::DllExports;

namespace {

// ---------------------------------------------------------------------------
// Images

// Stretching goes through DrawDib; one handle serves every paint.
class DrawDibHandle {
 public:
  DrawDibHandle() : handle_(::DrawDibOpen()) {}
  DrawDibHandle(const DrawDibHandle&) = delete;
  DrawDibHandle& operator=(const DrawDibHandle&) = delete;
  ~DrawDibHandle() {
    if (handle_) ::DrawDibClose(handle_);
  }
  HDRAWDIB get() const { return handle_; }

 private:
  HDRAWDIB handle_;
};

HDRAWDIB SharedDrawDib() {
  static DrawDibHandle handle;
  return handle.get();
}

// Keeps a bitmap selected into its memory DC while its pieces are drawn,
// and unlocks only what it locked itself.
class BitmapLock {
 public:
  explicit BitmapLock(CHBitmap& bitmap) : bitmap_(bitmap), locked_(bitmap.LockDC()) {}
  BitmapLock(const BitmapLock&) = delete;
  BitmapLock& operator=(const BitmapLock&) = delete;
  ~BitmapLock() {
    if (locked_) bitmap_.UnlockDC();
  }
  HDC dc() const { return bitmap_.DC(); }

 private:
  CHBitmap& bitmap_;
  bool locked_;
};

bool InsideImage(const pv::Rect& source, const CHBitmap& bitmap) {
  return source.left >= 0 && source.top >= 0 && source.right <= bitmap.Width() && source.bottom <= bitmap.Height();
}

BOOL Stretch(HDC target, const pv::Rect& to, CHBitmap& bitmap, const pv::Rect& from) {
  // DrawDib reads the pixels directly: the source must lie in the image,
  // which the caller has checked.
  auto* header = const_cast<BITMAPINFOHEADER*>(&bitmap.Header());
  return ::DrawDibDraw(SharedDrawDib(), target, to.left, to.top, to.Width(), to.Height(), header, bitmap.Bits(),
                       from.left, from.top, from.Width(), from.Height(), 0);
}

// One piece of an image, from the bitmap's own DC: alpha-blended for 32
// bits, else keyed out or copied, stretching where the sizes differ.
void DrawPiece(HDC target, CHBitmap& bitmap, HDC source, const pv::Rect& from, const pv::Rect& to, COLORREF key) {
  if (from.IsEmpty() || to.IsEmpty() || !InsideImage(from, bitmap)) return;
  const bool sameSize = from.Width() == to.Width() && from.Height() == to.Height();
  if (bitmap.BitsPerPixel() == 32) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(target, to.left, to.top, to.Width(), to.Height(), source, from.left, from.top, from.Width(),
                 from.Height(), blend);
    return;
  }
  if (key != 0) {
    if (sameSize) {
      ::TransparentBlt(target, to.left, to.top, to.Width(), to.Height(), source, from.left, from.top, from.Width(),
                       from.Height(), key);
      return;
    }
    // Stretching first and keying afterwards keeps the key colour exact; a
    // stretching transparent blit would blend it into its neighbours.
    pv::UniqueBitmap scratch(::CreateCompatibleBitmap(target, to.Width(), to.Height()));
    pv::UniqueMemDC scratchDC(::CreateCompatibleDC(target));
    if (!scratch || !scratchDC) return;
    pv::SelectGuard selected(scratchDC.get(), scratch.get());
    const pv::Rect whole{0, 0, to.Width(), to.Height()};
    if (!Stretch(scratchDC.get(), whole, bitmap, from)) return;
    ::TransparentBlt(target, to.left, to.top, to.Width(), to.Height(), scratchDC.get(), 0, 0, to.Width(), to.Height(),
                     key);
    return;
  }
  if (sameSize) {
    ::BitBlt(target, to.left, to.top, to.Width(), to.Height(), source, from.left, from.top, SRCCOPY);
  } else {
    Stretch(target, to, bitmap, from);
  }
}

// ---------------------------------------------------------------------------
// Text

struct GraphicsDeleter {
  void operator()(Gdiplus::GpGraphics* p) const { gp::GdipDeleteGraphics(p); }
};
struct FontDeleter {
  void operator()(Gdiplus::GpFont* p) const { gp::GdipDeleteFont(p); }
};
struct BrushDeleter {
  void operator()(Gdiplus::GpSolidFill* p) const { gp::GdipDeleteBrush(p); }
};
struct FormatDeleter {
  void operator()(Gdiplus::GpStringFormat* p) const { gp::GdipDeleteStringFormat(p); }
};
struct PathDeleter {
  void operator()(Gdiplus::GpPath* p) const { gp::GdipDeletePath(p); }
};
struct PenDeleter {
  void operator()(Gdiplus::GpPen* p) const { gp::GdipDeletePen(p); }
};
using Graphics = std::unique_ptr<Gdiplus::GpGraphics, GraphicsDeleter>;
using Font = std::unique_ptr<Gdiplus::GpFont, FontDeleter>;
using Brush = std::unique_ptr<Gdiplus::GpSolidFill, BrushDeleter>;
using Format = std::unique_ptr<Gdiplus::GpStringFormat, FormatDeleter>;

// GDI+ objects are made per call and not cached: they die with GDI+, which
// stops whenever the last bitmap goes.
Graphics MakeGraphics(HDC dc) {
  Gdiplus::GpGraphics* raw = nullptr;
  if (gp::GdipCreateFromHDC(dc, &raw) != Gdiplus::Ok) return nullptr;
  return Graphics(raw);
}

Font MakeFontFrom(HDC dc, HFONT font) {
  LOGFONTW logfont{};
  if (!font || !::GetObjectW(font, sizeof(logfont), &logfont)) return nullptr;
  Gdiplus::GpFont* raw = nullptr;
  if (gp::GdipCreateFontFromLogfontW(dc, &logfont, &raw) != Gdiplus::Ok) return nullptr;
  return Font(raw);
}

struct FamilyDeleter {
  void operator()(Gdiplus::GpFontFamily* p) const { gp::GdipDeleteFontFamily(p); }
};

// The generic sans-serif family at the font's pixel size and style.
Font MakeGenericFont(HFONT model) {
  LOGFONTW logfont{};
  if (!model || !::GetObjectW(model, sizeof(logfont), &logfont)) return nullptr;
  Gdiplus::GpFontFamily* rawFamily = nullptr;
  if (gp::GdipGetGenericFontFamilySansSerif(&rawFamily) != Gdiplus::Ok) return nullptr;
  std::unique_ptr<Gdiplus::GpFontFamily, FamilyDeleter> family(rawFamily);
  const LONG height = logfont.lfHeight < 0 ? -logfont.lfHeight : logfont.lfHeight;
  INT style = Gdiplus::FontStyleRegular;
  if (logfont.lfWeight >= FW_SEMIBOLD) style |= Gdiplus::FontStyleBold;
  if (logfont.lfItalic) style |= Gdiplus::FontStyleItalic;
  if (logfont.lfUnderline) style |= Gdiplus::FontStyleUnderline;
  Gdiplus::GpFont* raw = nullptr;
  if (gp::GdipCreateFont(family.get(), static_cast<Gdiplus::REAL>(height > 0 ? height : 12), style, Gdiplus::UnitPixel,
                         &raw) != Gdiplus::Ok) {
    return nullptr;
  }
  return Font(raw);
}

// GDI+ takes TrueType faces only, and refuses logical names such as the
// "MS Shell Dlg" that Wine reports as the icon-title face. Such a font
// falls back to the default UI font and then to the generic sans-serif
// family rather than leaving the text out.
Font MakeFont(HDC dc, HFONT font) {
  if (Font made = MakeFontFrom(dc, font)) return made;
  if (Font made = MakeFontFrom(dc, DefaultUIFont())) return made;
  return MakeGenericFont(font ? font : DefaultUIFont());
}

Format MakeFormat(int alignment, bool full) {
  Gdiplus::GpStringFormat* raw = nullptr;
  if (gp::GdipCreateStringFormat(0, LANG_NEUTRAL, &raw) != Gdiplus::Ok) return nullptr;
  Format format(raw);
  Gdiplus::StringAlignment horizontal = Gdiplus::StringAlignmentNear;
  if (alignment & DT_CENTER) {
    horizontal = Gdiplus::StringAlignmentCenter;
  } else if (alignment & DT_RIGHT) {
    horizontal = Gdiplus::StringAlignmentFar;
  }
  gp::GdipSetStringFormatAlign(format.get(), horizontal);
  if (!full) return format;
  Gdiplus::StringAlignment vertical = Gdiplus::StringAlignmentNear;
  if (alignment & DT_VCENTER) {
    vertical = Gdiplus::StringAlignmentCenter;
  } else if (alignment & DT_BOTTOM) {
    vertical = Gdiplus::StringAlignmentFar;
  }
  gp::GdipSetStringFormatLineAlign(format.get(), vertical);
  if (alignment & DT_SINGLELINE) gp::GdipSetStringFormatFlags(format.get(), Gdiplus::StringFormatFlagsNoWrap);
  if (alignment & DT_WORD_ELLIPSIS) {
    gp::GdipSetStringFormatTrimming(format.get(), Gdiplus::StringTrimmingEllipsisCharacter);
  }
  return format;
}

pv::UniqueFont MakeUIFont(LONG weight) {
  LOGFONTW font{};
  ::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(font), &font, 0);
  font.lfWeight = weight;
  return pv::UniqueFont(::CreateFontIndirectW(&font));
}

}  // namespace

void PaintImageStyle(const RECT& dest, const UIImageStyle& style, HDC dc) {
  if (!dc || ::IsRectEmpty(&dest)) return;
  const pv::Rect target{dest.left, dest.top, dest.right, dest.bottom};

  if (style.bitmap && !style.bitmap->IsEmpty() && style.sourceWidth > 0 && style.sourceHeight > 0) {
    BitmapLock lock(*style.bitmap);
    if (HDC source = lock.dc()) {
      const pv::Rect from = pv::RectFromSize(style.sourceX, style.sourceY, style.sourceWidth, style.sourceHeight);
      const pv::Margins margins{style.marginLeft, style.marginTop, style.marginRight, style.marginBottom};
      for (const pv::NinePiece& piece : pv::NineGridPieces(from, target, margins)) {
        DrawPiece(dc, *style.bitmap, source, piece.source, piece.dest, style.keyColor);
      }
    }
  }

  if (style.foreBitmap && !style.foreBitmap->IsEmpty() && style.foreWidth > 0 && style.foreHeight > 0) {
    const pv::Point at =
        pv::PlaceForeground(target, style.foreWidth, style.foreHeight, style.alignment, style.offsetX, style.offsetY);
    BitmapLock lock(*style.foreBitmap);
    if (HDC source = lock.dc()) {
      DrawPiece(dc, *style.foreBitmap, source,
                pv::RectFromSize(style.foreX, style.foreY, style.foreWidth, style.foreHeight),
                pv::RectFromSize(at.x, at.y, style.foreWidth, style.foreHeight), style.foreKeyColor);
    }
  }
}

void PaintTextStyle(HDC dc, const RECT& rect, const wchar_t* text, const RECT* clip, const UITextStyle& style) {
  const wchar_t* shown = text ? text : style.text.c_str();
  if (!dc || !*shown || ::IsRectEmpty(&rect) || !CHBitmap::StartGdiplus()) return;
  Graphics graphics = MakeGraphics(dc);
  Font font = graphics ? MakeFont(dc, style.font) : nullptr;
  Format format = MakeFormat(style.alignment, true);
  if (!graphics || !font || !format) return;
  // Alpha 254 rather than 255: an opaque brush lets GDI+ hand the text to
  // GDI, which leaves the alpha bytes of a 32-bit buffer at 0.
  const Gdiplus::ARGB color = (static_cast<Gdiplus::ARGB>(254) << 24) |
                              (static_cast<Gdiplus::ARGB>(GetRValue(style.color)) << 16) |
                              (static_cast<Gdiplus::ARGB>(GetGValue(style.color)) << 8) | GetBValue(style.color);
  Gdiplus::GpSolidFill* rawBrush = nullptr;
  if (gp::GdipCreateSolidFill(color, &rawBrush) != Gdiplus::Ok) return;
  Brush brush(rawBrush);
  if (clip) {
    gp::GdipSetClipRectI(graphics.get(), clip->left, clip->top, clip->right - clip->left, clip->bottom - clip->top,
                         Gdiplus::CombineModeReplace);
  }
  const Gdiplus::RectF layout(
      static_cast<Gdiplus::REAL>(rect.left + style.offsetX), static_cast<Gdiplus::REAL>(rect.top + style.offsetY),
      static_cast<Gdiplus::REAL>(rect.right - rect.left), static_cast<Gdiplus::REAL>(rect.bottom - rect.top));
  gp::GdipDrawString(graphics.get(), shown, -1, font.get(), &layout, format.get(), brush.get());
}

SIZE MeasureTextStyle(HDC dc, const UITextStyle& style, const RECT& layout, const wchar_t* text) {
  const wchar_t* measured = text ? text : style.text.c_str();
  if (!dc || !*measured || !CHBitmap::StartGdiplus()) return SIZE{0, 0};
  Graphics graphics = MakeGraphics(dc);
  Font font = graphics ? MakeFont(dc, style.font) : nullptr;
  Format format = MakeFormat(style.alignment, false);
  if (!graphics || !font || !format) return SIZE{0, 0};
  const Gdiplus::RectF area(static_cast<Gdiplus::REAL>(layout.left), static_cast<Gdiplus::REAL>(layout.top),
                            static_cast<Gdiplus::REAL>(layout.right - layout.left),
                            static_cast<Gdiplus::REAL>(layout.bottom - layout.top));
  Gdiplus::RectF bounds;
  if (gp::GdipMeasureString(graphics.get(), measured, -1, font.get(), &area, format.get(), &bounds, nullptr, nullptr) !=
      Gdiplus::Ok) {
    return SIZE{0, 0};
  }
  return SIZE{static_cast<LONG>(bounds.Width), static_cast<LONG>(bounds.Height)};
}

int MeasureTextWidth(HDC dc, const UITextStyle& style, const wchar_t* text) {
  return MeasureTextStyle(dc, style, RECT{0, 0, 1 << 20, 1 << 10}, text).cx;
}

void PaintFocusRing(HDC dc, const RECT& rect, COLORREF color, int width, const RECT& clip) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  if (!dc || w <= width * 2 || h <= width * 2 || !CHBitmap::StartGdiplus()) return;
  Graphics graphics = MakeGraphics(dc);
  if (!graphics) return;
  gp::GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);
  gp::GdipSetClipRectI(graphics.get(), clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top,
                       Gdiplus::CombineModeReplace);
  Gdiplus::GpPath* rawPath = nullptr;
  if (gp::GdipCreatePath(Gdiplus::FillModeAlternate, &rawPath) != Gdiplus::Ok) return;
  std::unique_ptr<Gdiplus::GpPath, PathDeleter> path(rawPath);
  // The pen runs on the middle of the band.
  const Gdiplus::REAL half = static_cast<Gdiplus::REAL>(width) / 2;
  const Gdiplus::REAL x = static_cast<Gdiplus::REAL>(rect.left) + half;
  const Gdiplus::REAL y = static_cast<Gdiplus::REAL>(rect.top) + half;
  const Gdiplus::REAL right = static_cast<Gdiplus::REAL>(rect.right) - half;
  const Gdiplus::REAL bottom = static_cast<Gdiplus::REAL>(rect.bottom) - half;
  const Gdiplus::REAL d = std::min<Gdiplus::REAL>(8, std::min(right - x, bottom - y));
  gp::GdipAddPathArc(path.get(), x, y, d, d, 180, 90);
  gp::GdipAddPathArc(path.get(), right - d, y, d, d, 270, 90);
  gp::GdipAddPathArc(path.get(), right - d, bottom - d, d, d, 0, 90);
  gp::GdipAddPathArc(path.get(), x, bottom - d, d, d, 90, 90);
  gp::GdipClosePathFigure(path.get());
  // Alpha 254 for the reason PaintTextStyle gives.
  const Gdiplus::ARGB argb = (static_cast<Gdiplus::ARGB>(254) << 24) |
                             (static_cast<Gdiplus::ARGB>(GetRValue(color)) << 16) |
                             (static_cast<Gdiplus::ARGB>(GetGValue(color)) << 8) | GetBValue(color);
  Gdiplus::GpPen* rawPen = nullptr;
  if (gp::GdipCreatePen1(argb, static_cast<Gdiplus::REAL>(width), Gdiplus::UnitPixel, &rawPen) != Gdiplus::Ok) return;
  std::unique_ptr<Gdiplus::GpPen, PenDeleter> pen(rawPen);
  gp::GdipDrawPath(graphics.get(), pen.get(), path.get());
}

namespace {

// The font `steps` pixels smaller than `base`, made once per face, size and
// style.
HFONT SmallerFont(HFONT base, int steps) {
  LOGFONTW logfont{};
  if (!base || !::GetObjectW(base, sizeof(logfont), &logfont)) return base;
  const LONG height = logfont.lfHeight < 0 ? -logfont.lfHeight : logfont.lfHeight;
  if (height <= steps + 6) return base;
  logfont.lfHeight = logfont.lfHeight < 0 ? -(height - steps) : height - steps;
  logfont.lfWidth = 0;
  const std::wstring key(reinterpret_cast<const wchar_t*>(&logfont), sizeof(logfont) / sizeof(wchar_t));
  static std::mutex lock;
  static std::map<std::wstring, pv::UniqueFont> made;
  std::lock_guard<std::mutex> hold(lock);
  pv::UniqueFont& slot = made[key];
  if (!slot) slot.reset(::CreateFontIndirectW(&logfont));
  return slot ? slot.get() : base;
}

}  // namespace

HFONT TextFit::Font(HDC dc, const UITextStyle& style, const wchar_t* text, int room) {
  const wchar_t* shown = text ? text : style.text.c_str();
  HFONT base = style.font ? style.font : DefaultUIFont();
  if (chosen_ && base == base_ && room == room_ && text_ == shown) return chosen_;
  text_ = shown;
  base_ = base;
  room_ = room;
  chosen_ = base;
  UITextStyle measured = style;
  for (int step = 0; step <= kMaxSteps; ++step) {
    measured.font = step ? SmallerFont(base, step) : base;
    chosen_ = measured.font;
    if (MeasureTextWidth(dc, measured, shown) <= room) break;
  }
  return chosen_;
}

HFONT DefaultUIFont() {
  static const pv::UniqueFont font = MakeUIFont(FW_NORMAL);
  return font.get();
}

HFONT DefaultUIBoldFont() {
  static const pv::UniqueFont font = MakeUIFont(FW_BOLD);
  return font.get();
}

}  // namespace pv
