#include "ui/UICheckBox.h"

#include <oleacc.h>

#include "ui/UIKind.h"

namespace pv {

UICheckBox::UICheckBox() { kind = UIKind::CheckBox; }

int UICheckBox::LookIndex() const {
  if (!enabled) return UILook::Grayed;
  if (state == UIButtonState::Lighted) return UILook::Lighted;
  if (state == UIButtonState::Pressed || checked) return UILook::Pressed;
  return UILook::Normal;
}

void UICheckBox::Paint(HDC dc, const RECT& rect, const RECT& clip) {
  PaintLook(dc, rect, clip, images, LookIndex(), false);
}

int UICheckBox::MouseEnter(UINT, POINT) {
  // Under the pointer a checked box keeps its checked look.
  if (Usable() && state != UIButtonState::Lighted) {
    state = checked ? UIButtonState::Pressed : UIButtonState::Lighted;
    Invalidate();
  }
  return 0;
}

int UICheckBox::MouseLeave(UINT, POINT) {
  if (Usable()) SetState(UIButtonState::Normal);
  return 0;
}

int UICheckBox::MouseDown(UINT, POINT) {
  if (Usable()) SetState(UIButtonState::Pressed);
  return 0;
}

int UICheckBox::MouseUp(UINT, POINT) {
  if (!Usable() || state == UIButtonState::Lighted) return 0;
  checked = !checked;
  state = checked ? UIButtonState::Pressed : UIButtonState::Lighted;
  Invalidate();
  SendToggle();
  return 0;
}

bool UICheckBox::DoDefaultAction() {
  if (!Usable()) return false;
  checked = !checked;
  Invalidate();
  SendToggle();
  return true;
}

void UICheckBox::SetCheck(bool value) {
  checked = value;
  state = UIButtonState::Normal;
  Invalidate();
}

int UICheckBox::AccessibleRole() { return accessibleRole > 0 ? accessibleRole : ROLE_SYSTEM_CHECKBUTTON; }

unsigned UICheckBox::AccessibleState() { return checked ? STATE_SYSTEM_CHECKED : 0; }

void UICheckBox::SendToggle() {
  // Heard of before the receivers, which may destroy the box.
  RaiseAccessibleEvent(EVENT_OBJECT_STATECHANGE);
  const WPARAM command = CommandWParam();
  if (parent) {
    parent->Notify(this, WM_COMMAND, command, reinterpret_cast<LPARAM>(this));
  } else {
    Send(WM_COMMAND, command, reinterpret_cast<LPARAM>(GetHostWindow()));
  }
}

}  // namespace pv
