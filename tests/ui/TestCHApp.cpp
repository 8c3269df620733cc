#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/WindowTestSupport.h"
#include "ui/CHApp.h"
#include "ui/CHWindow.h"

using namespace pv;

namespace {

using CHAppTest = WindowTest;

TEST_F(CHAppTest, InitStoresTheArgumentsAndRegistersTheWindowClass) {
  {
    TestApp app;
    EXPECT_EQ(theApp, &app);
    wchar_t commandLine[] = L"/q";
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const ATOM atom = app.Init(instance, nullptr, commandLine, SW_SHOWNORMAL);
    ASSERT_NE(atom, 0);
    EXPECT_EQ(app.instance, instance);
    EXPECT_EQ(app.prevInstance, nullptr);
    EXPECT_EQ(app.commandLine, commandLine);
    EXPECT_EQ(app.showCommand, SW_SHOWNORMAL);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(::GetClassInfoExW(instance, L"CHWindow", &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS));
    EXPECT_EQ(wc.style, 11u);
    EXPECT_EQ(wc.lpfnWndProc, &CHWindow::WindowRouter);
    EXPECT_EQ(wc.hCursor, ::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(5));
    EXPECT_EQ(wc.hIcon, nullptr);
    EXPECT_EQ(wc.lpszMenuName, nullptr);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);

    // The class exists already: the same atom again, not a failure.
    EXPECT_EQ(app.Init(instance, nullptr, commandLine, SW_HIDE), atom);
  }
  EXPECT_EQ(theApp, nullptr);
}

// Objects of one parent chain; each logs who was asked and may take a message.
struct Log {
  std::vector<std::string> entries;
};

class Filter : public CHWindow {
 public:
  Filter(Log& log, std::string name, WPARAM takes) : log_(log), name_(std::move(name)), takes_(takes) {}
  bool PreTranslateMessage(MSG* message) override {
    if (message->message != WM_APP + 1) return false;
    log_.entries.push_back(name_ + "?" + std::to_string(message->wParam));
    return message->wParam == takes_;
  }
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) override {
    handled = message == WM_APP + 1;
    if (handled) log_.entries.push_back(name_ + "!" + std::to_string(wParam));
    return 0;
  }

 private:
  Log& log_;
  std::string name_;
  WPARAM takes_;
};

TEST_F(CHAppTest, LoopOffersMessagesUpTheParentChainThenDispatches) {
  Log log;
  Filter top(log, "top", 2);
  ASSERT_TRUE(top.Create(nullptr, nullptr, WS_POPUP, L"", CHWindow::kClassName, 0, 0, 0, 200, 200));
  // A window without an object in the middle of the chain is passed over.
  HWND middle = ::CreateWindowExW(0, CHWindow::kClassName, L"", WS_CHILD, 0, 0, 100, 100, top.GetHwnd(), nullptr,
                                  nullptr, nullptr);
  ASSERT_NE(middle, nullptr);
  Filter leaf(log, "leaf", 1);
  ASSERT_TRUE(leaf.Create(middle, nullptr, WS_CHILD, L"", CHWindow::kClassName, 0, 0, 0, 10, 10));

  // 0: nobody takes it, so it is dispatched to the leaf; 1: the leaf takes
  // it; 2: the leaf passes and the top takes it.
  for (WPARAM which : {0, 1, 2}) ::PostMessageW(leaf.GetHwnd(), WM_APP + 1, which, 0);
  ::PostQuitMessage(3);
  TestApp app;
  EXPECT_EQ(app.Run(), 3);
  EXPECT_EQ(app.exits, 1);

  const std::vector<std::string> expected = {"leaf?0", "top?0", "leaf!0", "leaf?1", "leaf?2", "top?2"};
  EXPECT_EQ(log.entries, expected);
  ::DestroyWindow(middle);
}

TEST_F(CHAppTest, RunReturnsTheQuitCodeAfterExitInstance) {
  TestApp app;
  ::PostQuitMessage(0);
  EXPECT_EQ(app.Run(), 0);
  EXPECT_EQ(app.exits, 1);
  ::PostQuitMessage(-2);
  EXPECT_EQ(app.Run(), -2);
  EXPECT_EQ(app.exits, 2);
}

}  // namespace
