#pragma once

// The package behind the setup executable's program image, as bytes:
//
//   e_lfanew - 4   u32 locator P (0: no package)      e_lfanew = u32 at offset 60
//   P              u32 configuration length L
//   P + 4          L bytes of UTF-8 JSON
//   P + 4 + L      u32 archive length Z (installer only)
//   P + 8 + L      Z bytes of ZIP archive
//   ...            never read (padding, a certificate table)
//
// All integers are little-endian. Everything here works on byte sources and
// buffers, checks every length against what is really there before using it,
// and never reads outside the data.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/EngineResult.h"

namespace pv {

namespace package {

inline constexpr std::size_t kDosHeaderSize = 64;
inline constexpr std::size_t kLfanewOffset = 60;

// Random-access reading of a file or a buffer. ReadAt succeeds only when all
// `count` bytes were read.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  virtual bool ReadAt(std::uint64_t offset, void* out, std::size_t count) = 0;
};

class BufferSource : public ByteSource {
 public:
  explicit BufferSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, void* out, std::size_t count) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

std::uint32_t ReadU32(const std::uint8_t* p);
void WriteU32(std::uint8_t* p, std::uint32_t value);

// The locator P of an image or file: 0 when the header cannot be read, when
// e_lfanew leaves no room for the four locator bytes before it, or when the
// locator itself is 0.
std::uint32_t ReadLocator(ByteSource& source);

// Offset of the locator field (e_lfanew - 4), or nothing when the header is
// too short or e_lfanew cannot hold a locator in front of it.
std::optional<std::uint32_t> LocatorOffset(std::span<const std::uint8_t> image);

// The configuration-header read: the configuration text, touching only the
// header, the locator, the length and the text. Nothing when the locator is
// 0 or not inside the file, or the length runs past the end.
std::optional<std::string> ReadConfigText(ByteSource& source);

// What the whole-file checks found in an image held in memory.
struct PackageSpan {
  EngineResult result = kEngineOk;
  std::uint32_t locator = 0;        // P
  std::uint32_t configLength = 0;   // L
  std::uint32_t archiveLength = 0;  // Z as stored
  std::size_t archiveOffset = 0;    // P + 8 + L
  std::size_t archivePresent = 0;   // archive bytes really present: min(Z, size - offset)
};

// The checks of the whole-file read after the locator check: code 3 when the
// length field or the configuration do not fit after P, code 5 when no
// archive length follows or Z exceeds the bytes after its field by more than
// 4 (up to 4 too many are accepted; only the bytes present are written).
PackageSpan CheckPackage(std::span<const std::uint8_t> image, std::uint32_t locator);
// The same checks on the head of a file of `fileSize` bytes: `head` holds its
// first bytes, at least up to the archive (P + 8 + L) where the file has
// them. A head shorter than that reads as code 2 (the file could not be
// read).
PackageSpan CheckPackage(std::span<const std::uint8_t> head, std::uint64_t fileSize, std::uint32_t locator);

// The uninstaller image: the first P bytes of the running image, the length
// of the document text and the text; the locator field holds P. The image
// carries no certificate table, so its header's certificate-table entry and
// checksum are cleared (ClearSignatureFields).
std::vector<std::uint8_t> ComposeUninstallerImage(std::span<const std::uint8_t> image, std::uint32_t locator,
                                                  const std::string& documentText);

// Zeroes the PE header's certificate-table directory entry (data directory
// 4) and its checksum in place: a signed installer's entry points past the
// end of a copy without the table, which trust checks take for a malformed
// file rather than an unsigned one. Fields a short header cannot hold are
// left alone.
void ClearSignatureFields(std::span<std::uint8_t> header);

}  // namespace package

}  // namespace pv
