#include "app/PackageLayout.h"

#include <algorithm>
#include <cstring>

namespace pv {

namespace package {

bool BufferSource::ReadAt(std::uint64_t offset, void* out, std::size_t count) {
  if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
  if (count) std::memcpy(out, bytes_.data() + offset, count);
  return true;
}

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void WriteU32(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
  p[2] = static_cast<std::uint8_t>(value >> 16);
  p[3] = static_cast<std::uint8_t>(value >> 24);
}

namespace {

// e_lfanew - 4 for a header read from `source`, when the field can exist.
std::optional<std::uint32_t> LocatorOffsetOf(ByteSource& source) {
  std::uint8_t header[kDosHeaderSize];
  if (!source.ReadAt(0, header, sizeof header)) return std::nullopt;
  const std::uint32_t lfanew = ReadU32(header + kLfanewOffset);
  if (lfanew < 4) return std::nullopt;
  return lfanew - 4;
}

}  // namespace

std::uint32_t ReadLocator(ByteSource& source) {
  const auto at = LocatorOffsetOf(source);
  if (!at) return 0;
  std::uint8_t field[4];
  if (!source.ReadAt(*at, field, sizeof field)) return 0;
  return ReadU32(field);
}

std::optional<std::uint32_t> LocatorOffset(std::span<const std::uint8_t> image) {
  BufferSource source(image);
  const auto at = LocatorOffsetOf(source);
  if (!at || static_cast<std::uint64_t>(*at) + 4 > image.size()) return std::nullopt;
  return at;
}

std::optional<std::string> ReadConfigText(ByteSource& source) {
  // Package files are limited to 32-bit offsets; a larger file is not ours.
  const std::uint64_t size = source.Size();
  if (size > 0xFFFFFFFFull) return std::nullopt;
  const std::uint32_t locator = ReadLocator(source);
  if (locator == 0 || locator >= size) return std::nullopt;
  std::uint8_t field[4];
  if (!source.ReadAt(locator, field, sizeof field)) return std::nullopt;
  const std::uint32_t length = ReadU32(field);
  if (length > size - locator - 4) return std::nullopt;
  std::string text(length, '\0');
  if (!source.ReadAt(static_cast<std::uint64_t>(locator) + 4, text.data(), length)) return std::nullopt;
  return text;
}

PackageSpan CheckPackage(std::span<const std::uint8_t> image, std::uint32_t locator) {
  return CheckPackage(image, image.size(), locator);
}

PackageSpan CheckPackage(std::span<const std::uint8_t> image, std::uint64_t size, std::uint32_t locator) {
  PackageSpan span;
  span.locator = locator;
  // Reads a field the file has but the head does not hold: the head was cut
  // short by its reader.
  const auto held = [&](std::uint64_t end) { return end <= image.size(); };
  if (locator == 0 || locator > size) {
    span.result = kPkgInvalid;
    return span;
  }
  std::uint64_t rest = size - locator;
  if (rest < 4) {
    span.result = kPkgConfigInvalid;
    return span;
  }
  if (!held(locator + 4ull)) {
    span.result = kPkgReadFailed;
    return span;
  }
  span.configLength = ReadU32(image.data() + locator);
  if (4ull + span.configLength > rest) {
    span.result = kPkgConfigInvalid;
    return span;
  }
  const std::uint64_t lengthField = static_cast<std::uint64_t>(locator) + 4 + span.configLength;
  rest = size - lengthField;
  if (rest < 4) {
    span.result = kPkgContentInvalid;
    return span;
  }
  if (!held(lengthField + 4)) {
    span.result = kPkgReadFailed;
    return span;
  }
  span.archiveLength = ReadU32(image.data() + lengthField);
  // The archive may claim up to 4 bytes more than follow its length field.
  if (span.archiveLength > rest) {
    span.result = kPkgContentInvalid;
    return span;
  }
  span.archiveOffset = static_cast<std::size_t>(lengthField + 4);
  span.archivePresent = std::min<std::size_t>(span.archiveLength, static_cast<std::size_t>(size - span.archiveOffset));
  return span;
}

std::vector<std::uint8_t> ComposeUninstallerImage(std::span<const std::uint8_t> image, std::uint32_t locator,
                                                  const std::string& documentText) {
  const std::size_t keep = std::min<std::size_t>(locator, image.size());
  std::vector<std::uint8_t> out;
  out.reserve(keep + 4 + documentText.size());
  out.assign(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(keep));
  out.resize(keep + 4);
  WriteU32(out.data() + keep, static_cast<std::uint32_t>(documentText.size()));
  out.insert(out.end(), documentText.begin(), documentText.end());
  if (const auto at = LocatorOffset(std::span<const std::uint8_t>(out.data(), keep))) {
    WriteU32(out.data() + *at, locator);
  }
  ClearSignatureFields(std::span<std::uint8_t>(out.data(), keep));
  return out;
}

void ClearSignatureFields(std::span<std::uint8_t> header) {
  if (header.size() < kDosHeaderSize) return;
  const std::uint64_t pe = ReadU32(header.data() + kLfanewOffset);
  if (pe + 24 > header.size() || std::memcmp(header.data() + pe, "PE\0\0", 4) != 0) return;
  const std::uint64_t optional = pe + 24;
  const std::uint64_t optionalSize = header[pe + 20] | header[pe + 21] << 8;
  const std::uint64_t end = std::min<std::uint64_t>(optional + optionalSize, header.size());
  if (optional + 2 > end) return;
  const bool pe32plus = (header[optional] | header[optional + 1] << 8) == 0x20B;
  const std::uint64_t countAt = optional + (pe32plus ? 108 : 92);
  const std::uint64_t security = optional + (pe32plus ? 112 : 96) + 4 * 8;
  if (countAt + 4 <= end && ReadU32(header.data() + countAt) > 4 && security + 8 <= end) {
    WriteU32(header.data() + security, 0);
    WriteU32(header.data() + security + 4, 0);
  }
  // The installer's checksum no longer describes the file; 0 is "none".
  const std::uint64_t checksum = optional + 64;
  if (checksum + 4 <= end) WriteU32(header.data() + checksum, 0);
}

}  // namespace package

}  // namespace pv
