#include "ui/CHBitmap.h"

#include <objidl.h>
// GDI+ through its flat API only; the C++ wrapper classes stay unused.
#include <gdiplus.h>
#include <vfw.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "ui/ColorShift.h"
#include "ui/PngDecoder.h"

namespace pv {

namespace gp = Gdiplus::DllExports;

namespace {

// State shared by every bitmap. Built on first use, so a bitmap constructed
// during static initialisation still finds it, and destroyed after the last
// such bitmap.
struct SharedState {
  pv::CriticalSection lock;
  ULONG_PTR gdiplusToken = 0;
  int liveBitmaps = 0;
  // Opened with the first stretched 24-bit picture: the video library
  // brings three more DLLs and the sound system with it, a fifth of the
  // window's start-up, for a drawing most skins never ask for.
  HDRAWDIB drawDib = nullptr;

  ~SharedState() {
    if (gdiplusToken) Gdiplus::GdiplusShutdown(gdiplusToken);
    if (drawDib) ::DrawDibClose(drawDib);
  }
};

SharedState& Shared() {
  static SharedState state;
  return state;
}

// Starts GDI+ unless it runs; the caller holds the lock.
bool EnsureGdiplus(SharedState& state) {
  if (state.gdiplusToken) return true;
  Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread, external codecs
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  state.gdiplusToken = token;
  return true;
}

struct ImageDeleter {
  void operator()(Gdiplus::GpImage* image) const { gp::GdipDisposeImage(image); }
};
struct GraphicsDeleter {
  void operator()(Gdiplus::GpGraphics* graphics) const { gp::GdipDeleteGraphics(graphics); }
};

HDRAWDIB SharedDrawDib() {
  SharedState& state = Shared();
  pv::Lock hold(state.lock);
  if (!state.drawDib) state.drawDib = ::DrawDibOpen();
  return state.drawDib;
}

}  // namespace

CHBitmap::CHBitmap() {
  SharedState& state = Shared();
  pv::Lock hold(state.lock);
  ++state.liveBitmaps;
}

CHBitmap::~CHBitmap() {
  Release();
  SharedState& state = Shared();
  pv::Lock hold(state.lock);
  if (--state.liveBitmaps == 0 && state.gdiplusToken) {
    Gdiplus::GdiplusShutdown(state.gdiplusToken);
    state.gdiplusToken = 0;
  }
}

bool CHBitmap::GdiplusRunning() {
  SharedState& state = Shared();
  pv::Lock hold(state.lock);
  return state.gdiplusToken != 0;
}

bool CHBitmap::StartGdiplus() {
  SharedState& state = Shared();
  pv::Lock hold(state.lock);
  return EnsureGdiplus(state);
}

int CHBitmap::LiveCount() {
  SharedState& state = Shared();
  pv::Lock hold(state.lock);
  return state.liveBitmaps;
}

void CHBitmap::Release() {
  UnlockDC();
  dib_.reset();
  bitsPerPixel_ = 0;
  width_ = height_ = stride_ = imageSize_ = 0;
  bits_ = nullptr;
  header_ = BITMAPINFO{};
}

bool CHBitmap::SetUp(const BITMAPINFO& info) {
  const BITMAPINFOHEADER& h = info.bmiHeader;
  void* bits = nullptr;
  pv::UniqueBitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || !bits) return false;
  dib_ = std::move(dib);
  bits_ = static_cast<std::uint8_t*>(bits);
  header_ = BITMAPINFO{};
  header_.bmiHeader = h;
  width_ = h.biWidth;
  height_ = h.biHeight;
  bitsPerPixel_ = h.biBitCount;
  stride_ = StrideFor(width_, bitsPerPixel_);
  imageSize_ = stride_ * height_;
  return true;
}

bool CHBitmap::CreateDib(int width, int height, int bitsPerPixel) {
  Release();
  if ((bitsPerPixel != 24 && bitsPerPixel != 32) || width <= 0 || height <= 0) return false;
  // A picture whose byte size does not fit an int is not one this UI draws.
  if (static_cast<long long>(StrideFor(width, bitsPerPixel)) * height > 0x7FFFFFFF || width > 0x3FFFFFF) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // positive: rows bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.bmiHeader.biCompression = BI_RGB;
  return SetUp(info);
}

bool CHBitmap::CopyPixels(const BITMAPINFOHEADER* header, const void* pixels, std::size_t size) {
  Release();
  if (!header || !pixels || size == 0) return false;
  if (header->biSize < sizeof(BITMAPINFOHEADER) || (header->biBitCount != 24 && header->biBitCount != 32) ||
      header->biCompression != BI_RGB || header->biWidth <= 0 || header->biHeight <= 0 || header->biWidth > 0x3FFFFFF) {
    return false;
  }
  const long long expected = static_cast<long long>(StrideFor(header->biWidth, header->biBitCount)) * header->biHeight;
  if (expected > 0x7FFFFFFF || static_cast<long long>(size) != expected) return false;
  BITMAPINFO info{};
  info.bmiHeader = *header;
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biPlanes = 1;
  if (!SetUp(info)) {
    Release();
    return false;
  }
  std::memcpy(bits_, pixels, size);
  return true;
}

