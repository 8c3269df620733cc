#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/ui/FurtherControlSupport.h"
#include "ui/CXEdit.h"
#include "ui/UIEditBox.h"
#include "ui/UIKind.h"
#include "ui/UIScrollBar.h"

using namespace pv;

using namespace further;

namespace {

bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

bool Dark(std::uint32_t c) { return ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) < 200; }

// The installer's path box: made directly, styled from our skin at
// "MainWindow/EditBoxPath", added to the window and filled with SetText.
class EditBoxTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
    host = MakeHost(420, 120);
    auto made = std::make_unique<CXEdit>();
    EXPECT_EQ(made->LoadStyle(&skin, "MainWindow/EditBoxPath", nullptr), 1);
    edit = UIObject::AddChild(host.get(), std::move(made));
    ASSERT_NE(edit, nullptr);
  }
  void TearDown() override {
    host.reset();
    ControlTest::TearDown();
  }

  int Middle() const { return (edit->GetRect().top + edit->GetRect().bottom) / 2; }
  // The leftmost x of the box's row that falls on character boundary i.
  int XOf(int boundary) {
    for (int x = edit->GetRect().left; x < edit->GetRect().right; ++x) {
      if (edit->HitTest(POINT{x, Middle()}) == boundary) return x;
    }
    ADD_FAILURE() << "no point falls on boundary " << boundary;
    return edit->GetRect().left;
  }
  // A press at one boundary dragged to another: the selection loop runs
  // on the queued moves and ends at the queued release.
  void DragSelect(int from, int to) {
    const int a = XOf(from);
    const int b = XOf(to);
    Send(*host, WM_MOUSEMOVE, a, Middle());
    Post(*host, WM_MOUSEMOVE, b, Middle(), MK_LBUTTON);
    Post(*host, WM_LBUTTONUP, b, Middle());
    Send(*host, WM_LBUTTONDOWN, a, Middle(), MK_LBUTTON);
    DrainMessages();
  }
  void Key(WPARAM key) { ::SendMessageW(host->GetHwnd(), WM_KEYDOWN, key, 0); }
  void Type(wchar_t c) { ::SendMessageW(host->GetHwnd(), WM_CHAR, c, 0); }
  std::size_t Changes() const {
    std::size_t count = 0;
    for (const Notice& n : host->notices) {
      count += n.sender == edit && n.message == WM_COMMAND && n.wParam == CXEdit::kChangeNotification && n.lParam == 0;
    }
    return count;
  }

  UIResource skin;
  std::unique_ptr<TestHost> host;
  CXEdit* edit = nullptr;
};

TEST_F(EditBoxTest, TakesItsPlaceAndLookFromTheSkin) {
  EXPECT_EQ(edit->GetKind(), UIKind::EditBox);
  EXPECT_TRUE(Same(edit->GetRect(), RECT{54, 58, 394, 92}));
  // The bar of the scrolling mode is there, out of the pointer's way.
  ASSERT_EQ(edit->Child(0), edit->GetScrollBar());
  EXPECT_EQ(edit->GetScrollBar()->GetMinimumThumb(), 30);
  EXPECT_TRUE(::IsRectEmpty(&edit->GetScrollBar()->GetRect()));
  // Kind 15 made through the factory is the plain text box.
  std::unique_ptr<UIObject> plain = UIObject::CreateControl(UIKind::EditBox);
  ASSERT_NE(dynamic_cast<UIEditBox*>(plain.get()), nullptr);
  EXPECT_EQ(dynamic_cast<CXEdit*>(plain.get()), nullptr);
  // A path that is not in the skin reads nothing and breaks nothing.
  CXEdit missing;
  EXPECT_EQ(missing.LoadStyle(&skin, "MainWindow/NoSuchBox", nullptr), 1);
  EXPECT_EQ(missing.GetLayoutRequest(), (pv::LayoutRequest{}));

  const std::wstring path = L"C:\\Program Files (x86)\\Pellio";
  edit->SetText(path);
  EXPECT_EQ(edit->GetText(), path);
  EXPECT_EQ(edit->GetCaret(), static_cast<int>(path.size()));
  EXPECT_EQ(Changes(), 1u);

  Repaint(*host);
  int dark = 0;
  for (int x = 64; x < 384; ++x) {
    for (int y = 60; y < 90; ++y) dark += Dark(Pixel(*host, x, y));
  }
  EXPECT_GT(dark, 50);                         // the text
  EXPECT_EQ(Pixel(*host, 54, 75), 0xD0D5DDu);  // the skin's box: its border
  EXPECT_EQ(Pixel(*host, 53, 75), 0xFFFFFFu);  // and nothing outside
  EXPECT_EQ(edit->GetTextRect().left, 64);
}

