#pragma once

#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

// One side of the installer window's drop shadow: a layered tool window
// owned by the main window, painting the skin's shadow record for its side
// as a nine-grid with per-pixel alpha. The main box keeps four of them and
// places them around itself whenever it moves or changes size.
class CLShadwWnd : public UIObject {
 public:
  enum Side { kLeft = 1, kTop = 2, kRight = 3, kBottom = 4 };

  explicit CLShadwWnd(int side);
  ~CLShadwWnd() override;

  // Creates the window, owned by `owner`, makes it layered and loads the
  // shade record of its side from the process's current skin.
  bool CreateShadow(HWND owner);
  // Reads the record of this side ("/Meta/shade..."); the arguments other
  // than the resource are not used. Returns 1.
  virtual int LoadShadeStyle(IResource* resource, const char* path, const JValue* node);
  // Moves the window to the screen rectangle and repaints it.
  void Place(int left, int top, int right, int bottom);

  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;

  int side() const { return side_; }
  const UIImageStyle& shade() const { return shade_; }

  // The skin path of a side's record, or null outside 1 to 4.
  static const char* ShadePath(int side);

 private:
  UIImageStyle shade_{};
  int side_;
  bool placed_ = false;
  RECT placedAt_{};
};

}  // namespace pv
