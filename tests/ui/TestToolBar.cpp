#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "tests/ui/FurtherControlSupport.h"
#include "ui/CHBitmap.h"
#include "ui/UIKind.h"
#include "ui/UIToolBar.h"

using namespace pv;

using namespace further;

namespace {

bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

// An icon strip of 24 x 24 cells, three columns, one colour per row:
// normal red, hot green, pressed blue, disabled grey.
void MakeStrip(CHBitmap& strip) {
  ASSERT_TRUE(strip.CreateDib(72, 96, 24));
  const std::uint32_t rows[] = {swatch::kRed, swatch::kGreen, swatch::kBlue, swatch::kGray};
  for (int y = 0; y < 96; ++y) {
    std::uint8_t* line = strip.Bits() + (95 - y) * strip.Stride();  // bottom-up
    const std::uint32_t c = rows[y / 24];
    for (int x = 0; x < 72; ++x) {
      line[x * 3] = c & 0xFF;
      line[x * 3 + 1] = (c >> 8) & 0xFF;
      line[x * 3 + 2] = (c >> 16) & 0xFF;
    }
  }
}

struct Tool {
  bool exists = false;
  RECT rect{};
  std::wstring text;
};

Tool ReadTool(HWND tooltip, HWND owner, UINT_PTR id) {
  wchar_t buffer[80] = {};
  TTTOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = owner;
  info.uId = id;
  Tool tool;
  tool.exists = ::SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)) != 0;
  tool.rect = info.rect;
  info.lpszText = buffer;
  ::SendMessageW(tooltip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
  tool.text = buffer;
  return tool;
}

class ToolBarTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    const std::string cfg =
        R"({"Tools":{"id":5,"size":[10,10,300,40],"bkgnd":)" + Swatch(6) + R"(,"seperator":)" + Swatch(3) + "}}";
    ASSERT_TRUE(LoadTestSkin(skin, cfg));
    MakeStrip(strip);
    host = MakeHost(340, 80);
    bar = static_cast<UIToolBar*>(UIObject::CreateChild(UIKind::ToolBar, &skin, host.get(), "Tools", nullptr));
    ASSERT_NE(bar, nullptr);
    bar->SetIconStrip(&strip);
    bar->SetCellSize(24, 24);
    bar->SetPadding(2);
    bar->AddButton(101, 0, L"Open");
    bar->AddSeparator();
    bar->AddButton(102, 1, L"Save");
    bar->AddButton(103, 2);
  }
  void TearDown() override {
    host.reset();
    ControlTest::TearDown();
  }

  UIResource skin;
  CHBitmap strip;
  std::unique_ptr<TestHost> host;
  UIToolBar* bar = nullptr;
};

TEST_F(ToolBarTest, ItemsSitInCellsWithTheirTools) {
  EXPECT_EQ(bar->GetKind(), UIKind::ToolBar);
  EXPECT_EQ(bar->GetId(), 5);
  EXPECT_TRUE(Same(bar->GetRect(), RECT{10, 10, 310, 50}));
  // Cells of 24 centred in the 40-pixel bar, 2 pixels of padding on each
  // side; the separator is as wide as its image (1 pixel).
  EXPECT_TRUE(Same(bar->GetItem(0)->rect, RECT{12, 18, 36, 42}));
  EXPECT_TRUE(Same(bar->GetItem(1)->rect, RECT{40, 18, 41, 42}));
  EXPECT_TRUE(Same(bar->GetItem(2)->rect, RECT{45, 18, 69, 42}));
  EXPECT_TRUE(Same(bar->GetItem(3)->rect, RECT{73, 18, 97, 42}));

  HWND tips = bar->GetTooltipHwnd();
  ASSERT_NE(tips, nullptr);
  EXPECT_NE(tips, host->GetTooltipWindow());  // the bar's own window
  const Tool open = ReadTool(tips, host->GetHwnd(), 101);
  ASSERT_TRUE(open.exists);
  EXPECT_EQ(open.text, L"Open");
  EXPECT_TRUE(Same(open.rect, bar->GetItem(0)->rect));
  EXPECT_FALSE(ReadTool(tips, host->GetHwnd(), 103).exists);  // no text, no tool

  // A hidden item gives up its place and its tool.
  EXPECT_TRUE(bar->SetItemVisible(102, false));
  EXPECT_FALSE(ReadTool(tips, host->GetHwnd(), 102).exists);
  EXPECT_TRUE(Same(bar->GetItem(3)->rect, RECT{45, 18, 69, 42}));
  EXPECT_TRUE(bar->SetItemVisible(102, true));
  const Tool save = ReadTool(tips, host->GetHwnd(), 102);
  ASSERT_TRUE(save.exists);
  EXPECT_TRUE(Same(save.rect, RECT{45, 18, 69, 42}));
  EXPECT_FALSE(bar->SetItemVisible(999, false));

  // Each button shows its own column of the strip, the separator its image.
  Repaint(*host);
  EXPECT_EQ(Pixel(*host, 20, 30), swatch::kRed);
  EXPECT_EQ(Pixel(*host, 40, 30), swatch::kYellow);
  EXPECT_EQ(Pixel(*host, 150, 30), swatch::kGray);  // the bar's background
}

