#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "json/JReader.h"
#include "json/JValue.h"

using namespace pv;

namespace {

const char kSyntax[] = "Syntax error: value, object or array expected.";
const char kBadEscape[] = "Bad escape sequence in string";

struct Failure {
  std::string text;
  std::string message;
  std::size_t offset;
};

void ExpectFailure(const Failure& failure) {
  JReader reader;
  JValue root;
  EXPECT_FALSE(reader.Parse(failure.text.c_str(), root)) << failure.text;
  EXPECT_EQ(reader.ErrorMessage(), failure.message) << failure.text;
  EXPECT_EQ(reader.ErrorOffset(), failure.offset) << failure.text;
}

JValue Parsed(const char* text) {
  JValue root;
  EXPECT_TRUE(JParse(text, root)) << text;
  return root;
}

std::string Nested(int levels, const char* open, const char* inner, const char* close) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += open;
  text += inner;
  for (int i = 0; i < levels; ++i) text += close;
  return text;
}

// Whether Dump and a second reading reproduce the same text: reals that are
// not finite are written as words the reader refuses, and -0 reads back as 0.
bool DumpIsStable(const JValue& value) {
  switch (value.Type()) {
    case JReal:
      return std::isfinite(value.ToReal()) && !(value.ToReal() == 0 && std::signbit(value.ToReal()));
    case JArray:
      for (int i = 0; i < value.Count(); ++i)
        if (!DumpIsStable(value.Element(i))) return false;
      return true;
    case JObject:
      if (value.Object())
        for (const auto& member : *value.Object())
          if (!DumpIsStable(member.second)) return false;
      return true;
    default:
      return true;
  }
}

}  // namespace

TEST(JReader, ReportsStructuralErrorsWithMessageAndOffset) {
  const Failure failures[] = {
      {"", kSyntax, 0},
      {" \t\r\n", kSyntax, 4},
      {"/* only a comment */", kSyntax, 20},
      {"// c", kSyntax, 4},
      {"#", kSyntax, 1},
      {"# x\n1", kSyntax, 2},  // only the blank after '#' is dropped
      {"]", kSyntax, 0},
      {"+1", kSyntax, 0},
      {"tru", kSyntax, 0},
      {"nul", kSyntax, 0},
      {"False", kSyntax, 0},
      {"\xC3\xA9", kSyntax, 0},
      {"\"open", kSyntax, 0},
      {"\"ends in backslash\\", kSyntax, 0},
      {"{\"a\":}", kSyntax, 5},
      {"[1,]", kSyntax, 3},
      {"[ /* x */ ]", kSyntax, 10},
      {"{\"a\" 1}", "Missing ':' after object member name", 5},
      {"{\"a\"", "Missing ':' after object member name", 4},
      {"{1:2}", "Missing '}' or object member name", 1},
      {"{,}", "Missing '}' or object member name", 1},
      {"{\"a\":1,,}", "Missing '}' or object member name", 7},
      {"{\"a\":1 \"b\":2}", "Missing ',' or '}' in object declaration", 7},
      {"{\"a\":1", "Missing ',' or '}' in object declaration", 6},
      {"[1 2]", "Missing ',' or ']' in array declaration", 3},
      {"[1", "Missing ',' or ']' in array declaration", 2},
      {"[12abc]", "Missing ',' or ']' in array declaration", 3},
      {"[nullx]", "Missing ',' or ']' in array declaration", 5},
      {"[[1],{\"k\":[tru]}]", kSyntax, 11},
  };
  for (const Failure& failure : failures) ExpectFailure(failure);
}

TEST(JReader, ReportsNumberAndStringErrors) {
  const std::string longReal = "1." + std::string(511, '0');  // 513 bytes
  const Failure failures[] = {
      {"1-2", "'1-2' is not a number.", 0},
      {"[0, -+3]", "'-+3' is not a number.", 4},
      {"12+", "'12+' is not a number.", 0},
      {"-e5", "'-e5' is too large or not a number.", 0},
      {"[-.]", "'-.' is too large or not a number.", 1},
      {longReal, "'" + longReal + "' is too large or not a number.", 0},
      {"\"\\q\"", kBadEscape, 3},
      {"[\"ok\",\"\\x\"]", kBadEscape, 9},
      {"\"\\uzzzz\"", kBadEscape, 7},
      {"\"\\u-001\"", kBadEscape, 7},  // would wrap to a value above 0xFFFF
      {"\"\\u12\"", kBadEscape, 5},    // fewer than four bytes before the quote
      {"\"\\u\"", kBadEscape, 3},
      // The four bytes of \u swallow one backslash of "\\", leaving the other
      // alone before the closing quote.
      {"\"\\u000\\\\\"", "Empty escape sequence in string", 8},
      {"{\"\\q\":1}", kBadEscape, 4},
  };
  for (const Failure& failure : failures) ExpectFailure(failure);
}

TEST(JReader, FailureKeepsWhatWasBuilt) {
  JValue root(7);
  EXPECT_FALSE(JParse(nullptr, root));
  EXPECT_EQ(root.ToInt(), 7);
  EXPECT_FALSE(JParse("{\"a\":1,\"b\":[2,x],\"c\":3}", root));
  EXPECT_EQ(root.Dump(), "{\"a\":1,\"b\":[2,null]}\n");
}

