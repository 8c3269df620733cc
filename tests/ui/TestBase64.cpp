#include <gtest/gtest.h>

#include "ui/Base64.h"

using namespace pv;

TEST(Base64, EncodesRfc4648Vectors) {
  EXPECT_EQ(Base64::Encode(""), "");
  EXPECT_EQ(Base64::Encode("f"), "Zg==");
  EXPECT_EQ(Base64::Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64::Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64::Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64::Encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Base64::Encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(Base64::Encode("C:\\A"), "QzpcQQ==");
}

TEST(Base64, RoundTripsEveryByteValue) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (std::size_t len = 0; len <= all.size(); len += 7) {
    const std::string part = all.substr(0, len);
    std::string back;
    ASSERT_TRUE(Base64::Decode(Base64::Encode(part), back));
    EXPECT_EQ(back, part);
  }
}

TEST(Base64, RefusesInvalidText) {
  std::string out = "stale";
  for (const char* bad : {"Zg=", "Zg", "Z===", "Zm9v!A==", "Zg==Zg==", "=Zg=", "Zh==", "Zm9=", " Zg=", "Zg==\n"}) {
    EXPECT_FALSE(Base64::Decode(bad, out)) << bad;
    EXPECT_TRUE(out.empty()) << bad;
    EXPECT_EQ(Base64::DecodeOrEmpty(bad), "") << bad;
  }
  EXPECT_EQ(Base64::DecodeOrEmpty("QzpcQQ=="), "C:\\A");
}