TEST_F(EditBoxTest, SetTextNotifiesEvenWhenNothingChanges) {
  edit->SetText(L"abcdef");
  DragSelect(2, 2);
  EXPECT_EQ(edit->GetCaret(), 2);
  edit->SetText(L"abcdef");
  EXPECT_EQ(edit->GetCaret(), 2);
  EXPECT_EQ(Changes(), 2u);
  edit->SetText(L"xyz");
  EXPECT_EQ(edit->GetCaret(), 3);
  EXPECT_EQ(Changes(), 3u);
}

TEST_F(EditBoxTest, DeleteRemovesTheSelectionAndBackspaceStopsAtTheStart) {
  edit->SetText(L"abcdef");
  DragSelect(2, 4);
  EXPECT_EQ(edit->GetSelectionStart(), 2);
  EXPECT_EQ(edit->GetSelectionEnd(), 4);
  EXPECT_EQ(edit->GetCaret(), 2);
  EXPECT_EQ(host->GetFocusChild(), edit);
  Key(VK_DELETE);
  EXPECT_EQ(edit->GetText(), L"abef");
  EXPECT_EQ(edit->GetCaret(), 2);
  EXPECT_EQ(Changes(), 2u);

  edit->SetText(L"abcdef");
  DragSelect(0, 3);
  EXPECT_EQ(edit->GetCaret(), 0);
  const std::size_t before = Changes();
  Key(VK_BACK);
  EXPECT_EQ(edit->GetText(), L"abcdef");
  EXPECT_EQ(Changes(), before);

  // Typed characters outside '!' ... '}' change nothing either.
  for (wchar_t c : {L' ', L'~', L'\x5B89', L'\t'}) Type(c);
  EXPECT_EQ(edit->GetText(), L"abcdef");
  EXPECT_EQ(Changes(), before);
  Type(L'Z');
  EXPECT_EQ(edit->GetText(), L"Zdef");
  EXPECT_EQ(Changes(), before + 1);
}

TEST_F(EditBoxTest, KeysMoveTheCaret) {
  edit->SetText(L"abcdef");
  Click(*host, XOf(3), Middle());
  EXPECT_EQ(edit->GetCaret(), 3);
  Key(VK_HOME);
  EXPECT_EQ(edit->GetCaret(), 0);
  Key(VK_END);
  EXPECT_EQ(edit->GetCaret(), 6);
  Key(VK_LEFT);
  EXPECT_EQ(edit->GetCaret(), 5);
  DragSelect(4, 2);
  EXPECT_EQ(edit->GetCaret(), 4);
  Key(VK_LEFT);  // collapses at the start and steps left of it
  EXPECT_EQ(edit->GetCaret(), 1);
  EXPECT_EQ(edit->GetSelectionStart(), edit->GetSelectionEnd());
  DragSelect(4, 2);
  Key(VK_RIGHT);
  EXPECT_EQ(edit->GetCaret(), 3);
  Key(VK_ESCAPE);
  EXPECT_FALSE(edit->IsCaretShown());
  EXPECT_EQ(Changes(), 1u);
}

// Holds a modifier key for the keys sent while it lives, as GetKeyState sees it.
class KeyHeld {
 public:
  explicit KeyHeld(int key) : key_(key) { Set(0x80); }
  ~KeyHeld() { Set(0); }

 private:
  void Set(BYTE state) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[key_] = state;
    ::SetKeyboardState(keys);
  }
  int key_;
};

std::wstring ClipboardText() {
  std::wstring text;
  if (!::OpenClipboard(nullptr)) return text;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* at = static_cast<const wchar_t*>(::GlobalLock(data))) {
      text = at;
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  return text;
}

