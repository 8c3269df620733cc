#pragma once

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "json/JValue.h"

namespace pv {

// Puts a package behind a setup executable's image:
//   image up to the end of its last section (P), then L, the configuration,
//   Z and the archive; the locator P goes into the four free bytes before
//   the PE signature.
// The configuration must parse with our reader and hold "mode"; it is stored
// in the compact form the program itself writes, with the archive's CRC-32
// under "zcrc32" (package::kArchiveCrcKey) when there is an archive. An empty archive makes an
// image without archive (an uninstaller-style package).
bool BuildInstaller(std::span<const std::uint8_t> stub, const std::string& configText,
                    std::span<const std::uint8_t> archive, bool withArchive, std::vector<std::uint8_t>& out,
                    std::string& error);

// The same from an archive file (nullptr: none) into an installer file,
// both opened by the caller (OpenBinaryFile): the archive is read a piece at
// a time, for its checksum, its check and its copy, so memory does not grow
// with it.
bool BuildInstallerFile(std::span<const std::uint8_t> stub, const std::string& configText, std::FILE* archive,
                        std::FILE* out, std::string& error);

// The product definition a setup stub was built for (its public fields);
// false when the image does not record one.
bool StubDefinition(std::span<const std::uint8_t> image, JValue& product);

// The product a setup stub was built for ("Pellio (folder Tervaset\\Orvane,
// ...)"), or "" when the image does not record one.
std::string StubProduct(std::span<const std::uint8_t> image);

// Reads an installer back: prints the locator, the lengths, the
// configuration, the archive's entry count and each entry's name with the
// encoding it is stored in (names without the UTF-8 marks shown in
// `codePage`) to `report`, and checks that everything fits, the
// configuration parses with "mode", the archive matches its checksum when
// the configuration has one, every name is valid in its encoding and
// every entry of the archive decompresses with a matching CRC. True when all
// checks pass.
bool InspectInstaller(std::span<const std::uint8_t> file, std::ostream& report, unsigned codePage = 936);

}  // namespace pv
