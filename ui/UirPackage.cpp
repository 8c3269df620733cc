#include "ui/UirPackage.h"

#include <cstring>

namespace pv {

namespace {

// Reads a little-endian 32-bit value at pos when four bytes remain.
bool ReadU32(std::string_view bytes, std::size_t& pos, std::uint32_t& value) {
  if (bytes.size() - pos < 4) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + pos);
  value = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
          (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  pos += 4;
  return true;
}

// Takes length bytes at pos when that many remain.
bool ReadBytes(std::string_view bytes, std::size_t& pos, std::uint32_t length, std::string_view& out) {
  if (bytes.size() - pos < length) return false;
  out = bytes.substr(pos, length);
  pos += length;
  return true;
}

void PutU32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

bool UirPackage::ReadContainer(std::string_view bytes, Container& out) {
  out = Container{};
  if (bytes.size() < 4 || std::memcmp(bytes.data(), kMagic, 4) != 0) return false;
  std::size_t pos = 4;
  std::uint32_t jsonLength = 0;
  std::string_view text;
  std::uint32_t count = 0;
  if (!ReadU32(bytes, pos, jsonLength) || !ReadBytes(bytes, pos, jsonLength, text) || !ReadU32(bytes, pos, count)) {
    return false;
  }
  Container result;
  result.document.assign(text.substr(0, text.find('\0')));
  // The count is not trusted for any allocation: each record needs at least
  // eight bytes, so a false count runs out of data and is refused.
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t id = 0;
    std::uint32_t size = 0;
    std::string_view data;
    if (!ReadU32(bytes, pos, id) || !ReadU32(bytes, pos, size) || !ReadBytes(bytes, pos, size, data)) return false;
    result.records[id].assign(data);
  }
  out = std::move(result);
  return true;
}

std::string UirPackage::WriteContainer(std::string_view document,
                                       const std::vector<std::pair<std::uint32_t, std::string>>& records) {
  std::string out(kMagic, 4);
  PutU32(out, static_cast<std::uint32_t>(document.size()));
  out.append(document);
  PutU32(out, static_cast<std::uint32_t>(records.size()));
  for (const auto& [id, data] : records) {
    PutU32(out, id);
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    out.append(data);
  }
  return out;
}

bool UirPackage::Load(std::string_view bytes) {
  Container container;
  if (!ReadContainer(bytes, container)) return false;

  JValue document;
  JParse(container.document.c_str(), document);  // a broken document is kept as far as it was read

  std::map<std::string, RecordMap> tables;
  if (const JValue::ObjectStorage* categories = document.Find("res").Object()) {
    for (const auto& [category, list] : *categories) {
      RecordMap& table = tables[category];
      if (list.Type() != JArray) continue;
      for (int i = 0; i < list.Count(); ++i) {
        // Only "id" matters; its low 32 bits name the record.
        const auto id = static_cast<std::uint32_t>(list.Element(i).Find("id").ToInt64());
        auto found = container.records.find(id);
        if (found != container.records.end()) table[id] = found->second;
      }
    }
  }
  document_ = std::move(document);
  tables_ = std::move(tables);
  return true;
}

const JValue* UirPackage::FindNode(const char* path, const JValue* base) const {
  const JValue* node = base;
  if (!node) {
    if (!document_.Has("cfg")) return nullptr;
    node = &document_.Find("cfg");
  }
  std::string_view rest = path ? std::string_view(path) : std::string_view();
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string piece(rest.substr(0, slash));
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (piece.empty()) continue;
    if (!node->Has(piece.c_str())) return nullptr;
    node = &node->Find(piece.c_str());
  }
  return node;
}

int UirPackage::IntOf(const JValue* node) { return node && node->Type() == JInt ? node->ToInt() : 0; }

std::array<int, 4> UirPackage::RectOf(const JValue* node) {
  if (!node || node->Type() != JArray || node->Count() != 4) return {0, 0, 0, 0};
  return {node->Element(0).ToInt(), node->Element(1).ToInt(), node->Element(2).ToInt(), node->Element(3).ToInt()};
}

std::array<int, 2> UirPackage::PairOf(const JValue* node) {
  if (!node || node->Type() != JArray || node->Count() != 2) return {0, 0};
  return {node->Element(0).ToInt(), node->Element(1).ToInt()};
}

ColorRef UirPackage::ColorOf(const JValue* node) {
  if (!node || node->Type() != JArray || node->Count() != 3) return 0;
  return MakeColorRef(node->Element(0).ToInt(), node->Element(1).ToInt(), node->Element(2).ToInt());
}

int UirPackage::GetInt(const char* path, const JValue* base) const { return IntOf(FindNode(path, base)); }

std::array<int, 4> UirPackage::GetRect(const char* path, const JValue* base) const {
  return RectOf(FindNode(path, base));
}

std::array<int, 2> UirPackage::GetPair(const char* path, const JValue* base) const {
  return PairOf(FindNode(path, base));
}

ColorRef UirPackage::GetColor(const char* path, const JValue* base) const { return ColorOf(FindNode(path, base)); }

bool UirPackage::GetData(const char* category, std::uint32_t id, std::string& out) const {
  out.clear();
  if (!category) return false;
  const auto table = tables_.find(category);
  if (table == tables_.end()) return false;
  const auto record = table->second.find(id);
  if (record == table->second.end()) return false;
  out = record->second;
  return !out.empty();
}

}  // namespace pv
