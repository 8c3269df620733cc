#pragma once

#include <windows.h>

#include "ui/UIObject.h"
#include "ui/UIStyles.h"

namespace pv {

// An image record stretched over the control; also the bare container the
// pages of the installer window are made of.
class UIPane : public UIObject {
 public:
  UIPane();

  // Reads "id", "size" and the image record "bkgnd".
  int LoadStyle(IResource* resource, const char* path, const JValue* node) override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;

  const UIImageStyle& GetBackground() const { return background_; }

 private:
  UIImageStyle background_;
};

}  // namespace pv
