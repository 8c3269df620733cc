#pragma once

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "ui/CHWindow.h"
#include "ui/Handles.h"
#include "ui/LayoutMath.h"

namespace pv {

class IResource;
class JValue;
class UIAccessible;

// The base of every skinned element. Controls are windowless objects in a
// tree below one object that owns a real window (the host); the host takes
// the window's messages and hands them to the tree: it routes the mouse to
// the control under the pointer, keeps hover and focus, paints the whole tree
// into one back buffer, runs the controls' timers and carries notifications
// upwards. Coordinates are the host window's client coordinates throughout.
//
// The tree belongs to the host window's thread. Other threads may call
// SetLayout, SetEnabled, SetVisible and Invalidate; these only store values,
// lay out and ask the window to repaint.
class UIObject : public CHWindow {
 public:
  // A layered host's repaint, sent to itself (wParam: a RECT* or null for
  // the whole client area) or, from other threads, posted with null.
  static constexpr UINT kLayeredRepaint = 0x6400;
  // Posted to a host: raise a WinEvent for a control (wParam the event,
  // lParam the control), and do a control's default action (lParam).
  static constexpr UINT kAccessibleEvent = 0x6401;
  static constexpr UINT kAccessibleAction = 0x6402;

  UIObject();
  ~UIObject() override;

