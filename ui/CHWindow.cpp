#include "ui/CHWindow.h"

namespace pv {

// The messages with a handler of their own, in the order of the handlers.
// Both the default handlers and the dispatch switch are generated from this
// one list, so a message cannot end up in its neighbour's handler.
#define PV_WINDOW_HANDLERS(X)                \
  X(OnPaint, WM_PAINT)                       \
  X(OnNcPaint, WM_NCPAINT)                   \
  X(OnEraseBkgnd, WM_ERASEBKGND)             \
  X(OnMouseMove, WM_MOUSEMOVE)               \
  X(OnNcHitTest, WM_NCHITTEST)               \
  X(OnNcMouseMove, WM_NCMOUSEMOVE)           \
  X(OnSetCursor, WM_SETCURSOR)               \
  X(OnNcLButtonUp, WM_NCLBUTTONUP)           \
  X(OnNcLButtonDown, WM_NCLBUTTONDOWN)       \
  X(OnNcLButtonDblClk, WM_NCLBUTTONDBLCLK)   \
  X(OnNcRButtonUp, WM_NCRBUTTONUP)           \
  X(OnNcRButtonDown, WM_NCRBUTTONDOWN)       \
  X(OnNcRButtonDblClk, WM_NCRBUTTONDBLCLK)   \
  X(OnNcCalcSize, WM_NCCALCSIZE)             \
  X(OnWindowPosChanged, WM_WINDOWPOSCHANGED) \
  X(OnLButtonUp, WM_LBUTTONUP)               \
  X(OnLButtonDown, WM_LBUTTONDOWN)           \
  X(OnLButtonDblClk, WM_LBUTTONDBLCLK)       \
  X(OnRButtonUp, WM_RBUTTONUP)               \
  X(OnRButtonDown, WM_RBUTTONDOWN)           \
  X(OnRButtonDblClk, WM_RBUTTONDBLCLK)       \
  X(OnCommand, WM_COMMAND)                   \
  X(OnKeyUp, WM_KEYUP)                       \
  X(OnKeyDown, WM_KEYDOWN)                   \
  X(OnSize, WM_SIZE)                         \
  X(OnNotify, WM_NOTIFY)                     \
  X(OnHotKey, WM_HOTKEY)                     \
  X(OnTimer, WM_TIMER)                       \
  X(OnHScroll, WM_HSCROLL)                   \
  X(OnVScroll, WM_VSCROLL)                   \
  X(OnDrawItem, WM_DRAWITEM)                 \
  X(OnMeasureItem, WM_MEASUREITEM)           \
  X(OnChar, WM_CHAR)                         \
  X(OnDropFiles, WM_DROPFILES)               \
  X(OnSetFocus, WM_SETFOCUS)                 \
  X(OnKillFocus, WM_KILLFOCUS)               \
  X(OnMouseWheel, WM_MOUSEWHEEL)             \
  X(OnMouseHover, WM_MOUSEHOVER)             \
  X(OnMouseLeave, WM_MOUSELEAVE)             \
  X(OnGetMinMaxInfo, WM_GETMINMAXINFO)       \
  X(OnShowWindow, WM_SHOWWINDOW)             \
  X(OnSysCommand, WM_SYSCOMMAND)             \
  X(OnNcActivate, WM_NCACTIVATE)             \
  X(OnCreate, WM_CREATE)                     \
  X(OnDestroy, WM_DESTROY)                   \
  X(OnClose, WM_CLOSE)                       \
  X(OnNcCreate, WM_NCCREATE)                 \
  X(OnNcDestroy, WM_NCDESTROY)               \
  X(OnWindowPosChanging, WM_WINDOWPOSCHANGING)

#define PV_DEFAULT_HANDLER(name, message) \
  LRESULT CHWindow::name(WPARAM wParam, LPARAM lParam) { return CallDefault(message, wParam, lParam); }
PV_WINDOW_HANDLERS(PV_DEFAULT_HANDLER)
#undef PV_DEFAULT_HANDLER

CHWindow::~CHWindow() {
  // Runs after the derived parts are gone, so only CHWindow::OnDetached is
  // called here; classes that need their own must detach in their destructor.
  HWND former = Detach();
  if (former && ::IsWindow(former)) ::DestroyWindow(former);
}

void CHWindow::OnAttached() {}

void CHWindow::OnDetached() {}

void CHWindow::OnSizeChanged() {}

LRESULT CHWindow::OnReflectNotify(NMHDR*) { return 0; }

bool CHWindow::SetLastModal(HWND dialog) { return hwnd && ::SetPropW(hwnd, kLastModalProp, dialog); }

void CHWindow::RemoveLastModal() {
  if (hwnd) ::RemovePropW(hwnd, kLastModalProp);
}

bool CHWindow::PreTranslateMessage(MSG*) { return false; }

LRESULT CHWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallDefault(message, wParam, lParam);
}

