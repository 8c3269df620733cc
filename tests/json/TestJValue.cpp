#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

#include "json/JValue.h"

namespace {

JValue Int64(std::int64_t value) { return JValue(value); }

}  // namespace

TEST(JValue, ConstructorsGiveTheirKinds) {
  EXPECT_EQ(JValue().Type(), JNull);
  EXPECT_EQ(JValue(-5).Type(), JInt);
  EXPECT_EQ(JValue(-5).ToInt64(), -5);
  EXPECT_EQ(Int64(INT64_MIN).ToInt64(), INT64_MIN);
  EXPECT_EQ(JValue(true).Type(), JBool);
  EXPECT_EQ(JValue(0.25).Type(), JReal);
  EXPECT_EQ(JValue("x").Type(), JString);
  EXPECT_STREQ(JValue("x").ToText(), "x");

  const JValue noText(static_cast<const char*>(nullptr));
  EXPECT_EQ(noText.Type(), JString);
  EXPECT_STREQ(noText.ToText(), "");
  EXPECT_FALSE(noText.ToBool());

  // Text is held up to its first NUL.
  EXPECT_STREQ(JValue(std::string("ab\0cd", 5)).ToText(), "ab");

  // The kind numbers are part of the format.
  EXPECT_EQ(static_cast<int>(JString), 6);
  EXPECT_EQ(static_cast<int>(JObject), 5);
}

TEST(JValue, ConvertsBetweenKinds) {
  // Integers: ToInt keeps the low 32 bits.
  EXPECT_EQ(Int64(0x100000005LL).ToInt(), 5);
  EXPECT_EQ(Int64(0xFFFFFFFFLL).ToInt(), -1);
  EXPECT_EQ(Int64(0x100000005LL).ToInt64(), 0x100000005LL);
  EXPECT_EQ(JValue(7).ToReal(), 7.0);
  EXPECT_TRUE(JValue(-1).ToBool());
  EXPECT_FALSE(JValue(0).ToBool());
  EXPECT_STREQ(JValue(7).ToText(), "");

  EXPECT_EQ(JValue(true).ToInt(), 1);
  EXPECT_EQ(JValue(false).ToInt64(), 0);
  EXPECT_EQ(JValue(true).ToReal(), 1.0);

  // Reals truncate toward zero.
  EXPECT_EQ(JValue(2.9).ToInt(), 2);
  EXPECT_EQ(JValue(-2.9).ToInt(), -2);
  EXPECT_EQ(JValue(-2.9).ToInt64(), -2);
  EXPECT_FALSE(JValue(0.0).ToBool());
  EXPECT_TRUE(JValue(0.1).ToBool());

  // Strings read as decimal integers, stopping at the first non-digit.
  EXPECT_EQ(JValue(" \t-42xyz").ToInt(), -42);
  EXPECT_EQ(JValue("+7").ToInt64(), 7);
  EXPECT_EQ(JValue("abc").ToInt(), 0);
  EXPECT_EQ(JValue("").ToInt64(), 0);
  EXPECT_EQ(JValue("99999999999").ToInt64(), 99999999999LL);
  EXPECT_EQ(JValue("99999999999").ToInt(), static_cast<int>(99999999999LL & 0xFFFFFFFF));
  EXPECT_EQ(JValue("99999999999999999999999").ToInt64(), 200376420520689663LL);
  EXPECT_EQ(JValue("2.5").ToReal(), 2.5);
  EXPECT_EQ(JValue("").ToReal(), 0.0);
  EXPECT_TRUE(JValue("0").ToBool());

  // Containers and null convert to neutral values.
  JValue array;
  array.At(0) = 1;
  EXPECT_EQ(array.ToInt(), 0);
  EXPECT_EQ(array.ToReal(), 0.0);
  EXPECT_TRUE(array.ToBool());
  EXPECT_FALSE(JValue().ToBool());
  EXPECT_EQ(JValue().ToInt64(), 0);
}

TEST(JValue, RealsOutsideTheIntRangeSaturate) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(JValue(3e9).ToInt(), INT_MAX);
  EXPECT_EQ(JValue(-3e9).ToInt(), INT_MIN);
  EXPECT_EQ(JValue(3e9).ToInt64(), INT_MAX);
  EXPECT_EQ(JValue(-1e300).ToInt64(), INT_MIN);
  EXPECT_EQ(JValue(inf).ToInt(), INT_MAX);
  EXPECT_EQ(JValue(-inf).ToInt64(), INT_MIN);
  EXPECT_EQ(JValue(std::nan("")).ToInt(), 0);
  EXPECT_EQ(JValue(std::nan("")).ToInt64(), 0);
  EXPECT_EQ(JValue(2147483647.5).ToInt(), INT_MAX);
  EXPECT_EQ(JValue(-2147483648.5).ToInt(), INT_MIN);
}

