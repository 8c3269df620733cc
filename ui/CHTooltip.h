#pragma once

#include <windows.h>

#include "ui/CHWindow.h"

namespace pv {

// A system tooltip control driven through its object. The owner creates the
// window (class TOOLTIPS_CLASSW through Create) and relays mouse messages to
// it; the tools carry no flags, so nothing is subclassed behind our back.
class CHTooltip : public CHWindow {
 public:
  // Adds the tool (owner, id) or updates it when it exists. Without a
  // rectangle an existing tool keeps its own and a new tool gets an empty one.
  // The text is copied by the control.
  void SetTool(HWND owner, UINT_PTR id, const wchar_t* text, const RECT* rect = nullptr);
};

}  // namespace pv
