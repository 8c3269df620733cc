#pragma once

#include <windows.h>

#include "ui/UICheckBox.h"

namespace pv {

// A radio button: a check box that only ever checks itself, unchecking the
// other radios of the same parent (radios form a group by sharing one). It
// reports the selection as a button reports a click. While locked it
// ignores the pointer.
class UIRadioBox : public UICheckBox {
 public:
  UIRadioBox();

  int MouseEnter(UINT keys, POINT point) override;
  int MouseDown(UINT keys, POINT point) override;
  int MouseUp(UINT keys, POINT point) override;

  // Checks the radio unless it is checked already: the siblings are
  // unchecked and the selection reported.
  void Select();
  // Unchecks every other checked radio of the same parent.
  virtual void UncheckSiblings();

  void SetLocked(bool value) { locked_ = value; }
  bool IsLocked() const { return locked_; }

 private:
  bool TakesPointer() const { return Usable() && !locked_; }

  bool locked_ = false;
};

}  // namespace pv
