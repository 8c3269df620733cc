#include "tools/pivpack/PeImage.h"

#include "app/PackageLayout.h"

namespace pv {

namespace {

std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool ReadPeImage(std::span<const std::uint8_t> image, PeImageInfo& info, std::string& error) {
  using package::ReadU32;
  info = {};
  if (image.size() < package::kDosHeaderSize || image[0] != 'M' || image[1] != 'Z') {
    error = "not a Windows executable (no MZ header)";
    return false;
  }
  info.lfanew = ReadU32(image.data() + package::kLfanewOffset);
  // PE signature (4) + file header (20) must fit.
  if (info.lfanew < package::kDosHeaderSize || info.lfanew > image.size() || image.size() - info.lfanew < 24) {
    error = "PE header offset outside the file";
    return false;
  }
  const std::uint8_t* pe = image.data() + info.lfanew;
  if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
    error = "no PE signature";
    return false;
  }
  info.locatorOffset = info.lfanew - 4;
  const std::uint16_t sections = ReadU16(pe + 6);
  info.symbolTable = ReadU32(pe + 12);
  const std::uint16_t optionalSize = ReadU16(pe + 20);
  const std::uint64_t optionalAt = static_cast<std::uint64_t>(info.lfanew) + 24;
  const std::uint64_t tableAt = optionalAt + optionalSize;
  if (tableAt + 40ull * sections > image.size()) {
    error = "section table outside the file";
    return false;
  }
  // The certificate table is data directory 4; its place depends on PE32/PE32+.
  if (optionalSize >= 2) {
    const std::uint16_t magic = ReadU16(image.data() + optionalAt);
    const std::uint64_t dirs = optionalAt + (magic == 0x20B ? 112 : 96);
    const std::uint64_t cert = dirs + 4 * 8;
    if (cert + 8 <= tableAt) {
      info.certificateOffset = ReadU32(image.data() + cert);
      info.certificateSize = ReadU32(image.data() + cert + 4);
    }
  }
  std::uint64_t end = 0;
  for (std::uint16_t i = 0; i < sections; ++i) {
    const std::uint8_t* s = image.data() + tableAt + 40ull * i;
    const std::uint64_t rawSize = ReadU32(s + 16);
    const std::uint64_t rawAt = ReadU32(s + 20);
    if (rawSize == 0) continue;
    if (rawAt + rawSize > end) end = rawAt + rawSize;
  }
  if (end == 0 || end > image.size()) {
    error = "sections run past the end of the file";
    return false;
  }
  info.imageEnd = static_cast<std::uint32_t>(end);
  return true;
}

}  // namespace pv
