#include "ui/PngDecoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "ui/ColorShift.h"

namespace pv {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// The largest side a bitmap of this program takes.
constexpr std::uint32_t kMaxSide = 0x7FFF;

std::uint32_t ReadBigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

bool IsType(const std::uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

int Channels(int colorType) {
  switch (colorType) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;  // grey, palette
  }
}

bool Readable(int colorType, int depth) {
  switch (colorType) {
    case 0:
    case 3:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8;
    default:
      return false;
  }
}

// The sample of pixel x in a row packed `depth` bits per pixel, high bits first.
int PackedSample(const std::uint8_t* row, int x, int depth) {
  const int bit = x * depth;
  return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1);
}

int Paeth(int left, int up, int upLeft) {
  const int estimate = left + up - upLeft;
  const int toLeft = estimate > left ? estimate - left : left - estimate;
  const int toUp = estimate > up ? estimate - up : up - estimate;
  const int toUpLeft = estimate > upLeft ? estimate - upLeft : upLeft - estimate;
  if (toLeft <= toUp && toLeft <= toUpLeft) return left;
  return toUp <= toUpLeft ? up : upLeft;
}

bool Unfilter(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t size, std::size_t step) {
  switch (filter) {
    case 0:
      return true;
    case 1:
      for (std::size_t i = step; i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - step]);
      return true;
    case 2:
      for (std::size_t i = 0; i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      return true;
    case 3:
      for (std::size_t i = 0; i < size; ++i) {
        const int left = i >= step ? row[i - step] : 0;
        row[i] = static_cast<std::uint8_t>(row[i] + ((left + prior[i]) >> 1));
      }
      return true;
    case 4:
      for (std::size_t i = 0; i < size; ++i) {
        const int left = i >= step ? row[i - step] : 0;
        const int upLeft = i >= step ? prior[i - step] : 0;
        row[i] = static_cast<std::uint8_t>(row[i] + Paeth(left, prior[i], upLeft));
      }
      return true;
    default:
      return false;
  }
}

struct Inflater {
  z_stream stream{};
  bool ready = inflateInit(&stream) == Z_OK;
  Inflater() = default;
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

}  // namespace

bool PngDecoder::Open(const void* bytes, std::size_t size) {
  *this = PngDecoder();
  if (ReadChunks(bytes, size)) return true;
  *this = PngDecoder();
  return false;
}

bool PngDecoder::ReadChunks(const void* bytes, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  if (!p || size < sizeof kSignature || std::memcmp(p, kSignature, sizeof kSignature) != 0) return false;
  std::size_t at = sizeof kSignature;
  bool header = false;
  bool ended = false;
  std::vector<std::uint8_t> transparency;
  while (!ended && size - at >= 12) {
    const std::uint32_t length = ReadBigEndian(p + at);
    if (length > 0x7FFFFFFF || length > size - at - 12) return false;
    const std::uint8_t* type = p + at + 4;
    const std::uint8_t* data = type + 4;
    if (crc32(0L, type, length + 4) != ReadBigEndian(data + length)) return false;
    at += 12 + std::size_t{length};
    if (!header) {
      if (!IsType(type, "IHDR") || length != 13) return false;
      const std::uint32_t width = ReadBigEndian(data);
      const std::uint32_t height = ReadBigEndian(data + 4);
      if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return false;
      depth_ = data[8];
      colorType_ = data[9];
      // Compression and filter method 0 are the only ones there are;
      // interlaced pictures go to the system's decoder.
      if (!Readable(colorType_, depth_) || data[10] != 0 || data[11] != 0 || data[12] != 0) return false;
      width_ = static_cast<int>(width);
      height_ = static_cast<int>(height);
      header = true;
    } else if (IsType(type, "IEND")) {
      ended = true;
    } else if (IsType(type, "IDAT")) {
      if (length) data_.push_back(Span{data, length});
    } else if (IsType(type, "PLTE")) {
      if (colorType_ != 3) continue;  // a suggestion for truecolour, meaningless for grey
      if (!palette_.empty() || !data_.empty() || length == 0 || length % 3 || length / 3 > 256) return false;
      palette_.resize(length / 3 * 4);
      for (std::uint32_t i = 0; i < length / 3; ++i) {
        palette_[i * 4] = data[i * 3 + 2];
        palette_[i * 4 + 1] = data[i * 3 + 1];
        palette_[i * 4 + 2] = data[i * 3];
        palette_[i * 4 + 3] = 255;
      }
    } else if (IsType(type, "tRNS")) {
      // A transparent colour key for grey or truecolour is left to the
      // system's decoder.
      if (colorType_ != 3 || palette_.empty() || !data_.empty() || length > palette_.size() / 4) return false;
      transparency.assign(data, data + length);
    } else if (IsType(type, "gAMA") || IsType(type, "cHRM") || IsType(type, "iCCP")) {
      return false;  // colours a system decoder would correct
    } else if ((type[0] & 0x20) == 0) {
      return false;  // an unknown chunk that must be understood
    }
  }
  if (!ended || data_.empty() || (colorType_ == 3 && palette_.empty())) return false;
  for (std::size_t i = 0; i < transparency.size(); ++i) palette_[i * 4 + 3] = transparency[i];
  alpha_ = colorType_ == 4 || colorType_ == 6 ||
           std::any_of(transparency.begin(), transparency.end(), [](std::uint8_t a) { return a != 255; });
  return true;
}

