#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pv {

// Reads the plain PNG pictures a skin is made of straight into the rows of a
// bitmap: 8-bit grey, grey with alpha, truecolour and truecolour with alpha,
// and palettes (1, 2, 4 or 8 bits, with or without transparency), not
// interlaced. Anything else (16-bit samples, interlacing, a transparent
// colour key, gamma or colour-profile chunks a system decoder would apply)
// is refused by Open, and the caller hands the bytes to the system's
// decoder. The bytes must outlive the decoder.
class PngDecoder {
 public:
  // Checks the signature, the header and every chunk (lengths and CRCs)
  // up to the end chunk; true when the picture is one this decoder reads.
  bool Open(const void* bytes, std::size_t size);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // 32-bit pixels with premultiplied alpha when the picture has any alpha
  // (an alpha channel or a palette with transparency), else 24-bit.
  bool HasAlpha() const { return alpha_; }

  // Inflates and unfilters the picture into `bits`, rows bottom-up and
  // `stride` bytes apart, as B, G, R (and premultiplied A) bytes. False when
  // the compressed data is broken or too short, or a palette index lies
  // outside the palette; the rows may then be partly written.
  bool DecodeInto(std::uint8_t* bits, std::size_t stride) const;

 private:
  struct Span {
    const std::uint8_t* data;
    std::size_t size;
  };

  bool ReadChunks(const void* bytes, std::size_t size);
  void ConvertRow(const std::uint8_t* row, std::uint8_t* out, bool& valid) const;

  int width_ = 0;
  int height_ = 0;
  int depth_ = 0;
  int colorType_ = 0;
  bool alpha_ = false;
  std::vector<Span> data_;
  // Palette entries as B, G, R, A.
  std::vector<std::uint8_t> palette_;
};

}  // namespace pv
