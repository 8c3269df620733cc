#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/ui/WindowTestSupport.h"
#include "ui/CHWindow.h"

using namespace pv;

namespace {

constexpr DWORD kPopup = WS_POPUP | WS_CLIPCHILDREN;

// Records the messages that reach a few handlers and the lifecycle hooks.
class Recorder : public CHWindow {
 public:
  LRESULT OnNcCreate(WPARAM w, LPARAM l) override {
    seen.push_back(WM_NCCREATE);
    boundAtNcCreate = hwnd != nullptr && FromHandle(hwnd) == this;
    return CHWindow::OnNcCreate(w, l);
  }
  LRESULT OnCreate(WPARAM w, LPARAM l) override {
    seen.push_back(WM_CREATE);
    return refuseCreate ? -1 : CHWindow::OnCreate(w, l);
  }
  LRESULT OnGetMinMaxInfo(WPARAM w, LPARAM l) override {
    seen.push_back(WM_GETMINMAXINFO);
    return CHWindow::OnGetMinMaxInfo(w, l);
  }
  LRESULT OnNcDestroy(WPARAM w, LPARAM l) override {
    seen.push_back(WM_NCDESTROY);
    return CHWindow::OnNcDestroy(w, l);
  }
  LRESULT OnWindowPosChanged(WPARAM, LPARAM) override { return 0; }
  LRESULT OnNotify(WPARAM, LPARAM) override {
    ++notifies;
    return 11;
  }
  LRESULT OnReflectNotify(NMHDR* header) override { return header->code == 1 ? 42 : 0; }
  LRESULT OnChar(WPARAM w, LPARAM l) override {
    if (w == L'x') return 0;  // swallowed
    return CHWindow::OnChar(w, l);
  }
  LRESULT OnMessage(UINT message, WPARAM w, LPARAM l, bool& handled) override {
    if (message == WM_SETTEXT) ++setTexts;
    return CHWindow::OnMessage(message, w, l, handled);
  }
  void OnAttached() override { ++attached; }
  void OnDetached() override { ++detached; }
  void OnSizeChanged() override { ++sizeChanges; }

  bool Seen(UINT message) const {
    for (UINT m : seen)
      if (m == message) return true;
    return false;
  }

  std::vector<UINT> seen;
  bool boundAtNcCreate = false;
  bool refuseCreate = false;
  int notifies = 0, setTexts = 0, attached = 0, detached = 0, sizeChanges = 0;
};

// Messages sent to windows of this thread during a creation, in order.
std::vector<std::pair<HWND, UINT>>* g_sent = nullptr;

LRESULT CALLBACK RecordSent(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && g_sent) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    g_sent->emplace_back(sent->hwnd, sent->message);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

using CHWindowTest = WindowTest;

TEST_F(CHWindowTest, BindsAtNcCreateWhileEarlierMessagesGoToDefWindowProc) {
  std::vector<std::pair<HWND, UINT>> sent;
  g_sent = &sent;
  HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &RecordSent, nullptr, ::GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  Recorder window;
  // A thick frame makes the system ask for WM_GETMINMAXINFO before WM_NCCREATE.
  const bool created =
      window.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, L"bind", CHWindow::kClassName, 0, 10, 10, 200, 100);
  ::UnhookWindowsHookEx(hook);
  g_sent = nullptr;
  ASSERT_TRUE(created);
  HWND hwnd = window.GetHwnd();
  EXPECT_EQ(CHWindow::FromHandle(hwnd), &window);
  EXPECT_EQ(::GetPropW(hwnd, CHWindow::kWindowProp), &window);

  int minMaxAt = -1, ncCreateAt = -1;
  for (int i = 0; i < static_cast<int>(sent.size()); ++i) {
    if (sent[i].first != hwnd) continue;
    if (sent[i].second == WM_GETMINMAXINFO && minMaxAt < 0) minMaxAt = i;
    if (sent[i].second == WM_NCCREATE && ncCreateAt < 0) ncCreateAt = i;
  }
  ASSERT_GE(minMaxAt, 0);
  ASSERT_GT(ncCreateAt, minMaxAt);
  // The object first heard of its window at WM_NCCREATE, already bound.
  ASSERT_FALSE(window.seen.empty());
  EXPECT_EQ(window.seen.front(), static_cast<UINT>(WM_NCCREATE));
  EXPECT_TRUE(window.boundAtNcCreate);
  EXPECT_TRUE(window.Seen(WM_CREATE));

