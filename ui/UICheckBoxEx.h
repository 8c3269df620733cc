#pragma once

#include <windows.h>

#include "ui/UICheckBox.h"

namespace pv {

// A check box with a second set of images for the checked box: the looks
// follow the state as a button's do, and the set follows the checked flag.
// It keeps the check box's kind code.
class UICheckBoxEx : public UICheckBox {
 public:
  UICheckBoxEx() = default;

  // Reads "id", "size", the image records below "Unchecked/" and "Checked/"
  // and the "Text" record as the check box does.
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  int LookIndex() const override;

  const ImageSet& CheckedImages() const { return checkedImages_; }

 private:
  ImageSet checkedImages_{};
};

}  // namespace pv
