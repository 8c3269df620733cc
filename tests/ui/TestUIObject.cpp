#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/ui/WindowTestSupport.h"
#include "ui/CHBitmap.h"
#include "ui/Handles.h"
#include "ui/StylePainter.h"
#include "ui/UIKind.h"
#include "ui/UIObject.h"
#include "ui/UIResource.h"

using namespace pv;

namespace {

// Every call the tree makes, in order, as "name:event".
using Log = std::vector<std::string>;

// A control (or host) that writes down what reaches it and paints an image
// record and a text record when it has them.
class Probe : public UIObject {
 public:
  Probe(Log* log, std::string name) : log_(log), name_(std::move(name)) {}
  ~Probe() override { Note("gone"); }

  static std::string NameOf(UIObject* object) {
    auto* probe = dynamic_cast<Probe*>(object);
    return probe ? probe->name_ : "none";
  }

  void SetRequest(int x, int y, int w, int h) { layoutRequest = pv::LayoutRequest{x, y, w, h}; }
  // Hands a child out of the tree, as a container dropping a control would.
  std::unique_ptr<UIObject> TakeChild(std::size_t index) {
    std::unique_ptr<UIObject> child = std::move(children[index]);
    children.erase(children.begin() + static_cast<std::ptrdiff_t>(index));
    return child;
  }
  std::size_t TimerCount() const { return timers.size(); }

  UIImageStyle image;
  UITextStyle text;
  int paints = 0;

  int LoadStyle(IResource* resource, const char* path, const JValue* node) override {
    LoadIdAndSize(resource, resource->FindNode(path, node));
    return 1;
  }
  void Paint(HDC dc, const RECT& rect, const RECT&) override {
    ++paints;
    PaintImageStyle(rect, image, dc);
    if (!text.text.empty()) PaintTextStyle(dc, rect, nullptr, nullptr, text);
  }
  int MouseEnter(UINT, POINT) override { return Note("enter"); }
  int MouseLeave(UINT, POINT) override { return Note("leave"); }
  int MouseMove(UINT, POINT) override { return Note("move"); }
  int MouseDown(UINT, POINT) override { return Note("down"); }
  int MouseUp(UINT keys, POINT point) override {
    Note("up");
    return UIObject::MouseUp(keys, point);
  }
  int MouseDoubleClick(UINT keys, POINT point) override {
    Note("double");
    return UIObject::MouseDoubleClick(keys, point);
  }
  int MouseWheel(UINT, unsigned delta, POINT) override { return Note("wheel" + std::to_string(delta)); }
  int KeyDown(WPARAM, LPARAM) override { return Note("key"); }
  int FocusLost(UIObject* next) override { return Note("lost>" + NameOf(next)); }
  int FocusGained(UIObject* previous) override { return Note("gained<" + NameOf(previous)); }
  void Timer(int id) override { Note("timer" + std::to_string(id)); }
  void TooltipText(NMTTDISPINFOW*) override { Note("tooltip"); }
  void Resized() override { Note("resized"); }
  LRESULT Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (parent) return UIObject::Notify(sender, message, wParam, lParam);
    Note("notify<" + NameOf(sender));
    return 7;
  }
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override {
    if (message == WM_APP) Note("app" + std::to_string(wParam + lParam));
    return UIObject::OnMessage(message, wParam, lParam, handled);
  }

 private:
  int Note(const std::string& event) {
    if (log_) log_->push_back(name_ + ":" + event);
    return 0;
  }

  Log* log_;
  std::string name_;
};

Probe* Add(UIObject* parent, Log& log, const std::string& name, int x, int y, int w, int h) {
  auto probe = std::make_unique<Probe>(&log, name);
  probe->SetRequest(x, y, w, h);
  return UIObject::AddChild(parent, std::move(probe));
}

