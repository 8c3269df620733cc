#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/ui/PngSamples.h"
#include "ui/CHBitmap.h"

using namespace pv;

namespace {

std::string ReadFile(const char* name) {
  std::ifstream in(std::string(PIVSET_SOURCE_DIR "/tests/ui/data/") + name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// B, G, R, A packed as PixelAt returns them.
constexpr std::uint32_t Bgra(int b, int g, int r, int a) {
  return static_cast<std::uint32_t>(b | (g << 8) | (r << 16) | (a << 24));
}

void Fill(CHBitmap& bitmap, std::uint32_t bgra) {
  const int bytes = bitmap.BitsPerPixel() / 8;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      std::memcpy(bitmap.Bits() + y * bitmap.Stride() + x * bytes, &bgra, bytes);
    }
  }
}

void SetPixel(CHBitmap& bitmap, int x, int y, std::uint32_t bgra) {
  const int bytes = bitmap.BitsPerPixel() / 8;
  std::memcpy(bitmap.Bits() + (bitmap.Height() - 1 - y) * bitmap.Stride() + x * bytes, &bgra, bytes);
}

void ExpectEmpty(const CHBitmap& b) {
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 0);
  EXPECT_EQ(b.BitsPerPixel(), 0);
  EXPECT_EQ(b.Stride(), 0);
  EXPECT_EQ(b.Bits(), nullptr);
  EXPECT_EQ(b.DC(), nullptr);
}

std::vector<RECT> RegionRects(HRGN region) {
  const DWORD size = ::GetRegionData(region, 0, nullptr);
  std::vector<std::uint8_t> block(size);
  auto* data = reinterpret_cast<RGNDATA*>(block.data());
  if (!size || !::GetRegionData(region, size, data)) return {};
  const RECT* rects = reinterpret_cast<const RECT*>(data->Buffer);
  return std::vector<RECT>(rects, rects + data->rdh.nCount);
}

}  // namespace

TEST(CHBitmap, DecodesAlphaToPremultiplied32Bits) {
  const std::string png = ReadFile("alpha.png");
  ASSERT_FALSE(png.empty());
  CHBitmap b;
  ASSERT_TRUE(b.Decode(png.data(), png.size()));
  EXPECT_EQ(b.BitsPerPixel(), 32);
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(b.Stride(), 8);
  EXPECT_EQ(b.ImageSize(), 16);
  EXPECT_GT(b.Header().biHeight, 0);  // bottom-up rows
  // The bytes themselves, read from the DIB: colours multiplied by alpha.
  EXPECT_EQ(b.PixelAt(0, 0), Bgra(0, 0, 128, 128));
  EXPECT_EQ(b.PixelAt(1, 0), Bgra(255, 0, 0, 255));
  EXPECT_EQ(b.PixelAt(0, 1), Bgra(0, 0, 0, 0));
  EXPECT_EQ(b.PixelAt(1, 1), Bgra(64, 64, 64, 64));
  // Row 0 of the pixel memory is the bottom row of the picture.
  EXPECT_EQ(b.Bits()[3], 0);
  EXPECT_EQ(b.Bits()[8 + 2], 128);
}

TEST(CHBitmap, DecodesOpaqueTo24Bits) {
  const std::string png = ReadFile("opaque.png");
  CHBitmap b;
  ASSERT_TRUE(b.Decode(png.data(), png.size()));
  EXPECT_EQ(b.BitsPerPixel(), 24);
  EXPECT_EQ(b.Stride(), 12);  // 9 bytes padded to 4
  EXPECT_EQ(b.PixelAt(0, 0), Bgra(0, 0, 255, 255));
  EXPECT_EQ(b.PixelAt(1, 0), Bgra(0, 255, 0, 255));
  EXPECT_EQ(b.PixelAt(2, 0), Bgra(255, 0, 0, 255));
  EXPECT_EQ(b.PixelAt(0, 1), Bgra(30, 20, 10, 255));
  EXPECT_EQ(b.PixelAt(3, 0), 0u);  // outside
}

TEST(CHBitmap, RefusesWhatDoesNotDecode) {
  CHBitmap b;
  ASSERT_TRUE(b.CreateDib(4, 4, 32));
  const std::string truncated = ReadFile("truncated.png");
  EXPECT_FALSE(b.Decode(truncated.data(), truncated.size()));
  ExpectEmpty(b);
  EXPECT_FALSE(b.Decode("not a picture", 13));
  EXPECT_FALSE(b.Decode(nullptr, 10));
  EXPECT_FALSE(b.Decode("x", 0));
  ExpectEmpty(b);
}

