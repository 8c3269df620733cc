#include "ui/UICheckBoxEx.h"

#include "ui/IResource.h"

namespace pv {

int UICheckBoxEx::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  const JValue* base = resource ? resource->FindNode(path, node) : nullptr;
  id = 0;
  layoutRequest = pv::LayoutRequest{};
  if (base) LoadIdAndSize(resource, base);
  images = LoadImageSet(resource, base, "Unchecked/");
  checkedImages_ = LoadImageSet(resource, base, "Checked/");
  LoadCaptionStyles(resource, base);
  Invalidate();
  return 1;
}

int UICheckBoxEx::LookIndex() const {
  // The checked set shows the checked box; the look is the button's.
  return UIButton::LookIndex();
}

void UICheckBoxEx::Paint(HDC dc, const RECT& rect, const RECT& clip) {
  PaintLook(dc, rect, clip, checked ? checkedImages_ : images, LookIndex(), false);
}

}  // namespace pv
