#pragma once

// The checksum of an installer's archive: the package builder stores the
// CRC-32 of the Z archive bytes in the install configuration, so a download
// or a disk that damaged any byte of them is caught before anything is
// touched. The key is ours; other builders do not write it, and the uninstall
// document does not carry it.

#include <cstdint>
#include <span>
#include <string>

#include "json/JValue.h"

namespace pv {

namespace package {

// The key in the install configuration; the value is the CRC as 8 lower-case
// hexadecimal digits.
inline constexpr const char* kArchiveCrcKey = "zcrc32";

std::uint32_t ArchiveCrc(std::span<const std::uint8_t> archive);
// Continues `crc` (the CRC of the bytes before) over `more`.
std::uint32_t ArchiveCrc(std::uint32_t crc, std::span<const std::uint8_t> more);
std::string FormatArchiveCrc(std::uint32_t crc);

enum class ArchiveCrcCheck {
  kAbsent,  // no key: the archive is to be checked entry by entry
  kMatches,
  kMismatch,  // the bytes differ from what was built, or the value is not a CRC
};

// Compares the configuration's checksum with the archive bytes present;
// `archiveLength` is Z as stored, so an archive with bytes missing at its end
// never matches.
ArchiveCrcCheck CheckArchiveCrc(const JValue& config, std::span<const std::uint8_t> archive,
                                std::uint64_t archiveLength);
// The same with the CRC of the `present` bytes computed by the caller.
ArchiveCrcCheck CheckArchiveCrc(const JValue& config, std::uint32_t crc, std::uint64_t present,
                                std::uint64_t archiveLength);

}  // namespace package

}  // namespace pv