class UIObjectTest : public WindowTest {
 protected:
  // A popup host of the given client size; hosts take their rectangle from
  // the size changes of their window.
  std::unique_ptr<Probe> MakeHost(int width, int height, DWORD style = WS_POPUP, HWND parent = nullptr) {
    auto host = std::make_unique<Probe>(&log, "host");
    EXPECT_TRUE(host->Create(parent, nullptr, style, L"", CHWindow::kClassName, 0, 0, 0, 0, 0));
    ::SetWindowPos(host->GetHwnd(), nullptr, 10, 10, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    log.clear();
    return host;
  }
  void Show(UIObject& host) { ::ShowWindow(host.GetHwnd(), SW_SHOWNOACTIVATE); }
  LRESULT Mouse(UIObject& host, UINT message, int x, int y, WPARAM wParam = 0) {
    return ::SendMessageW(host.GetHwnd(), message, wParam, MAKELPARAM(x, y));
  }
  Log Take() { return std::exchange(log, Log{}); }

  Log log;  // outlives every probe of a test
};

bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

TEST_F(UIObjectTest, ChildrenAreMadeLaidOutAndOwned) {
  auto host = MakeHost(528, 348);
  for (int kind : {int{UIKind::None}, int{UIKind::FrameWindow}, 16, 99, -1}) {
    EXPECT_EQ(UIObject::CreateChild(kind, nullptr, host.get(), "MainWindow/PublishBtn", nullptr), nullptr);
  }
  EXPECT_EQ(UIObject::AddChild(nullptr, std::make_unique<Probe>(&log, "orphan")), nullptr);
  EXPECT_EQ(host->ChildCount(), 0u);

  // A page built apart and then added lays out its children with it; the
  // control at x -30 keeps to the page's right edge.
  auto page = std::make_unique<Probe>(&log, "page");
  page->SetRequest(0, 48, 200, 100);
  Probe* corner = Add(page.get(), log, "corner", -30, 5, 20, 10);
  Probe* added = UIObject::AddChild(host.get(), std::move(page));
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(corner->Parent(), added);
  EXPECT_TRUE(Same(added->GetRect(), RECT{0, 48, 200, 148}));
  EXPECT_TRUE(Same(corner->GetRect(), RECT{170, 53, 190, 63}));
  corner->SetAbsoluteLayout();
  corner->SetLayout(-30, 5, 20, 10);
  EXPECT_TRUE(Same(corner->GetRect(), RECT{-30, 53, -10, 63}));

  // "size" [0, 0, 0, 0] leaves the control empty until SetLayout sizes it;
  // negative sizes keep what was there.
  Probe* later = Add(host.get(), log, "later", 0, 0, 0, 0);
  EXPECT_TRUE(::IsRectEmpty(&later->GetRect()));
  later->SetLayout(5, 6, 0, 8);
  EXPECT_TRUE(::IsRectEmpty(&later->GetRect()));
  later->SetLayout(5, 6, 7, 8);
  EXPECT_TRUE(Same(later->GetRect(), RECT{5, 6, 12, 14}));
  later->SetLayout(1, 2, -1, -1);
  EXPECT_TRUE(Same(later->GetRect(), RECT{1, 2, 8, 10}));

  // The skin gives id and size; a node without them gives zeros.
  UIResource skin;
  ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  Probe styled(&log, "styled");
  styled.LoadStyle(&skin, "MainWindow/PublishBtn", nullptr);
  EXPECT_EQ(styled.GetLayoutRequest(), (pv::LayoutRequest{165, 197, 200, 48}));
  styled.LoadStyle(&skin, "MainWindow/NoSuchControl", nullptr);
  EXPECT_EQ(styled.GetLayoutRequest(), (pv::LayoutRequest{}));

  // A size change lays the tree out again and then reports it.
  Probe* close = Add(host.get(), log, "close", -40, 10, 34, 28);
  Take();
  ::SetWindowPos(host->GetHwnd(), nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(Same(host->GetRect(), RECT{0, 0, 300, 200}));
  EXPECT_TRUE(Same(close->GetRect(), RECT{260, 10, 294, 38}));
  EXPECT_EQ(Take(), (Log{"host:resized"}));

  // The host owns the tree: children go with it, and so does the window.
  HWND window = host->GetHwnd();
  host.reset();
  EXPECT_FALSE(::IsWindow(window));
  for (const char* name : {"corner:gone", "page:gone", "later:gone", "close:gone", "host:gone"}) {
    EXPECT_NE(std::find(log.begin(), log.end(), name), log.end()) << name;
  }
}

TEST_F(UIObjectTest, MouseRoutingEntersAndLeavesInOneMove) {
  auto host = MakeHost(200, 100);
  Add(host.get(), log, "a", 10, 10, 50, 50);
  Add(host.get(), log, "b", 60, 10, 50, 50);
  Take();

  Mouse(*host, WM_MOUSEMOVE, 20, 20);
  EXPECT_EQ(Take(), (Log{"host:enter", "a:enter", "a:move", "host:move"}));
  // Straight onto the sibling: the first leaves and the second enters in
  // the same message.
  Mouse(*host, WM_MOUSEMOVE, 70, 20);
  EXPECT_EQ(Take(), (Log{"a:leave", "b:enter", "b:move", "host:move"}));
  // Within the same child the container hears nothing.
  Mouse(*host, WM_MOUSEMOVE, 80, 25);
  EXPECT_EQ(Take(), (Log{"b:move"}));
  EXPECT_EQ(Probe::NameOf(host->DeepestHovered()), "b");

  ::SendMessageW(host->GetHwnd(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Take(), (Log{"host:leave", "b:leave"}));
  EXPECT_EQ(host->GetHoverChild(), nullptr);

  // A child hidden under the pointer is left, so it enters again later.
  Mouse(*host, WM_MOUSEMOVE, 80, 25);
  host->Child(1)->SetVisible(false);
  Take();
  Mouse(*host, WM_MOUSEMOVE, 81, 25);
  EXPECT_EQ(Take(), (Log{"b:leave", "host:move"}));
  host->Child(1)->SetVisible(true);
  Mouse(*host, WM_MOUSEMOVE, 82, 25);
  EXPECT_EQ(Take(), (Log{"b:enter", "b:move", "host:move"}));
}

TEST_F(UIObjectTest, ClicksMoveTheFocusAndKeysFollowIt) {
  auto host = MakeHost(200, 100);
  Probe* a = Add(host.get(), log, "a", 10, 10, 50, 50);
  Probe* b = Add(host.get(), log, "b", 60, 10, 50, 50);
  b->SetEnabled(false);

  Mouse(*host, WM_MOUSEMOVE, 20, 20);
  Take();
  Mouse(*host, WM_LBUTTONDOWN, 20, 20);
  Mouse(*host, WM_LBUTTONUP, 20, 20);
  ::SendMessageW(host->GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(Take(), (Log{"a:gained<none", "a:down", "a:up", "a:key"}));
  EXPECT_EQ(host->GetFocusChild(), a);

  // The disabled control hears the pointer come and go, but no click, and
  // the focus stays.
  Mouse(*host, WM_MOUSEMOVE, 70, 20);
  Mouse(*host, WM_LBUTTONDOWN, 70, 20);
  Mouse(*host, WM_LBUTTONUP, 70, 20);
  Mouse(*host, WM_LBUTTONDBLCLK, 70, 20);
  EXPECT_EQ(Take(), (Log{"a:leave", "b:enter", "b:move", "host:move", "host:double"}));
  EXPECT_EQ(host->GetFocusChild(), a);

  b->SetEnabled(true);
  Mouse(*host, WM_LBUTTONDOWN, 70, 20);
  Mouse(*host, WM_LBUTTONDBLCLK, 70, 20);
  EXPECT_EQ(Take(), (Log{"a:lost>b", "b:gained<a", "b:down", "host:double", "b:double"}));

  // A press on no control clears the focus and reaches the host; keys then
  // go to the host.
  Mouse(*host, WM_MOUSEMOVE, 150, 80);
  Take();
  Mouse(*host, WM_LBUTTONDOWN, 150, 80);
  Mouse(*host, WM_LBUTTONUP, 150, 80);
  ::SendMessageW(host->GetHwnd(), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(Take(), (Log{"b:lost>none", "host:down", "host:up", "host:key"}));
  EXPECT_EQ(host->GetFocusChild(), nullptr);
}

std::uint32_t BufferPixel(UIObject& host, int x, int y);

// Holds Shift for the keys sent while it lives, as GetKeyState sees it.
class ShiftHeld {
 public:
  ShiftHeld() { Set(0x80); }
  ~ShiftHeld() { Set(0); }

 private:
  static void Set(BYTE state) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = state;
    ::SetKeyboardState(keys);
  }
};

TEST_F(UIObjectTest, TabVisitsTheReachableStopsInReadingOrder) {
  auto host = MakeHost(200, 100);
  host->SetBackgroundBrush(pv::UniqueBrush(::CreateSolidBrush(RGB(255, 255, 255))));
  host->SetFocusMarkColor(RGB(0, 0, 255));
  Probe* right = Add(host.get(), log, "right", 110, 10, 40, 20);
  Probe* left = Add(host.get(), log, "left", 10, 10, 40, 20);
  Probe* pane = Add(host.get(), log, "pane", 0, 40, 200, 60);
  Probe* below = Add(pane, log, "below", 10, 10, 40, 20);
  Probe* hidden = Add(host.get(), log, "hidden", 60, 10, 40, 20);
  Probe* plain = Add(host.get(), log, "plain", 160, 10, 30, 20);
  for (Probe* p : {right, left, below, hidden}) p->SetTabStop(true);
  hidden->SetVisible(false);
  EXPECT_EQ(host->FocusOrder(), (std::vector<UIObject*>{left, right, below}));
  Show(*host);

  const auto key = [&](WPARAM k) { ::SendMessageW(host->GetHwnd(), WM_KEYDOWN, k, 0); };
  // No mark before the first key, even on a focused control.
  host->SetFocusChild(right);
  ::UpdateWindow(host->GetHwnd());
  EXPECT_FALSE(host->ShowsFocusMark());
  EXPECT_EQ(BufferPixel(*host, 108, 20), 0xFFFFFFu);
  Take();
  key(VK_TAB);
  EXPECT_EQ(host->GetFocusChild(), below);
  EXPECT_EQ(Take(), (Log{"right:lost>below", "below:gained<right"}));
  ::UpdateWindow(host->GetHwnd());
  EXPECT_TRUE(host->ShowsFocusMark());
  // The mark: a band in its colour just outside the control.
  const std::uint32_t band = BufferPixel(*host, 8, 60);
  EXPECT_TRUE((band & 0xFF) > 200 && (band >> 16) < 40) << std::hex << band;
  EXPECT_EQ(BufferPixel(*host, 108, 20), 0xFFFFFFu);
  key(VK_TAB);
  EXPECT_EQ(host->GetFocusChild(), left);  // round again
  {
    ShiftHeld shift;
    key(VK_TAB);
    EXPECT_EQ(host->GetFocusChild(), below);
    key(VK_TAB);
    EXPECT_EQ(host->GetFocusChild(), right);
  }
  // A disabled parent takes its stops out; a control that is no stop is
  // never visited; keys go to the focused control only while it is reachable.
  pane->SetEnabled(false);
  EXPECT_EQ(host->FocusOrder(), (std::vector<UIObject*>{left, right}));
  host->SetFocusChild(below);
  Take();
  key('A');
  EXPECT_EQ(Take(), (Log{"host:key"}));
  key(VK_TAB);
  EXPECT_EQ(host->GetFocusChild(), left);
  right->SetEnabled(false);
  left->SetVisible(false);
  EXPECT_FALSE(host->MoveFocus(false));
  EXPECT_EQ(host->GetFocusChild(), left);
  (void)plain;
}

// An exposed probe: a push button of its own name.
class Exposed : public Probe {
 public:
  using Probe::Probe;
  int AccessibleRole() override { return ROLE_SYSTEM_PUSHBUTTON; }
  bool DoDefaultAction() override {
    ++actions;
    return true;
  }
  int actions = 0;
};

TEST_F(UIObjectTest, TheAccessibleTreeIsTheVisibleExposedControlsAndOutlivesNothing) {
  const pv::ComApartment com;  // the window's thread is a COM apartment, as the program's is
  auto host = MakeHost(200, 100);
  const auto add = [&](UIObject* parent, const char* name, int x, int y) {
    auto probe = std::make_unique<Exposed>(&log, name);
    probe->SetRequest(x, y, 40, 20);
    probe->SetAccessibleName(std::wstring(name, name + std::strlen(name)));
    return UIObject::AddChild(parent, std::move(probe));
  };
  Exposed* second = add(host.get(), "second", 100, 10);
  Exposed* first = add(host.get(), "first", 10, 10);
  Probe* page = Add(host.get(), log, "page", 0, 40, 200, 60);
  Exposed* inner = add(page, "inner", 10, 10);
  Exposed* hidden = add(host.get(), "hidden", 10, 70);
  hidden->SetVisible(false);
  add(host.get(), "kept out", 150, 10)->SetAccessibleRole(0);
  inner->SetTabStop(true);
  EXPECT_EQ(host->AccessibleChildren(), (std::vector<UIObject*>{first, second, inner}));

  IAccessible* raw = nullptr;
  ASSERT_EQ(::AccessibleObjectFromWindow(host->GetHwnd(), OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&raw)),
            S_OK);
  pv::ComPtr<IAccessible> client;
  *client.put() = raw;
  long count = 0;
  EXPECT_EQ(client->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 3);
  VARIANT child;
  ::VariantInit(&child);
  child.vt = VT_I4;
  child.lVal = 3;
  BSTR name = nullptr;
  EXPECT_EQ(client->get_accName(child, &name), S_OK);
  EXPECT_STREQ(name, L"inner");
  ::SysFreeString(name);
  VARIANT state;
  host->SetFocusChild(inner);
  EXPECT_EQ(client->get_accState(child, &state), S_OK);
  EXPECT_EQ(state.lVal, STATE_SYSTEM_FOCUSED | STATE_SYSTEM_FOCUSABLE);
  page->SetEnabled(false);
  EXPECT_EQ(client->get_accState(child, &state), S_OK);
  EXPECT_EQ(state.lVal, STATE_SYSTEM_UNAVAILABLE);
  child.lVal = 4;
  EXPECT_EQ(client->get_accName(child, &name), E_INVALIDARG);
  // The default action runs from the window's queue, not inside the call.
  child.lVal = 1;
  EXPECT_EQ(host->DefaultActionName(first), L"");
  EXPECT_EQ(client->accDoDefaultAction(child), DISP_E_MEMBERNOTFOUND);

  // Once the host is gone, whoever still holds the object gets an error.
  host.reset();
  EXPECT_EQ(client->get_accChildCount(&count), RPC_E_DISCONNECTED);
  EXPECT_EQ(client->get_accName(child, &name), RPC_E_DISCONNECTED);
}

TEST_F(UIObjectTest, WheelAndCursorGoToTheDeepestHoveredControl) {
  auto host = MakeHost(200, 100);
  Probe* inner = Add(Add(host.get(), log, "pane", 10, 10, 100, 80), log, "inner", 10, 10, 30, 30);
  HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
  inner->SetHoverCursor(hand);
  Mouse(*host, WM_MOUSEMOVE, 25, 25);
  EXPECT_EQ(host->DeepestHovered(), inner);
  Take();
  // A turn toward the user: the high word 0xFF88 as an unsigned value.
  const WPARAM towardUser = MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA));
  ::SendMessageW(host->GetHwnd(), WM_MOUSEWHEEL, towardUser, MAKELPARAM(35, 35));
  EXPECT_EQ(Take(), (Log{"pane:wheel65416", "inner:wheel65416"}));
  EXPECT_EQ(Mouse(*host, WM_SETCURSOR, HTCLIENT, 0, reinterpret_cast<WPARAM>(host->GetHwnd())), TRUE);
  EXPECT_EQ(::GetCursor(), hand);
  // Disabled, the control neither takes the wheel nor sets its cursor.
  inner->SetEnabled(false);
  ::SendMessageW(host->GetHwnd(), WM_MOUSEWHEEL, towardUser, MAKELPARAM(35, 35));
  EXPECT_EQ(Take(), Log{});
  EXPECT_EQ(host->UpdateCursor(), 0);
}

TEST_F(UIObjectTest, TimerIdsFollowTheLargestRunningOne) {
  auto host = MakeHost(100, 50);
  Show(*host);
  Probe* a = Add(host.get(), log, "a", 0, 0, 10, 10);
  Probe* b = Add(host.get(), log, "b", 10, 0, 10, 10);
  EXPECT_EQ(a->StartTimer(10000), 1);
  EXPECT_EQ(b->StartTimer(10000), 2);
  EXPECT_EQ(a->StartTimer(10000, b), 3);
  EXPECT_EQ(a->StopTimer(2), 1);
  EXPECT_EQ(a->StartTimer(10000), 4);  // 1 and 3 run: the next is 4

  Take();
  ::SendMessageW(host->GetHwnd(), WM_TIMER, 3, 0);
  ::SendMessageW(host->GetHwnd(), WM_TIMER, 4, 0);
  ::SendMessageW(host->GetHwnd(), WM_TIMER, 99, 0);  // unknown: killed, nobody called
  EXPECT_EQ(Take(), (Log{"b:timer3", "a:timer4"}));

  // A control that leaves the tree takes its timers along.
  std::unique_ptr<UIObject> gone = host->TakeChild(0);
  gone.reset();
  EXPECT_EQ(host->TimerCount(), 1u);
  ::SendMessageW(host->GetHwnd(), WM_TIMER, 1, 0);
  EXPECT_EQ(Take(), (Log{"a:gone"}));

  // No window, no timer; a hidden window keeps its timers.
  Probe orphan(nullptr, "orphan");
  EXPECT_EQ(orphan.StartTimer(10), 0);
  ::ShowWindow(host->GetHwnd(), SW_HIDE);
  EXPECT_EQ(b->StopTimer(3), 0);
  EXPECT_EQ(host->TimerCount(), 1u);
  auto fresh = MakeHost(10, 10);
  EXPECT_EQ(fresh->StartTimer(10000), 1);
}

// The colour of a client pixel of the back buffer, as 0xRRGGBB.
std::uint32_t BufferPixel(UIObject& host, int x, int y) {
  const COLORREF c = ::GetPixel(host.GetPaintDC(), x, y);
  return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// A 12 x 12 opaque 32-bit picture whose every pixel differs.
void MakeGradient(CHBitmap& image) {
  ASSERT_TRUE(image.CreateDib(12, 12, 32));
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      const std::uint32_t bgra = static_cast<std::uint32_t>((20 * x) | (20 * y) << 8 | 255 << 16 | 255u << 24);
      std::memcpy(image.Bits() + (11 - y) * image.Stride() + x * 4, &bgra, 4);
    }
  }
}

