#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace pv {

// What the package builder needs to know about a setup executable's image.
struct PeImageInfo {
  std::uint32_t lfanew = 0;
  std::uint32_t locatorOffset = 0;      // e_lfanew - 4
  std::uint32_t imageEnd = 0;           // end of the last section's raw data: P
  std::uint32_t symbolTable = 0;        // COFF symbol table pointer (0 when stripped)
  std::uint32_t certificateOffset = 0;  // file offset of the certificate table directory entry
  std::uint32_t certificateSize = 0;    // size of the certificate table directory entry
};

// Reads the DOS and PE headers and the section table. On failure returns
// false with a message for the vendor in `error`.
bool ReadPeImage(std::span<const std::uint8_t> image, PeImageInfo& info, std::string& error);

}  // namespace pv
