#include "ui/UIButton.h"

#include <algorithm>
#include <string>

#include <oleacc.h>

#include "ui/IResource.h"
#include "ui/StylePainter.h"
#include "ui/UIKind.h"

namespace pv {

namespace {

// Skin names of the looks, in look order.
constexpr const char* kLookNames[UILook::Count] = {"normal", "grayed", "lighted", "pressed", "focused"};

}  // namespace

UIButton::UIButton() {
  kind = UIKind::Button;
  tabStop = true;
}

UIButton::ImageSet UIButton::LoadImageSet(IResource* resource, const JValue* base, const char* prefix) {
  ImageSet set{};
  if (!resource || !base) return set;
  for (int look = 0; look < UILook::Count; ++look) {
    const std::string path = std::string(prefix ? prefix : "") + kLookNames[look];
    set[look] = resource->GetImageStyle(path.c_str(), base);
  }
  return set;
}

void UIButton::LoadCaptionStyles(IResource* resource, const JValue* base) {
  textMargin = RECT{};
  texts = TextSet{};
  const JValue* text = resource && base ? resource->FindNode("Text", base) : nullptr;
  if (!text) return;
  const std::array<int, 4> margin = resource->GetRect("margin", text);
  textMargin = RECT{margin[0], margin[1], margin[2], margin[3]};
  for (int look = 0; look < UILook::Count; ++look) texts[look] = resource->GetTextStyle(kLookNames[look], text);
}

int UIButton::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  const JValue* base = resource ? resource->FindNode(path, node) : nullptr;
  id = 0;
  layoutRequest = pv::LayoutRequest{};
  if (base) LoadIdAndSize(resource, base);
  images = LoadImageSet(resource, base);
  LoadCaptionStyles(resource, base);
  Invalidate();
  return 1;
}

int UIButton::LookIndex() const {
  if (!enabled) return UILook::Grayed;
  if (state == UIButtonState::Lighted) return UILook::Lighted;
  if (state == UIButtonState::Pressed) return UILook::Pressed;
  return UILook::Normal;
}

void UIButton::PaintLook(HDC dc, const RECT& rect, const RECT& clip, const ImageSet& set, int look, bool shiftPressed) {
  PaintImageStyle(rect, set[look], dc);
  if (caption.empty()) return;
  RECT area{rect.left + textMargin.left, rect.top + textMargin.top, rect.right - textMargin.right,
            rect.bottom - textMargin.bottom};
  if (shiftPressed && look == UILook::Pressed) ::OffsetRect(&area, 1, 1);
  UITextStyle style = texts[look];
  style.font = fit.Font(dc, style, caption.c_str(), area.right - area.left);
  PaintTextStyle(dc, area, caption.c_str(), &clip, style);
}

void UIButton::Paint(HDC dc, const RECT& rect, const RECT& clip) {
  PaintLook(dc, rect, clip, images, LookIndex(), true);
}

void UIButton::SetState(int value) {
  if (state == value) return;
  state = value;
  Invalidate();
}

int UIButton::MouseEnter(UINT, POINT) {
  if (enabled && visible) SetState(UIButtonState::Lighted);
  return 0;
}

int UIButton::MouseLeave(UINT, POINT) {
  SetState(UIButtonState::Normal);
  return 0;
}

int UIButton::MouseDown(UINT, POINT) {
  // The host hands presses only to enabled, visible controls; a direct call
  // on a disabled button must not change its look either.
  if (enabled && visible) SetState(UIButtonState::Pressed);
  return 0;
}

int UIButton::MouseDoubleClick(UINT keys, POINT point) { return MouseDown(keys, point); }

int UIButton::MouseUp(UINT, POINT) {
  if (!enabled || !visible) return 0;
  SetState(UIButtonState::Lighted);
  SendClick();
  return 0;
}

int UIButton::KeyDown(WPARAM wParam, LPARAM lParam) {
  // Bit 30: the key was down already (auto-repeat), which clicks nothing more.
  if (wParam == VK_SPACE && !(lParam & (1 << 30))) DoDefaultAction();
  return 1;
}

bool UIButton::DoDefaultAction() {
  if (!enabled || !visible) return false;
  SendClick();
  return true;
}

int UIButton::CaptionExtent(HDC dc) const {
  return textMargin.left + MeasureTextWidth(dc, texts[UILook::Normal], caption.c_str()) + 1 + textMargin.right;
}

RECT UIButton::FocusRect() {
  const bool picture = images[UILook::Normal].bitmap != nullptr && kind != UIKind::CheckBox;
  HDC dc = GetPaintDC();
  if (picture || caption.empty() || !dc) return rect;
  const RECT area{rect.left + textMargin.left, rect.top + textMargin.top, rect.right - textMargin.right,
                  rect.bottom - textMargin.bottom};
  UITextStyle style = texts[UILook::Normal];
  style.font = fit.Font(dc, style, caption.c_str(), area.right - area.left);
  const LONG width = std::min<LONG>(MeasureTextWidth(dc, style, caption.c_str()) + 1, area.right - area.left);
  LONG left = area.left;
  if (style.alignment & DT_CENTER) {
    left = area.left + (area.right - area.left - width) / 2;
  } else if (style.alignment & DT_RIGHT) {
    left = area.right - width;
  }
  return RECT{kind == UIKind::CheckBox ? rect.left : left, rect.top, left + width, rect.bottom};
}

int UIButton::AccessibleRole() { return accessibleRole > 0 ? accessibleRole : ROLE_SYSTEM_PUSHBUTTON; }

std::wstring UIButton::AccessibleName() { return accessibleName.empty() ? caption : accessibleName; }

int UIButton::ShowChanged(bool) {
  state = UIButtonState::Normal;
  return 1;
}

void UIButton::SetText(const wchar_t* text) {
  caption = text ? text : L"";
  Invalidate();
}

void UIButton::SendClick() {
  // The receivers may destroy the button: everything needed is taken first,
  // and the window message goes straight to the host window.
  const WPARAM command = CommandWParam();
  HWND host = GetHostWindow();
  if (parent) parent->Notify(this, WM_COMMAND, command, reinterpret_cast<LPARAM>(this));
  if (host) ::SendMessageW(host, WM_COMMAND, command, reinterpret_cast<LPARAM>(host));
}

}  // namespace pv