LRESULT CHWindow::OnMessage(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT CHWindow::CallDefault(UINT message, WPARAM wParam, LPARAM lParam) {
  // CallWindowProcW rather than a direct call: the previous procedure of a
  // system control may be a procedure handle, not a callable address.
  if (!defaultProc) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  return ::CallWindowProcW(defaultProc, hwnd, message, wParam, lParam);
}

bool CHWindow::Create(HWND parent, HMENU menu, DWORD style, const wchar_t* windowName, const wchar_t* className,
                      DWORD exStyle, int x, int y, int width, int height) {
  // A second window would leave the first one routed to this object.
  if (hwnd && ::IsWindow(hwnd)) return false;
  hwnd = nullptr;
  HWND created =
      ::CreateWindowExW(exStyle, className, windowName, style, x, y, width, height, parent, menu, nullptr, this);
  if (!created) {
    // The error code is of no use to the callers, who only clean up.
    (void)::GetLastError();
    hwnd = nullptr;
    return false;
  }
  if (FromHandle(created) == this) {
    hwnd = created;
    return true;
  }
  // Not our class: the window came into being with its own procedure.
  if (!Attach(created)) {
    // Nothing would route its messages here; do not leave it half made.
    ::DestroyWindow(created);
    hwnd = nullptr;
    return false;
  }
  return true;
}

bool CHWindow::Attach(HWND window) {
  if (!window || !::IsWindow(window) || FromHandle(window)) return false;
  if (hwnd && hwnd != window && ::IsWindow(hwnd)) return false;
  if (!::SetPropW(window, kWindowProp, this)) return false;
  hwnd = window;
  ::SetLastError(0);
  const LONG_PTR previous =
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CHWindow::WindowRouter));
  if (!previous && ::GetLastError() != 0) {
    // A window of another process cannot be subclassed.
    ::RemovePropW(window, kWindowProp);
    hwnd = nullptr;
    return false;
  }
  defaultProc = reinterpret_cast<WNDPROC>(previous);
  OnAttached();
  return true;
}

HWND CHWindow::Detach() {
  HWND former = hwnd;
  if (!former || !::IsWindow(former)) return former;
  ::RemovePropW(former, kWindowProp);
  if (HWND dialog = static_cast<HWND>(::GetPropW(former, kLastModalProp))) {
    // A modal dialog left running would outlive the object it reports to.
    if (::IsWindow(dialog)) ::EndDialog(dialog, IDCANCEL);
    ::RemovePropW(former, kLastModalProp);
  }
  if (defaultProc) {
    ::SetWindowLongPtrW(former, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defaultProc));
    OnDetached();
    // The next window of this object starts from the plain default again,
    // not from the procedure of the control it was attached to before.
    defaultProc = ::DefWindowProcW;
  }
  hwnd = nullptr;
  return former;
}

void CHWindow::CenterWindow() {
  RECT window;
  if (!hwnd || !::GetWindowRect(hwnd, &window)) return;
  RECT reference;
  if (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) {
    HWND parent = ::GetParent(hwnd);
    if (!parent || !::GetClientRect(parent, &reference)) return;
  } else if (!::GetWindowRect(::GetDesktopWindow(), &reference)) {
    return;
  }
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  const int left = reference.left + (reference.right - reference.left - width) / 2;
  const int top = reference.top + (reference.bottom - reference.top - height) / 2;
  ::MoveWindow(hwnd, left, top, width, height, ::IsWindowVisible(hwnd));
}

void CHWindow::Move(int x, int y, int width, int height) {
  if (hwnd) ::MoveWindow(hwnd, x, y, width, height, ::IsWindowVisible(hwnd));
}

void CHWindow::Resize(int width, int height) {
  RECT window;
  if (!hwnd || !::GetWindowRect(hwnd, &window)) return;
  POINT topLeft{window.left, window.top};
  if (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) {
    // MoveWindow takes a child's position in its parent's client area, so
    // map through the parent's client origin (its border included).
    if (HWND parent = ::GetParent(hwnd)) ::MapWindowPoints(HWND_DESKTOP, parent, &topLeft, 1);
  }
  ::MoveWindow(hwnd, topLeft.x, topLeft.y, width, height, ::IsWindowVisible(hwnd));
}

bool CHWindow::ModifyExStyle(DWORD remove, DWORD add) {
  if (!hwnd) return false;
  const DWORD old = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
  const DWORD updated = (old & ~remove) | add;
  if (updated == old) return false;
  ::SetLastError(0);
  if (!::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, static_cast<LONG_PTR>(updated)) && ::GetLastError() != 0) return false;
  return true;
}

CHWindow* CHWindow::FromHandle(HWND window) {
  return window ? static_cast<CHWindow*>(::GetPropW(window, kWindowProp)) : nullptr;
}

LRESULT CALLBACK CHWindow::WindowRouter(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CHWindow* object = FromHandle(window);
  if (!object) {
    // Only the creation messages carry the object; anything earlier (such as
    // WM_GETMINMAXINFO before WM_NCCREATE) has nobody to go to yet.
    if ((message == WM_NCCREATE || message == WM_CREATE) && lParam) {
      object = static_cast<CHWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    }
    if (!object || (object->hwnd && object->hwnd != window && ::IsWindow(object->hwnd))) {
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
    object->hwnd = window;
    ::SetPropW(window, kWindowProp, object);
  }
  return object->Dispatch(message, wParam, lParam);
}

LRESULT CHWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  // Three handlers come with extra work; they are taken before the table.
  if (message == WM_WINDOWPOSCHANGED) {
    const LRESULT result = OnWindowPosChanged(wParam, lParam);
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (pos && !(pos->flags & (SWP_NOSIZE | SWP_NOCOPYBITS))) OnSizeChanged();
    return result;
  }
  if (message == WM_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header) {
      if (CHWindow* sender = FromHandle(header->hwndFrom)) {
        if (const LRESULT result = sender->OnReflectNotify(header)) return result;
      }
    }
    return OnNotify(wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    const LRESULT result = OnNcDestroy(wParam, lParam);
    Detach();
    return result;
  }
  switch (message) {
#define PV_DISPATCH(name, msg) \
  case msg:                    \
    return name(wParam, lParam);
    PV_WINDOW_HANDLERS(PV_DISPATCH)
#undef PV_DISPATCH
  }
  bool handled = false;
  const LRESULT result = OnMessage(message, wParam, lParam, handled);
  if (handled) return result;
  return DefaultProc(message, wParam, lParam);
}

}  // namespace pv
