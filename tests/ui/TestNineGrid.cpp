#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "ui/NineGrid.h"

using namespace pv;

namespace {

using pv::NinePiece;
using pv::Rect;

std::vector<NinePiece> Pieces(const Rect& source, const Rect& dest, const pv::Margins& margins) {
  const pv::NinePieces pieces = pv::NineGridPieces(source, dest, margins);
  return std::vector<NinePiece>(pieces.begin(), pieces.end());
}

TEST(NineGrid, MarginsKeepTheCornersAndStretchTheRest) {
  // A 12 x 12 source with margins 4 into 30 x 30 at (10, 20).
  const std::vector<NinePiece> expected = {
      {{0, 0, 4, 4}, {10, 20, 14, 24}},  {{4, 0, 8, 4}, {14, 20, 36, 24}},  {{8, 0, 12, 4}, {36, 20, 40, 24}},
      {{0, 4, 4, 8}, {10, 24, 14, 46}},  {{4, 4, 8, 8}, {14, 24, 36, 46}},  {{8, 4, 12, 8}, {36, 24, 40, 46}},
      {{0, 8, 4, 12}, {10, 46, 14, 50}}, {{4, 8, 8, 12}, {14, 46, 36, 50}}, {{8, 8, 12, 12}, {36, 46, 40, 50}},
  };
  EXPECT_EQ(Pieces({0, 0, 12, 12}, {10, 20, 40, 50}, {4, 4, 4, 4}), expected);
}

TEST(NineGrid, BandsExistOnlyWhereTheyHaveRoom) {
  // No margins (or negative ones): the whole source stretched in one piece.
  const std::vector<NinePiece> whole{{{3, 5, 27, 53}, {0, 0, 200, 48}}};
  EXPECT_EQ(Pieces({3, 5, 27, 53}, {0, 0, 200, 48}, {0, 0, 0, 0}), whole);
  EXPECT_EQ(Pieces({3, 5, 27, 53}, {0, 0, 200, 48}, {-5, -5, -5, -5}), whole);
  // A check box strip: the 12-pixel box kept, the rest stretched, no top or
  // bottom row.
  EXPECT_EQ(Pieces({0, 12, 16, 24}, {54, 115, 174, 127}, {12, 0, 0, 0}),
            (std::vector<NinePiece>{{{0, 12, 12, 24}, {54, 115, 66, 127}}, {{12, 12, 16, 24}, {66, 115, 174, 127}}}));
  // Margins filling the source leave no middle band; a target smaller than
  // the margins keeps only its (overlapping) corners.
  EXPECT_EQ(Pieces({0, 0, 8, 8}, {0, 0, 20, 20}, {4, 4, 4, 4}).size(), 4u);
  const auto small = Pieces({0, 0, 12, 12}, {0, 0, 6, 6}, {4, 4, 4, 4});
  ASSERT_EQ(small.size(), 4u);
  EXPECT_EQ(small[1], (NinePiece{{8, 0, 12, 4}, {2, 0, 6, 4}}));
  // Nothing from an empty source or into an empty target.
  EXPECT_TRUE(Pieces({0, 0, 0, 10}, {0, 0, 30, 30}, {}).empty());
  EXPECT_TRUE(Pieces({0, 0, 10, 10}, {5, 5, 1, 1}, {2, 2, 2, 2}).empty());
}

TEST(NineGrid, ExtremeNumbersGiveBoundedPieces) {
  // Skin numbers are untrusted: nothing may overflow (the sanitizers watch)
  // and every piece handed out has area.
  const Rect rects[] = {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, INT_MAX, 1}, {INT_MAX - 1, 0, INT_MAX, 5}};
  const pv::Margins margins[] = {{INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {INT_MIN, 1, INT_MAX, 0}, {1, 1, 1, 1}};
  for (const Rect& source : rects) {
    for (const Rect& dest : rects) {
      for (const pv::Margins& m : margins) {
        for (const NinePiece& piece : pv::NineGridPieces(source, dest, m)) {
          EXPECT_FALSE(piece.source.IsEmpty());
          EXPECT_FALSE(piece.dest.IsEmpty());
        }
      }
    }
  }
  EXPECT_EQ(pv::PlaceForeground({INT_MAX - 1, 0, INT_MAX, 1}, INT_MIN, 0, 128, INT_MAX, 0).x, INT_MAX);
}

TEST(NineGrid, ForegroundPlacement) {
  // A 21 x 11 picture in 100 x 50 at (10, 20); centres use integer
  // division: (10 + 110) / 2 - 21 / 2 = 50 and (20 + 70) / 2 - 11 / 2 = 40.
  const std::pair<int, pv::Point> cases[] = {
      {1, {10, 20}},  {2, {50, 20}},  {4, {89, 20}},   {8, {10, 40}}, {16, {89, 40}},
      {32, {10, 59}}, {64, {50, 59}}, {128, {89, 59}}, {0, {50, 40}}, {3, {50, 40}},
  };
  for (const auto& [alignment, at] : cases) {
    EXPECT_EQ(pv::PlaceForeground({10, 20, 110, 70}, 21, 11, alignment, 0, 0), at) << "alignment " << alignment;
  }
  EXPECT_EQ(pv::PlaceForeground({10, 20, 110, 70}, 21, 11, 1, 3, -4), (pv::Point{13, 16}));
}

}  // namespace