  // Once bound, WM_GETMINMAXINFO reaches the object like everything else.
  window.seen.clear();
  ::SetWindowPos(hwnd, nullptr, 0, 0, 300, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(window.Seen(WM_GETMINMAXINFO));

  // A second Create while bound would leave this window routed to nobody.
  EXPECT_FALSE(window.Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 10, 10));
  EXPECT_EQ(window.GetHwnd(), hwnd);
}

TEST_F(CHWindowTest, WindowWithoutObjectIsServedByDefWindowProc) {
  HWND plain =
      ::CreateWindowExW(0, CHWindow::kClassName, L"plain", kPopup, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(CHWindow::FromHandle(plain), nullptr);
  ::SetWindowTextW(plain, L"changed");
  wchar_t text[16] = {};
  ::GetWindowTextW(plain, text, 16);
  EXPECT_STREQ(text, L"changed");
  EXPECT_TRUE(::DestroyWindow(plain));
}

TEST_F(CHWindowTest, RefusedCreationLeavesTheObjectUnbound) {
  auto window = std::make_unique<Recorder>();
  window->refuseCreate = true;
  EXPECT_FALSE(window->Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 50, 50));
  EXPECT_EQ(window->GetHwnd(), nullptr);
  // The failed creation destroyed the window, and the object detached.
  EXPECT_TRUE(window->Seen(WM_NCDESTROY));
  window.reset();
}

TEST_F(CHWindowTest, SystemEditCreatedThroughCreateIsAttached) {
  Recorder parent;
  ASSERT_TRUE(parent.Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 200, 100));
  Recorder edit;
  ASSERT_TRUE(edit.Create(parent.GetHwnd(), reinterpret_cast<HMENU>(7), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, L"",
                          WC_EDITW, 0, 0, 0, 150, 24));
  HWND hwnd = edit.GetHwnd();
  EXPECT_EQ(CHWindow::FromHandle(hwnd), &edit);
  EXPECT_EQ(edit.attached, 1);
  EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&CHWindow::WindowRouter));

  // Unhandled messages reach the object first, then the edit's own procedure.
  ::SetWindowTextW(hwnd, L"ab");
  EXPECT_EQ(edit.setTexts, 1);
  ::SendMessageW(hwnd, EM_SETSEL, 2, 2);
  ::SendMessageW(hwnd, WM_CHAR, L'x', 1);  // swallowed by the object
  ::SendMessageW(hwnd, WM_CHAR, L'c', 1);  // passed on
  wchar_t text[16] = {};
  ::GetWindowTextW(hwnd, text, 16);
  EXPECT_STREQ(text, L"abc");
}

TEST_F(CHWindowTest, AttachAndDetachRestoreTheEditProcedure) {
  HWND hwnd = ::CreateWindowExW(0, WC_EDITW, L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  const LONG_PTR original = ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
  Recorder edit;
  ASSERT_TRUE(edit.Attach(hwnd));
  EXPECT_EQ(edit.attached, 1);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(edit.GetDefaultProc()), original);
  ::SetWindowTextW(hwnd, L"one");
  EXPECT_EQ(edit.setTexts, 1);

  EXPECT_EQ(edit.Detach(), hwnd);
  EXPECT_EQ(edit.detached, 1);
  EXPECT_EQ(edit.GetHwnd(), nullptr);
  EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC), original);
  EXPECT_EQ(::GetPropW(hwnd, CHWindow::kWindowProp), nullptr);
  // The next window of this object must not inherit the edit's procedure.
  EXPECT_EQ(edit.GetDefaultProc(), &::DefWindowProcW);

  // The edit works on its own and the object hears nothing more.
  ::SetWindowTextW(hwnd, L"two");
  wchar_t text[16] = {};
  ::GetWindowTextW(hwnd, text, 16);
  EXPECT_STREQ(text, L"two");
  EXPECT_EQ(edit.setTexts, 1);
  EXPECT_TRUE(::DestroyWindow(hwnd));
}

