#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

#include "engine/EntryNameEncoding.h"

using namespace pv;

namespace {

const std::string kUtf8Name = "\xE6\x96\x87\xE6\xA1\xA3/\xE6\x89\x8B\xE5\x86\x8C.txt";  // 文档/手册.txt
const std::string kGbkName = "\xCE\xC4\xB5\xB5/\xCA\xD6\xB2\xE1.txt";                   // the same in 936

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// An Info-ZIP Unicode Path block for `raw`, its CRC taken over `crcOf`.
std::vector<std::uint8_t> UnicodePath(const std::string& crcOf, const std::string& utf8, std::uint8_t version = 1) {
  std::vector<std::uint8_t> block;
  Put16(block, 0x7075);
  Put16(block, static_cast<unsigned>(5 + utf8.size()));
  block.push_back(version);
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(crcOf.data()), static_cast<uInt>(crcOf.size()));
  Put16(block, crc & 0xFFFF);
  Put16(block, crc >> 16);
  block.insert(block.end(), utf8.begin(), utf8.end());
  return block;
}

}  // namespace

TEST(EntryNameEncoding, ChoosesTheFlagTheUnicodePathFieldOrTheCodePage) {
  auto flagged = SelectEntryName(kZipFlagUtf8, kUtf8Name, {});
  EXPECT_EQ(flagged.encoding, EntryNameEncoding::kUtf8Flag);
  EXPECT_EQ(flagged.bytes, kUtf8Name);
  EXPECT_EQ(SelectEntryName(0, kGbkName, {}).encoding, EntryNameEncoding::kCodePage);

  // The field after another block (an extended timestamp), CRC over the raw name.
  std::vector<std::uint8_t> extra = {0x55, 0x54, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
  const auto field = UnicodePath(kGbkName, kUtf8Name);
  extra.insert(extra.end(), field.begin(), field.end());
  auto fromField = SelectEntryName(0, kGbkName, extra);
  EXPECT_EQ(fromField.encoding, EntryNameEncoding::kUnicodePath);
  EXPECT_EQ(fromField.bytes, kUtf8Name);
  // Bit 11 wins over the field.
  EXPECT_EQ(SelectEntryName(kZipFlagUtf8, kGbkName, extra).bytes, kGbkName);

  // Passed over: a name changed after the field was written, another
  // version, a block that runs past the field, a field too short to hold
  // its header.
  const auto stale = UnicodePath("old-name.txt", kUtf8Name);
  const auto version2 = UnicodePath(kGbkName, kUtf8Name, 2);
  auto overrun = UnicodePath(kGbkName, kUtf8Name);
  overrun.pop_back();
  const std::vector<std::uint8_t> tiny = {0x75, 0x70, 0x03, 0x00, 0x01, 0x00, 0x00};
  for (const auto& passed : {stale, version2, overrun, tiny}) {
    auto source = SelectEntryName(0, kGbkName, passed);
    EXPECT_EQ(source.encoding, EntryNameEncoding::kCodePage);
    EXPECT_EQ(source.bytes, kGbkName);
  }
}

TEST(EntryNameEncoding, DecodesStrictUtf8Only) {
  std::u16string out;
  ASSERT_TRUE(DecodeUtf8Name(kUtf8Name, out));
  EXPECT_EQ(out, u"\u6587\u6863/\u624B\u518C.txt");
  ASSERT_TRUE(DecodeUtf8Name("caf\xC3\xA9-\xF0\x9F\x98\x80", out));
  EXPECT_EQ(out, u"caf\u00E9-\U0001F600");
  ASSERT_TRUE(DecodeUtf8Name("", out));
  EXPECT_TRUE(out.empty());
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF",  // overlong
                          "\xED\xA0\x80", "\xF4\x90\x80\x80",              // a surrogate, past U+10FFFF
                          "\xE6\x96", "a\x80", "\xF8\x88\x80\x80\x80", "\xE6\x41\x87", kGbkName.c_str()}) {
    EXPECT_FALSE(DecodeUtf8Name(bad, out)) << bad;
  }
  EXPECT_FALSE(DecodeUtf8Name(std::string_view("a\0b", 3), out));
}
