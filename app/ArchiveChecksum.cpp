#include "app/ArchiveChecksum.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace pv {

namespace package {

std::uint32_t ArchiveCrc(std::span<const std::uint8_t> archive) {
  return ArchiveCrc(static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0)), archive);
}

std::uint32_t ArchiveCrc(std::uint32_t start, std::span<const std::uint8_t> archive) {
  uLong crc = start;
  // zlib takes lengths as uInt: feed it in pieces.
  std::size_t done = 0;
  while (done < archive.size()) {
    const std::size_t piece = std::min<std::size_t>(archive.size() - done, 1u << 30);
    crc = crc32(crc, archive.data() + done, static_cast<uInt>(piece));
    done += piece;
  }
  return static_cast<std::uint32_t>(crc);
}

std::string FormatArchiveCrc(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(crc));
  return text;
}

ArchiveCrcCheck CheckArchiveCrc(const JValue& config, std::span<const std::uint8_t> archive,
                                std::uint64_t archiveLength) {
  if (!config.Has(kArchiveCrcKey)) return ArchiveCrcCheck::kAbsent;
  if (archive.size() != archiveLength) return ArchiveCrcCheck::kMismatch;
  return CheckArchiveCrc(config, ArchiveCrc(archive), archive.size(), archiveLength);
}

ArchiveCrcCheck CheckArchiveCrc(const JValue& config, std::uint32_t crc, std::uint64_t present,
                                std::uint64_t archiveLength) {
  if (!config.Has(kArchiveCrcKey)) return ArchiveCrcCheck::kAbsent;
  const JValue& value = config.Find(kArchiveCrcKey);
  if (value.Type() != JString || present != archiveLength) return ArchiveCrcCheck::kMismatch;
  return std::strcmp(value.ToText(), FormatArchiveCrc(crc).c_str()) == 0 ? ArchiveCrcCheck::kMatches
                                                                         : ArchiveCrcCheck::kMismatch;
}

}  // namespace package

}  // namespace pv
