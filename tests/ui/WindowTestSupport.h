#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "ui/CHApp.h"
#include "ui/CHWindow.h"

using namespace pv;

// An application with nothing to do, so tests can call Init and Run.
class TestApp : public CHApp {
 public:
  bool InitInstance() override { return true; }
  bool ExitInstance() override {
    ++exits;
    return true;
  }
  CHWindow* GetMainWindow() override { return nullptr; }
  int exits = 0;
};

// The common controls and the "CHWindow" class, once per test program.
inline bool PrepareWindowing() {
  static const bool ready = [] {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
    ::InitCommonControlsEx(&controls);
    return CHApp::RegisterWindowClass(::GetModuleHandleW(nullptr)) != 0;
  }();
  return ready;
}

// Empties this thread's queue, a pending WM_QUIT included, so one test's
// leftovers never reach the next.
inline void DrainMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

class WindowTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(PrepareWindowing()); }
  void TearDown() override { DrainMessages(); }
};

inline RECT WindowRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return rect;
}

// A window's top-left corner in its parent's client coordinates.
inline POINT PositionInParent(HWND window) {
  const RECT rect = WindowRect(window);
  POINT corner{rect.left, rect.top};
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), &corner, 1);
  return corner;
}
