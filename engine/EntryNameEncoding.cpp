#include "engine/EntryNameEncoding.h"

#include <zlib.h>

namespace pv {

namespace {

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

EntryNameSource SelectEntryName(std::uint16_t flags, std::string_view rawName, std::span<const std::uint8_t> extra) {
  if (flags & kZipFlagUtf8) return {EntryNameEncoding::kUtf8Flag, rawName};
  std::size_t at = 0;
  while (extra.size() - at >= 4) {
    const std::uint16_t id = U16(extra.data() + at);
    const std::size_t size = U16(extra.data() + at + 2);
    if (size > extra.size() - at - 4) break;  // a block that runs past the field: the rest is not ours to read
    const std::uint8_t* data = extra.data() + at + 4;
    // Version (1), CRC-32 of the raw name (4), the UTF-8 name.
    if (id == kZipUnicodePathField && size >= 5 && data[0] == 1) {
      const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(rawName.data()),
                              static_cast<uInt>(rawName.size()));
      if (U32(data + 1) == static_cast<std::uint32_t>(crc))
        return {EntryNameEncoding::kUnicodePath, std::string_view(reinterpret_cast<const char*>(data + 5), size - 5)};
    }
    at += 4 + size;
  }
  return {EntryNameEncoding::kCodePage, rawName};
}

bool DecodeUtf8Name(std::string_view utf8, std::u16string& out) {
  out.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    char32_t c;
    std::size_t length;
    char32_t least;
    if (b < 0x80) {
      c = b;
      length = 1;
      least = 0;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F;
      length = 2;
      least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F;
      length = 3;
      least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07;
      length = 4;
      least = 0x10000;
    } else {
      return false;  // a continuation byte without a lead, or 0xF8 and above
    }
    if (length > n - i) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      c = c << 6 | (p[i + k] & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || c == 0) return false;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += length;
  }
  return true;
}

const char* EntryNameEncodingName(EntryNameEncoding encoding) {
  switch (encoding) {
    case EntryNameEncoding::kUtf8Flag:
      return "utf-8";
    case EntryNameEncoding::kUnicodePath:
      return "utf-8 (0x7075 field)";
    case EntryNameEncoding::kCodePage:
      break;
  }
  return "code page";
}

}  // namespace pv
