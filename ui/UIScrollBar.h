#pragma once

#include <windows.h>

#include <memory>

#include "ui/ScrollMath.h"
#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

// A skinned scroll bar: a "trackbar" image over the whole bar and a "thumb"
// image over the thumb, without arrows. A press above or below the thumb
// pages; dragging the thumb reports the position it stands for. The bar
// tells its parent through Notify with WM_VSCROLL (for horizontal bars
// too): codes 0 to 3 for the line and page steps, and 5 (thumb track) with
// the position in the high word while the thumb is dragged. The owner sets
// the new position; the bar only reports.
class UIScrollBar : public UIObject {
 public:
  static constexpr int kDefaultMinimumThumb = 16;

  explicit UIScrollBar(int minimumThumb = kDefaultMinimumThumb);
  ~UIScrollBar() override;

  // "thumb" and "trackbar"; the bar has no id and no size of its own.
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Layout() override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  int MouseDown(UINT keys, POINT point) override;

  // Each change recomputes the parts.
  void SetRange(int minimum, int maximum);
  void SetPage(int page);
  void SetPosition(int position);
  void SetHorizontal(bool horizontal);
  // The parts from the rectangle, range, page and position.
  void Recalc();

  int GetMinimum() const { return state.minimum; }
  int GetMaximum() const { return state.maximum; }
  int GetPage() const { return state.page; }
  int GetPosition() const { return state.position; }
  const pv::ScrollState& GetState() const { return state; }
  // The position the dragged thumb stands for.
  int GetTrackedPosition() const { return trackedPosition; }
  bool IsHorizontal() const { return horizontal; }
  int GetMinimumThumb() const { return minimumThumb; }
  const RECT& GetThumbRect() const { return thumbRect; }
  const RECT& GetTrackRect() const { return trackRect; }
  const RECT& GetPageUpRect() const { return pageUpRect; }
  const RECT& GetPageDownRect() const { return pageDownRect; }
  // The source width of the "trackbar" image: how wide a vertical bar wants to be.
  int GetTrackbarWidth() const { return trackbar.sourceWidth; }
  // Whether a thumb drag is running.
  bool IsDragging() const { return dragging_; }

 protected:
  pv::ScrollState state;
  int trackedPosition = 0;
  int dragAnchor = 0;
  int lastTracked = 0;
  RECT upArrowRect{};
  RECT downArrowRect{};
  RECT thumbRect{};
  RECT trackRect{};
  RECT pageUpRect{};
  RECT pageDownRect{};
  int minimumThumb = kDefaultMinimumThumb;
  bool horizontal = false;
  UIImageStyle thumb;
  UIImageStyle trackbar;

 private:
  void Scroll(int code);
  void DragThumb(POINT start);
  void DragTo(POINT point);

  bool dragging_ = false;
};

}  // namespace pv
