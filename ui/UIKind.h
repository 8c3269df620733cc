#pragma once

namespace pv {

// The kind codes of the skinned controls: the value a control's constructor
// stores in its kind field, and what CreateControl makes from it. 5 is the
// frame window, which is never made that way; 0 is a plain UIObject and the
// classes that keep the base value.
namespace UIKind {
enum : int {
  None = 0,
  Pane = 1,
  Button = 2,
  ToolBar = 3,
  TabCtrl = 4,
  FrameWindow = 5,
  ListView = 6,
  ScrollBar = 7,
  Header = 8,
  Label = 9,
  CheckBox = 10,
  CheckBoxEx = 11,
  RadioBox = 12,
  Progress = 13,
  DropButton = 14,
  EditBox = 15,
};
}  // namespace UIKind

}  // namespace pv