  // The back-buffer DC of the host this object paints into (the buffer is
  // made or resized first); null without a host window or a usable size.
  virtual HDC GetPaintDC();
  // Places the object inside its parent from its layout request, then its
  // children; a request without positive size never places anything.
  virtual void Layout();
  // The window of the nearest object that owns one.
  virtual HWND GetHostWindow();
  virtual void Paint(HDC dc, const RECT& rect, const RECT& clip);
  // Asks for a repaint of the area (the object's own rectangle when none).
  virtual void Invalidate(const RECT* area = nullptr, bool erase = false);
  // Reads the object's looks from the skin; the base reads nothing.
  virtual int LoadStyle(IResource* resource, const char* path, const JValue* node);
  // Mouse input. The base forms of MouseUp, MouseDoubleClick, RightUp and
  // RightDown hand the call to the deepest hovered descendant when that one
  // is enabled and visible; the others do nothing.
  virtual int MouseUp(UINT keys, POINT point);
  virtual int MouseDown(UINT keys, POINT point);
  virtual int MouseDoubleClick(UINT keys, POINT point);
  virtual int RightUp(UINT keys, POINT point);
  virtual int RightDown(UINT keys, POINT point);
  virtual int MouseMove(UINT keys, POINT point);
  virtual int MouseEnter(UINT keys, POINT point);
  virtual int MouseLeave(UINT keys, POINT point);
  // delta: the high word of the wheel message as an unsigned value (bit 15
  // set for a turn toward the user); point in screen coordinates.
  virtual int MouseWheel(UINT keys, unsigned delta, POINT point);
  virtual int ShowChanged(bool visible);
  // A tooltip asks for the text of this object's tool.
  virtual void TooltipText(NMTTDISPINFOW* info);
  virtual void Timer(int id);
  virtual int KeyDown(WPARAM wParam, LPARAM lParam);
  // The base hands the key to the deepest hovered descendant, like MouseUp.
  virtual int KeyUp(WPARAM wParam, LPARAM lParam);
  virtual int Char(WPARAM wParam, LPARAM lParam);
  virtual int FocusLost(UIObject* next);
  virtual int FocusGained(UIObject* previous);
  // What a click does (a button's press, a check box's toggle), for the
  // keyboard and for assistive technology; false when the object has none
  // or cannot take it now.
  virtual bool DoDefaultAction();
  // Where the focus mark goes around the focused control: its rectangle
  // unless the control knows better.
  virtual RECT FocusRect();
  // Sets the cursor of the deepest hovered descendant; nonzero when it did.
  virtual int UpdateCursor();
  // Send or post to the host window; 0 without one.
  virtual LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);
  virtual bool Post(UINT message, WPARAM wParam, LPARAM lParam);
  // A control's report of an action; climbs the parents until a class that
  // handles it. 0 at the top.
  virtual LRESULT Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam);
  // After the host's size changed and the tree was laid out again.
  virtual void Resized();
  // On a host, after its focused control changed (to null too).
  virtual void FocusChanged(UIObject* previous);

  // What assistive technology reads of the object: a role of oleacc.h
  // (ROLE_SYSTEM_*; 0 keeps the object out of the tree), its name, the
  // state bits only the object knows (checked, read-only) and its value.
  // The base: no role, the name set with SetAccessibleName, nothing else.
  virtual int AccessibleRole();
  virtual std::wstring AccessibleName();
  virtual unsigned AccessibleState();
  virtual std::wstring AccessibleValue();
  // On a host: the name of a control's default action, which assistive
  // technology shows and may call; empty (none) in the base.
  virtual std::wstring DefaultActionName(UIObject* control);
  // Hands a queued message to the tooltip windows of the tree.
  virtual void RelayTooltip(MSG* message);

  // The window messages a host handles for its tree.
  bool PreTranslateMessage(MSG* message) override;
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT OnPaint(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnLButtonDblClk(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnRButtonDown(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnRButtonUp(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnMouseWheel(WPARAM wParam, LPARAM lParam) override;
  // Tab and Shift+Tab move the focus; other keys go to the focused control.
  // The first key turns the focus mark on.
  LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnKeyUp(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnChar(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnNotify(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnTimer(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnWindowPosChanged(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnShowWindow(WPARAM wParam, LPARAM lParam) override;

  // A new control of the class of a UIKind code, or null for a kind without
  // one (the frame window, 5, included).
  static std::unique_ptr<UIObject> CreateControl(int kind);
  // CreateControl, LoadStyle from the skin when a resource is given, and
  // AddChild. Null (and nothing made) for an unknown kind or no parent.
  static UIObject* CreateChild(int kind, IResource* resource, UIObject* parent, const char* path, const JValue* node);
  // Gives the child to the parent (appended, so painted on top) and lays it
  // out with its children. Returns the child, or null (the child destroyed)
  // without a parent.
  template <typename T>
  static T* AddChild(UIObject* parent, std::unique_ptr<T> child) {
    T* raw = child.get();
    return AppendChild(parent, std::unique_ptr<UIObject>(std::move(child))) ? raw : nullptr;
  }

  void SetEnabled(bool enabled);
  void SetVisible(bool visible);
  // Whether the object and every parent up to its host are visible and
  // enabled: what the pointer and the keyboard can reach.
  bool IsReachable() const;

  // The host's keyboard focus. SetFocusChild tells the controls that lose
  // and gain it and repaints the mark; null clears it.
  void SetFocusChild(UIObject* target);
  // The controls that take the focus, in the order Tab visits them: the
  // reachable tab stops, top to bottom, then left to right.
  std::vector<UIObject*> FocusOrder();
  // Moves the focus to the next (previous) control of the order, wrapping
  // around; false when no control takes it.
  bool MoveFocus(bool backward);
  // The focus mark shows only once the keyboard was used, as the system
  // does it.
  bool ShowsFocusMark() const { return focusMarkShown; }
  void ShowFocusMark();
  // The mark's colour (the skin's accent); the host paints it.
  void SetFocusMarkColor(COLORREF color) { focusMarkColor = color; }

  // A name instead of the text, and a role instead of the class's own
  // (-1: the class's own; 0: not exposed).
  void SetAccessibleName(std::wstring name) { accessibleName = std::move(name); }
  void SetAccessibleRole(int role) { accessibleRole = role; }
  // On a host: the exposed objects (a role, visible up to the host) in
  // reading order, top to bottom, then left to right. Child id n is the
  // n-th of them.
  std::vector<UIObject*> AccessibleChildren();
  // Raises a WinEvent (EVENT_OBJECT_*) for this object, so that a screen
  // reader hears of the change; from any thread (others post it to the
  // host's thread). Nothing for an object that is not exposed.
  void RaiseAccessibleEvent(DWORD event);
  // On a host: runs a control's default action from the window's queue.
  bool PostDefaultAction(UIObject* control);
  // x and y always; w and h only where not negative. Lays out when both
  // sizes are positive, then repaints the old and the new place.
  void SetLayout(int x, int y, int w, int h);
  // Offsets from the parent's top-left corner, negative ones included.
  void SetAbsoluteLayout();

  // A timer on the host window whose ticks reach owner->Timer (this object
  // when owner is null). The id is the largest running id plus one, 1 for
  // the first; 0 without a live host window.
  int StartTimer(UINT elapse, UIObject* owner = nullptr);
  // Stops a timer while the host window is visible; 0 otherwise.
  int StopTimer(int id);

  // Turns a top-level host window into a layered one painted with per-pixel
  // alpha; returns whether it is layered.
  bool MakeLayered();

  // The host's tooltip window, made on first request (null for a control
  // without a window of its own).
  HWND EnsureTooltipWindow();
  // Adds this object as a tool of the nearest host's tooltip window, with
  // the text or, when none is given, asking TooltipText. The tool follows
  // the object's rectangle from then on.
  bool AddTool(const wchar_t* text = nullptr);

  // The brush the host fills the painted area with before painting; owned.
  void SetBackgroundBrush(pv::UniqueBrush brush);

  int GetId() const { return id; }
  void SetId(int value) { id = value; }
  int GetKind() const { return kind; }
  bool IsEnabled() const { return enabled; }
  bool IsVisible() const { return visible; }
  bool IsHot() const { return hot; }
  bool IsDragThrough() const { return dragThrough; }
  bool IsTabStop() const { return tabStop; }
  void SetTabStop(bool value) { tabStop = value; }
  void SetDragThrough(bool value) { dragThrough = value; }
  int GetLayoutMode() const { return layoutMode; }
  bool HasTooltip() const { return hasTooltip; }
  const RECT& GetRect() const { return rect; }
  void SetRect(const RECT& value) { rect = value; }
  const pv::LayoutRequest& GetLayoutRequest() const { return layoutRequest; }
  HCURSOR GetHoverCursor() const { return cursor; }
  void SetHoverCursor(HCURSOR value) { cursor = value; }
  UIObject* Parent() const { return parent; }
  // Whether `object` lies anywhere below this one.
  bool HoldsInTree(const UIObject* object) const;
  std::size_t ChildCount() const { return children.size(); }
  UIObject* Child(std::size_t index) const { return index < children.size() ? children[index].get() : nullptr; }
  UIObject* GetHoverChild() const { return hoverChild; }
  UIObject* GetFocusChild() const { return focusChild; }
  bool IsLayered() const { return layered; }
  HWND GetTooltipWindow() const { return tooltipWindow.get(); }
  // The end of the hover chain below this object, or null when nothing
  // below it is hovered.
  UIObject* DeepestHovered() const;

  // The back buffer's 32-bit pixels (layered hosts only; rows top-down,
  // premultiplied BGRA) and its row stride in bytes.
  const std::uint8_t* BufferBits() const { return buffer.bits; }
  int BufferStride() const { return buffer.stride; }

 protected:
  static void DestroyWindowHandle(HWND window) {
    if (::IsWindow(window)) ::DestroyWindow(window);
  }
  using UniqueWindow = pv::UniqueAny<HWND, DestroyWindowHandle>;

  // The buffer the host paints its tree into before copying it to the
  // window: a bitmap compatible with the window, or for a layered window a
  // top-down 32-bit DIB section handed to UpdateLayeredWindow.
  struct BackBuffer {
    pv::UniqueMemDC dc;
    pv::UniqueBitmap bitmap;
    // What the buffer holds selected in dc; after dc and bitmap, so these
    // go back first.
    pv::SelectGuard selectedBitmap;
    pv::SelectGuard selectedFont;
    pv::SelectGuard selectedBrush;
    std::uint8_t* bits = nullptr;
    int byteSize = 0;
    int stride = 0;
    int width = 0;
    int height = 0;
    bool isDib = false;
  };

  // Reads "id" and "size" below a skin node, for the controls' LoadStyle.
  void LoadIdAndSize(IResource* resource, const JValue* node);
  // Paints the visible children in order, each clipped to this object's
  // rectangle, the incoming clip and its own rectangle, then their children.
  void PaintChildren(HDC dc, const RECT& clip);
  // The nearest object, this one included, that owns a window.
  UIObject* WindowOwner();

  int id = 0;
  int kind = 0;
  int accessibleRole = -1;
  std::wstring accessibleName;
  bool enabled = true;
  bool visible = true;
  bool hot = false;
  bool dragThrough = false;
  bool tabStop = false;  // takes the keyboard focus
  std::uint8_t layoutMode = pv::kLayoutAnchored;
  bool hasTooltip = false;
  RECT rect{};
  pv::LayoutRequest layoutRequest;
  HCURSOR cursor = nullptr;
  UIObject* parent = nullptr;
  UIObject* hoverChild = nullptr;
  UIObject* focusChild = nullptr;                   // on a host
  bool focusMarkShown = false;                      // on a host
  COLORREF focusMarkColor = RGB(0, 0, 0);           // on a host
  std::vector<std::unique_ptr<UIObject>> children;  // paint order: the last is on top
  std::map<int, UIObject*> timers;                  // on a host: id to owner
  bool tracking = false;
  pv::UniqueBrush backgroundBrush;
  UniqueWindow tooltipWindow;
  bool layered = false;
  bool firstShowDone = false;
  bool resizing = false;
  BackBuffer buffer;
  // Cleared when the object is destroyed. Code that hands control to others
  // (a notification, a message loop) and then goes on with this object keeps
  // a copy and checks it first: a handler may have destroyed the object.
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);

  // What a capture loop does with a message it took.
  enum class CaptureStep {
    kDispatch,         // to its window, as the application's loop would
    kHandled,          // the loop's owner has dealt with it
    kDispatchThenEnd,  // dispatched, and the loop ends
    kEnd,              // the loop ends without it
  };
  // Takes the thread's messages while `host` holds the capture (a drag),
  // handing each to `take` first; a quit ends the loop and is posted again
  // for the application's loop. The capture is released at the end. False
  // when the object was destroyed meanwhile (by `take` or by a message it
  // let through): the caller must then touch nothing of it.
  bool RunCaptureLoop(HWND host, const std::function<CaptureStep(const MSG&)>& take);

 private:
  static bool AppendChild(UIObject* parent, std::unique_ptr<UIObject> child);
  int RoutePoint(UINT keys, POINT point);
  void LeaveChain(UINT keys, POINT point);
  UIObject* KeyTarget() { return focusChild && focusChild->IsReachable() ? focusChild : this; }
  void LayoutDescendants();
  void UpdateToolRect();
  void RemoveTool();
  UIObject* FindTool(UINT_PTR toolId);
  void ForgetInTree();
  bool EnsureBuffer();
  void ReleaseBuffer();
  void PaintLayered(const RECT* requested);
  // The area the mark of a control covers, and its painting.
  RECT FocusMarkArea(UIObject* control);
  void PaintFocusMark(HDC dc, const RECT& clip);
  void CollectTabStops(std::vector<UIObject*>& out);
  void CollectExposed(std::vector<UIObject*>& out);
  void NotifyWinEvent(DWORD event, UIObject* control);
  LRESULT AnswerGetObject(WPARAM wParam, LPARAM lParam);

  UIAccessible* accessible_ = nullptr;  // on a host, made on the first WM_GETOBJECT
  void RequestLayeredRepaint(const RECT* area);

  // A whole-window repaint posted by another thread is waiting.
  std::atomic<bool> layeredRepaintPosted_{false};
};

}  // namespace pv