TEST(JReader, ReadsLeniently) {
  EXPECT_EQ(Parsed("5").ToInt(), 5);  // any kind may be the root
  EXPECT_STREQ(Parsed("\"x\"").ToText(), "x");
  EXPECT_EQ(Parsed(" null ").Type(), JNull);
  EXPECT_TRUE(Parsed("trueish").ToBool());  // no delimiter is needed after a word
  EXPECT_EQ(Parsed("{\"a\":1} trailing words").Dump(), "{\"a\":1}\n");
  EXPECT_EQ(Parsed("[1]]]{").Dump(), "[1]\n");
  EXPECT_EQ(Parsed("{\"a\":1,}").Dump(), "{\"a\":1}\n");
  // A repeated name keeps the later value, whatever kind the first had.
  EXPECT_EQ(Parsed("{\"a\":{\"x\":[1]},\"a\":3}").Dump(), "{\"a\":3}\n");
  EXPECT_EQ(Parsed("{ \"b\" : [ \r\n\t] , \"a\" : { } }").Dump(), "{\"a\":{},\"b\":[]}\n");
  EXPECT_EQ(Parsed("{}").Object(), nullptr);  // empty containers have no storage
  EXPECT_EQ(Parsed("[ ]").Array(), nullptr);
}

TEST(JReader, ReadsNumbers) {
  EXPECT_EQ(Parsed("-12").Type(), JInt);
  EXPECT_EQ(Parsed("-12").ToInt64(), -12);
  EXPECT_EQ(Parsed("-").Dump(), "0\n");  // a lone minus is the integer 0

  // Integers wrap in 64 bits instead of failing.
  EXPECT_EQ(Parsed("18446744073709551617").ToInt64(), 1);
  EXPECT_EQ(Parsed("18446744073709551615").ToInt64(), -1);
  EXPECT_EQ(Parsed("9223372036854775808").ToInt64(), INT64_MIN);
  EXPECT_EQ(Parsed("-9223372036854775808").ToInt64(), INT64_MIN);

  EXPECT_EQ(Parsed("1e3").Type(), JReal);
  EXPECT_EQ(Parsed("1e3").ToReal(), 1000.0);
  EXPECT_EQ(Parsed("2.50").Type(), JReal);
  EXPECT_EQ(Parsed("-0.5").ToReal(), -0.5);
  // The scan takes the longest valid prefix of the token.
  EXPECT_EQ(Parsed("1.5-2").ToReal(), 1.5);
  EXPECT_EQ(Parsed("1.2.3").ToReal(), 1.2);

  // 512 bytes is still read.
  const std::string longest = "1." + std::string(510, '0');
  EXPECT_EQ(Parsed(longest.c_str()).ToReal(), 1.0);
}

TEST(JReader, DecodesStringsAndEscapes) {
  EXPECT_EQ(std::string(Parsed("\"a\\u00e9\"").ToText()), "a\xC3\xA9");
  EXPECT_EQ(std::string(Parsed("\"\\u0041\\u007F\\u0080\\u07FF\\u0800\\u20AC\\uFFFF\"").ToText()),
            "A\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF");
  // Surrogates are not paired: each half is written by itself.
  EXPECT_EQ(std::string(Parsed("\"\\uD83D\\uDE00\"").ToText()), "\xED\xA0\xBD\xED\xB8\x80");
  // Only the leading hexadecimal digits count, as in a "%x" scan.
  EXPECT_EQ(std::string(Parsed("\"\\u41zz!\"").ToText()), "A!");
  EXPECT_EQ(std::string(Parsed("\"\\u 41.\"").ToText()), "A");
  EXPECT_EQ(std::string(Parsed("\"\\\"\\/\\\\\\b\\f\\n\\r\\t\"").ToText()), "\"/\\\b\f\n\r\t");
  // Bytes outside escapes are copied as they are, control bytes included.
  EXPECT_EQ(std::string(Parsed("\"\xE4\xB8\xAD\x01\t\xFF\"").ToText()), "\xE4\xB8\xAD\x01\t\xFF");

  // \u0000 cuts a value or a key.
  EXPECT_STREQ(Parsed("\"ab\\u0000cd\"").ToText(), "ab");
  const JValue keyed = Parsed("{\"k\\u0000x\":1}");
  EXPECT_TRUE(keyed.Has("k"));
  EXPECT_EQ(keyed.Count(), 1);
}