TEST_F(CHWindowTest, AttachRefusesBoundDeadAndMissingWindows) {
  Recorder first;
  ASSERT_TRUE(first.Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 50, 50));
  HWND bound = first.GetHwnd();
  const LONG_PTR procedure = ::GetWindowLongPtrW(bound, GWLP_WNDPROC);

  Recorder second;
  EXPECT_FALSE(second.Attach(bound));
  EXPECT_EQ(second.GetHwnd(), nullptr);
  EXPECT_EQ(second.attached, 0);
  EXPECT_EQ(CHWindow::FromHandle(bound), &first);
  EXPECT_EQ(first.GetHwnd(), bound);
  EXPECT_EQ(::GetWindowLongPtrW(bound, GWLP_WNDPROC), procedure);

  HWND dead = ::CreateWindowExW(0, WC_EDITW, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(::DestroyWindow(dead));
  EXPECT_FALSE(second.Attach(dead));
  EXPECT_FALSE(second.Attach(nullptr));
  EXPECT_EQ(second.GetHwnd(), nullptr);

  // An object bound to a live window keeps it; taking a second one would
  // leave the first routed to an object that no longer knows it.
  HWND other = ::CreateWindowExW(0, WC_EDITW, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(first.Attach(other));
  EXPECT_EQ(first.GetHwnd(), bound);
  EXPECT_EQ(CHWindow::FromHandle(other), nullptr);
  ::DestroyWindow(other);
}

TEST_F(CHWindowTest, ReflectedNotifyStopsAtTheSenderWhenItAnswers) {
  Recorder parent;
  ASSERT_TRUE(parent.Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 200, 100));
  Recorder child;
  ASSERT_TRUE(
      child.Create(parent.GetHwnd(), reinterpret_cast<HMENU>(3), WS_CHILD, L"", CHWindow::kClassName, 0, 0, 0, 20, 20));
  HWND plain = ::CreateWindowExW(0, WC_STATICW, L"", WS_CHILD, 0, 0, 5, 5, parent.GetHwnd(), nullptr, nullptr, nullptr);
  ASSERT_NE(plain, nullptr);

  NMHDR answered{child.GetHwnd(), 3, 1};
  EXPECT_EQ(::SendMessageW(parent.GetHwnd(), WM_NOTIFY, 3, reinterpret_cast<LPARAM>(&answered)), 42);
  EXPECT_EQ(parent.notifies, 0);

  NMHDR ignored{child.GetHwnd(), 3, 2};
  EXPECT_EQ(::SendMessageW(parent.GetHwnd(), WM_NOTIFY, 3, reinterpret_cast<LPARAM>(&ignored)), 11);
  EXPECT_EQ(parent.notifies, 1);

  NMHDR fromPlain{plain, 4, 1};
  EXPECT_EQ(::SendMessageW(parent.GetHwnd(), WM_NOTIFY, 4, reinterpret_cast<LPARAM>(&fromPlain)), 11);
  EXPECT_EQ(parent.notifies, 2);

  // A malformed WM_NOTIFY without a header still reaches OnNotify safely.
  EXPECT_EQ(::SendMessageW(parent.GetHwnd(), WM_NOTIFY, 0, 0), 11);
  EXPECT_EQ(parent.notifies, 3);
}

