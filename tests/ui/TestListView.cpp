#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/ui/FurtherControlSupport.h"
#include "ui/UIHeader.h"
#include "ui/UIKind.h"
#include "ui/UIListView.h"
#include "ui/UIScrollBar.h"

using namespace pv;

using namespace further;

namespace {

bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

class ListViewTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    const std::string cfg = R"({"List":{"Header":{"height":24,"bkgnd":)" + Swatch(6) + R"(,"splitter":)" + Swatch(7) +
                            R"(,"text":{"ft":7}},)"
                            R"("ScrollBar":{"thumb":)" +
                            Swatch(2) + R"(,"trackbar":)" + Swatch(5) + R"(},"Item":{"odd":)" + Swatch(0) +
                            R"(,"even":)" + Swatch(1) + R"(,"selected":)" + Swatch(3) + R"(,"height":20}}})";
    ASSERT_TRUE(LoadTestSkin(skin, cfg));
    host = MakeHost(260, 240);
    list = static_cast<UIListView*>(UIObject::CreateChild(UIKind::ListView, &skin, host.get(), "List", nullptr));
    ASSERT_NE(list, nullptr);
    bar = list->GetScrollBar();
  }
  void TearDown() override {
    host.reset();
    ControlTest::TearDown();
  }
  void AddRows(int count) {
    for (int i = 0; i < count; ++i) list->AddRow({L"row " + std::to_wstring(list->RowCount()), L"1 KB"});
  }
  void Wheel(short delta) {
    POINT screen{50, 100};
    ::ClientToScreen(host->GetHwnd(), &screen);
    Send(*host, WM_MOUSEMOVE, 50, 100);
    ::SendMessageW(host->GetHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                   MAKELPARAM(screen.x, screen.y));
  }

  UIResource skin;
  std::unique_ptr<TestHost> host;
  UIListView* list = nullptr;
  UIScrollBar* bar = nullptr;
};

TEST_F(ListViewTest, RowsAndCellsFollowTheHeader) {
  // The view places itself at 200 x 200 and owns its header and bar.
  EXPECT_EQ(list->GetKind(), 0);
  EXPECT_EQ(list->GetLayoutRequest(), (pv::LayoutRequest{0, 0, 200, 200}));
  EXPECT_EQ(list->Child(0), list->GetHeader());
  EXPECT_EQ(list->Child(1), bar);
  EXPECT_EQ(list->GetRowHeight(), 20);
  EXPECT_EQ(list->GetHeader()->GetHeight(), 24);
  EXPECT_TRUE(Same(list->GetListArea(), RECT{0, 24, 200, 200}));
  EXPECT_FALSE(bar->IsVisible());

  list->AddColumn(L"Name", 120);
  list->AddColumn(L"Size", 120);
  AddRows(8);  // 160 pixels fit the 176 of the area
  EXPECT_FALSE(bar->IsVisible());
  const UIListView::Row* row = list->GetRow(1);
  ASSERT_NE(row, nullptr);
  EXPECT_TRUE(Same(row->rect, RECT{0, 44, 200, 64}));
  EXPECT_TRUE(Same(row->cells[0].rect, RECT{0, 44, 120, 64}));
  EXPECT_TRUE(Same(row->cells[1].rect, RECT{120, 44, 200, 64}));  // cut at the area
  EXPECT_TRUE(list->SetCellText(1, 3, L"spare"));                 // a cell without a column
  EXPECT_EQ(list->GetRow(1)->cells.size(), 4u);
  EXPECT_EQ(list->GetRow(1)->cells[3].rect.right - list->GetRow(1)->cells[3].rect.left, 0);
  EXPECT_FALSE(list->SetCellText(99, 0, L"none"));

  // Stripes from the first band; a pressed row shows selected.
  Click(*host, 50, 50);
  EXPECT_EQ(list->GetSelectedRow(), 1);
  Repaint(*host);
  EXPECT_EQ(Pixel(*host, 5, 26), swatch::kGreen);    // row 0, even
  EXPECT_EQ(Pixel(*host, 5, 46), swatch::kYellow);   // row 1, selected
  EXPECT_EQ(Pixel(*host, 5, 66), swatch::kGreen);    // row 2, even
  EXPECT_EQ(Pixel(*host, 5, 86), swatch::kRed);      // row 3, odd
  EXPECT_EQ(Pixel(*host, 5, 195), swatch::kGreen);   // the bands go on below the rows
  EXPECT_EQ(Pixel(*host, 100, 20), swatch::kGray);   // the header
  EXPECT_EQ(Pixel(*host, 120, 5), swatch::kOrange);  // its splitter at the second column
  int white = 0;                                     // the cells' text, light on the green band
  for (int x = 0; x < 120; ++x) {
    for (int y = 64; y < 84; ++y) {
      const std::uint32_t c = Pixel(*host, x, y);
      white += (c >> 16) >= 160 && (c & 0xFF) >= 160;
    }
  }
  EXPECT_GT(white, 10);
  Click(*host, 50, 190);  // below the last row: no row there
  EXPECT_EQ(list->GetSelectedRow(), 1);
  EXPECT_TRUE(host->notices.empty());
}