TEST(JReader, SkipsComments) {
  EXPECT_EQ(Parsed("/* c */ {}").Type(), JObject);
  EXPECT_EQ(Parsed("/*c*/{}").Type(), JObject);
  EXPECT_EQ(Parsed("// c\n[]").Type(), JArray);
  EXPECT_EQ(Parsed("// c\r[]").Type(), JArray);
  EXPECT_EQ(Parsed("/*/ 1 */ 2").ToInt(), 2);  // "/*/" does not close itself
  EXPECT_EQ(Parsed("#\n3").ToInt(), 3);        // '#' drops the byte after it
  EXPECT_EQ(Parsed(";;4").ToInt(), 4);
  EXPECT_EQ(Parsed("#/ line\n5").ToInt(), 5);
  EXPECT_EQ(Parsed("#* block */6").ToInt(), 6);
  EXPECT_EQ(Parsed("{\"a\":/*x*/1,//y\n\"b\":2 # \n}").Dump(), "{\"a\":1,\"b\":2}\n");
  EXPECT_EQ(Parsed("[1,/*c*/2]").Dump(), "[1,2]\n");
  ExpectFailure({"/* unterminated", kSyntax, 15});
}

TEST(JReader, LimitsNesting) {
  const std::string deepest = Nested(JReader::kMaxDepth, "[", "1", "]");
  JValue root;
  ASSERT_TRUE(JParse(deepest.c_str(), root));
  EXPECT_EQ(root.Dump(), deepest + "\n");

  const std::string tooDeep = Nested(JReader::kMaxDepth + 1, "[", "1", "]");
  ExpectFailure({tooDeep, "Syntax error: arrays and objects nested too deeply.", JReader::kMaxDepth});
  const std::string objects = Nested(JReader::kMaxDepth + 1, "{\"a\":", "1", "}");
  ExpectFailure({objects, "Syntax error: arrays and objects nested too deeply.", 5 * JReader::kMaxDepth});

  // Far deeper input fails the same way instead of exhausting the stack.
  const std::string hostile(100000, '[');
  ExpectFailure({hostile, "Syntax error: arrays and objects nested too deeply.", JReader::kMaxDepth});
}

TEST(JReader, HugeAndRawByteStrings) {
  // Texts are bytes: a long one reads whole, one never closed fails cleanly,
  // and bytes that are not UTF-8 pass unchanged.
  const std::string big(16 << 20, 'x');
  const JValue root = Parsed(("[\"" + big + "\"]").c_str());
  EXPECT_EQ(root.Element(0).ToText(), big);
  JReader reader;
  JValue open;
  EXPECT_FALSE(reader.Parse(("[\"" + big).c_str(), open));
  EXPECT_FALSE(reader.ErrorMessage().empty());
  EXPECT_EQ(std::string(Parsed("[\"\xff\xfe\xc0\x80\xed\xa0\x80\"]").Element(0).ToText()),
            "\xff\xfe\xc0\x80\xed\xa0\x80");
}

TEST(JRoundTrip, TextsReadBackAsTheSameBytes) {
  std::string allBytes;
  for (int c = 1; c < 256; ++c) allBytes += static_cast<char>(c);
  const std::string texts[] = {
      "C:\\util\\x", "\\u0041", "\\u", "\\\\u00e9\\", "\"quoted\" \\\"", allBytes,
  };
  for (const std::string& text : texts) {
    JValue document;
    document.Member("run").At(0) = text;
    document.Member(text.c_str()) = 1;
    const std::string dumped = document.Dump();
    JValue back;
    ASSERT_TRUE(JParse(dumped.c_str(), back)) << dumped;
    EXPECT_EQ(std::string(back.Find("run").Element(0).ToText()), text);
    EXPECT_TRUE(back.Has(text.c_str()));
    EXPECT_EQ(back.Dump(), dumped);
  }
}

TEST(JRoundTrip, DocumentsDumpTheSameAfterReading) {
  const char install[] =
      "{\"lastrun\":\"Orvane.exe\",\"mode\":1,\"shortcut\":{\"desktop\":[{\"file\":\"Orvane.exe\",\"name\":"
      "\"Pellio\"}],\"taskbar\":[{\"file\":\"Orvane.exe\",\"name\":\"Pellio\"}]}}\n";
  EXPECT_EQ(Parsed(install).Dump(), install);

  JValue document;
  document.Member("int") = JValue(static_cast<std::int64_t>(INT64_MIN));
  document.Member("reals").At(0) = 0.1;
  document.Member("reals").At(1) = -1234567.0;
  document.Member("reals").At(2) = 1e-300;
  document.Member("reals").At(3) = 42.0;  // integral: reads back as an integer
  document.Member("text") = "\\u00e9 \xC3\xA9";
  const std::string first = document.Dump();
  const std::string second = Parsed(first.c_str()).Dump();
  EXPECT_EQ(second, first);
  EXPECT_EQ(Parsed(first.c_str()).Find("reals").Element(3).Type(), JInt);
}

// Every committed fuzzer input either fails or reads, dumps and reads again
// to the same text, with this platform's C library.
TEST(JRoundTrip, FuzzCorpusIsStable) {
  const std::filesystem::path corpus = std::filesystem::path(PIVSET_SOURCE_DIR) / "tests/fuzz/corpus/json";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ++files;
    JValue root;
    if (!JParse(bytes.c_str(), root) || !DumpIsStable(root)) continue;
    const std::string first = root.Dump();
    JValue again;
    ASSERT_TRUE(JParse(first.c_str(), again)) << entry.path();
    EXPECT_EQ(again.Dump(), first) << entry.path();
  }
  EXPECT_GE(files, 15);
}