TEST_F(ToolBarTest, HoverPressAndClick) {
  Send(*host, WM_MOUSEMOVE, 20, 30);
  EXPECT_EQ(bar->GetHotItem(), 0);
  EXPECT_EQ(bar->GetState(), 2);
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
  Repaint(*host);
  EXPECT_EQ(Pixel(*host, 20, 30), swatch::kGreen);  // the hot row of the strip

  Send(*host, WM_LBUTTONDOWN, 20, 30, MK_LBUTTON);
  EXPECT_EQ(bar->GetState(), 3);
  Repaint(*host);
  EXPECT_EQ(Pixel(*host, 20, 30), swatch::kBlue);
  Send(*host, WM_LBUTTONUP, 20, 30);
  EXPECT_EQ(bar->GetState(), 0);
  ASSERT_EQ(host->notices.size(), 1u);
  EXPECT_EQ(host->notices[0].sender, bar);
  EXPECT_EQ(host->notices[0].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(host->notices[0].wParam, 101u);
  EXPECT_EQ(host->notices[0].lParam, reinterpret_cast<LPARAM>(host->GetHwnd()));
  ASSERT_EQ(host->commands.size(), 1u);
  EXPECT_EQ(host->commands[0], std::make_pair(WPARAM{101}, reinterpret_cast<LPARAM>(host->GetHwnd())));

  // Off the buttons (the separator counts as none) the arrow comes back.
  Send(*host, WM_MOUSEMOVE, 40, 30);
  EXPECT_EQ(bar->GetHotItem(), -1);
  EXPECT_EQ(bar->GetState(), 0);
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));

  // A disabled button is hot but keeps the cursor, shows its grey cell and
  // clicks nothing.
  bar->SetItemEnabled(103, false);
  Send(*host, WM_MOUSEMOVE, 80, 30);
  EXPECT_EQ(bar->GetHotItem(), 3);
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));
  Repaint(*host);
  EXPECT_EQ(Pixel(*host, 80, 30), swatch::kGray);
  Send(*host, WM_LBUTTONDOWN, 80, 30, MK_LBUTTON);
  Send(*host, WM_LBUTTONUP, 80, 30);
  EXPECT_EQ(host->notices.size(), 1u);
  EXPECT_EQ(host->commands.size(), 1u);
}

TEST_F(ToolBarTest, KeepHotItemsStayHotWhenThePointerLeaves) {
  bar->SetItemKeepHot(101, true);
  Send(*host, WM_MOUSEMOVE, 20, 30);
  Send(*host, WM_MOUSEMOVE, 200, 70);  // out of the bar
  EXPECT_EQ(bar->GetHotItem(), 0);
  EXPECT_EQ(bar->GetState(), 2);

  Send(*host, WM_MOUSEMOVE, 50, 30);
  EXPECT_EQ(bar->GetHotItem(), 2);
  Send(*host, WM_MOUSEMOVE, 200, 70);
  EXPECT_EQ(bar->GetHotItem(), -1);
  EXPECT_EQ(bar->GetState(), 0);

  // Removing items keeps the hot index on its item.
  Send(*host, WM_MOUSEMOVE, 80, 30);
  EXPECT_EQ(bar->GetHotItem(), 3);
  EXPECT_TRUE(bar->RemoveItem(101));
  EXPECT_EQ(bar->GetHotItem(), 2);
  EXPECT_FALSE(bar->RemoveItem(101));
  EXPECT_FALSE(ReadTool(bar->GetTooltipHwnd(), host->GetHwnd(), 101).exists);
  bar->RemoveAllItems();
  EXPECT_EQ(bar->ItemCount(), 0u);
  EXPECT_EQ(bar->GetHotItem(), -1);
  EXPECT_EQ(::SendMessageW(bar->GetTooltipHwnd(), TTM_GETTOOLCOUNT, 0, 0), 0);
}

}  // namespace
