#pragma once

#include <windows.h>

#include "ui/UIButton.h"

namespace pv {

// A check box: the looks and caption of a button plus a checked flag. The
// pressed look doubles as the checked one. A release toggles the box unless
// it shows the lighted look at that moment: after a press, and also over a
// checked box under the pointer (which shows its checked look), but not over
// an unchecked box that was not pressed. The toggle reaches the parent's
// Notify, or the host window when the box has no parent.
class UICheckBox : public UIButton {
 public:
  UICheckBox();

  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  int MouseEnter(UINT keys, POINT point) override;
  int MouseLeave(UINT keys, POINT point) override;
  int MouseDown(UINT keys, POINT point) override;
  int MouseUp(UINT keys, POINT point) override;
  int LookIndex() const override;
  // Toggles the box and reports it, as a click does.
  bool DoDefaultAction() override;
  int AccessibleRole() override;
  unsigned AccessibleState() override;

  // Stores the flag and returns to the normal state; notifies nobody.
  void SetCheck(bool value);
  bool IsChecked() const { return checked; }

 protected:
  bool Usable() const { return enabled && visible; }
  // The toggle's report: the parent's Notify, or without a parent the host.
  void SendToggle();

  bool checked = false;
};

}  // namespace pv
