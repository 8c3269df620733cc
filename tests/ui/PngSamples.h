#pragma once

// PNG files made in memory, for the tests of the PNG reader: every colour
// type and filter, chunks split and added at will.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pv::test {

inline void PutBigEndian(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

inline std::string Chunk(const std::string& type, const std::string& data) {
  std::string out;
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::string body = type + data;
  out += body;
  PutBigEndian(out, static_cast<std::uint32_t>(
                        crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
  return out;
}

inline int SampleChannels(int colorType) { return colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1; }

// Filters one row (its raw bytes) with `filter` against the row above.
inline std::string FilterRow(int filter, const std::string& row, const std::string& prior, std::size_t step) {
  std::string out(1, static_cast<char>(filter));
  for (std::size_t i = 0; i < row.size(); ++i) {
    const int x = static_cast<std::uint8_t>(row[i]);
    const int a = i >= step ? static_cast<std::uint8_t>(row[i - step]) : 0;
    const int b = static_cast<std::uint8_t>(prior[i]);
    const int c = i >= step ? static_cast<std::uint8_t>(prior[i - step]) : 0;
    int predicted = 0;
    if (filter == 1) predicted = a;
    if (filter == 2) predicted = b;
    if (filter == 3) predicted = (a + b) / 2;
    if (filter == 4) {
      const int p = a + b - c;
      const int pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p, pc = p > c ? p - c : c - p;
      predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    }
    out.push_back(static_cast<char>((x - predicted) & 0xFF));
  }
  return out;
}

struct PngPicture {
  int width = 1;
  int height = 1;
  int depth = 8;
  int colorType = 2;
  int interlace = 0;
  // Raw rows (no filter bytes), one string per row.
  std::vector<std::string> rows;
  // Filter of row y is filters[y % size]; none given means 0.
  std::vector<int> filters;
  // Chunks written between the header and the data, in order.
  std::vector<std::pair<std::string, std::string>> before;
  // Largest IDAT chunk; 0 puts all data in one.
  std::size_t idatSize = 0;
};

inline std::string MakePng(const PngPicture& picture) {
  std::string header;
  PutBigEndian(header, static_cast<std::uint32_t>(picture.width));
  PutBigEndian(header, static_cast<std::uint32_t>(picture.height));
  header.push_back(static_cast<char>(picture.depth));
  header.push_back(static_cast<char>(picture.colorType));
  header += std::string(2, '\0');
  header.push_back(static_cast<char>(picture.interlace));

  const std::size_t step = std::max<std::size_t>(1, SampleChannels(picture.colorType) * picture.depth / 8);
  std::string raw;
  std::string prior;
  for (std::size_t y = 0; y < picture.rows.size(); ++y) {
    if (prior.size() != picture.rows[y].size()) prior.assign(picture.rows[y].size(), '\0');
    const int filter = picture.filters.empty() ? 0 : picture.filters[y % picture.filters.size()];
    raw += FilterRow(filter, picture.rows[y], prior, step);
    prior = picture.rows[y];
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packedSize, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), 9);
  packed.resize(packedSize);

  std::string out("\x89PNG\r\n\x1a\n", 8);
  out += Chunk("IHDR", header);
  for (const auto& [type, data] : picture.before) out += Chunk(type, data);
  const std::size_t piece = picture.idatSize ? picture.idatSize : packed.size();
  for (std::size_t at = 0; at < packed.size(); at += piece) out += Chunk("IDAT", packed.substr(at, piece));
  out += Chunk("IEND", "");
  return out;
}

// A picture of `width` x `height` pixels of `channels` bytes each whose
// bytes vary along both axes, so every filter has work to do.
inline std::vector<std::string> Gradient(int width, int height, int channels) {
  std::vector<std::string> rows;
  for (int y = 0; y < height; ++y) {
    std::string row;
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c) row.push_back(static_cast<char>((x * 37 + y * 11 + c * 71 + x * y) & 0xFF));
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace pv::test
