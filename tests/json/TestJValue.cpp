#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

#include "json/JValue.h"

using namespace pv;

namespace {

JValue Int64(std::int64_t value) { return JValue(value); }

JValue Parsed(const char* text) {
  JValue root;
  EXPECT_TRUE(JParse(text, root)) << text;
  return root;
}

}  // namespace

TEST(JValue, ConvertsBetweenKinds) {
  EXPECT_EQ(Int64(0x100000005LL).ToInt(), 5);  // the low 32 bits
  EXPECT_EQ(Int64(0xFFFFFFFFLL).ToInt(), -1);
  EXPECT_EQ(Int64(0x100000005LL).ToInt64(), 0x100000005LL);
  EXPECT_EQ(JValue(true).ToInt(), 1);
  EXPECT_EQ(JValue(-2.9).ToInt(), -2);  // toward zero
  EXPECT_EQ(JValue(-2.9).ToInt64(), -2);
  EXPECT_STREQ(JValue(7).ToText(), "");  // numbers are not converted to text

  EXPECT_EQ(JValue(" \t-42xyz").ToInt(), -42);
  EXPECT_EQ(JValue("+7").ToInt64(), 7);
  EXPECT_EQ(JValue("abc").ToInt(), 0);
  EXPECT_EQ(JValue("99999999999").ToInt64(), 99999999999LL);
  EXPECT_EQ(JValue("99999999999").ToInt(), static_cast<int>(99999999999LL & 0xFFFFFFFF));
  EXPECT_EQ(JValue("99999999999999999999999").ToInt64(), 200376420520689663LL);  // wraps
  EXPECT_EQ(JValue("2.5").ToReal(), 2.5);
  EXPECT_EQ(JValue("").ToReal(), 0.0);

  const JValue noText(static_cast<const char*>(nullptr));
  EXPECT_EQ(noText.Type(), JString);
  EXPECT_STREQ(noText.ToText(), "");
  EXPECT_STREQ(JValue(std::string("ab\0cd", 5)).ToText(), "ab");  // cut at the NUL

  EXPECT_FALSE(noText.ToBool());
  EXPECT_TRUE(JValue("0").ToBool());
  EXPECT_FALSE(JValue(0.0).ToBool());
  EXPECT_FALSE(Parsed("[]").ToBool());
  EXPECT_TRUE(Parsed("[0]").ToBool());
  EXPECT_FALSE(Parsed("{}").ToBool());
  EXPECT_EQ(Parsed("[1]").ToInt(), 0);
}

TEST(JValue, RealsOutsideTheIntRangeSaturate) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(JValue(3e9).ToInt(), INT_MAX);
  EXPECT_EQ(JValue(-3e9).ToInt(), INT_MIN);
  EXPECT_EQ(JValue(3e9).ToInt64(), INT_MAX);
  EXPECT_EQ(JValue(-inf).ToInt64(), INT_MIN);
  EXPECT_EQ(JValue(std::nan("")).ToInt(), 0);
  EXPECT_EQ(JValue(std::nan("")).ToInt64(), 0);
}

TEST(JValue, MutableAccessorsReplaceOtherKinds) {
  JValue value(12);
  value.At(3) = "d";
  ASSERT_EQ(value.Type(), JArray);
  EXPECT_EQ(value.Dump(), "[null,null,null,\"d\"]\n");
  value.At(-5) = 1;  // a negative index counts as 0
  EXPECT_EQ(value.Dump(), "[1,null,null,\"d\"]\n");
  EXPECT_EQ(&value.Element(4), &JValue::Null());
  EXPECT_EQ(&value.Element(-1), &JValue::Null());

  // Read-only lookups of the wrong kind give the shared null and change nothing.
  EXPECT_EQ(&value.Find("k"), &JValue::Null());
  EXPECT_FALSE(value.Has("k"));
  EXPECT_EQ(value.Count(), 4);

  value.Member("k");
  EXPECT_EQ(value.Dump(), "{\"k\":null}\n");
  value.Member("k") = 5;
  EXPECT_EQ(value.Member("k").ToInt(), 5);  // present: the same member
  EXPECT_EQ(value.Count(), 1);
  EXPECT_EQ(&value.Find("K"), &JValue::Null());

  value.Clear();
  EXPECT_EQ(value.Type(), JNull);
  EXPECT_EQ(value.Count(), 0);
}

