#pragma once

#include <windows.h>

#include <commctrl.h>

namespace pv {

// One program object per window. The object is found from its handle through
// the window property "CHWindow"; every message of the window is routed to a
// virtual handler of the object, and whatever the object leaves alone goes to
// the procedure the window had before (DefWindowProcW for our own class).
//
// While bound, the object must outlive its window or detach first: deleting
// the object destroys the window. Destroying the window detaches the object
// (after WM_NCDESTROY), so the object may be deleted at any time afterwards.
class CHWindow {
 public:
  static constexpr const wchar_t* kWindowProp = L"CHWindow";
  static constexpr const wchar_t* kLastModalProp = L"PropLastModal";
  static constexpr const wchar_t* kClassName = L"CHWindow";

  CHWindow() = default;
  CHWindow(const CHWindow&) = delete;
  CHWindow& operator=(const CHWindow&) = delete;
  virtual ~CHWindow();

  // Message handlers, one per message. Each receives the message's own
  // parameters and returns its result; by default the message goes to
  // defaultProc unchanged.
  virtual LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcPaint(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcHitTest(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcMouseMove(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcLButtonUp(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcLButtonDown(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcLButtonDblClk(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcRButtonUp(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcRButtonDown(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcRButtonDblClk(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcCalcSize(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnWindowPosChanged(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnLButtonDblClk(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnRButtonUp(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnRButtonDown(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnRButtonDblClk(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnKeyUp(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnSize(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnHotKey(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnHScroll(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnVScroll(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnMeasureItem(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnChar(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnDropFiles(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnSetFocus(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnKillFocus(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnMouseWheel(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnMouseHover(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnGetMinMaxInfo(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnShowWindow(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcActivate(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnClose(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcCreate(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnNcDestroy(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnWindowPosChanging(WPARAM wParam, LPARAM lParam);

  // Called at the end of Attach, and inside Detach once the previous
  // procedure is back.
  virtual void OnAttached();
  virtual void OnDetached();
  // After WM_WINDOWPOSCHANGED when the size may have changed.
  virtual void OnSizeChanged();
  // WM_NOTIFY is offered to the sending child's object first; a nonzero
  // result is the message's result and the parent's OnNotify is skipped.
  virtual LRESULT OnReflectNotify(NMHDR* header);
  // Records the modal dialog shown on behalf of this window, so that
  // detaching the window ends it (with IDCANCEL) instead of leaving it
  // running without its owner.
  virtual bool SetLastModal(HWND dialog);
  virtual void RemoveLastModal();
  // Offered every queued message for this window or one of its descendants
  // before translation; true consumes the message.
  virtual bool PreTranslateMessage(MSG* message);
  // Messages without a handler of their own that OnMessage left unhandled.
  virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Messages without a handler of their own, first; set handled to keep the
  // message from DefaultProc.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

  // Creates a window with this object as creation parameter. Windows of the
  // "CHWindow" class bind themselves during creation; any other class (a
  // system control) is attached once it exists. Refused while the object is
  // bound to a live window.
  bool Create(HWND parent, HMENU menu, DWORD style, const wchar_t* windowName, const wchar_t* className, DWORD exStyle,
              int x, int y, int width, int height);
  // Binds an existing window and routes its messages here; refused for a dead
  // handle, a window that already has an object, and while this object is
  // bound to another live window.
  bool Attach(HWND window);
  // Unbinds and restores the previous procedure; returns the former handle.
  HWND Detach();

  void CenterWindow();
  void Move(int x, int y, int width, int height);
  void Resize(int width, int height);
  bool ModifyExStyle(DWORD remove, DWORD add);

  HWND GetHwnd() const { return hwnd; }
  WNDPROC GetDefaultProc() const { return defaultProc; }

  // The object bound to a window, or null.
  static CHWindow* FromHandle(HWND window);
  // The procedure of the "CHWindow" class and of every attached window.
  static LRESULT CALLBACK WindowRouter(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Routes one message of the bound window to its handler.
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // Passes a message to the previous procedure of the window.
  LRESULT CallDefault(UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd = nullptr;
  WNDPROC defaultProc = ::DefWindowProcW;
};

}  // namespace pv
