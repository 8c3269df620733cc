#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "ui/Handles.h"

namespace pv {

// A 24- or 32-bit DIB section whose pixels the program reaches directly.
// Rows are stored bottom-up (row 0 of Bits() is the bottom row of the
// picture), pixels as B, G, R (and A). 32-bit bitmaps carry premultiplied
// alpha, which AlphaBlend and UpdateLayeredWindow expect.
//
// Pictures other than plain PNGs are decoded through GDI+, which runs from
// its first use (such a decode, or the text painter) until the last bitmap
// is destroyed; one process-wide lock guards its start-up token and the
// count of live bitmaps.
class CHBitmap {
 public:
  CHBitmap();
  CHBitmap(const CHBitmap&) = delete;
  CHBitmap& operator=(const CHBitmap&) = delete;
  virtual ~CHBitmap();

  // Unlocks, deletes the DIB section and zeroes every field.
  void Release();

  // Refuses anything but 24 or 32 bits and positive sizes; the bitmap is
  // left empty on failure. New pixels are zero.
  bool CreateDib(int width, int height, int bitsPerPixel);
  // A DIB from a header and its pixels; size must be exactly stride x height.
  // Refuses null pixels, a zero size, bit counts other than 24 and 32,
  // compressed or top-down (negative height) layouts; empty on failure.
  bool CopyPixels(const BITMAPINFOHEADER* header, const void* pixels, std::size_t size);

  // Selects the DIB into a memory DC of its own; true only when it locked now.
  bool LockDC();
  // Puts the DC's previous bitmap back and deletes the DC; returns the DIB.
  HBITMAP UnlockDC();

  // PNG (or any format GDI+ reads) from memory into a new DIB: 32 bits with
  // premultiplied alpha when the image has an alpha channel, else 24 bits.
  // Plain PNGs are read by PngDecoder, everything else by GDI+.
  bool Decode(const void* bytes, std::size_t size);
  // The same through GDI+ alone.
  bool DecodeThroughGdiplus(const void* bytes, std::size_t size);

  // Draws the source rectangle (measured from the picture's top-left corner)
  // into the destination rectangle: AlphaBlend for 32 bits, BitBlt for an
  // unscaled 24-bit copy, DrawDib for a stretched one. The bitmap is always
  // unlocked afterwards. False without pixels or when GDI fails.
  bool Draw(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight);

  // The region of all magenta (255, 0, 255) pixels, one rectangle per run of
  // a row; an empty region when there is none (or no picture).
  pv::UniqueRegion MaskRegion() const;

  // Shifts hue, saturation and lightness of every pixel; alpha is kept.
  // False without pixels.
  bool ApplyColorShift(int hue, int saturation, int lightness);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bitsPerPixel_; }
  int Stride() const { return stride_; }
  int ImageSize() const { return imageSize_; }
  std::uint8_t* Bits() const { return bits_; }
  const BITMAPINFOHEADER& Header() const { return header_.bmiHeader; }
  HBITMAP Dib() const { return dib_.get(); }
  HDC DC() const { return dc_.get(); }
  bool IsEmpty() const { return !dib_; }

  // The pixel at (x, y) from the top-left, as B, G, R, A bytes (A 255 for
  // 24 bits); 0 outside the picture.
  std::uint32_t PixelAt(int x, int y) const;

  // The shared state, for tests: whether GDI+ is running and how many
  // bitmaps are alive.
  static bool GdiplusRunning();
  static int LiveCount();

  // Starts GDI+ for other users of it (the text painter) unless it runs; it
  // then runs until the last bitmap is destroyed or the process ends.
  static bool StartGdiplus();

  static int StrideFor(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

 private:
  bool SetUp(const BITMAPINFO& info);
  bool DecodeFrom(void* image);

  pv::UniqueMemDC dc_;
  std::uint16_t bitsPerPixel_ = 0;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  std::uint8_t* bits_ = nullptr;
  int imageSize_ = 0;
  // The header with one spare colour entry, so it can be passed as a BITMAPINFO.
  BITMAPINFO header_{};
  pv::UniqueBitmap dib_;
  // The DIB in dc_ while locked; declared after both, so it goes first.
  pv::SelectGuard selected_;
};

}  // namespace pv