TEST_F(EditBoxTest, ClipboardKeysCopyCutAndPaste) {
  edit->SetText(L"C:\\Apps");
  Click(*host, XOf(3), Middle());
  {
    KeyHeld shift(VK_SHIFT);
    Key(VK_END);
  }
  {
    KeyHeld control(VK_CONTROL);
    Key('C');
    EXPECT_EQ(ClipboardText(), L"Apps");
    Key('X');
    EXPECT_EQ(edit->GetText(), L"C:\\");
    Key('V');
    Key('V');
    EXPECT_EQ(edit->GetText(), L"C:\\AppsApps");
    Key('Z');
    EXPECT_EQ(edit->GetText(), L"C:\\Apps");
    Key('A');
    Key('X');
    EXPECT_EQ(edit->GetText(), L"");
  }
  {
    KeyHeld shift(VK_SHIFT);
    Key(VK_INSERT);
  }
  EXPECT_EQ(edit->GetText(), L"C:\\Apps");
  // Copying nothing leaves the clipboard as it was.
  {
    KeyHeld control(VK_CONTROL);
    Key('C');
  }
  EXPECT_EQ(ClipboardText(), L"C:\\Apps");
  EXPECT_EQ(Changes(), 7u);
}

TEST_F(EditBoxTest, ClicksLeftAndRightOfTheTextAndDoubleClick) {
  edit->SetText(L"abcdef");
  Click(*host, edit->GetRect().right - 5, Middle());
  EXPECT_EQ(edit->GetCaret(), 6);
  Click(*host, edit->GetRect().left + 3, Middle());  // in the left margin
  EXPECT_EQ(edit->GetCaret(), 0);
  EXPECT_TRUE(edit->IsCaretShown());

  Send(*host, WM_LBUTTONDBLCLK, XOf(2), Middle());
  EXPECT_EQ(edit->GetSelectionStart(), 0);
  EXPECT_EQ(edit->GetSelectionEnd(), 6);
  EXPECT_EQ(edit->GetCaret(), 6);
  EXPECT_TRUE(edit->IsCaretShown());
  // The selection band in its colour behind white text.
  Repaint(*host);
  int band = 0;
  for (int x = 64; x < 160; ++x) {
    for (int y = 60; y < 90; ++y) band += Pixel(*host, x, y) == 0x3399FFu;
  }
  EXPECT_GT(band, 100);
}

TEST_F(EditBoxTest, CaretSitsAtTheEndOfTheDrawnText) {
  edit->SetText(L"WWWWWWWW");
  Click(*host, edit->GetRect().right - 5, Middle());
  ASSERT_TRUE(edit->IsCaretShown());
  Repaint(*host);
  const POINT caret = edit->CaretPoint();
  int line = 0;
  for (int y = caret.y; y <= caret.y + 14; ++y) line += Dark(Pixel(*host, caret.x, y));
  EXPECT_GE(line, 14);
  // The last dark column of the text lies just before the caret: the text
  // is measured in the font it is drawn with.
  int last = 0;
  for (int x = 64; x < 384; ++x) {
    for (int y = 60; y < 90 && x != caret.x; ++y) {
      if (Dark(Pixel(*host, x, y))) last = x;
    }
  }
  EXPECT_GE(caret.x - last, 1);
  EXPECT_LE(caret.x - last, 5);
}

TEST_F(EditBoxTest, SelectionLoopEndsOnEscapeAndOnCaptureLoss) {
  // The loop takes every move the host gets: the real pointer, left over
  // the host by another test on this display, must not add its own.
  ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  DrainMessages();
  edit->SetText(L"abcdef");
  const int y = Middle();
  Send(*host, WM_MOUSEMOVE, XOf(1), y);
  Post(*host, WM_MOUSEMOVE, XOf(4), y, MK_LBUTTON);
  Post(*host, WM_KEYDOWN, 0, 0, VK_ESCAPE);
  Post(*host, WM_MOUSEMOVE, XOf(6), y, MK_LBUTTON);
  Send(*host, WM_LBUTTONDOWN, XOf(1), y, MK_LBUTTON);
  EXPECT_EQ(edit->GetSelectionStart(), 1);
  EXPECT_EQ(edit->GetSelectionEnd(), 4);
  EXPECT_EQ(edit->GetCaret(), 1);
  EXPECT_EQ(::GetCapture(), nullptr);
  EXPECT_TRUE(host->keys.empty());  // Escape ended the loop and went no further
  DrainMessages();                  // the late move is an ordinary hover now
  EXPECT_EQ(edit->GetSelectionEnd(), 4);

  host->onApp = [] { ::ReleaseCapture(); };
  Post(*host, WM_APP, 0, 0);
  Post(*host, WM_MOUSEMOVE, XOf(5), y, MK_LBUTTON);
  Send(*host, WM_LBUTTONDOWN, XOf(2), y, MK_LBUTTON);
  EXPECT_EQ(edit->GetCaret(), 2);
  EXPECT_EQ(edit->GetSelectionStart(), edit->GetSelectionEnd());

  // A drag back onto the boundary an earlier drag ended on still selects.
  DrainMessages();
  DragSelect(1, 4);
  DragSelect(2, 4);
  EXPECT_EQ(edit->GetSelectionStart(), 2);
  EXPECT_EQ(edit->GetSelectionEnd(), 4);
}