TEST(JValue, AtTurnsTheValueIntoAnArrayAndGrowsIt) {
  JValue value(12);
  value.At(3) = "d";
  EXPECT_EQ(value.Type(), JArray);
  ASSERT_EQ(value.Count(), 4);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(value.Element(i).Type(), JNull);
  EXPECT_STREQ(value.Element(3).ToText(), "d");

  value.At(-5) = 1;  // a negative index counts as 0
  EXPECT_EQ(value.Element(0).ToInt(), 1);
  EXPECT_EQ(value.Count(), 4);

  EXPECT_EQ(&value.Element(4), &JValue::Null());
  EXPECT_EQ(&value.Element(-1), &JValue::Null());
  EXPECT_EQ(&JValue("s").Element(0), &JValue::Null());
}

TEST(JValue, MemberTurnsTheValueIntoAnObject) {
  JValue value(12);
  JValue& member = value.Member("k");
  EXPECT_EQ(member.Type(), JNull);
  EXPECT_EQ(value.Type(), JObject);
  EXPECT_EQ(value.Count(), 1);
  EXPECT_TRUE(value.Has("k"));
  EXPECT_FALSE(value.Has("K"));

  // A present key gives the same member back.
  member = 5;
  EXPECT_EQ(value.Member("k").ToInt(), 5);
  EXPECT_EQ(value.Count(), 1);

  // A string is replaced, not kept.
  JValue text("was text");
  text.Member("a") = true;
  EXPECT_EQ(text.Count(), 1);
  EXPECT_TRUE(text.Find("a").ToBool());
}

TEST(JValue, ReadOnlyLookupsNeverChangeTheValue) {
  JValue array;
  array.At(1) = 2;
  EXPECT_EQ(&array.Find("k"), &JValue::Null());
  EXPECT_FALSE(array.Has("k"));
  EXPECT_EQ(array.Type(), JArray);
  EXPECT_EQ(array.Count(), 2);

  JValue object;
  object.Member("a") = 1;
  EXPECT_EQ(&object.Find("b"), &JValue::Null());
  EXPECT_EQ(object.Count(), 1);
  EXPECT_EQ(JValue::Null().Type(), JNull);
}

TEST(JValue, KeysAreListedInByteOrder) {
  JValue object;
  for (const char* key : {"b", "\xC3\xA9", "ab", "a", "Z", ""}) object.Member(key) = 0;
  std::vector<std::string> keys{"kept"};
  ASSERT_TRUE(object.Keys(keys));
  const std::vector<std::string> expected{"kept", "", "Z", "a", "ab", "b", "\xC3\xA9"};
  EXPECT_EQ(keys, expected);

  std::vector<std::string> untouched{"x"};
  EXPECT_FALSE(JValue(1).Keys(untouched));
  JValue empty;
  ASSERT_TRUE(JParse("{}", empty));
  EXPECT_EQ(empty.Type(), JObject);
  EXPECT_FALSE(empty.Keys(untouched));  // an object without storage
  EXPECT_EQ(untouched, std::vector<std::string>{"x"});
}

TEST(JValue, ClearFreesAndNulls) {
  JValue value;
  value.Member("a").At(2) = "x";
  value.Clear();
  EXPECT_EQ(value.Type(), JNull);
  EXPECT_EQ(value.Count(), 0);
  EXPECT_EQ(value.Dump(), "null\n");
}

TEST(JValue, CopiesAreDeepAndIndependent) {
  JValue original;
  original.Member("list").At(0) = "first";
  original.Member("list").At(1).Member("n") = 1;
  original.Member("name") = "orig";

  JValue copy(original);
  copy.Member("list").At(1).Member("n") = 2;
  copy.Member("list").At(0) = "changed";
  copy.Member("name") = "copy";
  copy.Member("extra") = true;

  EXPECT_EQ(original.Dump(), "{\"list\":[\"first\",{\"n\":1}],\"name\":\"orig\"}\n");
  EXPECT_EQ(copy.Dump(), "{\"extra\":true,\"list\":[\"changed\",{\"n\":2}],\"name\":\"copy\"}\n");
  EXPECT_NE(original.Find("name").ToText(), JValue(original).Find("name").ToText());

  JValue assigned(3);
  assigned = original;
  original.Clear();
  EXPECT_STREQ(assigned.Find("list").Element(0).ToText(), "first");

  // Containers without storage copy as such.
  JValue emptyArray;
  ASSERT_TRUE(JParse("[]", emptyArray));
  const JValue emptyCopy(emptyArray);
  EXPECT_EQ(emptyCopy.Type(), JArray);
  EXPECT_EQ(emptyCopy.Array(), nullptr);
}

