#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "ui/UirPackage.h"

using namespace pv;

namespace {

const char kDocument[] =
    R"({"cfg":{"MainWindow":{"PublishBtn":{"size":[165,197,200,48],"id":7,"normal":{"bi":100,"bg":[0,0,24,48]}},)"
    R"("Odd":{"three":[1,2,3],"two":[4,5],"real":2.9,"text":"12","red":[255,0,0],"wide":[256,511,-1]}},)"
    R"("Meta":{"shadeleft":{"bg":[0,22,27,40]}}},)"
    R"("res":{"images":[{"id":100,"name":"a.png"},{"id":"101"},{"id":4294967397}],"fonts":[{"id":116}],"other":{"id":5}}})"
    "\n";

std::string U32(std::uint32_t v) {
  std::string out;
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}

// The package with the text NUL-terminated as the shipped one is.
std::string SmallPackage() {
  return UirPackage::WriteContainer(std::string(kDocument) + '\0',
                                    {{100, "png-a"}, {116, "font"}, {101, "png-b"}, {999, "unlisted"}});
}

// Parses a copy that lives in an allocation of exactly the given size, so
// AddressSanitizer catches a read one byte past it.
bool ReadExact(const std::string& bytes, std::size_t size, UirPackage::Container& out) {
  auto copy = std::make_unique<char[]>(size ? size : 1);
  std::memcpy(copy.get(), bytes.data(), size);
  return UirPackage::ReadContainer(std::string_view(copy.get(), size), out);
}

}  // namespace

TEST(UirPackage, ReadsTheContainer) {
  const std::string bytes = UirPackage::WriteContainer("{\"a\":1}\n\0garbage", {{1, "x"}, {2, ""}, {1, "later"}});
  EXPECT_EQ(bytes.substr(0, 4), ".uir");
  UirPackage::Container c;
  ASSERT_TRUE(UirPackage::ReadContainer(bytes, c));
  EXPECT_EQ(c.document, "{\"a\":1}\n");  // stops at the first NUL
  ASSERT_EQ(c.records.size(), 2u);
  EXPECT_EQ(c.records[1], "later");  // a later record with the same id wins
  EXPECT_EQ(c.records[2], "");
  // Bytes behind the last record are not looked at.
  ASSERT_TRUE(UirPackage::ReadContainer(bytes + "tail", c));
  EXPECT_EQ(c.records.size(), 2u);
}

TEST(UirPackage, AcceptsZeroLengths) {
  UirPackage::Container c;
  ASSERT_TRUE(UirPackage::ReadContainer(std::string(".uir") + U32(0) + U32(0), c));
  EXPECT_EQ(c.document, "");
  EXPECT_TRUE(c.records.empty());
  ASSERT_TRUE(UirPackage::ReadContainer(std::string(".uir") + U32(0) + U32(1) + U32(7) + U32(0), c));
  EXPECT_EQ(c.records.count(7), 1u);
}

TEST(UirPackage, RefusesEveryTruncation) {
  const std::string bytes = SmallPackage();
  UirPackage::Container c;
  ASSERT_TRUE(ReadExact(bytes, bytes.size(), c));
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    c.document = "stale";
    ASSERT_FALSE(ReadExact(bytes, size, c)) << "cut at " << size;
    ASSERT_TRUE(c.document.empty() && c.records.empty());
  }
}