TEST(JValue, KeysAreListedInByteOrder) {
  JValue object;
  for (const char* key : {"b", "\xC3\xA9", "ab", "a", "Z", ""}) object.Member(key) = 0;
  std::vector<std::string> keys{"kept"};
  ASSERT_TRUE(object.Keys(keys));
  EXPECT_EQ(keys, (std::vector<std::string>{"kept", "", "Z", "a", "ab", "b", "\xC3\xA9"}));

  std::vector<std::string> untouched{"x"};
  EXPECT_FALSE(JValue(1).Keys(untouched));
  EXPECT_FALSE(Parsed("{}").Keys(untouched));  // an object without storage
  EXPECT_EQ(untouched, std::vector<std::string>{"x"});
}

TEST(JValue, CopiesAreDeepAndIndependent) {
  JValue original = Parsed("{\"list\":[\"first\",{\"n\":1}],\"name\":\"orig\"}");
  const std::string before = original.Dump();

  JValue copy(original);
  copy.Member("list").At(1).Member("n") = 2;
  copy.Member("list").At(0) = "changed";
  copy.Member("extra") = true;
  EXPECT_EQ(original.Dump(), before);
  EXPECT_NE(original.Find("name").ToText(), copy.Find("name").ToText());

  JValue assigned(3);
  assigned = original;
  original.Clear();
  EXPECT_EQ(assigned.Dump(), before);

  const JValue emptyCopy(Parsed("[]"));
  EXPECT_EQ(emptyCopy.Type(), JArray);
  EXPECT_EQ(emptyCopy.Array(), nullptr);
}

TEST(JValue, AssignmentFromItselfOrItsOwnParts) {
  JValue value = Parsed("{\"a\":{\"b\":\"deep\"},\"c\":1}");
  const JValue& self = value;
  value = self;
  EXPECT_EQ(value.Dump(), "{\"a\":{\"b\":\"deep\"},\"c\":1}\n");

  // The source lives inside the storage that the assignment replaces.
  value = value.Find("a");
  EXPECT_EQ(value.Dump(), "{\"b\":\"deep\"}\n");
  value = std::move(value.Member("b"));
  EXPECT_STREQ(value.ToText(), "deep");

  JValue moved(std::move(value));
  EXPECT_EQ(value.Type(), JNull);  // NOLINT(bugprone-use-after-move)
  EXPECT_STREQ(moved.ToText(), "deep");
}

TEST(JValue, DumpWritesMembersInKeyOrder) {
  JValue object;
  object.Member("b") = 1;
  object.Member("a").At(0) = true;
  object.Member("a").At(1) = JValue();
  object.Member("c") = "x\ty";
  EXPECT_EQ(object.Dump(), "{\"a\":[true,null],\"b\":1,\"c\":\"x\\ty\"}\n");
  EXPECT_EQ(Parsed("{\"\xC3\xA9\":1,\"z\":2,\"ab\":3,\"a\":4}").Dump(), "{\"a\":4,\"ab\":3,\"z\":2,\"\xC3\xA9\":1}\n");
}

TEST(JValue, DumpFormatsNumbers) {
  EXPECT_EQ(Int64(INT64_MIN).Dump(), "-9223372036854775808\n");
  EXPECT_EQ(JValue(0.5).Dump(), "0.5\n");
  EXPECT_EQ(JValue(3.0).Dump(), "3\n");
  EXPECT_EQ(JValue(1234567.0).Dump(), "1.23457e+06\n");
  EXPECT_EQ(JValue(1e20).Dump(), "1e+20\n");  // two exponent digits on both C libraries
  EXPECT_EQ(JValue(1e-5).Dump(), "1e-05\n");
}

TEST(JValue, DumpQuotesOnlyWhatMustBeQuoted) {
  EXPECT_EQ(JValue("plain \xE4\xB8\xAD /").Dump(), "\"plain \xE4\xB8\xAD /\"\n");
  EXPECT_EQ(JValue("q\"b\\\b\f\n\r\t").Dump(), "\"q\\\"b\\\\\\b\\f\\n\\r\\t\"\n");
  // Other control bytes and bytes above 0x7F go out raw; no \u is made.
  EXPECT_EQ(JValue("\x01\x1F\x7F\xFF").Dump(), "\"\x01\x1F\x7F\xFF\"\n");
  // A backslash before 'u' is doubled like every other backslash.
  EXPECT_EQ(JValue("C:\\util\\x").Dump(), "\"C:\\\\util\\\\x\"\n");
  EXPECT_EQ(JValue(static_cast<const char*>(nullptr)).Dump(), "\"\"\n");
  EXPECT_EQ(Parsed("{\"a\\\"b\":[],\"c\":{}}").Dump(), "{\"a\\\"b\":[],\"c\":{}}\n");
}
