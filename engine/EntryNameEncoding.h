#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pv {

// How a ZIP entry's name is to be read. Most ZIP writers mark UTF-8 names
// with general-purpose bit 11; Info-ZIP
// keeps the name in the local code page and adds the UTF-8 form in an extra
// field (0x7075) tied to that name by its CRC-32. Everything else is in the
// code page of the system that made the archive, which we take to be ours.
enum class EntryNameEncoding {
  kCodePage,     // `bytes` is the raw name, in the system's ANSI code page
  kUtf8Flag,     // bit 11: the raw name is UTF-8
  kUnicodePath,  // the 0x7075 field's UTF-8 name, whose CRC matched the raw name
};

struct EntryNameSource {
  EntryNameEncoding encoding = EntryNameEncoding::kCodePage;
  std::string_view bytes;  // points into the raw name or the extra field
};

inline constexpr std::uint16_t kZipFlagUtf8 = 0x0800;
inline constexpr std::uint16_t kZipUnicodePathField = 0x7075;

// Chooses the name to decode from an entry's general-purpose flags, its raw
// name and its central-directory extra field. A Unicode Path field of a
// version other than 1, one whose CRC does not match (the name was changed
// by a tool that did not know the field), and a malformed extra field are
// passed over.
EntryNameSource SelectEntryName(std::uint16_t flags, std::string_view rawName, std::span<const std::uint8_t> extra);

// Strict UTF-8 to UTF-16: false for a truncated or overlong sequence, a
// surrogate code point, a value past U+10FFFF and a NUL.
bool DecodeUtf8Name(std::string_view utf8, std::u16string& out);

// The name of an encoding for reports ("utf-8", "utf-8 (0x7075 field)",
// "code page").
const char* EntryNameEncodingName(EntryNameEncoding encoding);

}  // namespace pv