TEST(JValue, AssignmentFromItselfOrItsOwnParts) {
  JValue value;
  value.Member("a").Member("b") = "deep";
  value.Member("c") = 1;

  const JValue& self = value;
  value = self;
  EXPECT_EQ(value.Dump(), "{\"a\":{\"b\":\"deep\"},\"c\":1}\n");

  // The source lives inside the storage the assignment replaces.
  value = value.Find("a");
  EXPECT_EQ(value.Dump(), "{\"b\":\"deep\"}\n");
  value = std::move(value.Member("b"));
  EXPECT_STREQ(value.ToText(), "deep");

  JValue array;
  array.At(0).At(0) = 9;
  array = array.At(0);
  EXPECT_EQ(array.Dump(), "[9]\n");
}

TEST(JValue, MoveLeavesTheSourceNull) {
  JValue source("text");
  JValue moved(std::move(source));
  EXPECT_EQ(source.Type(), JNull);  // NOLINT(bugprone-use-after-move)
  EXPECT_STREQ(moved.ToText(), "text");

  JValue target;
  target.At(2) = 1;
  target = std::move(moved);
  EXPECT_STREQ(target.ToText(), "text");
  EXPECT_EQ(moved.Type(), JNull);  // NOLINT(bugprone-use-after-move)
}

TEST(JValue, DumpWritesMembersInKeyOrder) {
  JValue object;
  object.Member("b") = 1;
  object.Member("a").At(0) = true;
  object.Member("a").At(1) = JValue();
  object.Member("c") = "x\ty";
  EXPECT_EQ(object.Dump(), "{\"a\":[true,null],\"b\":1,\"c\":\"x\\ty\"}\n");

  JValue bytes;
  bytes.Member("\xC3\xA9") = 1;
  bytes.Member("z") = 2;
  bytes.Member("ab") = 3;
  bytes.Member("a") = 4;
  EXPECT_EQ(bytes.Dump(), "{\"a\":4,\"ab\":3,\"z\":2,\"\xC3\xA9\":1}\n");
}

TEST(JValue, DumpWritesScalars) {
  EXPECT_EQ(JValue().Dump(), "null\n");
  EXPECT_EQ(JValue(false).Dump(), "false\n");
  EXPECT_EQ(Int64(INT64_MIN).Dump(), "-9223372036854775808\n");
  EXPECT_EQ(Int64(INT64_MAX).Dump(), "9223372036854775807\n");
  EXPECT_EQ(JValue(0.5).Dump(), "0.5\n");
  EXPECT_EQ(JValue(3.0).Dump(), "3\n");
  EXPECT_EQ(JValue(-2.25).Dump(), "-2.25\n");
  EXPECT_EQ(JValue(1234567.0).Dump(), "1.23457e+06\n");
  EXPECT_EQ(JValue(1e20).Dump(), "1e+20\n");
  EXPECT_EQ(JValue(1e-5).Dump(), "1e-05\n");
  EXPECT_EQ(JValue(static_cast<const char*>(nullptr)).Dump(), "\"\"\n");

  JValue emptyArray;
  ASSERT_TRUE(JParse("[]", emptyArray));
  EXPECT_EQ(emptyArray.Dump(), "[]\n");
  JValue emptyObject;
  ASSERT_TRUE(JParse("{}", emptyObject));
  EXPECT_EQ(emptyObject.Dump(), "{}\n");
}

TEST(JValue, DumpQuotesOnlyWhatMustBeQuoted) {
  EXPECT_EQ(JValue("plain \xE4\xB8\xAD").Dump(), "\"plain \xE4\xB8\xAD\"\n");
  EXPECT_EQ(JValue("q\"b\\\b\f\n\r\t").Dump(), "\"q\\\"b\\\\\\b\\f\\n\\r\\t\"\n");
  // Other control bytes and bytes above 0x7F go out raw; no \u is made.
  EXPECT_EQ(JValue("\x01\x1F\x7F\xFF").Dump(), "\"\x01\x1F\x7F\xFF\"\n");
  EXPECT_EQ(JValue("/").Dump(), "\"/\"\n");
  // A backslash before 'u' is doubled like every other backslash.
  EXPECT_EQ(JValue("C:\\util\\x").Dump(), "\"C:\\\\util\\\\x\"\n");
  EXPECT_EQ(JValue("\\u0041").Dump(), "\"\\\\u0041\"\n");

  JValue keyed;
  keyed.Member("a\"b") = 1;
  EXPECT_EQ(keyed.Dump(), "{\"a\\\"b\":1}\n");
}
