#pragma once

// A host window for skinned controls, with our skin, synthetic mouse input
// and a look at the pixels the host painted.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/ui/WindowTestSupport.h"
#include "ui/CHBitmap.h"
#include "ui/Handles.h"
#include "ui/UIObject.h"
#include "ui/UIResource.h"

using namespace pv;

// One report that reached the host: through Notify from the tree, or as a
// window message.
struct Report {
  UIObject* sender;  // null for a window message
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  friend bool operator==(const Report&, const Report&) = default;
};

// The root of a control tree on a white popup window; keeps every
// notification and every WM_COMMAND it receives.
class ControlHost : public UIObject {
 public:
  LRESULT Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) override {
    reports.push_back(Report{sender, message, wParam, lParam});
    return 0;
  }
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override {
    reports.push_back(Report{nullptr, WM_COMMAND, wParam, lParam});
    return UIObject::OnCommand(wParam, lParam);
  }
  std::vector<Report> Take() { return std::exchange(reports, {}); }

  std::vector<Report> reports;
};

class ControlTest : public WindowTest {
 public:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  }

  // A shown white host of the given client size.
  template <typename Host = ControlHost>
  std::unique_ptr<Host> MakeHost(int width, int height) {
    auto host = std::make_unique<Host>();
    EXPECT_TRUE(host->Create(nullptr, nullptr, WS_POPUP, L"", CHWindow::kClassName, 0, 0, 0, 0, 0));
    host->SetBackgroundBrush(pv::UniqueBrush(::CreateSolidBrush(RGB(255, 255, 255))));
    ::SetWindowPos(host->GetHwnd(), nullptr, 20, 20, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(host->GetHwnd(), SW_SHOWNOACTIVATE);
    ::UpdateWindow(host->GetHwnd());
    return host;
  }

  template <typename T>
  T* Make(int kind, UIObject* parent, const char* path, const JValue* node = nullptr) {
    UIObject* made = UIObject::CreateChild(kind, &skin, parent, path, node);
    T* typed = dynamic_cast<T*>(made);
    EXPECT_NE(typed, nullptr) << path;
    return typed;
  }

  static void Send(UIObject& host, UINT message, int x, int y) {
    ::SendMessageW(host.GetHwnd(), message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, y));
  }
  static void MoveTo(UIObject& host, int x, int y) { Send(host, WM_MOUSEMOVE, x, y); }
  static void Press(UIObject& host, int x, int y) { Send(host, WM_LBUTTONDOWN, x, y); }
  static void Release(UIObject& host, int x, int y) { Send(host, WM_LBUTTONUP, x, y); }
  // Move, press and release at one place.
  static void Click(UIObject& host, int x, int y) {
    MoveTo(host, x, y);
    Press(host, x, y);
    Release(host, x, y);
  }
  static void Leave(UIObject& host) { ::SendMessageW(host.GetHwnd(), WM_MOUSELEAVE, 0, 0); }

  // Paints what is pending and answers the colour of a back-buffer pixel as
  // 0xRRGGBB.
  static std::uint32_t Pixel(UIObject& host, int x, int y) {
    ::UpdateWindow(host.GetHwnd());
    ::GdiFlush();
    const COLORREF c = ::GetPixel(host.GetPaintDC(), x, y);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  }

  // A skin image pixel (premultiplied) laid over white, as 0xRRGGBB.
  static std::uint32_t OverWhite(const CHBitmap& image, int x, int y) {
    const std::uint32_t bgra = image.PixelAt(x, y);
    const std::uint32_t a = bgra >> 24;
    const std::uint32_t b = (bgra & 0xFF) + 255 - a;
    const std::uint32_t g = ((bgra >> 8) & 0xFF) + 255 - a;
    const std::uint32_t r = ((bgra >> 16) & 0xFF) + 255 - a;
    return (r << 16) | (g << 8) | b;
  }

  static bool Near(std::uint32_t a, std::uint32_t b, int tolerance = 2) {
    for (int shift : {0, 8, 16}) {
      if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
        return false;
      }
    }
    return true;
  }

  // How many pixels of the w x h block at (x, y) of the host differ from
  // the block at (sx, sy) of a skin image laid over white.
  int MismatchesFor(UIObject& host, int x, int y, int imageId, int sx, int sy, int w, int h) {
    CHBitmap* image = skin.GetImage(imageId, true);
    if (!image) return -1;
    Pixel(host, x, y);  // paints first
    HDC dc = host.GetPaintDC();
    int wrong = 0;
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        const COLORREF c = ::GetPixel(dc, x + i, y + j);
        const std::uint32_t seen = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        if (!Near(seen, OverWhite(*image, sx + i, sy + j))) ++wrong;
      }
    }
    return wrong;
  }

  // The smallest rectangle of pixels inside `area` that pass `ink`.
  template <typename Ink>
  static RECT InkBox(UIObject& host, const RECT& area, Ink ink) {
    Pixel(host, area.left, area.top);
    HDC dc = host.GetPaintDC();
    RECT box{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        const COLORREF c = ::GetPixel(dc, x, y);
        if (!ink((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c))) continue;
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
    }
    return box;
  }

  UIResource skin;
};
