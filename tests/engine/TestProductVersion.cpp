#include <gtest/gtest.h>

#include "engine/ProductVersion.h"

using namespace pv;

TEST(ProductVersion, ReadsThreeOrFourNumbers) {
  EXPECT_EQ(ParseProductVersion(L"1.2.3"), (ProductVersion{1, 2, 3, 0}));
  EXPECT_EQ(ParseProductVersion(L"65535.0.10.7"), (ProductVersion{65535, 0, 10, 7}));
  // What another tool may have written is no version of ours.
  for (const wchar_t* text : {L"", L"1", L"1.2", L"1.2.3.4.5", L"1..3", L"1.2.3.", L".1.2.3", L"1.2.65536",
                              L"1.2.9999999999", L"1.2.3 ", L" 1.2.3", L"1.2.3-beta", L"v1.2.3", L"１.2.3"}) {
    EXPECT_FALSE(ParseProductVersion(text)) << testing::PrintToString(std::wstring(text));
  }
}

TEST(ProductVersion, OnlyAnOlderVersionThanARegisteredOneIsADowngrade) {
  EXPECT_TRUE(IsDowngrade(L"1.0.0", L"1.0.1"));
  EXPECT_TRUE(IsDowngrade(L"1.9.9.9", L"2.0.0"));
  EXPECT_TRUE(IsDowngrade(L"1.2.3", L"1.2.3.1"));
  EXPECT_TRUE(IsDowngrade(L"1.2.9", L"1.10.0"));  // numbers, not text
  EXPECT_FALSE(IsDowngrade(L"1.2.3", L"1.2.3"));  // a reinstall
  EXPECT_FALSE(IsDowngrade(L"1.2.3", L"1.2.3.0"));
  EXPECT_FALSE(IsDowngrade(L"1.10.0", L"1.2.9"));
  // A registration without a version, or with one we cannot read, is upgraded.
  EXPECT_FALSE(IsDowngrade(L"1.0.0", L""));
  EXPECT_FALSE(IsDowngrade(L"1.0.0", L"9.x"));
}
