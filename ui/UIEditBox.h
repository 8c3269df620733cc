#pragma once

#include <windows.h>

#include <string>

#include "ui/EditText.h"
#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

class UIScrollBar;

// A windowless box showing one text over a skinned background. It owns a
// scroll bar for its scrolling mode, in which the text wraps inside the box
// and the bar scrolls it; outside that mode (the installer's path box) the
// bar stays empty and out of the pointer's way.
class UIEditBox : public UIObject {
 public:
  // The scroll bar's shortest thumb in a text box.
  static constexpr int kScrollBarMinimumThumb = 30;

  UIEditBox();

  // "id", "size", "bkgnd"; "Text" with "margin", "normal" and "grayed";
  // "ScrollBar" for the bar. A path that is not in the skin reads nothing.
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Layout() override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  // Scrolls by an eighth of a page per notch in the scrolling mode, when
  // the text runs more than 100 pixels; 0 outside that mode.
  int MouseWheel(UINT keys, unsigned delta, POINT point) override;
  // Takes WM_VSCROLL from the own bar; everything else goes up.
  LRESULT Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) override;

  // A copy of the text.
  virtual std::wstring GetText() const;
  // Replaces the text and repaints; nobody is told.
  virtual void SetText(const std::wstring& text);

  // Turns the scrolling mode on or off and lays the box out again.
  void SetScrolling(bool on);
  bool IsScrolling() const { return scrolling != 0; }
  UIScrollBar* GetScrollBar() const { return scrollBar; }
  const RECT& GetTextArea() const { return textArea; }
  const RECT& GetTextMargin() const { return textMargin; }
  int GetScrollOffset() const { return scrollOffset; }
  const UITextStyle& GetNormalTextStyle() const { return textNormal; }
  const UIImageStyle& GetBackground() const { return background; }

 protected:
  // The text area less the margins, moved up by the scroll offset: where
  // the text is drawn.
  RECT TextLayoutRect() const;
  // The same without the offset: what the text is cut to.
  RECT TextClipRect() const;
  // The bar's range follows the height of the text (scrolling mode only).
  void MeasureScrollRange();
  // Moves the bar and the text to a position.
  void ScrollTo(int position);

  UITextStyle textNormal;
  UITextStyle textGrayed;
  UIImageStyle background;
  RECT textMargin{};
  // The text; the editable box keeps its caret and selection with it.
  pv::EditText content;
  int scrolling = 0;
  UIScrollBar* scrollBar = nullptr;  // the first child, owned through the tree
  RECT textArea{};
  int scrollOffset = 0;
};

}  // namespace pv
