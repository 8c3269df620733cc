#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "tests/ui/WindowTestSupport.h"
#include "ui/CHTooltip.h"

using namespace pv;

namespace {

struct Tool {
  bool exists = false;
  RECT rect{};
  UINT flags = 0;
  std::wstring text;
};

Tool ReadTool(HWND tooltip, HWND owner, UINT_PTR id) {
  wchar_t buffer[80] = {};
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = owner;
  info.uId = id;
  Tool tool;
  tool.exists = ::SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)) != 0;
  tool.rect = info.rect;
  tool.flags = info.uFlags;
  info.lpszText = buffer;
  ::SendMessageW(tooltip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
  tool.text = buffer;
  return tool;
}

using CHTooltipTest = WindowTest;

TEST_F(CHTooltipTest, SetToolAddsThenUpdatesKeepingTheRectangle) {
  CHWindow owner;
  ASSERT_TRUE(owner.Create(nullptr, nullptr, WS_POPUP, L"", CHWindow::kClassName, 0, 0, 0, 200, 100));
  CHTooltip tooltip;
  ASSERT_TRUE(tooltip.Create(owner.GetHwnd(), nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, nullptr,
                             TOOLTIPS_CLASSW, WS_EX_TOPMOST, 0, 0, 0, 0));
  HWND tip = tooltip.GetHwnd();
  EXPECT_EQ(CHWindow::FromHandle(tip), &tooltip);

  const RECT area{1, 2, 30, 40};
  tooltip.SetTool(owner.GetHwnd(), 5, L"First", &area);
  EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  Tool tool = ReadTool(tip, owner.GetHwnd(), 5);
  ASSERT_TRUE(tool.exists);
  EXPECT_TRUE(::EqualRect(&tool.rect, &area));
  EXPECT_EQ(tool.flags, 0u);
  EXPECT_EQ(tool.text, L"First");

  // Updating without a rectangle changes the text and keeps the area.
  tooltip.SetTool(owner.GetHwnd(), 5, L"\x5B89\x88C5");
  EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  tool = ReadTool(tip, owner.GetHwnd(), 5);
  EXPECT_TRUE(::EqualRect(&tool.rect, &area));
  EXPECT_EQ(tool.text, L"\x5B89\x88C5");

  // A new tool without a rectangle starts empty.
  tooltip.SetTool(owner.GetHwnd(), 6, L"Third");
  EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
  tool = ReadTool(tip, owner.GetHwnd(), 6);
  ASSERT_TRUE(tool.exists);
  EXPECT_TRUE(::IsRectEmpty(&tool.rect));
  EXPECT_EQ(tool.text, L"Third");

  // Without a window there is nothing to add to.
  CHTooltip unbound;
  unbound.SetTool(owner.GetHwnd(), 1, L"none");
}

}  // namespace
