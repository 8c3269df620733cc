#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "json/JValue.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/UIButton.h"
#include "ui/UIFrameWindow.h"
#include "ui/UIKind.h"
#include "ui/UILabel.h"
#include "ui/UIPane.h"

using namespace pv;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kAccent = 0x0E6CF0;

// Keeps the system commands it receives; a close or a minimise is only
// written down, so the window stays for the test.
class RecordingFrame : public UIFrameWindow {
 public:
  LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam) override {
    const WPARAM command = wParam & 0xFFF0;
    commands.push_back(command);
    if (command == SC_CLOSE || command == SC_MINIMIZE) return 0;
    return UIFrameWindow::OnSysCommand(wParam, lParam);
  }
  std::vector<WPARAM> commands;
};

class FrameTest : public ControlTest {
 protected:
  // A shown frame of the given size, styled from `path` (or the node) of
  // `resource` (our skin when none is given).
  template <typename Frame = RecordingFrame>
  std::unique_ptr<Frame> MakeFrame(DWORD style, int width, int height, const char* path, const JValue* node = nullptr,
                                   IResource* resource = nullptr) {
    auto frame = std::make_unique<Frame>();
    EXPECT_TRUE(frame->Create(nullptr, nullptr, style, L"", CHWindow::kClassName, 0, 40, 40, 0, 0));
    frame->SetBackgroundBrush(pv::UniqueBrush(::CreateSolidBrush(RGB(255, 255, 255))));
    frame->LoadStyle(resource ? resource : &skin, path, node);
    ::SetWindowPos(frame->GetHwnd(), nullptr, 40, 40, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(frame->GetHwnd(), SW_SHOWNOACTIVATE);
    ::UpdateWindow(frame->GetHwnd());
    return frame;
  }

  static LRESULT HitTest(UIObject& frame, int x, int y) {
    POINT screen{x, y};
    ::ClientToScreen(frame.GetHwnd(), &screen);
    return ::SendMessageW(frame.GetHwnd(), WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
  }

  static POINT Centre(const UIObject& control) {
    const RECT& r = control.GetRect();
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
};

bool SameRect(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

TEST_F(FrameTest, OurSkinGivesACaptionBandThinBordersAndAPlainRegion) {
  auto frame = MakeFrame(WS_POPUP | WS_CAPTION, 528, 348, "MainWindow");
  HWND window = frame->GetHwnd();
  EXPECT_EQ(frame->GetKind(), UIKind::FrameWindow);
  // The caption bits went at WM_CREATE and the whole window is client area.
  EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION, 0);
  RECT client{};
  ::GetClientRect(window, &client);
  EXPECT_TRUE(SameRect(client, RECT{0, 0, 528, 348}));
  EXPECT_TRUE(SameRect(frame->GetRect(), client));
  EXPECT_EQ(::SendMessageW(window, WM_NCACTIVATE, FALSE, 0), TRUE);

  const pv::FrameBands bands = frame->GetBands();
  EXPECT_EQ(bands.top, 40);
  EXPECT_EQ(bands.left, 1);
  EXPECT_EQ(bands.right, 1);
  EXPECT_EQ(bands.bottom, 1);
  EXPECT_EQ(frame->GetFrameRects().client, (pv::Rect{1, 40, 527, 347}));

  // Only a close button, 34 x 28, 40 pixels in from the right edge.
  ASSERT_NE(frame->CloseButton(), nullptr);
  EXPECT_TRUE(SameRect(frame->CloseButton()->GetRect(), RECT{488, 10, 522, 38}));
  EXPECT_EQ(frame->RestoreButton(), nullptr);
  EXPECT_EQ(frame->MaximizeButton(), nullptr);
  EXPECT_EQ(frame->MinimizeButton(), nullptr);

  // No margins, no cut-outs: the region is the plain rectangle, one pixel
  // larger than the window each way.
  pv::UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
  EXPECT_EQ(::GetWindowRgn(window, region.get()), SIMPLEREGION);
  pv::UniqueRegion expected(::CreateRectRgn(0, 0, 529, 349));
  EXPECT_TRUE(::EqualRgn(region.get(), expected.get()));

  // The bands as painted, and the client area left to the background.
  EXPECT_EQ(Pixel(*frame, 100, 20), kAccent);
  EXPECT_EQ(Pixel(*frame, 300, 39), kAccent);
  EXPECT_EQ(Pixel(*frame, 0, 200), kAccent);
  EXPECT_EQ(Pixel(*frame, 527, 200), kAccent);
  EXPECT_EQ(Pixel(*frame, 264, 347), kAccent);
  EXPECT_EQ(Pixel(*frame, 1, 200), kWhite);
  EXPECT_EQ(Pixel(*frame, 526, 346), kWhite);
  EXPECT_EQ(Pixel(*frame, 264, 40), kWhite);
  // The close button lights up under the pointer.
  const POINT close = Centre(*frame->CloseButton());
  const std::uint32_t resting = Pixel(*frame, close.x, close.y);
  MoveTo(*frame, close.x, close.y);
  EXPECT_NE(Pixel(*frame, close.x, close.y), resting);

  // Loading again replaces the system buttons rather than adding more.
  const std::size_t children = frame->ChildCount();
  frame->LoadStyle(&skin, "MainWindow", nullptr);
  EXPECT_EQ(frame->ChildCount(), children);
  EXPECT_TRUE(SameRect(frame->CloseButton()->GetRect(), RECT{488, 10, 522, 38}));
}

TEST_F(FrameTest, TheCloseButtonClosesTheWindow) {
  auto frame = MakeFrame(WS_POPUP, 528, 348, "MainWindow");
  const POINT close = Centre(*frame->CloseButton());
  Click(*frame, close.x, close.y);
  EXPECT_EQ(frame->commands, (std::vector<WPARAM>{SC_CLOSE}));
  // Other senders and other messages make no command, and nothing climbs
  // past the frame.
  auto* other = Make<UIButton>(UIKind::Button, frame.get(), "MainWindow/ReturnBtn");
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(frame->Notify(other, WM_COMMAND, 0, reinterpret_cast<LPARAM>(other)), 0);
  EXPECT_EQ(frame->Notify(frame->CloseButton(), WM_NOTIFY, 0, 0), 0);
  EXPECT_EQ(frame->Notify(nullptr, WM_COMMAND, 0, 0), 0);
  EXPECT_EQ(frame->commands.size(), 1u);

  // Left to the system, the close destroys the window.
  auto plain = MakeFrame<UIFrameWindow>(WS_POPUP, 528, 348, "MainWindow");
  HWND window = plain->GetHwnd();
  const POINT at = Centre(*plain->CloseButton());
  Click(*plain, at.x, at.y);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(plain->GetHwnd(), nullptr);
}

TEST_F(FrameTest, CaptionHitTestsLookThroughLabelsOnly) {
  auto frame = MakeFrame(WS_POPUP, 528, 348, "MainWindow");
  auto* title = Make<UILabel>(UIKind::Label, frame.get(), "MainWindow/title");
  ASSERT_NE(title, nullptr);
  auto* blocker = Make<UIPane>(UIKind::Pane, frame.get(), "MainWindow/NoPane");
  ASSERT_NE(blocker, nullptr);
  blocker->SetLayout(300, 5, 40, 30);

  EXPECT_EQ(HitTest(*frame, 50, 20), HTCAPTION);  // over the title label
  EXPECT_EQ(HitTest(*frame, 505, 20), HTCLIENT);  // over the close button
  EXPECT_EQ(HitTest(*frame, 310, 20), HTCLIENT);  // over a pane
  EXPECT_EQ(HitTest(*frame, 250, 0), HTCAPTION);
  EXPECT_EQ(HitTest(*frame, 250, 39), HTCAPTION);
  EXPECT_EQ(HitTest(*frame, 250, 40), HTCLIENT);
  EXPECT_EQ(HitTest(*frame, 0, 200), HTCLIENT);  // no sizing border, no sizing
  EXPECT_EQ(HitTest(*frame, 0, 0), HTCAPTION);
  // A hidden control takes nothing.
  blocker->SetVisible(false);
  EXPECT_EQ(HitTest(*frame, 310, 20), HTCAPTION);
}

TEST_F(FrameTest, ASizingBorderSizesFromTheBands) {
  auto frame = MakeFrame(WS_POPUP | WS_THICKFRAME, 300, 200, "MainWindow");
  RECT client{};
  ::GetClientRect(frame->GetHwnd(), &client);
  EXPECT_TRUE(SameRect(client, RECT{0, 0, 300, 200}));  // the border takes nothing

  struct Case {
    int x;
    int y;
    LRESULT expected;
  };
  const Case cases[] = {
      {1, 1, HTTOPLEFT},         {0, 0, HTTOPLEFT},    {3, 3, HTTOPLEFT},      {150, 0, HTTOP},
      {150, 1, HTTOP},           {150, 2, HTCAPTION},  {150, 39, HTCAPTION},   {298, 2, HTTOPRIGHT},
      {296, 3, HTTOPRIGHT},      {0, 100, HTLEFT},     {0, 195, HTBOTTOMLEFT}, {299, 100, HTRIGHT},
      {299, 196, HTBOTTOMRIGHT}, {150, 199, HTBOTTOM}, {2, 199, HTBOTTOMLEFT}, {297, 199, HTBOTTOMRIGHT},
      {150, 100, HTCLIENT},      {270, 20, HTCLIENT},
  };
  for (const Case& c : cases) EXPECT_EQ(HitTest(*frame, c.x, c.y), c.expected) << c.x << ", " << c.y;
  // A control in the corner keeps the pointer there.
  auto* corner = Make<UIPane>(UIKind::Pane, frame.get(), "MainWindow/NoPane");
  ASSERT_NE(corner, nullptr);
  corner->SetLayout(0, 0, 10, 10);
  EXPECT_EQ(HitTest(*frame, 1, 1), HTCLIENT);
}

TEST_F(FrameTest, MaximizeAndRestoreButtonsSwap) {
  JValue node;
  ASSERT_TRUE(JParse(R"({
    "Frames": {"Top": {"normal": {"bi": 117, "bg": [27, 22, 40, 40]}}},
    "SysBtns": {
      "Close": {"normal": {"bi": 115, "bg": [0, 0, 34, 28]}, "size": [-40, 10, 34, 28]},
      "Restore": {"normal": {"bi": 115, "bg": [0, 0, 34, 28]}, "size": [-80, 10, 34, 28]},
      "Maximize": {"normal": {"bi": 115, "bg": [0, 0, 34, 28]}, "size": [-80, 10, 34, 28]},
      "Minimize": {"normal": {"bi": 115, "bg": [0, 0, 34, 28]}, "size": [-120, 10, 34, 28]}}})",
                     node));
  auto frame = MakeFrame(WS_POPUP, 400, 300, nullptr, &node);
  UIButton* maximize = frame->MaximizeButton();
  UIButton* restore = frame->RestoreButton();
  ASSERT_TRUE(maximize && restore && frame->MinimizeButton() && frame->CloseButton());
  EXPECT_TRUE(maximize->IsVisible());
  EXPECT_FALSE(restore->IsVisible());

  POINT at = Centre(*maximize);
  Click(*frame, at.x, at.y);
  EXPECT_TRUE(::IsZoomed(frame->GetHwnd()));
  EXPECT_FALSE(maximize->IsVisible());
  EXPECT_TRUE(restore->IsVisible());
  EXPECT_GT(frame->GetRect().right, 400);  // laid out again at the new size

  at = Centre(*restore);
  Click(*frame, at.x, at.y);
  EXPECT_FALSE(::IsZoomed(frame->GetHwnd()));
  EXPECT_TRUE(maximize->IsVisible());
  EXPECT_FALSE(restore->IsVisible());
  EXPECT_EQ(frame->GetRect().right, 400);

  at = Centre(*frame->MinimizeButton());
  Click(*frame, at.x, at.y);
  EXPECT_EQ(frame->commands, (std::vector<WPARAM>{SC_MAXIMIZE, SC_RESTORE, SC_MINIMIZE}));
}

// Paints one opaque magenta pixel into a 32-bit skin image.
void PutMagenta(CHBitmap& image, int x, int y) {
  std::uint8_t* p = image.Bits() + (image.Height() - 1 - y) * image.Stride() + x * 4;
  p[0] = 255;
  p[1] = 0;
  p[2] = 255;
  p[3] = 255;
}

TEST_F(FrameTest, MagentaCornerPixelsAreCutFromTheRegion) {
  // A skin of our own whose frame image carries magenta in the corners the
  // margins cut out: three pixels top-left, one top-right, one bottom-left.
  UIResource marked;
  ASSERT_TRUE(marked.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  CHBitmap* image = marked.GetImage(117, true);
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->BitsPerPixel(), 32);
  for (POINT p : {POINT{27, 22}, POINT{28, 22}, POINT{27, 23}, POINT{66, 22}, POINT{27, 61}}) {
    PutMagenta(*image, p.x, p.y);
  }
  JValue node;
  ASSERT_TRUE(JParse(R"({"Frames": {
    "Top": {"normal": {"bi": 117, "bg": [27, 22, 40, 40], "mg": [4, 4, 4, 0]}},
    "Left": {"normal": {"bi": 117, "bg": [27, 22, 1, 40]}},
    "Right": {"normal": {"bi": 117, "bg": [66, 22, 1, 40]}},
    "Bottom": {"normal": {"bi": 117, "bg": [27, 61, 40, 1], "mg": [3, 0, 3, 1]}}}})",
                     node));
  auto frame = MakeFrame(WS_POPUP, 300, 200, nullptr, &node, &marked);
  pv::UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(::GetWindowRgn(frame->GetHwnd(), region.get()), ERROR);
  for (POINT p : {POINT{0, 0}, POINT{1, 0}, POINT{0, 1}, POINT{299, 0}, POINT{0, 199}}) {
    EXPECT_FALSE(::PtInRegion(region.get(), p.x, p.y)) << p.x << ", " << p.y;
  }
  for (POINT p : {POINT{2, 0}, POINT{1, 1}, POINT{298, 0}, POINT{299, 1}, POINT{1, 199}, POINT{0, 198}, POINT{0, 41},
                  POINT{150, 100}, POINT{300, 200}}) {
    EXPECT_TRUE(::PtInRegion(region.get(), p.x, p.y)) << p.x << ", " << p.y;
  }

  // A layered window keeps no region.
  ASSERT_TRUE(frame->MakeLayered());
  ::SetWindowPos(frame->GetHwnd(), nullptr, 0, 0, 320, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(::GetWindowRgn(frame->GetHwnd(), region.get()), ERROR);
}

TEST_F(FrameTest, AFrameMadeAtItsSizeIsStyledAtThatSize) {
  RecordingFrame frame;
  ASSERT_TRUE(frame.Create(nullptr, nullptr, WS_POPUP, L"", CHWindow::kClassName, 0, 40, 40, 300, 200));
  frame.LoadStyle(&skin, "MainWindow", nullptr);
  EXPECT_TRUE(SameRect(frame.GetRect(), RECT{0, 0, 300, 200}));
  ASSERT_NE(frame.CloseButton(), nullptr);
  EXPECT_TRUE(SameRect(frame.CloseButton()->GetRect(), RECT{260, 10, 294, 38}));
  pv::UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(::GetWindowRgn(frame.GetHwnd(), region.get()), ERROR);
  pv::UniqueRegion expected(::CreateRectRgn(0, 0, 301, 201));
  EXPECT_TRUE(::EqualRgn(region.get(), expected.get()));
}

}  // namespace