TEST(CHBitmap, CreateDibRefusesBadShapes) {
  CHBitmap b;
  ASSERT_TRUE(b.CreateDib(3, 2, 24));
  EXPECT_EQ(b.Stride(), 12);
  EXPECT_EQ(b.ImageSize(), 24);
  EXPECT_FALSE(b.CreateDib(3, 2, 16));
  ExpectEmpty(b);
  EXPECT_FALSE(b.CreateDib(0, 2, 32));
  EXPECT_FALSE(b.CreateDib(3, 0, 32));
  EXPECT_FALSE(b.CreateDib(-3, 2, 32));
  EXPECT_FALSE(b.CreateDib(100000, 100000, 32));  // larger than any int byte count
  ExpectEmpty(b);
  ASSERT_TRUE(b.CreateDib(3, 2, 32));
  EXPECT_EQ(b.Stride(), 12);
  EXPECT_EQ(b.Bits()[0], 0);
}

TEST(CHBitmap, CopyPixelsWantsTheExactSize) {
  CHBitmap source;
  ASSERT_TRUE(source.CreateDib(3, 2, 24));
  for (int i = 0; i < source.ImageSize(); ++i) source.Bits()[i] = static_cast<std::uint8_t>(i * 7);

  CHBitmap copy;
  ASSERT_TRUE(copy.CopyPixels(&source.Header(), source.Bits(), source.ImageSize()));
  EXPECT_EQ(copy.Width(), 3);
  EXPECT_EQ(copy.BitsPerPixel(), 24);
  EXPECT_EQ(std::memcmp(copy.Bits(), source.Bits(), source.ImageSize()), 0);
  EXPECT_NE(copy.Bits(), source.Bits());

  EXPECT_FALSE(copy.CopyPixels(&source.Header(), source.Bits(), source.ImageSize() - 1));
  ExpectEmpty(copy);
  EXPECT_FALSE(copy.CopyPixels(&source.Header(), source.Bits(), source.ImageSize() + 1));
  EXPECT_FALSE(copy.CopyPixels(&source.Header(), nullptr, source.ImageSize()));
  EXPECT_FALSE(copy.CopyPixels(nullptr, source.Bits(), source.ImageSize()));
  EXPECT_FALSE(copy.CopyPixels(&source.Header(), source.Bits(), 0));
  BITMAPINFOHEADER odd = source.Header();
  odd.biCompression = BI_BITFIELDS;
  EXPECT_FALSE(copy.CopyPixels(&odd, source.Bits(), source.ImageSize()));
  odd = source.Header();
  odd.biBitCount = 8;
  EXPECT_FALSE(copy.CopyPixels(&odd, source.Bits(), source.ImageSize()));
  odd = source.Header();
  odd.biHeight = -2;  // top-down rows would turn every row index around
  EXPECT_FALSE(copy.CopyPixels(&odd, source.Bits(), source.ImageSize()));
  ExpectEmpty(copy);
}

TEST(CHBitmap, LockAndUnlock) {
  CHBitmap b;
  EXPECT_FALSE(b.LockDC());  // nothing to lock
  EXPECT_EQ(b.UnlockDC(), nullptr);
  ASSERT_TRUE(b.CreateDib(2, 2, 24));
  EXPECT_TRUE(b.LockDC());
  EXPECT_NE(b.DC(), nullptr);
  EXPECT_EQ(::GetCurrentObject(b.DC(), OBJ_BITMAP), b.Dib());
  EXPECT_FALSE(b.LockDC());  // already locked
  EXPECT_EQ(b.UnlockDC(), b.Dib());
  EXPECT_EQ(b.DC(), nullptr);
  EXPECT_EQ(b.UnlockDC(), b.Dib());
  // Release unlocks too, and the DIB can be deleted since nothing holds it.
  EXPECT_TRUE(b.LockDC());
  b.Release();
  ExpectEmpty(b);
}