TEST_F(CHWindowTest, SizeChangedOnlyWhenTheSizeMayHaveChanged) {
  Recorder window;
  ASSERT_TRUE(window.Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 100, 100));
  struct Case {
    UINT flags;
    int expected;
  };
  const Case cases[] = {
      {0, 1},
      {SWP_NOMOVE | SWP_NOZORDER, 1},
      {SWP_NOSIZE, 0},
      {SWP_NOCOPYBITS, 0},
      {SWP_NOSIZE | SWP_NOCOPYBITS | SWP_NOMOVE, 0},
  };
  for (const Case& c : cases) {
    window.sizeChanges = 0;
    WINDOWPOS pos{window.GetHwnd(), nullptr, 0, 0, 100, 100, c.flags};
    ::SendMessageW(window.GetHwnd(), WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    EXPECT_EQ(window.sizeChanges, c.expected) << "flags " << std::hex << c.flags;
  }
  window.sizeChanges = 0;
  ::SendMessageW(window.GetHwnd(), WM_WINDOWPOSCHANGED, 0, 0);
  EXPECT_EQ(window.sizeChanges, 0);

  // The same through real moves and sizes.
  ::SetWindowPos(window.GetHwnd(), nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(window.sizeChanges, 0);
  ::SetWindowPos(window.GetHwnd(), nullptr, 0, 0, 120, 90, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(window.sizeChanges, 1);
}

// Private messages: OnMessage first, DefaultProc only when it declines.
class PrivateMessages : public CHWindow {
 public:
  LRESULT OnMessage(UINT message, WPARAM, LPARAM, bool& handled) override {
    trail += "OnMessage ";
    handled = message == WM_APP + 1;
    return 77;
  }
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    trail += "DefaultProc ";
    return message == WM_APP + 2 ? 88 : CHWindow::DefaultProc(message, wParam, lParam);
  }
  std::string trail;
};

TEST_F(CHWindowTest, PrivateMessagesGoToOnMessageThenDefaultProc) {
  PrivateMessages window;
  ASSERT_TRUE(window.Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 50, 50));
  window.trail.clear();
  EXPECT_EQ(::SendMessageW(window.GetHwnd(), WM_APP + 1, 0, 0), 77);
  EXPECT_EQ(window.trail, "OnMessage ");
  window.trail.clear();
  EXPECT_EQ(::SendMessageW(window.GetHwnd(), WM_APP + 2, 0, 0), 88);
  EXPECT_EQ(window.trail, "OnMessage DefaultProc ");
  // A message with a handler of its own bypasses both.
  window.trail.clear();
  ::SendMessageW(window.GetHwnd(), WM_TIMER, 1, 0);
  EXPECT_EQ(window.trail, "");
}

// Passes everything on except WM_NCDESTROY, as a careless subclass would:
// the object then never hears that its window is gone.
WNDPROC g_underneath = nullptr;
LRESULT CALLBACK SwallowNcDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCDESTROY) return 0;
  return ::CallWindowProcW(g_underneath, window, message, wParam, lParam);
}

TEST_F(CHWindowTest, WindowAndObjectCanGoInEitherOrder) {
  // Window first: the object detaches at WM_NCDESTROY and may go any time.
  auto first = std::make_unique<Recorder>();
  ASSERT_TRUE(first->Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 50, 50));
  ASSERT_TRUE(::DestroyWindow(first->GetHwnd()));
  EXPECT_TRUE(first->Seen(WM_NCDESTROY));
  EXPECT_EQ(first->GetHwnd(), nullptr);
  first.reset();

  // Object first: deleting it destroys the window without routing anything
  // to the half-destroyed object.
  auto second = std::make_unique<Recorder>();
  ASSERT_TRUE(second->Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 50, 50));
  HWND hwnd = second->GetHwnd();
  second.reset();
  EXPECT_FALSE(::IsWindow(hwnd));

  // A window that died without the object seeing WM_NCDESTROY leaves a stale
  // handle; deleting the object then does nothing.
  auto third = std::make_unique<Recorder>();
  ASSERT_TRUE(third->Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 50, 50));
  HWND stale = third->GetHwnd();
  g_underneath = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(stale, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SwallowNcDestroy)));
  ASSERT_TRUE(::DestroyWindow(stale));
  EXPECT_FALSE(::IsWindow(stale));
  EXPECT_EQ(third->GetHwnd(), stale);
  EXPECT_EQ(third->Detach(), stale);
  third.reset();
}

// The modal dialog test's owner and its dialog procedure.
INT_PTR CALLBACK DetachingDialog(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  static CHWindow* owner = nullptr;
  if (message == WM_INITDIALOG) {
    owner = reinterpret_cast<CHWindow*>(lParam);
    owner->SetLastModal(dialog);
    ::PostMessageW(dialog, WM_APP, 0, 0);
    return TRUE;
  }
  if (message == WM_APP) {
    // The owner goes away while its dialog runs.
    owner->Detach();
    return TRUE;
  }
  return FALSE;
}

