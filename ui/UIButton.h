#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "ui/StylePainter.h"
#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

// The visual states of the button family (buttons, check boxes, radios).
// 1 is not a state: it is the grayed look, chosen by the enabled flag.
namespace UIButtonState {
enum : int {
  Normal = 0,
  Lighted = 2,  // the pointer is over it
  Pressed = 3,  // pressed, or (check boxes, radios) checked under the pointer
};
}  // namespace UIButtonState

// The five looks of the button family, in the order of their image and text
// records.
namespace UILook {
enum : int { Normal = 0, Grayed = 1, Lighted = 2, Pressed = 3, Focused = 4, Count = 5 };
}  // namespace UILook

// A push button: five image records and five caption styles, one per look,
// and a caption drawn inside the text margin. A release over the button
// clicks it, wherever the press began; the click reaches the parent's Notify
// and then the host window as WM_COMMAND.
class UIButton : public UIObject {
 public:
  using ImageSet = std::array<UIImageStyle, UILook::Count>;
  using TextSet = std::array<UITextStyle, UILook::Count>;

  UIButton();

  // Reads "id", "size", the image records "normal", "grayed", "lighted",
  // "pressed", "focused" and, when there is a "Text" record, its "margin"
  // and text records of the same names.
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  int MouseEnter(UINT keys, POINT point) override;
  int MouseLeave(UINT keys, POINT point) override;
  int MouseDown(UINT keys, POINT point) override;
  int MouseDoubleClick(UINT keys, POINT point) override;
  int MouseUp(UINT keys, POINT point) override;
  int ShowChanged(bool visible) override;
  // Space presses a focused button.
  int KeyDown(WPARAM wParam, LPARAM lParam) override;
  // The click, when the button is enabled and visible.
  bool DoDefaultAction() override;
  // A button drawn as a picture is marked around; a text link and a check
  // box around what they show (the box and the caption).
  RECT FocusRect() override;
  // A push button named by its caption.
  int AccessibleRole() override;
  std::wstring AccessibleName() override;

  // Replaces the caption (null empties it) and asks for a repaint.
  void SetText(const wchar_t* text);
  const std::wstring& GetText() const { return caption; }
  // The width the caption takes with its margins, at the skin's size.
  int CaptionExtent(HDC dc) const;
  int GetState() const { return state; }
  // The look painted now: grayed while disabled, else by the state.
  virtual int LookIndex() const;

  // The image records under `base` (below `prefix`, as "Checked/", when
  // given), in look order; zero records where the skin has none.
  static ImageSet LoadImageSet(IResource* resource, const JValue* base, const char* prefix = nullptr);

 protected:
  void SetState(int value);
  // The "Text" record: margins and caption styles, or empty ones.
  void LoadCaptionStyles(IResource* resource, const JValue* base);
  // Paints the image of `look` from `set` and the caption in its style,
  // moved by (1, 1) when `shiftPressed` and the look is the pressed one.
  void PaintLook(HDC dc, const RECT& rect, const RECT& clip, const ImageSet& set, int look, bool shiftPressed);
  // WM_COMMAND with the id: to the parent's Notify (sender in lParam) and
  // to the host window (its handle in lParam).
  void SendClick();
  WPARAM CommandWParam() const { return static_cast<WPARAM>(static_cast<WORD>(id)); }

  ImageSet images{};
  TextSet texts{};
  RECT textMargin{};
  pv::TextFit fit;
  int state = UIButtonState::Normal;
  std::wstring caption;
};

}  // namespace pv
