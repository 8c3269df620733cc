#pragma once

#include <windows.h>

#include "ui/ControlMath.h"
#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

class UIButton;

// A skinned top-level frame: no system caption or border, the whole window
// is client area, painted as a client background and four frame bands from
// the skin. The top band is the caption the window is dragged by (through
// the system's own caption handling); skinned system buttons become system
// commands. A window with WS_THICKFRAME is sized by its bands.
class UIFrameWindow : public UIObject {
 public:
  UIFrameWindow();

  // Reads, below the frame's node, "Client/bkgnd" and the normal and grayed
  // records of "Frames/Top", "Frames/Left", "Frames/Right" and
  // "Frames/Bottom"; makes a button for each of "SysBtns/Close", "Restore",
  // "Maximize" and "Minimize" the skin has (restore starts hidden); then
  // lays the frame out.
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  // The client background, then the four bands (always their normal
  // records, active or not).
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  // System buttons' clicks become WM_SYSCOMMAND; nothing goes further up.
  LRESULT Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) override;
  // The five rectangles, then the window region.
  void Resized() override;

  LRESULT OnCreate(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnNcCalcSize(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnNcPaint(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnNcActivate(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnNcHitTest(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam) override;

  const pv::FrameRects& GetFrameRects() const { return rects_; }
  pv::FrameBands GetBands() const;
  UIButton* CloseButton() const { return close_; }
  UIButton* RestoreButton() const { return restore_; }
  UIButton* MaximizeButton() const { return maximize_; }
  UIButton* MinimizeButton() const { return minimize_; }

 protected:
  // Whether the point lies on a visible control that takes the mouse (not
  // drag-through), at any depth of the tree.
  bool OverControl(POINT point) const;

 private:
  struct BandStyles {
    UIImageStyle normal;
    UIImageStyle grayed;
  };

  void DropSystemButtons();
  UIButton* MakeSystemButton(IResource* resource, const char* name, const JValue* frameNode);
  // The region of the window: its rectangle less the magenta corner pixels.
  void UpdateRegion();

  BandStyles top_;
  BandStyles left_;
  BandStyles right_;
  BandStyles bottom_;
  UIButton* close_ = nullptr;
  UIButton* restore_ = nullptr;
  UIButton* maximize_ = nullptr;
  UIButton* minimize_ = nullptr;
  UIImageStyle client_;
  pv::FrameRects rects_;
};

}  // namespace pv