TEST_F(EditBoxTest, QuitDuringTheSelectionLoopIsPostedAgain) {
  edit->SetText(L"abcdef");
  Send(*host, WM_MOUSEMOVE, XOf(2), Middle());
  Post(*host, WM_MOUSEMOVE, XOf(5), Middle(), MK_LBUTTON);
  ::PostQuitMessage(3);
  Send(*host, WM_LBUTTONDOWN, XOf(2), Middle(), MK_LBUTTON);
  EXPECT_EQ(edit->GetSelectionEnd(), 5);
  EXPECT_EQ(::GetCapture(), nullptr);
  MSG quit{};
  ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 3u);
}

TEST_F(EditBoxTest, CaretBlinksWhileTheBoxHasTheFocus) {
  edit->SetText(L"abc");
  Click(*host, XOf(1), Middle());
  const int blink = edit->GetCaretTimer();
  ASSERT_GT(blink, 0);
  EXPECT_TRUE(edit->IsCaretShown());
  ::SendMessageW(host->GetHwnd(), WM_TIMER, blink, 0);
  EXPECT_FALSE(edit->IsCaretShown());
  ::SendMessageW(host->GetHwnd(), WM_TIMER, blink, 0);
  EXPECT_TRUE(edit->IsCaretShown());

  // Any other timer of the box is stopped at its first tick, so its id is
  // free again.
  const int other = edit->StartTimer(100000);
  ASSERT_GT(other, blink);
  ::SendMessageW(host->GetHwnd(), WM_TIMER, other, 0);
  EXPECT_EQ(edit->StartTimer(100000), other);
  edit->StopTimer(other);

  // The system's own ticks, 500 ms apart.
  const bool shown = edit->IsCaretShown();
  const DWORD start = ::GetTickCount();
  while (edit->IsCaretShown() == shown && ::GetTickCount() - start < 3000) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    DrainMessages();
  }
  EXPECT_NE(edit->IsCaretShown(), shown);

  // A press beside the box takes the focus and the timer away.
  Click(*host, 10, 10);
  EXPECT_EQ(host->GetFocusChild(), nullptr);
  EXPECT_EQ(edit->GetCaretTimer(), -1);
  EXPECT_FALSE(edit->IsCaretShown());
  ::SendMessageW(host->GetHwnd(), WM_TIMER, blink, 0);
  EXPECT_FALSE(edit->IsCaretShown());
  EXPECT_EQ(edit->StartTimer(100000), 1);  // no timer of the box is left
}

TEST_F(EditBoxTest, MaximumLengthAndCursor) {
  edit->SetText(L"");
  Click(*host, XOf(0), Middle());
  edit->SetMaxLength(3);
  EXPECT_EQ(edit->GetMaxLength(), 3);
  for (wchar_t c : std::wstring(L"abcd")) Type(c);
  EXPECT_EQ(edit->GetText(), L"abc");
  EXPECT_EQ(Changes(), 4u);  // SetText and three characters
  edit->SetMaxLength(0);
  Key(VK_BACK);
  Type(L'x');
  EXPECT_EQ(edit->GetText(), L"ab");

  // The I-beam over the box.
  Send(*host, WM_MOUSEMOVE, XOf(1), Middle());
  EXPECT_EQ(::SendMessageW(host->GetHwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(host->GetHwnd()),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_IBEAM));
}

