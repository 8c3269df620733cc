#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "tests/ui/FurtherControlSupport.h"
#include "ui/ScrollMath.h"
#include "ui/UIKind.h"
#include "ui/UIScrollBar.h"

using namespace pv;

using namespace further;

namespace {

class ScrollBarTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    ASSERT_TRUE(LoadTestSkin(skin, R"({"Bar":{"thumb":)" + Swatch(2) + R"(,"trackbar":)" + Swatch(0) + "}}"));
    host = MakeHost(200, 260);
    bar = static_cast<UIScrollBar*>(UIObject::CreateChild(UIKind::ScrollBar, &skin, host.get(), "Bar", nullptr));
    ASSERT_NE(bar, nullptr);
    // The bar reads no size; its owner places it: 20 x 200 at (10, 20).
    bar->SetLayout(10, 20, 20, 200);
    // Page 100 of 1000: a thumb of MulDiv(99, 200, 1000) = 20 pixels, at
    // MulDiv(500, 200, 1000) = 100 below the top.
    bar->SetRange(0, 1000);
    bar->SetPage(100);
    bar->SetPosition(500);
  }
  void TearDown() override {
    host.reset();
    ControlTest::TearDown();
  }

  // A press on the thumb with the given moves (and whatever else) queued
  // for the drag loop, then the release unless told otherwise.
  void Drag(std::initializer_list<POINT> moves, bool release = true) {
    Send(*host, WM_MOUSEMOVE, 20, 130);
    for (POINT p : moves) Post(*host, WM_MOUSEMOVE, p.x, p.y, MK_LBUTTON);
    if (release) Post(*host, WM_LBUTTONUP, 20, 130);
    Send(*host, WM_LBUTTONDOWN, 20, 130, MK_LBUTTON);
  }

  static WPARAM Track(int position) { return MAKEWPARAM(SB_THUMBTRACK, position); }

  UIResource skin;
  std::unique_ptr<TestHost> host;
  UIScrollBar* bar = nullptr;
};

bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

TEST_F(ScrollBarTest, MulDivIsTheSystemsOwn) {
  const int samples[][3] = {{49, 100, 200}, {-49, 100, 200}, {5, 3, -2},      {-5, -3, -2},    {7, 1, 3},
                            {1, 1, 0},      {INT_MAX, 2, 1}, {INT_MAX, 7, 7}, {INT_MIN, 1, 1}, {0, 0, 5},
                            {3, 3, 2},      {-3, 3, 2},      {99, 200, 1000}, {130, 901, 180}, {-7, 2, -4}};
  for (const auto& s : samples) EXPECT_EQ(pv::MulDiv(s[0], s[1], s[2]), ::MulDiv(s[0], s[1], s[2])) << s[0];
}

TEST_F(ScrollBarTest, PaintsTrackAndThumbAndPagesOnPresses) {
  EXPECT_EQ(bar->GetKind(), 0);
  EXPECT_TRUE(Same(bar->GetThumbRect(), RECT{10, 120, 30, 140}));
  EXPECT_TRUE(Same(bar->GetPageUpRect(), RECT{10, 20, 30, 120}));
  EXPECT_TRUE(Same(bar->GetPageDownRect(), RECT{10, 140, 30, 220}));
  Repaint(*host);
  EXPECT_EQ(Pixel(*host, 20, 130), swatch::kBlue);
  EXPECT_EQ(Pixel(*host, 20, 50), swatch::kRed);
  EXPECT_EQ(Pixel(*host, 20, 219), swatch::kRed);
  EXPECT_EQ(Pixel(*host, 40, 50), 0xFFFFFFu);

  Click(*host, 20, 50);
  Click(*host, 20, 200);
  ASSERT_EQ(host->notices.size(), 2u);
  EXPECT_EQ(host->notices[0].sender, bar);
  EXPECT_EQ(host->notices[0].message, static_cast<UINT>(WM_VSCROLL));
  EXPECT_EQ(host->notices[0].wParam, static_cast<WPARAM>(SB_PAGEUP));
  EXPECT_EQ(host->notices[0].lParam, 0);
  EXPECT_EQ(host->notices[1].wParam, static_cast<WPARAM>(SB_PAGEDOWN));
  // The bar only reports; the owner moves it.
  EXPECT_EQ(bar->GetPosition(), 500);
}