TEST_F(CHWindowTest, DetachEndsTheLastModalDialogWithCancel) {
  Recorder owner;
  ASSERT_TRUE(owner.Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 0, 0, 200, 100));
  HWND hwnd = owner.GetHwnd();

  EXPECT_TRUE(owner.SetLastModal(reinterpret_cast<HWND>(0x1234)));
  EXPECT_EQ(::GetPropW(hwnd, CHWindow::kLastModalProp), reinterpret_cast<HANDLE>(0x1234));
  owner.RemoveLastModal();
  EXPECT_EQ(::GetPropW(hwnd, CHWindow::kLastModalProp), nullptr);

  // An empty dialog template: no menu, default class, no title, no controls.
  struct alignas(4) Template {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
  } dialog{};
  dialog.header.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  dialog.header.cx = 100;
  dialog.header.cy = 50;
  const INT_PTR result =
      ::DialogBoxIndirectParamW(nullptr, &dialog.header, hwnd, &DetachingDialog, reinterpret_cast<LPARAM>(&owner));
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(::GetPropW(hwnd, CHWindow::kLastModalProp), nullptr);
  EXPECT_EQ(owner.GetHwnd(), nullptr);
  ::DestroyWindow(hwnd);
}

TEST_F(CHWindowTest, CenterWindowUsesTheDesktopOrTheParentClientArea) {
  Recorder top;
  ASSERT_TRUE(top.Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 3, 4, 200, 100));
  top.CenterWindow();
  RECT desktop = WindowRect(::GetDesktopWindow());
  RECT placed = WindowRect(top.GetHwnd());
  EXPECT_EQ(placed.left, desktop.left + (desktop.right - desktop.left - 200) / 2);
  EXPECT_EQ(placed.top, desktop.top + (desktop.bottom - desktop.top - 100) / 2);
  EXPECT_EQ(placed.right - placed.left, 200);

  // A bordered parent: the child is centred in the client area, odd sizes
  // rounding down.
  Recorder parent;
  ASSERT_TRUE(parent.Create(nullptr, nullptr, kPopup | WS_BORDER, L"", CHWindow::kClassName, 0, 40, 30, 303, 203));
  RECT client{};
  ::GetClientRect(parent.GetHwnd(), &client);
  ASSERT_EQ(client.right, 301);
  Recorder child;
  ASSERT_TRUE(child.Create(parent.GetHwnd(), nullptr, WS_CHILD, L"", CHWindow::kClassName, 0, 0, 0, 100, 50));
  child.CenterWindow();
  POINT at = PositionInParent(child.GetHwnd());
  EXPECT_EQ(at.x, 100);  // (301 - 100) / 2
  EXPECT_EQ(at.y, 75);   // (201 - 50) / 2

  // Larger than its parent: centred all the same, sticking out evenly.
  child.Move(0, 0, 401, 251);
  child.CenterWindow();
  at = PositionInParent(child.GetHwnd());
  EXPECT_EQ(at.x, -50);
  EXPECT_EQ(at.y, -25);
}

TEST_F(CHWindowTest, ResizeKeepsTheTopLeftCorner) {
  Recorder top;
  ASSERT_TRUE(top.Create(nullptr, nullptr, kPopup, L"", CHWindow::kClassName, 0, 37, 29, 200, 100));
  top.Resize(528, 348);
  RECT rect = WindowRect(top.GetHwnd());
  EXPECT_EQ(rect.left, 37);
  EXPECT_EQ(rect.top, 29);
  EXPECT_EQ(rect.right - rect.left, 528);
  EXPECT_EQ(rect.bottom - rect.top, 348);

  // A child whose parent is itself a bordered child: the corner stays put in
  // the parent's client area, whose origin is inside the border.
  Recorder middle;
  ASSERT_TRUE(middle.Create(top.GetHwnd(), nullptr, WS_CHILD | WS_VISIBLE | WS_DLGFRAME, L"", CHWindow::kClassName, 0,
                            20, 30, 300, 200));
  Recorder inner;
  ASSERT_TRUE(
      inner.Create(middle.GetHwnd(), nullptr, WS_CHILD | WS_VISIBLE, L"", CHWindow::kClassName, 0, 5, 7, 50, 40));
  inner.Resize(60, 45);
  const POINT at = PositionInParent(inner.GetHwnd());
  EXPECT_EQ(at.x, 5);
  EXPECT_EQ(at.y, 7);
  rect = WindowRect(inner.GetHwnd());
  EXPECT_EQ(rect.right - rect.left, 60);
  EXPECT_EQ(rect.bottom - rect.top, 45);
}

}  // namespace