TEST_F(ListViewTest, BarShowsOnlyWhileRowsOverflow) {
  list->AddColumn(L"Name", 120);
  list->AddColumn(L"Size", 120);
  AddRows(20);  // 400 pixels in 176
  ASSERT_TRUE(bar->IsVisible());
  EXPECT_EQ(bar->GetPosition(), 0);
  EXPECT_EQ(list->GetScrollOffset(), 0);
  EXPECT_TRUE(Same(list->GetListArea(), RECT{0, 24, 170, 200}));
  EXPECT_TRUE(Same(list->GetHeader()->GetRect(), RECT{0, 0, 170, 24}));
  EXPECT_TRUE(Same(bar->GetRect(), RECT{170, 24, 200, 200}));
  EXPECT_EQ(bar->GetMaximum(), 400);
  EXPECT_EQ(bar->GetPage(), 176);
  EXPECT_TRUE(Same(list->GetRow(0)->cells[1].rect, RECT{120, 24, 170, 44}));

  Wheel(-120);  // toward the user: an eighth of the page down
  EXPECT_EQ(list->GetScrollOffset(), 22);
  EXPECT_EQ(bar->GetPosition(), 22);
  // A press on the bar below its thumb pages down, within the last
  // position 400 - 176 - 1.
  const RECT below = bar->GetPageDownRect();
  Click(*host, 185, below.bottom - 2);
  EXPECT_EQ(list->GetScrollOffset(), 198);
  Click(*host, 185, bar->GetPageDownRect().bottom - 2);
  EXPECT_EQ(list->GetScrollOffset(), 223);
  Wheel(120);
  EXPECT_EQ(list->GetScrollOffset(), 201);
  EXPECT_TRUE(host->notices.empty());  // the view keeps its bar's messages

  // Rows scrolled up: a press picks the row under it, and the painted rows
  // move with the offset.
  Click(*host, 50, 30);  // (30 - 24 + 201) / 20
  EXPECT_EQ(list->GetSelectedRow(), 10);
  Repaint(*host);
  EXPECT_EQ(Pixel(*host, 5, 30), swatch::kYellow);
  EXPECT_EQ(Pixel(*host, 185, 30), swatch::kCyan);  // the bar's track above its thumb

  // Fewer rows: the offset stays inside the content; no overflow: the bar
  // goes and the area widens again.
  for (int i = 0; i < 10; ++i) list->RemoveRow(0);
  EXPECT_EQ(list->GetSelectedRow(), 0);
  EXPECT_EQ(list->GetScrollOffset(), 24);  // 200 - 176
  list->RemoveAllRows();
  EXPECT_FALSE(bar->IsVisible());
  EXPECT_EQ(list->GetScrollOffset(), 0);
  EXPECT_EQ(list->GetSelectedRow(), -1);
  EXPECT_TRUE(Same(list->GetListArea(), RECT{0, 24, 200, 200}));
  Wheel(-120);
  EXPECT_EQ(list->GetScrollOffset(), 0);
}

}  // namespace