TEST(CHBitmap, DrawBlendsCopiesAndStretches) {
  CHBitmap target;
  ASSERT_TRUE(target.CreateDib(8, 4, 24));
  Fill(target, Bgra(255, 255, 255, 0));
  ASSERT_TRUE(target.LockDC());

  // 32 bits: premultiplied half red over white gives a light red.
  const std::string png = ReadFile("alpha.png");
  CHBitmap alpha;
  ASSERT_TRUE(alpha.Decode(png.data(), png.size()));
  EXPECT_TRUE(alpha.Draw(target.DC(), 0, 0, 2, 2, 0, 0, 2, 2));
  EXPECT_EQ(alpha.DC(), nullptr);
  const std::uint32_t blended = target.PixelAt(0, 0);
  EXPECT_NEAR(static_cast<int>((blended >> 16) & 0xFF), 255, 1);
  EXPECT_NEAR(static_cast<int>(blended & 0xFF), 127, 2);
  EXPECT_EQ(target.PixelAt(1, 0) & 0xFFFFFF, 0x0000FFu);  // opaque blue
  EXPECT_EQ(target.PixelAt(0, 1) & 0xFFFFFF, 0xFFFFFFu);  // clear: untouched

  // 24 bits at the same size: an exact copy, source measured from the top.
  CHBitmap opaque;
  const std::string rgb = ReadFile("opaque.png");
  ASSERT_TRUE(opaque.Decode(rgb.data(), rgb.size()));
  ASSERT_TRUE(opaque.LockDC());  // locked before the call: unlocked after it
  EXPECT_TRUE(opaque.Draw(target.DC(), 4, 0, 2, 1, 1, 1, 2, 1));
  EXPECT_EQ(opaque.DC(), nullptr);
  EXPECT_EQ(target.PixelAt(4, 0) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(target.PixelAt(5, 0) & 0xFFFFFF, 0x000000u);

  // 24 bits stretched: the top-left pixel (red) doubled.
  EXPECT_TRUE(opaque.Draw(target.DC(), 4, 2, 2, 2, 0, 0, 1, 1));
  for (int y : {2, 3}) {
    for (int x : {4, 5}) EXPECT_EQ(target.PixelAt(x, y) & 0xFFFFFF, 0xFF0000u) << x << "," << y;
  }

  CHBitmap empty;
  EXPECT_FALSE(empty.Draw(target.DC(), 0, 0, 1, 1, 0, 0, 1, 1));
  target.UnlockDC();
}

TEST(CHBitmap, MaskRegionCollectsMagentaRuns) {
  for (int bits : {24, 32}) {
    CHBitmap b;
    ASSERT_TRUE(b.CreateDib(5, 4, bits));
    Fill(b, Bgra(200, 200, 200, 255));
    pv::UniqueRegion none = b.MaskRegion();
    ASSERT_TRUE(none);
    RECT box;
    EXPECT_EQ(::GetRgnBox(none.get(), &box), NULLREGION);

    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) SetPixel(b, x, y, Bgra(255, 0, 255, 255));
    }
    SetPixel(b, 4, 3, Bgra(255, 0, 254, 255));  // almost magenta is not magenta
    pv::UniqueRegion corner = b.MaskRegion();
    ASSERT_TRUE(corner);
    // The runs (0, 0, 3, 1) and (0, 1, 3, 2); GDI may merge them into one band.
    pv::UniqueRegion expected(::CreateRectRgn(0, 0, 3, 1));
    pv::UniqueRegion second(::CreateRectRgn(0, 1, 3, 2));
    ::CombineRgn(expected.get(), expected.get(), second.get(), RGN_OR);
    EXPECT_TRUE(::EqualRgn(corner.get(), expected.get())) << bits;
    EXPECT_LE(RegionRects(corner.get()).size(), 2u);
    EXPECT_TRUE(::PtInRegion(corner.get(), 2, 1));
    EXPECT_FALSE(::PtInRegion(corner.get(), 3, 0));
  }
  // Two runs in one row and a run at the right edge.
  CHBitmap row;
  ASSERT_TRUE(row.CreateDib(6, 1, 24));
  for (int x : {0, 1, 3, 5}) SetPixel(row, x, 0, Bgra(255, 0, 255, 255));
  pv::UniqueRegion runs = row.MaskRegion();
  RECT box;
  ASSERT_EQ(::GetRgnBox(runs.get(), &box), COMPLEXREGION);
  EXPECT_TRUE(::PtInRegion(runs.get(), 5, 0));
  EXPECT_FALSE(::PtInRegion(runs.get(), 2, 0));
  EXPECT_FALSE(::PtInRegion(runs.get(), 4, 0));

  CHBitmap empty;
  pv::UniqueRegion nothing = empty.MaskRegion();
  ASSERT_TRUE(nothing);
  EXPECT_EQ(::GetRgnBox(nothing.get(), &box), NULLREGION);
}

TEST(CHBitmap, ColorShiftKeepsAlphaAndPremultiplication) {
  CHBitmap empty;
  EXPECT_FALSE(empty.ApplyColorShift(0, 0, 200));

  const std::string png = ReadFile("alpha.png");
  CHBitmap b;
  ASSERT_TRUE(b.Decode(png.data(), png.size()));
  ASSERT_TRUE(b.ApplyColorShift(0, 0, 200));
  // White at each pixel's own opacity.
  EXPECT_EQ(b.PixelAt(0, 0), Bgra(128, 128, 128, 128));
  EXPECT_EQ(b.PixelAt(1, 0), Bgra(255, 255, 255, 255));
  EXPECT_EQ(b.PixelAt(0, 1), Bgra(0, 0, 0, 0));
  EXPECT_EQ(b.PixelAt(1, 1), Bgra(64, 64, 64, 64));

  CHBitmap rgb;
  const std::string opaque = ReadFile("opaque.png");
  ASSERT_TRUE(rgb.Decode(opaque.data(), opaque.size()));
  ASSERT_TRUE(rgb.ApplyColorShift(0, 0, -200));
  for (int x = 0; x < 3; ++x) EXPECT_EQ(rgb.PixelAt(x, 0), Bgra(0, 0, 0, 255));
  // Pure red turned half way round is cyan.
  ASSERT_TRUE(rgb.Decode(opaque.data(), opaque.size()));
  ASSERT_TRUE(rgb.ApplyColorShift(180, 0, 0));
  const std::uint32_t cyan = rgb.PixelAt(0, 0);
  EXPECT_LT(static_cast<int>((cyan >> 16) & 0xFF), 8);
  EXPECT_GT(static_cast<int>(cyan & 0xFF), 240);
  EXPECT_GT(static_cast<int>((cyan >> 8) & 0xFF), 240);
}

