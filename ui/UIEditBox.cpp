#include "ui/UIEditBox.h"

#include <memory>

#include "ui/IResource.h"
#include "ui/ScrollMath.h"
#include "ui/StylePainter.h"
#include "ui/UIKind.h"
#include "ui/UIScrollBar.h"

namespace pv {

UIEditBox::UIEditBox() {
  kind = UIKind::EditBox;
  // Without a size the bar stays empty, so the pointer never finds it
  // unless the scrolling mode places it.
  scrollBar = AddChild(this, std::make_unique<UIScrollBar>(kScrollBarMinimumThumb));
}

int UIEditBox::LoadStyle(IResource* resource, const char* path, const JValue* node) {
  if (!resource) return 0;
  const JValue* found = resource->FindNode(path, node);
  if (!found) return 1;
  LoadIdAndSize(resource, found);
  background = resource->GetImageStyle("bkgnd", found);
  if (const JValue* text = resource->FindNode("Text", found)) {
    const std::array<int, 4> margin = resource->GetRect("margin", text);
    textMargin = RECT{margin[0], margin[1], margin[2], margin[3]};
    textNormal = resource->GetTextStyle("normal", text);
    textGrayed = resource->GetTextStyle("grayed", text);
  }
  if (resource->FindNode("ScrollBar", found)) scrollBar->LoadStyle(resource, "ScrollBar", found);
  return 1;
}

void UIEditBox::Layout() {
  UIObject::Layout();
  if (::IsRectEmpty(&rect)) return;
  textArea = rect;
  if (!scrolling || !scrollBar->IsVisible()) return;
  const int width = scrollBar->GetTrackbarWidth();
  textArea.right -= width;
  scrollBar->SetLayout(textArea.right - rect.left, 0, width, rect.bottom - rect.top);
  MeasureScrollRange();
}

void UIEditBox::MeasureScrollRange() {
  if (!scrolling || !scrollBar->IsVisible()) return;
  // The width of the text area less the margins, but not its height: GDI+
  // counts only the lines that fit the layout, and the range must take all
  // of them.
  constexpr LONG kUnboundedHeight = 1 << 20;
  const RECT inner{textArea.left + textMargin.left, textArea.top + textMargin.top, textArea.right - textMargin.right,
                   textArea.top + textMargin.top + kUnboundedHeight};
  const SIZE size = MeasureTextStyle(GetPaintDC(), textNormal, inner, content.Text().c_str());
  scrollBar->SetRange(0, size.cy);
  scrollBar->SetPage(textArea.bottom - textArea.top - textMargin.top - textMargin.bottom);
  scrollBar->Invalidate();
}

RECT UIEditBox::TextClipRect() const {
  return RECT{textArea.left + textMargin.left, textArea.top + textMargin.top, textArea.right - textMargin.right,
              textArea.bottom - textMargin.bottom};
}

RECT UIEditBox::TextLayoutRect() const {
  RECT layout = TextClipRect();
  layout.top -= scrollOffset;
  return layout;
}

void UIEditBox::Paint(HDC dc, const RECT&, const RECT&) {
  PaintImageStyle(rect, background, dc);
  if (content.Text().empty()) return;
  const RECT clip = TextClipRect();
  PaintTextStyle(dc, TextLayoutRect(), content.Text().c_str(), scrolling ? &clip : nullptr, textNormal);
}

void UIEditBox::ScrollTo(int position) {
  scrollBar->SetPosition(position);
  scrollBar->Invalidate();
  scrollOffset = position;
  Invalidate();
}

LRESULT UIEditBox::Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_VSCROLL || sender != scrollBar) return UIObject::Notify(sender, message, wParam, lParam);
  ScrollTo(pv::ApplyScrollCode(LOWORD(wParam), scrollBar->GetState(), scrollBar->GetTrackedPosition()));
  return 0;
}

int UIEditBox::MouseWheel(UINT, unsigned delta, POINT) {
  if (!scrolling) return 0;
  if (const std::optional<int> position = pv::ApplyWheel(delta, scrollBar->GetState())) ScrollTo(*position);
  return 1;
}

std::wstring UIEditBox::GetText() const { return content.Text(); }

void UIEditBox::SetText(const std::wstring& text) {
  content.SetText(text);
  MeasureScrollRange();
  Invalidate();
}

void UIEditBox::SetScrolling(bool on) {
  scrolling = on ? 1 : 0;
  textArea = rect;
  if (!scrolling) {
    // The bar goes back to no place at all, out of the pointer's way.
    scrollOffset = 0;
    scrollBar->SetLayout(0, 0, 0, 0);
    scrollBar->SetRect(RECT{});
  } else {
    Layout();
  }
  Invalidate();
}

}  // namespace pv
