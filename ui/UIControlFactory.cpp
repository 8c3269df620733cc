#include "ui/UIButton.h"
#include "ui/UICheckBox.h"
#include "ui/UICheckBoxEx.h"
#include "ui/UIDropButton.h"
#include "ui/UIEditBox.h"
#include "ui/UIHeader.h"
#include "ui/UIKind.h"
#include "ui/UILabel.h"
#include "ui/UIListView.h"
#include "ui/UIObject.h"
#include "ui/UIPane.h"
#include "ui/UIProgress.h"
#include "ui/UIRadioBox.h"
#include "ui/UIScrollBar.h"
#include "ui/UITabCtrl.h"
#include "ui/UIToolBar.h"

namespace pv {

// One case per control class, added together with the class, e.g.
//   case UIKind::Pane: return std::make_unique<UIPane>();
// The frame window (5) is made by its owner, never here.
std::unique_ptr<UIObject> UIObject::CreateControl(int kind) {
  switch (kind) {
    case UIKind::Pane:
      return std::make_unique<UIPane>();
    case UIKind::Button:
      return std::make_unique<UIButton>();
    case UIKind::Label:
      return std::make_unique<UILabel>();
    case UIKind::CheckBox:
      return std::make_unique<UICheckBox>();
    case UIKind::CheckBoxEx:
      return std::make_unique<UICheckBoxEx>();
    case UIKind::RadioBox:
      return std::make_unique<UIRadioBox>();
    case UIKind::Progress:
      return std::make_unique<UIProgress>();
    case UIKind::DropButton:
      return std::make_unique<UIDropButton>();
    case UIKind::ToolBar:
      return std::make_unique<UIToolBar>();
    case UIKind::TabCtrl:
      return std::make_unique<UITabCtrl>();
    case UIKind::ListView:
      return std::make_unique<UIListView>();
    case UIKind::ScrollBar:
      return std::make_unique<UIScrollBar>();
    case UIKind::Header:
      return std::make_unique<UIHeader>();
    case UIKind::EditBox:
      return std::make_unique<UIEditBox>();
    default:
      return nullptr;
  }
}

}  // namespace pv
