#include "ui/UIPane.h"

#include "ui/IResource.h"
#include "ui/StylePainter.h"
#include "ui/UIKind.h"

namespace pv {

UIPane::UIPane() { kind = UIKind::Pane; }

int UIPane::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  const JValue* base = resource ? resource->FindNode(path, node) : nullptr;
  id = 0;
  layoutRequest = pv::LayoutRequest{};
  background_ = UIImageStyle{};
  if (base) {
    LoadIdAndSize(resource, base);
    background_ = resource->GetImageStyle("bkgnd", base);
  }
  Invalidate();
  return 1;
}

void UIPane::Paint(HDC dc, const RECT& rect, const RECT&) { PaintImageStyle(rect, background_, dc); }

}  // namespace pv
