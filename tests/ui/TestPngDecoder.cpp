#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/PngSamples.h"
#include "ui/PngDecoder.h"

using namespace pv;
using namespace pv::test;

namespace {

// The picture as a DIB would hold it: rows bottom-up, padded to 4 bytes.
struct Decoded {
  bool opened = false;
  bool decoded = false;
  int width = 0;
  int height = 0;
  bool alpha = false;
  std::size_t stride = 0;
  std::vector<std::uint8_t> bits;

  // Pixel (x, y) from the top-left as B, G, R(, A) bytes.
  std::string At(int x, int y) const {
    const std::size_t bytes = alpha ? 4 : 3;
    const auto* p = bits.data() + static_cast<std::size_t>(height - 1 - y) * stride + x * bytes;
    return std::string(reinterpret_cast<const char*>(p), bytes);
  }
};

Decoded Decode(const std::string& png) {
  Decoded out;
  PngDecoder decoder;
  out.opened = decoder.Open(png.data(), png.size());
  if (!out.opened) {
    EXPECT_EQ(decoder.Width(), 0);
    EXPECT_EQ(decoder.Height(), 0);
    return out;
  }
  out.width = decoder.Width();
  out.height = decoder.Height();
  out.alpha = decoder.HasAlpha();
  out.stride = (static_cast<std::size_t>(out.width) * (out.alpha ? 32 : 24) + 31) / 32 * 4;
  out.bits.assign(out.stride * out.height, 0);
  out.decoded = decoder.DecodeInto(out.bits.data(), out.stride);
  return out;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

PngPicture Palette(int depth, int width, std::vector<std::string> rows, int entries) {
  PngPicture picture;
  picture.width = width;
  picture.height = static_cast<int>(rows.size());
  picture.depth = depth;
  picture.colorType = 3;
  picture.rows = std::move(rows);
  std::string palette;
  for (int i = 0; i < entries; ++i) palette += Bytes({i * 10, 100 + i, 255 - i});
  picture.before.push_back({"PLTE", palette});
  return picture;
}

}  // namespace

TEST(PngDecoder, ReadsEveryColourTypeIntoDibRows) {
  // Truecolour: B, G, R, rows bottom-up, a padded stride.
  PngPicture rgb;
  rgb.width = 3;
  rgb.height = 2;
  rgb.rows = {Bytes({255, 0, 0, 0, 255, 0, 0, 0, 255}), Bytes({10, 20, 30, 40, 50, 60, 70, 80, 90})};
  Decoded d = Decode(MakePng(rgb));
  ASSERT_TRUE(d.decoded);
  EXPECT_FALSE(d.alpha);
  EXPECT_EQ(d.At(0, 0), Bytes({0, 0, 255}));
  EXPECT_EQ(d.At(2, 0), Bytes({255, 0, 0}));
  EXPECT_EQ(d.At(1, 1), Bytes({60, 50, 40}));
  EXPECT_EQ(d.bits[0], 30);  // the first bytes in memory are the bottom row's
  EXPECT_EQ(d.bits[9], 0);   // padding stays untouched

  // Truecolour with alpha: premultiplied, rounded to nearest.
  PngPicture rgba;
  rgba.width = 2;
  rgba.colorType = 6;
  rgba.rows = {Bytes({255, 0, 0, 128, 200, 100, 50, 0})};
  d = Decode(MakePng(rgba));
  ASSERT_TRUE(d.decoded);
  EXPECT_TRUE(d.alpha);
  EXPECT_EQ(d.At(0, 0), Bytes({0, 0, 128, 128}));
  EXPECT_EQ(d.At(1, 0), Bytes({0, 0, 0, 0}));

  // Grey, and grey with alpha.
  PngPicture grey;
  grey.width = 2;
  grey.colorType = 0;
  grey.rows = {Bytes({7, 250})};
  d = Decode(MakePng(grey));
  ASSERT_TRUE(d.decoded);
  EXPECT_FALSE(d.alpha);
  EXPECT_EQ(d.At(1, 0), Bytes({250, 250, 250}));
  grey.colorType = 4;
  grey.width = 1;
  grey.rows = {Bytes({200, 64})};
  d = Decode(MakePng(grey));
  ASSERT_TRUE(d.decoded);
  EXPECT_TRUE(d.alpha);
  EXPECT_EQ(d.At(0, 0), Bytes({50, 50, 50, 64}));

  // Grey packed below a byte: samples scaled to the full range.
  for (const auto& [depth, row, last] : std::vector<std::tuple<int, std::string, int>>{
           {1, Bytes({0xA8}), 255}, {2, Bytes({0x1B, 0x40}), 85}, {4, Bytes({0x0F, 0x50, 0x50}), 85}}) {
    PngPicture packed;
    packed.width = 5;
    packed.colorType = 0;
    packed.depth = depth;
    packed.rows = {row};
    d = Decode(MakePng(packed));
    ASSERT_TRUE(d.decoded) << depth;
    EXPECT_EQ(d.At(0, 0), Bytes({depth == 1 ? 255 : 0, depth == 1 ? 255 : 0, depth == 1 ? 255 : 0})) << depth;
    EXPECT_EQ(d.At(4, 0), Bytes({last, last, last})) << depth;
  }
}

TEST(PngDecoder, ReadsPalettesPackedAndTransparent) {
  // Four bits a pixel, an odd width: the last byte is half used.
  Decoded d = Decode(MakePng(Palette(4, 3, {Bytes({0x12, 0x30})}, 4)));
  ASSERT_TRUE(d.decoded);
  EXPECT_FALSE(d.alpha);
  EXPECT_EQ(d.At(0, 0), Bytes({254, 101, 10}));
  EXPECT_EQ(d.At(2, 0), Bytes({252, 103, 30}));
  // One bit a pixel over two rows.
  d = Decode(MakePng(Palette(1, 9, {Bytes({0x80, 0x80}), Bytes({0x7F, 0x00})}, 2)));
  ASSERT_TRUE(d.decoded);
  EXPECT_EQ(d.At(0, 0), Bytes({254, 101, 10}));
  EXPECT_EQ(d.At(8, 0), Bytes({254, 101, 10}));
  EXPECT_EQ(d.At(1, 0), Bytes({255, 100, 0}));
  EXPECT_EQ(d.At(0, 1), Bytes({255, 100, 0}));

  // Transparency for the first entries, the rest opaque: 32 bits.
  PngPicture picture = Palette(8, 3, {Bytes({0, 1, 2})}, 3);
  picture.before.push_back({"tRNS", Bytes({0, 128})});
  d = Decode(MakePng(picture));
  ASSERT_TRUE(d.decoded);
  EXPECT_TRUE(d.alpha);
  EXPECT_EQ(d.At(0, 0), Bytes({0, 0, 0, 0}));
  EXPECT_EQ(d.At(1, 0), Bytes({127, 51, 5, 128}));
  EXPECT_EQ(d.At(2, 0), Bytes({253, 102, 20, 255}));
  // A table that keeps every entry opaque changes nothing.
  picture.before.back().second = Bytes({255, 255});
  EXPECT_FALSE(Decode(MakePng(picture)).alpha);

  // An index beyond the palette: the picture is refused while it is read.
  d = Decode(MakePng(Palette(8, 2, {Bytes({1, 2})}, 2)));
  EXPECT_TRUE(d.opened);
  EXPECT_FALSE(d.decoded);
}

TEST(PngDecoder, EveryFilterAndAnySplitOfTheDataGiveTheSamePicture) {
  for (int colorType : {2, 6, 0}) {
    PngPicture picture;
    picture.width = 17;
    picture.height = 9;
    picture.colorType = colorType;
    picture.rows = Gradient(picture.width, picture.height, SampleChannels(colorType));
    const Decoded plain = Decode(MakePng(picture));
    ASSERT_TRUE(plain.decoded);
    for (const std::vector<int>& filters : std::vector<std::vector<int>>{{1}, {2}, {3}, {4}, {4, 3, 2, 1, 0}}) {
      picture.filters = filters;
      for (std::size_t idat : {0, 1, 7}) {
        picture.idatSize = idat;
        const Decoded d = Decode(MakePng(picture));
        ASSERT_TRUE(d.decoded) << colorType << " " << filters[0] << " " << idat;
        EXPECT_EQ(d.bits, plain.bits) << colorType << " " << filters[0] << " " << idat;
      }
    }
  }
  // Chunks a reader may skip are skipped; a palette's suggestion in a
  // truecolour picture is ignored.
  PngPicture picture;
  picture.rows = {Bytes({1, 2, 3})};
  picture.before = {{"tEXt", "Comment\0x"}, {"pHYs", std::string(9, '\0')}, {"PLTE", Bytes({9, 9, 9})}};
  const Decoded d = Decode(MakePng(picture));
  ASSERT_TRUE(d.decoded);
  EXPECT_EQ(d.At(0, 0), Bytes({3, 2, 1}));
}

TEST(PngDecoder, LeavesToTheSystemWhatItDoesNotRead) {
  PngPicture good;
  good.width = 2;
  good.height = 2;
  good.rows = {Bytes({1, 2, 3, 4, 5, 6}), Bytes({7, 8, 9, 10, 11, 12})};
  const std::string png = MakePng(good);
  ASSERT_TRUE(Decode(png).decoded);

  // Not read at all: the system's decoder gets them.
  auto refused = [](PngPicture picture, const char* why) { EXPECT_FALSE(Decode(MakePng(picture)).opened) << why; };
  PngPicture picture = good;
  picture.depth = 16;
  refused(picture, "16-bit samples");
  picture = good;
  picture.interlace = 1;
  refused(picture, "interlaced");
  picture = good;
  picture.before = {{"tRNS", Bytes({0, 1, 0, 2, 0, 3})}};
  refused(picture, "a colour key");
  picture.before = {{"gAMA", Bytes({0, 0, 0xB1, 0x8F})}};
  refused(picture, "gamma");
  picture.before = {{"iCCP", "x"}};
  refused(picture, "a colour profile");
  picture.before = {{"ZZZZ", ""}};
  refused(picture, "an unknown critical chunk");
  picture = good;
  picture.colorType = 3;
  refused(picture, "a palette picture without a palette");
  picture.width = 0;
  refused(picture, "no width");
  picture = good;
  picture.width = 0x8000;
  refused(picture, "wider than a bitmap may be");
  picture = good;
  picture.colorType = 5;
  refused(picture, "no such colour type");

  // Broken files.
  EXPECT_FALSE(Decode("").opened);
  EXPECT_FALSE(Decode(png.substr(0, 8)).opened);
  EXPECT_FALSE(Decode(png.substr(0, png.size() - 12)).opened) << "no end chunk";
  EXPECT_FALSE(Decode(png.substr(0, png.size() - 1)).opened) << "cut in the end chunk";
  std::string flipped = png;
  flipped[45] ^= 1;  // inside the data: its CRC no longer matches
  EXPECT_FALSE(Decode(flipped).opened);
  std::string signature = png;
  signature[1] = 'Q';
  EXPECT_FALSE(Decode(signature).opened);
  std::string longer = png;
  longer[8 + 3] = 14;  // the header's length
  EXPECT_FALSE(Decode(longer).opened);
  std::string huge = png;
  huge[8 + 25 + 0] = '\x7F';  // a chunk length beyond the file
  EXPECT_FALSE(Decode(huge).opened);

  // Opened, then found short or broken while inflating.
  picture = good;
  picture.height = 3;  // one row less than the header says
  Decoded d = Decode(MakePng(picture));
  EXPECT_TRUE(d.opened);
  EXPECT_FALSE(d.decoded);
  picture = good;
  picture.filters = {5};
  d = Decode(MakePng(picture));
  EXPECT_TRUE(d.opened);
  EXPECT_FALSE(d.decoded);
  PngDecoder never;
  EXPECT_FALSE(never.DecodeInto(nullptr, 0));
}