TEST_F(UIObjectTest, PaintsTheTreeIntoOneBackBuffer) {
  UIResource skin;
  ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  CHBitmap gradient;
  MakeGradient(gradient);

  auto host = MakeHost(160, 60);
  host->SetBackgroundBrush(pv::UniqueBrush(::CreateSolidBrush(RGB(255, 255, 255))));
  Probe* pane = Add(host.get(), log, "pane", 5, 5, 40, 30);
  pane->image.bitmap = &gradient;
  pane->image.sourceWidth = pane->image.sourceHeight = 12;
  pane->image.marginLeft = pane->image.marginTop = pane->image.marginRight = pane->image.marginBottom = 4;
  // A child reaching past its parent is cut at the parent's edge.
  Probe* overflow = Add(pane, log, "overflow", 30, 20, 40, 30);
  overflow->image = pane->image;
  Probe* label = Add(host.get(), log, "label", 80, 0, 80, 60);
  label->text.font = skin.GetFont(118);
  label->text.color = RGB(255, 0, 0);
  label->text.alignment = 37;
  label->text.text = L"MM";
  Probe* hidden = Add(host.get(), log, "hidden", 0, 0, 160, 60);
  hidden->image = pane->image;
  hidden->SetVisible(false);

  Show(*host);
  ::UpdateWindow(host->GetHwnd());
  EXPECT_EQ(hidden->paints, 0);
  EXPECT_GT(pane->paints, 0);

  // The nine-grid corner of the pane, unscaled.
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(BufferPixel(*host, 5 + x, 5 + y), 0xFF0000u | (20u * y) << 8 | (20u * x));
    }
  }
  EXPECT_EQ(BufferPixel(*host, 46, 30), 0xFFFFFFu);  // past the pane: the overflow is cut
  EXPECT_NE(BufferPixel(*host, 44, 34), 0xFFFFFFu);  // inside it: drawn
  // The label's text in its colour (alpha 254 over white leaves 1 in green
  // and blue).
  int best = 1000;
  for (int y = 0; y < 60; ++y) {
    for (int x = 80; x < 160; ++x) {
      const std::uint32_t c = BufferPixel(*host, x, y);
      best = std::min(best, std::abs(static_cast<int>(c >> 16) - 255) + static_cast<int>((c >> 8) & 0xFF) +
                                static_cast<int>(c & 0xFF));
    }
  }
  EXPECT_LE(best, 8);
  // And the buffer reached the window.
  pv::WindowDC screen(host->GetHwnd());
  EXPECT_EQ(::GetPixel(screen.get(), 5, 5) & 0xFFFFFF, RGB(255, 0, 0));
  EXPECT_EQ(::GetPixel(screen.get(), 2, 2) & 0xFFFFFF, RGB(255, 255, 255));
}

