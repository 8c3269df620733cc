#include "ui/UILabel.h"

#include <array>
#include <utility>

#include <oleacc.h>

#include "ui/IResource.h"
#include "ui/StylePainter.h"

namespace pv {

UILabel::UILabel() {
  // A label keeps the kind of a plain object; only the caption hit test
  // needs to know about it, through the drag-through flag.
  dragThrough = true;
  style_.alignment = kDefaultAlignment;
}

int UILabel::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  const JValue* base = resource ? resource->FindNode(path, node) : nullptr;
  UITextStyle loaded;
  loaded.alignment = kDefaultAlignment;
  layoutRequest = pv::LayoutRequest{};
  if (base) {
    if (resource->FindNode("text", base)) {
      loaded = resource->GetTextStyle("text", base);
      // A record without "al" keeps the centred line rather than reading as
      // top-left.
      if (!resource->FindNode("text/al", base)) loaded.alignment = kDefaultAlignment;
    }
    const std::array<int, 4> size = resource->GetRect("size", base);
    layoutRequest = pv::LayoutRequest{size[0], size[1], size[2], size[3]};
  }
  {
    pv::Lock hold(lock_);
    style_ = std::move(loaded);
  }
  Invalidate();
  return 1;
}

void UILabel::Paint(HDC dc, const RECT& rect, const RECT& clip) {
  pv::Lock hold(lock_);
  if (style_.text.empty()) return;
  UITextStyle style = style_;
  style.font = fit_.Font(dc, style_, nullptr, rect.right - rect.left - style_.offsetX);
  PaintTextStyle(dc, rect, nullptr, &clip, style);
}

void UILabel::SetText(const wchar_t* text) {
  {
    pv::Lock hold(lock_);
    style_.text = text ? text : L"";
  }
  // Outside the lock, so the painting thread never waits on the invalidation.
  Invalidate();
  RaiseAccessibleEvent(EVENT_OBJECT_NAMECHANGE);
}

int UILabel::AccessibleRole() { return accessibleRole > 0 ? accessibleRole : ROLE_SYSTEM_STATICTEXT; }

std::wstring UILabel::AccessibleName() { return accessibleName.empty() ? GetText() : accessibleName; }

unsigned UILabel::AccessibleState() { return STATE_SYSTEM_READONLY; }

std::wstring UILabel::GetText() {
  pv::Lock hold(lock_);
  return style_.text;
}

UITextStyle UILabel::GetTextStyle() {
  pv::Lock hold(lock_);
  return style_;
}

}  // namespace pv