TEST_F(ScrollBarTest, ThumbDragRunsItsOwnLoop) {
  Drag({
      {20, 150},   // 20 down: top 140, MulDiv(120, 901, 180) = 601
      {150, 160},  // 120 pixels to the right of the track: ignored
      {20, 10},    // above the track: ignored
      {20, 160},   // 10 down from the last move that counted: 651
      {20, 160},   // no movement, no report
  });
  ASSERT_EQ(host->notices.size(), 2u);
  EXPECT_EQ(host->notices[0].wParam, Track(601));
  EXPECT_EQ(host->notices[1].wParam, Track(651));
  EXPECT_EQ(bar->GetTrackedPosition(), 651);
  EXPECT_TRUE(Same(bar->GetThumbRect(), RECT{10, 150, 30, 170}));
  EXPECT_FALSE(bar->IsDragging());
  EXPECT_EQ(::GetCapture(), nullptr);

  // Dragged past the bottom the thumb stops at the end of the track.
  host->notices.clear();
  bar->SetPosition(500);
  Drag({{20, 219}, {110, 219}});
  ASSERT_EQ(host->notices.size(), 1u);
  EXPECT_TRUE(Same(bar->GetThumbRect(), RECT{10, 200, 30, 220}));
  EXPECT_EQ(host->notices[0].wParam, Track(901));
}

TEST_F(ScrollBarTest, DragEndsOnEscapeDroppingOtherKeys) {
  Send(*host, WM_MOUSEMOVE, 20, 130);
  Post(*host, WM_KEYDOWN, 0, 0, 'A');
  Post(*host, WM_MOUSEMOVE, 20, 135, MK_LBUTTON);  // 5 down: MulDiv(105, 901, 180) = 526
  Post(*host, WM_KEYDOWN, 0, 0, 'B');
  Post(*host, WM_KEYDOWN, 0, 0, VK_ESCAPE);
  Post(*host, WM_MOUSEMOVE, 20, 180, MK_LBUTTON);  // after Escape: not the loop's
  Send(*host, WM_LBUTTONDOWN, 20, 130, MK_LBUTTON);
  ASSERT_EQ(host->notices.size(), 1u);
  EXPECT_EQ(host->notices[0].wParam, Track(526));
  EXPECT_EQ(::GetCapture(), nullptr);
  DrainMessages();
  EXPECT_EQ(host->notices.size(), 1u);
  EXPECT_TRUE(host->keys.empty());  // keys held back from the window, Escape included
}

TEST_F(ScrollBarTest, DragEndsWhenTheCaptureGoesOrTheApplicationQuits) {
  host->onApp = [] { ::ReleaseCapture(); };
  Post(*host, WM_APP, 0, 0);
  Drag({{20, 180}}, false);
  EXPECT_TRUE(host->notices.empty());  // the loop ended before the move
  EXPECT_FALSE(bar->IsDragging());
  DrainMessages();
  EXPECT_TRUE(host->notices.empty());

  // A quit during the drag ends it and is posted again for the
  // application's own loop.
  Send(*host, WM_MOUSEMOVE, 20, 130);
  Post(*host, WM_MOUSEMOVE, 20, 135, MK_LBUTTON);
  ::PostQuitMessage(7);
  Send(*host, WM_LBUTTONDOWN, 20, 130, MK_LBUTTON);
  EXPECT_EQ(host->notices.size(), 1u);
  EXPECT_EQ(::GetCapture(), nullptr);
  MSG quit{};
  ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 7u);
}

TEST_F(ScrollBarTest, NoRangeMeansNothingToDrag) {
  bar->SetRange(300, 300);
  EXPECT_TRUE(::IsRectEmpty(&bar->GetThumbRect()));
  Drag({{20, 150}, {20, 200}});
  Click(*host, 20, 30);
  Click(*host, 20, 210);
  EXPECT_TRUE(host->notices.empty());
  EXPECT_TRUE(::IsRectEmpty(&bar->GetThumbRect()));
  Repaint(*host);
  EXPECT_EQ(Pixel(*host, 20, 130), swatch::kRed);
}

}  // namespace