// Every pixel of a premultiplied picture has no channel above its alpha.
bool Premultiplied(const UIObject& host, int width, int height) {
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = host.BufferBits() + y * host.BufferStride();
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = row + x * 4;
      if (p[0] > p[3] || p[1] > p[3] || p[2] > p[3]) return false;
    }
  }
  return true;
}

TEST_F(UIObjectTest, LayeredWindowPaintsPremultipliedAlpha) {
  // Half-transparent red, premultiplied: 128, 0, 0 under alpha 128.
  CHBitmap half;
  ASSERT_TRUE(half.CreateDib(4, 4, 32));
  for (int i = 0; i < 16; ++i) std::memcpy(half.Bits() + i * 4, "\x00\x00\x80\x80", 4);
  auto host = MakeHost(100, 40);
  ASSERT_TRUE(host->MakeLayered());
  EXPECT_TRUE(::GetWindowLongPtrW(host->GetHwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
  Probe* shade = Add(host.get(), log, "shade", 0, 0, 20, 40);
  shade->image.bitmap = &half;
  shade->image.sourceWidth = shade->image.sourceHeight = 4;

  // Layered windows paint on their first showing, not in WM_PAINT.
  Show(*host);
  EXPECT_EQ(host->paints, 1);
  ::UpdateWindow(host->GetHwnd());
  EXPECT_EQ(host->paints, 1);
  // Repainting twice must not pile colour up under the cleared alpha.
  ::SendMessageW(host->GetHwnd(), UIObject::kLayeredRepaint, 0, 0);
  const RECT part{0, 0, 30, 40};
  ::SendMessageW(host->GetHwnd(), UIObject::kLayeredRepaint, reinterpret_cast<WPARAM>(&part), 0);
  EXPECT_EQ(host->paints, 3);
  ::GdiFlush();
  ASSERT_NE(host->BufferBits(), nullptr);
  const std::uint8_t* shaded = host->BufferBits() + 10 * host->BufferStride() + 10 * 4;
  EXPECT_EQ(shaded[0], 0);
  EXPECT_EQ(shaded[1], 0);
  EXPECT_NEAR(shaded[2], 128, 1);
  EXPECT_NEAR(shaded[3], 128, 1);
  const std::uint8_t* clear = host->BufferBits() + 10 * host->BufferStride() + 30 * 4;
  EXPECT_EQ(std::memcmp(clear, "\0\0\0\0", 4), 0);
  EXPECT_TRUE(Premultiplied(*host, 100, 40));
  // Only top-level windows become layered.
  auto child = MakeHost(10, 10, WS_CHILD, host->GetHwnd());
  EXPECT_FALSE(child->MakeLayered());
}

TEST_F(UIObjectTest, InvalidateFromAWorkerThread) {
  auto plain = MakeHost(100, 40);
  Probe* control = Add(plain.get(), log, "control", 10, 10, 20, 20);
  Show(*plain);
  ::UpdateWindow(plain->GetHwnd());
  std::thread([&] {
    control->SetLayout(20, 10, 20, 20);
    control->Invalidate();
  }).join();
  RECT update{};
  EXPECT_TRUE(::GetUpdateRect(plain->GetHwnd(), &update, FALSE));
  EXPECT_EQ(update.left, 10);  // the old place as well as the new
  const int before = control->paints;
  ::UpdateWindow(plain->GetHwnd());
  EXPECT_EQ(control->paints, before + 1);

  // A layered window hears of it through its repaint message.
  auto layered = MakeHost(100, 40);
  Probe* shade = Add(layered.get(), log, "shade", 10, 10, 20, 20);
  layered->MakeLayered();
  Show(*layered);
  const int shown = shade->paints;
  std::thread([&] { shade->Invalidate(); }).join();
  for (int i = 0; i < 50 && shade->paints == shown; ++i) {
    DrainMessages();
    ::Sleep(10);
  }
  EXPECT_EQ(shade->paints, shown + 1);
}

// A plain window that keeps the commands it receives.
class CommandSink : public CHWindow {
 public:
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override {
    received.emplace_back(wParam, lParam);
    return 0;
  }
  std::vector<std::pair<WPARAM, LPARAM>> received;
};

TEST_F(UIObjectTest, CommandsNotificationsAndMessagesClimb) {
  CommandSink outer;
  ASSERT_TRUE(outer.Create(nullptr, nullptr, WS_POPUP, L"", CHWindow::kClassName, 0, 0, 0, 300, 200));
  auto host = MakeHost(100, 50, WS_CHILD, outer.GetHwnd());
  ::SendMessageW(host->GetHwnd(), WM_COMMAND, MAKEWPARAM(7, 0), 1234);
  ASSERT_EQ(outer.received.size(), 1u);
  EXPECT_EQ(outer.received[0], std::make_pair(WPARAM{7}, LPARAM{1234}));

  Probe* pane = Add(host.get(), log, "pane", 0, 0, 50, 50);
  Probe* button = Add(pane, log, "button", 0, 0, 10, 10);
  EXPECT_EQ(button->Notify(button, WM_COMMAND, 0, reinterpret_cast<LPARAM>(button)), 7);
  EXPECT_EQ(button->GetHostWindow(), host->GetHwnd());
  EXPECT_EQ(button->Send(WM_APP, 1, 2), 0);
  EXPECT_TRUE(button->Post(WM_APP, 3, 4));
  DrainMessages();
  EXPECT_EQ(Take(), (Log{"host:notify<button", "host:app3", "host:app7"}));

  Probe orphan(nullptr, "orphan");
  EXPECT_EQ(orphan.GetHostWindow(), nullptr);
  EXPECT_EQ(orphan.GetPaintDC(), nullptr);
  EXPECT_EQ(orphan.Send(WM_APP, 0, 0), 0);
  EXPECT_FALSE(orphan.Post(WM_APP, 0, 0));
  EXPECT_EQ(orphan.Notify(&orphan, WM_COMMAND, 0, 0), 7);
}

RECT ToolRect(HWND tooltip, HWND host, UIObject* object) {
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = host;
  tool.uId = reinterpret_cast<UINT_PTR>(object);
  if (!::SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) return RECT{-9, -9, -9, -9};
  return tool.rect;
}

TEST_F(UIObjectTest, ToolsFollowTheirControlsAndAskForText) {
  auto host = MakeHost(200, 100);
  Probe* a = Add(host.get(), log, "a", 10, 10, 30, 20);
  EXPECT_FALSE(a->AddTool());  // no tooltip window yet
  HWND tooltip = host->EnsureTooltipWindow();
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(host->EnsureTooltipWindow(), tooltip);
  ASSERT_TRUE(a->AddTool());
  EXPECT_TRUE(a->HasTooltip());
  EXPECT_TRUE(Same(ToolRect(tooltip, host->GetHwnd(), a), RECT{10, 10, 40, 30}));
  a->SetLayout(50, 60, 30, 20);
  EXPECT_TRUE(Same(ToolRect(tooltip, host->GetHwnd(), a), RECT{50, 60, 80, 80}));
  a->SetVisible(false);
  EXPECT_TRUE(Same(ToolRect(tooltip, host->GetHwnd(), a), RECT{-1, -1, 0, 0}));

  Take();
  NMTTDISPINFOW info{};
  info.hdr.hwndFrom = tooltip;
  info.hdr.code = TTN_GETDISPINFOW;
  info.hdr.idFrom = reinterpret_cast<UINT_PTR>(a);
  ::SendMessageW(host->GetHwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  info.hdr.idFrom = 12345;  // not a tool of this tree
  ::SendMessageW(host->GetHwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(Take(), (Log{"a:tooltip", "host:tooltip"}));
}

}  // namespace
