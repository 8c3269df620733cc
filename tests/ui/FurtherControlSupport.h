#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/ui/WindowTestSupport.h"
#include "ui/Base64.h"
#include "ui/Handles.h"
#include "ui/UIObject.h"
#include "ui/UIResource.h"
#include "ui/UirPackage.h"

using namespace pv;

// The helpers of the scroll bar, tool bar, tab, list view and edit box tests;
// a namespace of their own keeps them apart from the basic controls' helpers
// in the same test program.
namespace further {

// What reached the top of a control tree through Notify.
struct Notice {
  UIObject* sender = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// A white popup window owning a control tree. It records the notifications
// that climb to it, the WM_COMMANDs and key-downs its window receives, and
// runs a hook for WM_APP, so a test can act in the middle of a control's
// own message loop.
class TestHost : public UIObject {
 public:
  std::vector<Notice> notices;
  std::vector<std::pair<WPARAM, LPARAM>> commands;
  std::vector<WPARAM> keys;
  std::function<void()> onApp;

  LRESULT Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) override {
    notices.push_back(Notice{sender, message, wParam, lParam});
    return 0;
  }
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override {
    commands.emplace_back(wParam, lParam);
    return UIObject::OnCommand(wParam, lParam);
  }
  LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam) override {
    keys.push_back(wParam);
    return UIObject::OnKeyDown(wParam, lParam);
  }
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override {
    if (message == WM_APP && onApp) onApp();
    return UIObject::OnMessage(message, wParam, lParam, handled);
  }
};

class ControlTest : public WindowTest {
 protected:
  // Shown without activation at (20, 20), well away from where the display
  // keeps its pointer, so the real mouse never wanders into a test.
  std::unique_ptr<TestHost> MakeHost(int width, int height) {
    auto host = std::make_unique<TestHost>();
    EXPECT_TRUE(host->Create(nullptr, nullptr, WS_POPUP, L"", CHWindow::kClassName, 0, 0, 0, 0, 0));
    host->SetBackgroundBrush(pv::UniqueBrush(::CreateSolidBrush(RGB(255, 255, 255))));
    ::SetWindowPos(host->GetHwnd(), nullptr, 20, 20, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(host->GetHwnd(), SW_SHOWNOACTIVATE);
    return host;
  }

  static LRESULT Send(UIObject& host, UINT message, int x, int y, WPARAM wParam = 0) {
    return ::SendMessageW(host.GetHwnd(), message, wParam, MAKELPARAM(x, y));
  }
  static void Post(UIObject& host, UINT message, int x, int y, WPARAM wParam = 0) {
    ::PostMessageW(host.GetHwnd(), message, wParam, MAKELPARAM(x, y));
  }
  // A whole click: the pointer arrives, the release is queued for the
  // control's own loop (if it runs one), and the press is sent.
  static void Click(UIObject& host, int x, int y) {
    Send(host, WM_MOUSEMOVE, x, y);
    Post(host, WM_LBUTTONUP, x, y);
    Send(host, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    DrainMessages();
  }

  // The colour of a back-buffer pixel after a full repaint, as 0xRRGGBB.
  static std::uint32_t Pixel(UIObject& host, int x, int y) {
    const COLORREF c = ::GetPixel(host.GetPaintDC(), x, y);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  }
  static void Repaint(UIObject& host) {
    ::InvalidateRect(host.GetHwnd(), nullptr, FALSE);
    ::UpdateWindow(host.GetHwnd());
  }
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The colours of tests/ui/data/swatches.png, one per column of an 8 x 4
// picture, as 0xRRGGBB.
namespace swatch {
constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00C800, kBlue = 0x0000FF, kYellow = 0xFFFF00, kPurple = 0xC800C8,
                        kCyan = 0x00C8C8, kGray = 0x808080, kOrange = 0xFF8000;
}  // namespace swatch

// A skin whose "cfg" is the given JSON text; image 100 is the swatch
// picture, so an image record {"bi":100,"bg":[n,0,1,4]} paints the n-th
// colour, and font 7 is the skin's own 12-pixel face. (Text records need a
// font here: GDI+ under Wine takes neither the system's UI face nor a
// generic family.)
inline bool LoadTestSkin(UIResource& skin, const std::string& cfg) {
  const std::string doc = R"({"cfg":)" + cfg + R"(,"res":{"images":[{"id":100}],"fonts":[{"id":7}]}})";
  const std::string font = R"({"FaceName":")" + Base64::Encode("Microsoft YaHei") + R"(","Height":-12})";
  const std::string package = UirPackage::WriteContainer(
      doc, {{100, ReadBytes(std::string(PIVSET_SOURCE_DIR) + "/tests/ui/data/swatches.png")}, {7, font}});
  return skin.LoadFromMemory(package.data(), package.size());
}

// An image record of one swatch colour.
inline std::string Swatch(int column) { return R"({"bi":100,"bg":[)" + std::to_string(column) + R"(,0,1,4]})"; }

}  // namespace further
