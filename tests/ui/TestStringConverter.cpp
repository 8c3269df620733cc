#include <gtest/gtest.h>

#include "ui/StringConverter.h"

using namespace pv;

TEST(StringConverter, ConvertsUtf8AndTheChineseCodePage) {
  StringConverter conv;
  EXPECT_STREQ(conv.ToWide("Pellio"), L"Pellio");
  EXPECT_STREQ(conv.ToWide("\xE5\xAE\x89\xE8\xA3\x85"), L"\x5B89\x88C5");  // 安装 in UTF-8
  EXPECT_STREQ(conv.ToWide("\xB0\xB2\xD7\xB0", 936), L"\x5B89\x88C5");     // 安装 in code page 936
  EXPECT_STREQ(conv.ToNarrow(L"\x5B89\x88C5"), "\xE5\xAE\x89\xE8\xA3\x85");
  EXPECT_STREQ(conv.ToNarrow(L"\x5B89\x88C5", 936), "\xB0\xB2\xD7\xB0");
}

TEST(StringConverter, NullGivesEmptyTextAndResultsStayValid) {
  StringConverter conv;
  EXPECT_STREQ(conv.ToWide(nullptr), L"");
  EXPECT_STREQ(conv.ToNarrow(nullptr), "");
  const wchar_t* first = conv.ToWide("first");
  for (int i = 0; i < 100; ++i) conv.ToWide("filler");
  EXPECT_STREQ(first, L"first");
}

TEST(StringConverter, ValueFormsStopAtNul) {
  EXPECT_EQ(ToWide(std::string_view("ab\0cd", 5)), L"ab");
  EXPECT_EQ(ToNarrow(std::wstring_view(L"ab\0cd", 5)), "ab");
  EXPECT_EQ(ToWide(""), L"");
}
