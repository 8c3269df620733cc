#include "ui/UIDropButton.h"

#include <memory>

#include "ui/UIKind.h"

namespace pv {

UIDropButton::UIDropButton() { kind = UIKind::DropButton; }

void UIDropButton::Paint(HDC dc, const RECT& rect, const RECT& clip) {
  // The caption stays in place when pressed: the drop-down, not the button,
  // answers the press.
  PaintLook(dc, rect, clip, images, LookIndex(), false);
}

int UIDropButton::MouseLeave(UINT keys, POINT point) { return dropping_ ? 0 : UIButton::MouseLeave(keys, point); }

int UIDropButton::MouseUp(UINT, POINT) {
  if (!enabled || !visible) return 0;
  dropping_ = true;
  // The action may destroy the button (a menu item that closes its page).
  const std::shared_ptr<bool> stillHere = alive;
  Drop();
  if (!*stillHere) return 0;
  dropping_ = false;
  // The action may have run a loop of its own while the pointer moved on.
  POINT cursor{};
  HWND host = GetHostWindow();
  const bool inside = host && ::GetCursorPos(&cursor) && ::ScreenToClient(host, &cursor) && ::PtInRect(&rect, cursor);
  state = inside ? UIButtonState::Lighted : UIButtonState::Normal;
  Invalidate();
  return 0;
}

LRESULT UIDropButton::Drop() { return Send(WM_COMMAND, CommandWParam(), 0); }

}  // namespace pv
