#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "tests/ui/FurtherControlSupport.h"
#include "ui/StylePainter.h"
#include "ui/UIKind.h"
#include "ui/UITabCtrl.h"

using namespace pv;

using namespace further;

namespace {

bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

class TabCtrlTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    const std::string cfg = R"({"Tabs":{"bkgnd":)" + Swatch(6) + R"(,"Item":{"normal":)" + Swatch(0) +
                            R"(,"pressed":)" + Swatch(2) +
                            R"(},"Text":{"normal":{"ft":7,"cr":0},"pressed":{"ft":7,"cr":16777215}}}})";
    ASSERT_TRUE(LoadTestSkin(skin, cfg));
    host = MakeHost(460, 200);
    tabs = static_cast<UITabCtrl*>(UIObject::CreateChild(UIKind::TabCtrl, &skin, host.get(), "Tabs", nullptr));
    ASSERT_NE(tabs, nullptr);
    tabs->SetLayout(10, 10, 440, 30);  // the control reads no size of its own
  }
  void TearDown() override {
    host.reset();
    ControlTest::TearDown();
  }
  int TextWidth(const wchar_t* text) {
    return MeasureTextStyle(host->GetPaintDC(), skin.GetTextStyle("Tabs/Text/normal", nullptr),
                            RECT{0, 0, 32767, 32767}, text)
        .cx;
  }

  UIResource skin;
  std::unique_ptr<TestHost> host;
  UITabCtrl* tabs = nullptr;
};

TEST_F(TabCtrlTest, TabsAreTheirTextPlus35OrAtLeast80) {
  EXPECT_EQ(tabs->GetKind(), UIKind::TabCtrl);
  const wchar_t* longText = L"Installation folder and shortcuts";
  const int narrow = TextWidth(L"ab");
  const int wide = TextWidth(longText);
  ASSERT_GT(narrow, 0);
  ASSERT_LT(narrow, 45);
  ASSERT_GE(wide, 45);
  tabs->AddTab(11, L"ab");
  tabs->AddTab(12, longText);
  tabs->AddTab(13, L"hidden");
  tabs->AddTab(14, L"x");
  tabs->SetTabVisible(2, false);
  tabs->ArrangeTabs();
  EXPECT_TRUE(Same(tabs->GetTab(0)->rect, RECT{10, 10, 90, 40}));
  EXPECT_TRUE(Same(tabs->GetTab(1)->rect, RECT{90, 10, 90 + wide + 35, 40}));
  EXPECT_TRUE(::IsRectEmpty(&tabs->GetTab(2)->rect));
  EXPECT_TRUE(Same(tabs->GetTab(3)->rect, RECT{125 + wide, 10, 205 + wide, 40}));

  tabs->SetVertical(true);
  tabs->ArrangeTabs();
  EXPECT_TRUE(Same(tabs->GetTab(1)->rect, RECT{10, 40, 450, 70}));
  EXPECT_TRUE(Same(tabs->GetTab(3)->rect, RECT{10, 70, 450, 100}));
}

TEST_F(TabCtrlTest, PressingAnotherTabSelectsItAndTellsOnce) {
  tabs->AddTab(11, L"One");
  tabs->AddTab(12, L"Two");
  tabs->AddTab(13, L"Three");
  EXPECT_EQ(tabs->GetSelected(), -1);
  Click(*host, 100, 20);  // the second tab
  EXPECT_EQ(tabs->GetSelected(), 1);
  ASSERT_EQ(host->notices.size(), 1u);
  EXPECT_EQ(host->notices[0].sender, tabs);
  EXPECT_EQ(host->notices[0].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(host->notices[0].wParam, 12u);
  EXPECT_EQ(host->notices[0].lParam, reinterpret_cast<LPARAM>(tabs));
  ASSERT_EQ(host->commands.size(), 1u);
  EXPECT_EQ(host->commands[0], std::make_pair(WPARAM{12}, reinterpret_cast<LPARAM>(host->GetHwnd())));

  // The selected tab again: nothing. Beside the tabs: nothing.
  Click(*host, 100, 20);
  Click(*host, 400, 20);
  EXPECT_EQ(host->notices.size(), 1u);
  EXPECT_EQ(host->commands.size(), 1u);
  EXPECT_EQ(tabs->GetSelected(), 1);

  // The selected tab in its pressed look, the others normal, the rest of
  // the strip its background.
  Repaint(*host);
  EXPECT_EQ(Pixel(*host, 12, 12), swatch::kRed);
  EXPECT_EQ(Pixel(*host, 92, 12), swatch::kBlue);
  EXPECT_EQ(Pixel(*host, 445, 38), swatch::kGray);

  // A disabled control takes no presses; a removed selected tab leaves
  // none selected.
  tabs->SetEnabled(false);
  Click(*host, 20, 20);
  EXPECT_EQ(tabs->GetSelected(), 1);
  EXPECT_TRUE(tabs->RemoveTab(1));
  EXPECT_EQ(tabs->GetSelected(), -1);
  EXPECT_FALSE(tabs->RemoveTab(5));
  EXPECT_FALSE(tabs->SetSelected(2));
  EXPECT_EQ(host->notices.size(), 1u);
}

}  // namespace
