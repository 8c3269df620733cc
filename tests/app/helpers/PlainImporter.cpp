// The control case of the planted-DLL test: a program that imports comctl32
// the ordinary way, so the loader resolves it before the program runs and
// finds a DLL planted beside it.
#include <windows.h>

#include <commctrl.h>

int wmain() {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
  return ::InitCommonControlsEx(&init) ? 0 : 1;
}