bool CHBitmap::LockDC() {
  if (dc_ || !dib_) return false;
  pv::UniqueMemDC dc(::CreateCompatibleDC(nullptr));
  if (!dc) return false;
  pv::SelectGuard selected(dc.get(), dib_.get());
  if (!selected) return false;
  selected_ = std::move(selected);
  dc_ = std::move(dc);
  return true;
}

HBITMAP CHBitmap::UnlockDC() {
  selected_.reset();
  dc_.reset();
  return dib_.get();
}

bool CHBitmap::Decode(const void* bytes, std::size_t size) {
  Release();
  if (!bytes || size == 0) return false;
  // The skin's own pictures are plain PNGs, read here straight into the
  // DIB. Through GDI+ the first one costs its codec framework's start (a
  // tenth of the window's start-up under Wine) and each one a stream and a
  // conversion.
  PngDecoder png;
  if (png.Open(bytes, size)) {
    if (CreateDib(png.Width(), png.Height(), png.HasAlpha() ? 32 : 24) &&
        png.DecodeInto(bits_, static_cast<std::size_t>(stride_))) {
      return true;
    }
    Release();
  }
  return DecodeThroughGdiplus(bytes, size);
}

bool CHBitmap::DecodeThroughGdiplus(const void* bytes, std::size_t size) {
  Release();
  if (!bytes || size == 0) return false;

  HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, size);
  if (!block) return false;
  std::memcpy(reinterpret_cast<void*>(block), bytes, size);
  pv::ComPtr<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(block, TRUE, stream.put()))) {
    ::GlobalFree(block);
    return false;
  }
  ULARGE_INTEGER exact;
  exact.QuadPart = size;
  stream->SetSize(exact);  // the block may be larger than asked for

  {
    SharedState& state = Shared();
    pv::Lock hold(state.lock);
    if (!EnsureGdiplus(state)) return false;
  }

  Gdiplus::GpBitmap* raw = nullptr;
  const Gdiplus::GpStatus status = gp::GdipCreateBitmapFromStream(stream.get(), &raw);
  std::unique_ptr<Gdiplus::GpImage, ImageDeleter> image(raw);
  if (status != Gdiplus::Ok || !image) return false;
  if (!DecodeFrom(image.get())) {
    Release();
    return false;
  }
  return true;
}

bool CHBitmap::DecodeFrom(void* imagePointer) {
  auto* image = static_cast<Gdiplus::GpImage*>(imagePointer);
  UINT width = 0;
  UINT height = 0;
  Gdiplus::PixelFormat format = 0;
  if (gp::GdipGetImageWidth(image, &width) != Gdiplus::Ok || gp::GdipGetImageHeight(image, &height) != Gdiplus::Ok ||
      gp::GdipGetImagePixelFormat(image, &format) != Gdiplus::Ok) {
    return false;
  }
  if (width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF) return false;
  const bool alpha = (format & PixelFormatAlpha) != 0;
  if (!CreateDib(static_cast<int>(width), static_cast<int>(height), alpha ? 32 : 24)) return false;

  if (alpha) {
    // GDI+ hands out premultiplied pixels directly. Drawing through a DC
    // gives the same bytes under Wine, but a DC is a surface without alpha
    // to GDI+ on Windows, so the lock is the one dependable way.
    Gdiplus::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    if (gp::GdipBitmapLockBits(static_cast<Gdiplus::GpBitmap*>(image), &all, Gdiplus::ImageLockModeRead,
                               PixelFormat32bppPARGB, &data) != Gdiplus::Ok) {
      return false;
    }
    for (int y = 0; y < height_; ++y) {
      const auto* source = static_cast<const std::uint8_t*>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride;
      std::memcpy(bits_ + static_cast<std::ptrdiff_t>(height_ - 1 - y) * stride_, source,
                  static_cast<std::size_t>(width_) * 4);
    }
    gp::GdipBitmapUnlockBits(static_cast<Gdiplus::GpBitmap*>(image), &data);
    return true;
  }

  if (!LockDC()) return false;
  Gdiplus::GpGraphics* rawGraphics = nullptr;
  bool drawn = false;
  if (gp::GdipCreateFromHDC(dc_.get(), &rawGraphics) == Gdiplus::Ok) {
    std::unique_ptr<Gdiplus::GpGraphics, GraphicsDeleter> graphics(rawGraphics);
    drawn = gp::GdipDrawImageRectI(graphics.get(), image, 0, 0, static_cast<INT>(width), static_cast<INT>(height)) ==
            Gdiplus::Ok;
  }
  UnlockDC();
  return drawn;
}

