#pragma once

#include <windows.h>

#include <string>

#include "ui/Handles.h"
#include "ui/StylePainter.h"
#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

// A line of text from a text record. The frame's caption drags through it.
// The text has a lock of its own, so a worker thread may replace it while
// the window's thread paints it.
class UILabel : public UIObject {
 public:
  // Centred both ways on one line, unless the skin says otherwise.
  static constexpr int kDefaultAlignment = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

  UILabel();

  // Reads the text record "text" (its "tx" is the first text) and "size".
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;

  // Replaces the text (null empties it) and asks for a repaint; safe from
  // any thread.
  void SetText(const wchar_t* text);
  std::wstring GetText();
  // Static text named by its text; a new text is announced.
  int AccessibleRole() override;
  std::wstring AccessibleName() override;
  unsigned AccessibleState() override;
  // The record the text is drawn with; the text is the one current when
  // the copy was made.
  UITextStyle GetTextStyle();

 private:
  pv::CriticalSection lock_;  // guards style_.text against the painting thread
  UITextStyle style_;
  pv::TextFit fit_;  // the window's thread only
};

}  // namespace pv
