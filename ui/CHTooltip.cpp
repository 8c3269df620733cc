#include "ui/CHTooltip.h"

#include <commctrl.h>

namespace pv {

void CHTooltip::SetTool(HWND owner, UINT_PTR id, const wchar_t* text, const RECT* rect) {
  if (!hwnd) return;
  TOOLINFOW tool{};
  // The record up to lParam: the larger one with lpReserved is refused by the
  // version 5 common controls, which is what runs without a v6 manifest.
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = owner;
  tool.uId = id;
  const bool exists = ::SendMessageW(hwnd, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
  tool.uFlags = 0;
  tool.hinst = nullptr;
  tool.lParam = 0;
  tool.lpszText = const_cast<wchar_t*>(text);
  if (rect) tool.rect = *rect;
  ::SendMessageW(hwnd, exists ? TTM_SETTOOLINFOW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace pv