TEST(UirPackage, RefusesLengthsPastTheEnd) {
  const std::string head(".uir");
  const std::string doc = "{}";
  UirPackage::Container c;
  for (std::uint32_t bad : {3u, 0x80000000u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(UirPackage::ReadContainer(head + U32(bad) + doc + U32(0), c)) << "json length " << bad;
    EXPECT_FALSE(UirPackage::ReadContainer(head + U32(2) + doc + U32(0xFFFFFFFFu), c));
    EXPECT_FALSE(UirPackage::ReadContainer(head + U32(2) + doc + U32(1) + U32(5) + U32(bad) + "ab", c))
        << "record size " << bad;
  }
  // The count says two records, the data holds one.
  EXPECT_FALSE(UirPackage::ReadContainer(head + U32(2) + doc + U32(2) + U32(5) + U32(1) + "a", c));
}

TEST(UirPackage, RefusesAWrongMagic) {
  const std::string good = SmallPackage();
  UirPackage::Container c;
  for (int i = 0; i < 4; ++i) {
    std::string bad = good;
    bad[i] ^= 0x20;
    EXPECT_FALSE(UirPackage::ReadContainer(bad, c)) << i;
  }
  EXPECT_FALSE(UirPackage::ReadContainer(".ui", c));
}

TEST(UirPackage, FilesRecordsByTheCategoriesOfRes) {
  UirPackage p;
  ASSERT_TRUE(p.Load(SmallPackage()));
  std::string out = "stale";
  EXPECT_TRUE(p.GetData("images", 100, out));
  EXPECT_EQ(out, "png-a");
  EXPECT_TRUE(p.GetData("images", 101, out));  // "id" as a decimal string
  EXPECT_EQ(out, "png-b");
  EXPECT_TRUE(p.GetData("fonts", 116, out));
  EXPECT_FALSE(p.GetData("images", 116, out));  // in another category
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(p.GetData("images", 999, out));  // listed nowhere: dropped
  EXPECT_FALSE(p.GetData("nothing", 100, out));
  EXPECT_FALSE(p.GetData(nullptr, 100, out));
  // 4294967397 is 2^32 + 101: its low 32 bits name record 101.
  EXPECT_EQ(p.Tables().at("images").size(), 2u);
  EXPECT_EQ(p.Tables().at("other").size(), 0u);  // not an array
}

TEST(UirPackage, RefusedPackageLeavesTheLoadedOneAlone) {
  UirPackage p;
  ASSERT_TRUE(p.Load(SmallPackage()));
  std::string bad = SmallPackage();
  bad[3] = 'R';
  EXPECT_FALSE(p.Load(bad));
  EXPECT_FALSE(p.Load(SmallPackage().substr(0, 40)));
  EXPECT_FALSE(p.Load(""));
  EXPECT_NE(p.FindNode("MainWindow/PublishBtn", nullptr), nullptr);
  std::string out;
  EXPECT_TRUE(p.GetData("images", 100, out));
}

TEST(UirPackage, BrokenDocumentIsKeptAsFarAsItWasRead) {
  UirPackage p;
  const std::string text = R"({"cfg":{"A":{"x":5},"B":{"y":)";
  ASSERT_TRUE(p.Load(UirPackage::WriteContainer(text, {})));
  EXPECT_EQ(p.GetInt("A/x", nullptr), 5);
  // The member being read when the text ran out exists, without a value.
  const JValue* y = p.FindNode("B/y", nullptr);
  ASSERT_NE(y, nullptr);
  EXPECT_EQ(y->Type(), JNull);
  EXPECT_EQ(p.FindNode("B/z", nullptr), nullptr);
  // A package that is not JSON at all still loads; every lookup is empty.
  ASSERT_TRUE(p.Load(UirPackage::WriteContainer("not json", {{1, "x"}})));
  EXPECT_EQ(p.FindNode("", nullptr), nullptr);
  std::string out;
  EXPECT_FALSE(p.GetData("images", 1, out));
}

TEST(UirPackage, FindNodePathRules) {
  UirPackage p;
  ASSERT_TRUE(p.Load(SmallPackage()));
  const JValue* shade = p.FindNode("/Meta/shadeleft", nullptr);
  ASSERT_NE(shade, nullptr);
  EXPECT_EQ(p.FindNode("Meta/shadeleft", nullptr), shade);
  EXPECT_EQ(p.FindNode("Meta//shadeleft/", nullptr), shade);
  EXPECT_EQ(p.FindNode("//Meta///shadeleft//", nullptr), shade);
  EXPECT_EQ(p.FindNode("Meta/shadeleft/missing", nullptr), nullptr);
  EXPECT_EQ(p.FindNode("meta/shadeleft", nullptr), nullptr);                // names are case-sensitive
  EXPECT_EQ(p.FindNode("MainWindow/PublishBtn/size/0", nullptr), nullptr);  // arrays have no members

  // An empty path gives the start node: "cfg", or the base.
  const JValue* cfg = p.FindNode("", nullptr);
  ASSERT_NE(cfg, nullptr);
  EXPECT_TRUE(cfg->Has("Meta"));
  EXPECT_EQ(p.FindNode(nullptr, nullptr), cfg);
  EXPECT_EQ(p.FindNode("/", nullptr), cfg);
  const JValue* button = p.FindNode("MainWindow/PublishBtn", nullptr);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(p.FindNode("", button), button);
  EXPECT_EQ(p.FindNode("normal", button), p.FindNode("MainWindow/PublishBtn/normal", nullptr));
  // Paths start below "cfg", never at the document root.
  EXPECT_EQ(p.FindNode("res", nullptr), nullptr);
  EXPECT_EQ(p.FindNode("cfg/Meta", nullptr), nullptr);
}

TEST(UirPackage, TypedGettersReadOnlyTheRightShapes) {
  UirPackage p;
  ASSERT_TRUE(p.Load(SmallPackage()));
  EXPECT_EQ(p.GetInt("MainWindow/PublishBtn/id", nullptr), 7);
  EXPECT_EQ(p.GetInt("MainWindow/Odd/real", nullptr), 0);  // only JSON integers
  EXPECT_EQ(p.GetInt("MainWindow/Odd/text", nullptr), 0);
  EXPECT_EQ(p.GetInt("MainWindow/Odd/missing", nullptr), 0);
  EXPECT_EQ(p.GetRect("MainWindow/PublishBtn/size", nullptr), (std::array<int, 4>{165, 197, 200, 48}));
  EXPECT_EQ(p.GetRect("MainWindow/Odd/three", nullptr), (std::array<int, 4>{0, 0, 0, 0}));
  EXPECT_EQ(p.GetPair("MainWindow/Odd/two", nullptr), (std::array<int, 2>{4, 5}));
  EXPECT_EQ(p.GetPair("MainWindow/Odd/three", nullptr), (std::array<int, 2>{0, 0}));
  EXPECT_EQ(p.GetColor("MainWindow/Odd/red", nullptr), 255u);
  EXPECT_EQ(p.GetColor("MainWindow/Odd/two", nullptr), 0u);
  // Each component keeps its low byte: 256 -> 0, 511 -> 255, -1 -> 255.
  EXPECT_EQ(p.GetColor("MainWindow/Odd/wide", nullptr), MakeColorRef(0, 255, 255));
}

TEST(UirPackage, OurSkinPackageLoads) {
  std::ifstream in(PIVSET_BINARY_DIR "/resources/skin.uir", std::ios::binary);
  ASSERT_TRUE(in) << "the build makes resources/skin.uir";
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  UirPackage p;
  ASSERT_TRUE(p.Load(bytes));
  std::string out;
  for (int id = 100; id <= 122; ++id) {
    const bool image = (id <= 115 && id != 108) || id == 117 || id == 120;
    const bool font = id == 116 || id == 118 || id == 119 || id == 121 || id == 122;
    EXPECT_EQ(p.GetData("images", id, out), image) << id;
    if (image) {
      EXPECT_EQ(out.substr(1, 3), "PNG") << id;
    }
    EXPECT_EQ(p.GetData("fonts", id, out), font) << id;
  }
  EXPECT_EQ(p.Tables().at("images").size() + p.Tables().at("fonts").size(), 22u);
  const JValue* main = p.FindNode("MainWindow", nullptr);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->Count(), 27);
  EXPECT_EQ(p.FindNode("Meta", nullptr)->Count(), 4);
}
