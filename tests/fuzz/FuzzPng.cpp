// Reads arbitrary bytes as a PNG picture. The chunks' CRCs are put right
// first, so mutations reach the header, the chunk walk and the inflating
// rows instead of stopping at the first checksum. Whatever the bytes, the
// reader stays inside them and inside the rows it is given.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ui/PngDecoder.h"

using namespace pv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  for (std::size_t at = 8; at + 12 <= bytes.size();) {
    const std::size_t length =
        (std::size_t{bytes[at]} << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
    if (length > bytes.size() - at - 12) break;
    const uLong crc = crc32(0L, bytes.data() + at + 4, static_cast<uInt>(length + 4));
    for (int i = 0; i < 4; ++i) bytes[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }

  PngDecoder decoder;
  if (!decoder.Open(bytes.data(), bytes.size())) {
    if (decoder.Width() != 0 || decoder.Height() != 0) std::abort();
    return 0;
  }
  if (decoder.Width() <= 0 || decoder.Height() <= 0 || decoder.Width() > 0x7FFF || decoder.Height() > 0x7FFF)
    std::abort();
  // Pictures of more than four million pixels are opened but not drawn here.
  if (static_cast<long long>(decoder.Width()) * decoder.Height() > (1 << 22)) return 0;
  const std::size_t stride = (static_cast<std::size_t>(decoder.Width()) * (decoder.HasAlpha() ? 32 : 24) + 31) / 32 * 4;
  std::vector<std::uint8_t> rows(stride * decoder.Height());
  decoder.DecodeInto(rows.data(), stride);
  return 0;
}
