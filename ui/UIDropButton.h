#pragma once

#include <windows.h>

#include "ui/UIButton.h"

namespace pv {

// A button whose click runs a drop action (a menu or list the owner shows
// under it). While the action runs the button keeps its look, even when the
// pointer leaves it; afterwards the look follows where the pointer is.
class UIDropButton : public UIButton {
 public:
  UIDropButton();

  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  int MouseLeave(UINT keys, POINT point) override;
  int MouseUp(UINT keys, POINT point) override;

  // The drop action; by default WM_COMMAND with the id (lParam 0) sent to
  // the host window, returning once the receiver is done.
  virtual LRESULT Drop();

  bool IsDropping() const { return dropping_; }

 private:
  bool dropping_ = false;
};

}  // namespace pv
