#include "ui/UIRadioBox.h"

#include "ui/UIKind.h"

namespace pv {

UIRadioBox::UIRadioBox() { kind = UIKind::RadioBox; }

int UIRadioBox::MouseEnter(UINT keys, POINT point) { return TakesPointer() ? UICheckBox::MouseEnter(keys, point) : 0; }

int UIRadioBox::MouseDown(UINT keys, POINT point) { return TakesPointer() ? UICheckBox::MouseDown(keys, point) : 0; }

int UIRadioBox::MouseUp(UINT, POINT) {
  if (!TakesPointer() || state == UIButtonState::Lighted) return 0;
  SetState(UIButtonState::Lighted);
  Select();
  return 0;
}

void UIRadioBox::Select() {
  if (checked) return;
  checked = true;
  state = UIButtonState::Pressed;
  UncheckSiblings();
  Invalidate();
  SendClick();
}

void UIRadioBox::UncheckSiblings() {
  if (!parent) return;
  for (std::size_t i = 0; i < parent->ChildCount(); ++i) {
    UIObject* sibling = parent->Child(i);
    if (sibling == this || sibling->GetKind() != UIKind::RadioBox) continue;
    auto* radio = dynamic_cast<UIRadioBox*>(sibling);
    if (!radio || !radio->checked) continue;
    radio->checked = false;
    radio->state = UIButtonState::Normal;
    radio->Invalidate();
  }
}

}  // namespace pv