bool CHBitmap::Draw(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight) {
  if (!dib_ || !dc) return false;
  if (!dc_ && !LockDC()) return false;
  BOOL result = FALSE;
  if (bitsPerPixel_ == 32) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    result = ::AlphaBlend(dc, x, y, width, height, dc_.get(), srcX, srcY, srcWidth, srcHeight, blend);
  } else if (width == srcWidth && height == srcHeight) {
    result = ::BitBlt(dc, x, y, width, height, dc_.get(), srcX, srcY, SRCCOPY);
  } else {
    result = ::DrawDibDraw(SharedDrawDib(), dc, x, y, width, height, &header_.bmiHeader, bits_, srcX, srcY, srcWidth,
                           srcHeight, DDF_SAME_HDC);
  }
  UnlockDC();
  return result != FALSE;
}

std::uint32_t CHBitmap::PixelAt(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const int bytes = bitsPerPixel_ / 8;
  const std::uint8_t* p = bits_ + static_cast<std::ptrdiff_t>(height_ - 1 - y) * stride_ + x * bytes;
  const std::uint32_t alpha = bytes == 4 ? p[3] : 255;
  return p[0] | (p[1] << 8) | (p[2] << 16) | (alpha << 24);
}

pv::UniqueRegion CHBitmap::MaskRegion() const {
  std::vector<RECT> rects;
  rects.reserve(100);
  RECT bounds{0x7FFFFFFF, 0x7FFFFFFF, 0, 0};
  const int bytes = bitsPerPixel_ / 8;
  for (int y = 0; bits_ && y < height_; ++y) {
    const std::uint8_t* row = bits_ + static_cast<std::ptrdiff_t>(height_ - 1 - y) * stride_;
    for (int x = 0; x < width_;) {
      const std::uint8_t* p = row + x * bytes;
      if (p[0] != 255 || p[1] != 0 || p[2] != 255) {
        ++x;
        continue;
      }
      const int start = x;
      do {
        ++x;
        p += bytes;
      } while (x < width_ && p[0] == 255 && p[1] == 0 && p[2] == 255);
      rects.push_back(RECT{start, y, x, y + 1});
      bounds.left = std::min<LONG>(bounds.left, start);
      bounds.top = std::min<LONG>(bounds.top, y);
      bounds.right = std::max<LONG>(bounds.right, x);
      bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
    }
  }
  if (rects.empty()) return pv::UniqueRegion(::CreateRectRgn(0, 0, 0, 0));

  std::vector<std::uint8_t> block(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  auto* data = reinterpret_cast<RGNDATA*>(block.data());
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = static_cast<DWORD>(rects.size());
  data->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
  data->rdh.rcBound = bounds;
  std::memcpy(data->Buffer, rects.data(), rects.size() * sizeof(RECT));
  return pv::UniqueRegion(::ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data));
}

bool CHBitmap::ApplyColorShift(int hue, int saturation, int lightness) {
  if (!dib_) return false;
  const ShiftTable table = BuildShiftTable(hue, saturation, lightness);
  const int bytes = bitsPerPixel_ / 8;
  // Pictures repeat few colours; remember the last one.
  ColorRef lastIn = 0xFFFFFFFF;
  ColorRef lastOut = 0;
  for (int y = 0; y < height_; ++y) {
    std::uint8_t* p = bits_ + static_cast<std::ptrdiff_t>(y) * stride_;
    for (int x = 0; x < width_; ++x, p += bytes) {
      const int alpha = bytes == 4 ? p[3] : 255;
      if (alpha == 0) continue;  // premultiplied: nothing to shift
      int b = p[0], g = p[1], r = p[2];
      // 32-bit pixels are premultiplied; shifting those bytes directly could
      // push a colour above its alpha, which AlphaBlend turns into garbage.
      if (alpha < 255) {
        r = Unpremultiply(r, alpha);
        g = Unpremultiply(g, alpha);
        b = Unpremultiply(b, alpha);
      }
      const ColorRef in = MakeColorRef(r, g, b);
      if (in != lastIn) {
        lastIn = in;
        lastOut = ShiftColor(in, table);
      }
      r = lastOut & 0xFF;
      g = (lastOut >> 8) & 0xFF;
      b = (lastOut >> 16) & 0xFF;
      if (alpha < 255) {
        r = Premultiply(r, alpha);
        g = Premultiply(g, alpha);
        b = Premultiply(b, alpha);
      }
      p[0] = static_cast<std::uint8_t>(b);
      p[1] = static_cast<std::uint8_t>(g);
      p[2] = static_cast<std::uint8_t>(r);
    }
  }
  return true;
}

}  // namespace pv
