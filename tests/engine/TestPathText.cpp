#include "engine/PathText.h"

#include <gtest/gtest.h>

using namespace pv;

namespace pv {
namespace {

TEST(PathText, TrimsWhatTypingAndPastingLeaveAround) {
  EXPECT_EQ(TrimBlanks(L" \t D:\\Pellio \r\n"), L"D:\\Pellio");
  EXPECT_EQ(TrimBlanks(L"\v\f"), L"");
  // Blanks inside a name are part of it.
  EXPECT_EQ(TrimBlanks(L"C:\\Program Files"), L"C:\\Program Files");
}

TEST(PathText, SeparatorsAsTheSystemReadsThem) {
  EXPECT_EQ(WithBackslashes(L"C:/a/b\\c"), L"C:\\a\\b\\c");
  EXPECT_EQ(WithoutTrailingSeparators(L"C:\\a\\/\\"), L"C:\\a");
  // A root keeps its own separator: "C:" alone is the drive's current folder.
  EXPECT_EQ(WithoutTrailingSeparators(L"C:\\\\"), L"C:\\");
  EXPECT_EQ(WithoutTrailingSeparators(L"\\\\"), L"\\");
  EXPECT_EQ(JoinPath(L"C:\\", L"x"), L"C:\\x");
  EXPECT_EQ(JoinPath(L"C:\\a", L"x"), L"C:\\a\\x");
}

TEST(PathText, InsideMeansBelowTheFolderNotBesideIt) {
  EXPECT_TRUE(IsInsideFolder(L"C:\\Pellio\\bin\\a.dll", L"C:\\Pellio"));
  EXPECT_TRUE(IsInsideFolder(L"C:\\Pellio\\a.dll", L"C:\\Pellio\\"));
  EXPECT_TRUE(IsInsideFolder(L"c:\\pellio\\ПАПКА\\a", L"C:\\PELLIO"));
  EXPECT_TRUE(IsInsideFolder(L"C:\\Пеллио\\a", L"C:\\пеллио"));
  EXPECT_FALSE(IsInsideFolder(L"C:\\Pellio", L"C:\\Pellio"));
  EXPECT_FALSE(IsInsideFolder(L"C:\\Pellio\\", L"C:\\Pellio"));
  EXPECT_FALSE(IsInsideFolder(L"C:\\Pellio2\\a", L"C:\\Pellio"));
  EXPECT_FALSE(IsInsideFolder(L"C:\\a", L""));
  EXPECT_FALSE(IsInsideFolder(L"", L"C:\\Pellio"));
}

}  // namespace
}  // namespace pv