TEST(CHBitmap, GdiplusStopsWithTheLastBitmapAndStartsAgain) {
  ASSERT_EQ(CHBitmap::LiveCount(), 0) << "another test leaked a bitmap";
  const std::string png = ReadFile("opaque.png");
  {
    CHBitmap first;
    EXPECT_EQ(CHBitmap::LiveCount(), 1);
    ASSERT_TRUE(first.DecodeThroughGdiplus(png.data(), png.size()));
    EXPECT_TRUE(CHBitmap::GdiplusRunning());
    auto* second = new CHBitmap;  // created and deleted by its users with new
    EXPECT_EQ(CHBitmap::LiveCount(), 2);
    delete second;
    EXPECT_TRUE(CHBitmap::GdiplusRunning());  // one bitmap still lives
  }
  EXPECT_EQ(CHBitmap::LiveCount(), 0);
  EXPECT_FALSE(CHBitmap::GdiplusRunning());
  CHBitmap again;
  ASSERT_TRUE(again.Decode(png.data(), png.size()));
  EXPECT_FALSE(CHBitmap::GdiplusRunning()) << "a plain PNG needs no GDI+";
  ASSERT_TRUE(again.DecodeThroughGdiplus(png.data(), png.size()));
  EXPECT_TRUE(CHBitmap::GdiplusRunning());
  EXPECT_EQ(again.PixelAt(1, 0), Bgra(0, 255, 0, 255));
}

// The own PNG reader and GDI+ give the same bytes: for the skin's pictures
// and for a picture of each colour type the reader takes.
TEST(CHBitmap, PlainPngsDecodeAsGdiplusDecodesThem) {
  std::vector<std::pair<std::string, std::string>> pictures;
  for (const auto& entry : std::filesystem::directory_iterator(PIVSET_SOURCE_DIR "/resources/skin/images")) {
    std::ifstream in(entry.path(), std::ios::binary);
    pictures.emplace_back(entry.path().filename().string(),
                          std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  }
  ASSERT_GT(pictures.size(), 10u);
  for (int colorType : {0, 2, 4, 6}) {
    test::PngPicture picture;
    picture.width = 13;
    picture.height = 5;
    picture.colorType = colorType;
    picture.filters = {0, 1, 2, 3, 4};
    picture.rows = test::Gradient(picture.width, picture.height, test::SampleChannels(colorType));
    pictures.emplace_back("colour type " + std::to_string(colorType), test::MakePng(picture));
  }
  test::PngPicture palette;
  palette.width = 7;
  palette.colorType = 3;
  palette.depth = 4;
  palette.rows = {std::string("\x01\x23\x45\x60", 4)};
  palette.before = {{"PLTE", std::string("\x10\x20\x30\x40\x50\x60\x70\x80\x90\xA0\xB0\xC0\xD0\xE0\xF0\xFF\x00\x01"
                                         "\x02\x03\x04",
                                         21)}};
  pictures.emplace_back("palette", test::MakePng(palette));
  palette.before.push_back({"tRNS", std::string("\x00\x80\xFF\x40", 4)});
  pictures.emplace_back("palette with transparency", test::MakePng(palette));

  for (const auto& [name, bytes] : pictures) {
    CHBitmap own;
    CHBitmap system;
    ASSERT_TRUE(own.Decode(bytes.data(), bytes.size())) << name;
    ASSERT_TRUE(system.DecodeThroughGdiplus(bytes.data(), bytes.size())) << name;
    // GDI+ makes grey pictures 32-bit and opaque; PixelAt reads 24 bits as opaque.
    ASSERT_EQ(own.Width(), system.Width()) << name;
    ASSERT_EQ(own.Height(), system.Height()) << name;
    int differing = 0;
    for (int y = 0; y < own.Height(); ++y) {
      for (int x = 0; x < own.Width(); ++x) differing += own.PixelAt(x, y) != system.PixelAt(x, y);
    }
    EXPECT_EQ(differing, 0) << name;
  }
}
