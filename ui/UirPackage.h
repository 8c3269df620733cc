#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/JValue.h"
#include "ui/ColorShift.h"

namespace pv {

// The skin package (".uir"): the magic ".uir", a 32-bit length and the JSON
// style document, a 32-bit record count and the records (32-bit id, 32-bit
// size, data), all little-endian and unaligned. The format has no checksum,
// so every length is checked against the data before it is used: a package
// whose lengths run past its end is refused like one with a wrong magic.
//
// Besides the byte-level reader this holds what a loaded package amounts to:
// the parsed style document and the record tables by category, plus the
// style-path lookups that need nothing but the document.
class UirPackage {
 public:
  using RecordMap = std::map<std::uint32_t, std::string>;

  // The container as stored: the document text up to its first NUL and the
  // records by id (a later record with the same id replaces an earlier one).
  struct Container {
    std::string document;
    RecordMap records;
  };

  static constexpr char kMagic[4] = {'.', 'u', 'i', 'r'};

  // False for a wrong magic or any length past the end of the data; out is
  // then cleared. Bytes after the last record are ignored.
  static bool ReadContainer(std::string_view bytes, Container& out);
  // The package bytes for a document and records, in the order given.
  static std::string WriteContainer(std::string_view document,
                                    const std::vector<std::pair<std::uint32_t, std::string>>& records);

  // Reads a whole package. On refusal nothing changes, so a skin that was
  // loaded before stays in force. A document that does not parse is kept as
  // far as the reader got; records that no category of "res" lists are
  // dropped.
  bool Load(std::string_view bytes);

  const JValue& Document() const { return document_; }
  const std::map<std::string, RecordMap>& Tables() const { return tables_; }

  // Resolves a slash-separated path from base, or from the document's "cfg"
  // member when base is null. Empty pieces (leading, trailing or doubled
  // slashes) are skipped; an empty path gives the start node. Null when a
  // piece is missing or there is nothing to start from.
  const JValue* FindNode(const char* path, const JValue* base) const;

  // Typed reads of the node at path; wrong kinds and lengths read as zeros.
  int GetInt(const char* path, const JValue* base) const;
  std::array<int, 4> GetRect(const char* path, const JValue* base) const;
  std::array<int, 2> GetPair(const char* path, const JValue* base) const;
  ColorRef GetColor(const char* path, const JValue* base) const;

  // Clears out, then copies the record's bytes when the category holds the
  // id; true when out is not empty.
  bool GetData(const char* category, std::uint32_t id, std::string& out) const;

  // The same reads on a node already found.
  static int IntOf(const JValue* node);
  static std::array<int, 4> RectOf(const JValue* node);
  static std::array<int, 2> PairOf(const JValue* node);
  static ColorRef ColorOf(const JValue* node);

 private:
  JValue document_;
  std::map<std::string, RecordMap> tables_;
};

}  // namespace pv