// The scrolling mode of the plain text box, which the installer never
// turns on: the text wraps, and the bar beside it scrolls it.
class ScrollingEditBoxTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    const std::string cfg = R"({"Box":{"size":[10,10,200,60],"bkgnd":)" + Swatch(7) +
                            R"(,"Text":{"margin":[4,4,4,4],"normal":{"al":0,"ft":7}},)"
                            R"("ScrollBar":{"thumb":)" +
                            Swatch(2) + R"(,"trackbar":{"bi":100,"bg":[0,0,8,4]}}}})";
    ASSERT_TRUE(LoadTestSkin(skin, cfg));
    host = MakeHost(260, 120);
    box = static_cast<UIEditBox*>(UIObject::CreateChild(UIKind::EditBox, &skin, host.get(), "Box", nullptr));
    ASSERT_NE(box, nullptr);
    bar = box->GetScrollBar();
  }
  void TearDown() override {
    host.reset();
    ControlTest::TearDown();
  }
  void Wheel(short delta) {
    POINT screen{100, 40};
    ::ClientToScreen(host->GetHwnd(), &screen);
    Send(*host, WM_MOUSEMOVE, 100, 40);
    ::SendMessageW(host->GetHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                   MAKELPARAM(screen.x, screen.y));
  }

  UIResource skin;
  std::unique_ptr<TestHost> host;
  UIEditBox* box = nullptr;
  UIScrollBar* bar = nullptr;
};

TEST_F(ScrollingEditBoxTest, BarScrollsTheText) {
  std::wstring text;
  for (int i = 0; i < 20; ++i) text += L"line " + std::to_wstring(i) + L"\n";
  box->SetText(text);
  Wheel(-120);
  EXPECT_EQ(box->GetScrollOffset(), 0);  // not in the scrolling mode: the wheel is not ours

  box->SetScrolling(true);
  EXPECT_TRUE(Same(box->GetTextArea(), RECT{10, 10, 202, 70}));
  EXPECT_TRUE(Same(bar->GetRect(), RECT{202, 10, 210, 70}));
  EXPECT_EQ(bar->GetMinimum(), 0);
  const int height = bar->GetMaximum();
  EXPECT_GT(height, 150);  // twenty lines, measured
  EXPECT_EQ(bar->GetPage(), 52);

  const int last = height - 52 - 1;
  box->Notify(bar, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(box->GetScrollOffset(), 1);
  box->Notify(bar, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(box->GetScrollOffset(), last);
  EXPECT_EQ(bar->GetPosition(), last);
  box->Notify(bar, WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(box->GetScrollOffset(), last);
  box->Notify(bar, WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(box->GetScrollOffset(), 0);
  EXPECT_TRUE(host->notices.empty());  // the box keeps its bar's messages

  Wheel(-120);
  EXPECT_EQ(box->GetScrollOffset(), 6);  // an eighth of the page
  Wheel(120);
  EXPECT_EQ(box->GetScrollOffset(), 0);

  // Dragging the thumb scrolls as it goes.
  Repaint(*host);
  const RECT thumb = bar->GetThumbRect();
  const int x = (thumb.left + thumb.right) / 2;
  Send(*host, WM_MOUSEMOVE, x, thumb.top + 2);
  Post(*host, WM_MOUSEMOVE, x, thumb.top + 12, MK_LBUTTON);
  Post(*host, WM_LBUTTONUP, x, thumb.top + 12);
  Send(*host, WM_LBUTTONDOWN, x, thumb.top + 2, MK_LBUTTON);
  EXPECT_GT(box->GetScrollOffset(), 0);
  EXPECT_EQ(box->GetScrollOffset(), bar->GetTrackedPosition());
  Repaint(*host);
  EXPECT_EQ(Pixel(*host, 202, 69), swatch::kRed);  // the track beside the text

  // A short text leaves nothing for the wheel.
  box->SetText(L"one line");
  box->Notify(bar, WM_VSCROLL, SB_TOP, 0);
  Wheel(-120);
  EXPECT_EQ(box->GetScrollOffset(), 0);

  box->SetScrolling(false);
  EXPECT_TRUE(::IsRectEmpty(&bar->GetRect()));
  EXPECT_TRUE(Same(box->GetTextArea(), box->GetRect()));
}

}  // namespace