void PngDecoder::ConvertRow(const std::uint8_t* row, std::uint8_t* out, bool& valid) const {
  switch (colorType_) {
    case 2:
      for (int x = 0; x < width_; ++x, row += 3, out += 3) {
        out[0] = row[2];
        out[1] = row[1];
        out[2] = row[0];
      }
      break;
    case 6:
      for (int x = 0; x < width_; ++x, row += 4, out += 4) {
        const int a = row[3];
        out[0] = Premultiply(row[2], a);
        out[1] = Premultiply(row[1], a);
        out[2] = Premultiply(row[0], a);
        out[3] = static_cast<std::uint8_t>(a);
      }
      break;
    case 4:
      for (int x = 0; x < width_; ++x, row += 2, out += 4) {
        const std::uint8_t grey = Premultiply(row[0], row[1]);
        out[0] = out[1] = out[2] = grey;
        out[3] = row[1];
      }
      break;
    case 0: {
      const int top = (1 << depth_) - 1;
      for (int x = 0; x < width_; ++x, out += 3) {
        const int sample = depth_ == 8 ? row[x] : PackedSample(row, x, depth_);
        out[0] = out[1] = out[2] = static_cast<std::uint8_t>(sample * 255 / top);
      }
      break;
    }
    default: {
      const std::size_t entries = palette_.size() / 4;
      for (int x = 0; x < width_; ++x) {
        const auto index = static_cast<std::size_t>(depth_ == 8 ? row[x] : PackedSample(row, x, depth_));
        if (index >= entries) {
          valid = false;
          return;
        }
        const std::uint8_t* entry = &palette_[index * 4];
        if (alpha_) {
          out[0] = Premultiply(entry[0], entry[3]);
          out[1] = Premultiply(entry[1], entry[3]);
          out[2] = Premultiply(entry[2], entry[3]);
          out[3] = entry[3];
          out += 4;
        } else {
          out[0] = entry[0];
          out[1] = entry[1];
          out[2] = entry[2];
          out += 3;
        }
      }
      break;
    }
  }
}

bool PngDecoder::DecodeInto(std::uint8_t* bits, std::size_t stride) const {
  if (!bits || width_ <= 0 || data_.empty()) return false;
  const std::size_t bitsPerPixel = static_cast<std::size_t>(Channels(colorType_)) * depth_;
  const std::size_t rowSize = (static_cast<std::size_t>(width_) * bitsPerPixel + 7) / 8;
  const std::size_t step = std::max<std::size_t>(1, bitsPerPixel / 8);
  std::vector<std::uint8_t> prior(rowSize, 0);
  std::vector<std::uint8_t> row(rowSize + 1);  // the filter byte, then the row
  Inflater inflater;
  if (!inflater.ready) return false;
  z_stream& z = inflater.stream;
  std::size_t nextSpan = 0;
  bool valid = true;
  for (int y = 0; y < height_; ++y) {
    z.next_out = row.data();
    z.avail_out = static_cast<uInt>(row.size());
    while (z.avail_out) {
      if (z.avail_in == 0) {
        if (nextSpan == data_.size()) return false;
        z.next_in = const_cast<Bytef*>(data_[nextSpan].data);
        z.avail_in = static_cast<uInt>(data_[nextSpan].size);
        ++nextSpan;
      }
      const int status = inflate(&z, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        if (z.avail_out) return false;  // the data ends before the picture does
        break;
      }
      if (status != Z_OK && !(status == Z_BUF_ERROR && z.avail_in == 0)) return false;
    }
    if (!Unfilter(row[0], row.data() + 1, prior.data(), rowSize, step)) return false;
    ConvertRow(row.data() + 1, bits + static_cast<std::size_t>(height_ - 1 - y) * stride, valid);
    if (!valid) return false;
    std::memcpy(prior.data(), row.data() + 1, rowSize);
  }
  return true;
}

}  // namespace pv
