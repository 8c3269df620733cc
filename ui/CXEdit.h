#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "ui/UIEditBox.h"

namespace pv {

// The installer's editable one-line box (the installation folder): a
// blinking caret while it has the focus, selection with the mouse (a drag
// or a double click for everything), the editing keys, typed characters
// from '!' to '}' up to a maximum length, and a change notification to the
// parent after every edit: Notify(this, WM_COMMAND, kChangeNotification, 0).
//
// Made directly by its owner (not through CreateControl): LoadStyle,
// AddChild, SetText; read back with GetText.
class CXEdit : public UIEditBox {
 public:
  // wParam of the change notification: low word 0, high word 0x0400.
  static constexpr WPARAM kChangeNotification = 0x04000000;
  static constexpr UINT kCaretBlinkMs = 500;
  // Opaque colours as GDI+ takes them (alpha, red, green, blue). The caret
  // is drawn just short of opaque, so GDI+ blends it instead of handing it
  // to GDI, which would clear the alpha of a layered window's pixels.
  static constexpr unsigned kSelectionColor = 0xFF3399FF;
  static constexpr unsigned kCaretColor = 0xFE000000;

  CXEdit();
  ~CXEdit() override;

  // Replaces the text; a different text puts the caret at its end, the
  // selection stays. The change notification follows even for the same text.
  void SetText(const std::wstring& text) override;

  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  // A press places the caret and runs the selection drag until the button
  // is released, Escape is pressed or the capture goes elsewhere.
  int MouseDown(UINT keys, POINT point) override;
  int MouseUp(UINT keys, POINT point) override;
  int MouseMove(UINT keys, POINT point) override;
  // Selects the whole text.
  int MouseDoubleClick(UINT keys, POINT point) override;
  void Timer(int id) override;
  int KeyDown(WPARAM wParam, LPARAM lParam) override;
  int Char(WPARAM wParam, LPARAM lParam) override;
  int FocusLost(UIObject* next) override;
  int FocusGained(UIObject* previous) override;
  int UpdateCursor() override;
  // Editable text, named by its owner (SetAccessibleName), its value the text.
  int AccessibleRole() override;
  std::wstring AccessibleValue() override;

  // The character boundary under a point of the host window.
  int HitTest(POINT point);

  // -1 (the default) for no limit.
  void SetMaxLength(int length) { content.SetMaxLength(length); }
  int GetMaxLength() const { return content.MaxLength(); }
  int GetCaret() const { return content.Caret(); }
  int GetSelectionStart() const { return content.SelectionStart(); }
  int GetSelectionEnd() const { return content.SelectionEnd(); }
  bool IsCaretShown() const { return caretShown_ != 0; }
  // The running caret timer, or -1.
  int GetCaretTimer() const { return caretTimer_; }
  // The bounds of the text as last painted.
  const RECT& GetTextRect() const { return textRect_; }
  // Where the caret line starts when the caret is shown: its x and top y in
  // the host window's client coordinates (the box must have a paint DC).
  POINT CaretPoint();

 private:
  // The width of `count` characters of the text from `from`, in the font
  // the text is drawn with.
  int TextWidth(HDC dc, int from, int count) const;
  void NotifyChange();
  void Apply(pv::EditEffect effect);

  RECT textRect_{};
  int caretShown_ = 0;
  int caretTimer_ = -1;
};

}  // namespace pv
