#include "ui/CHApp.h"

#include <commctrl.h>

#include "ui/CHWindow.h"

namespace pv {

CHApp* theApp = nullptr;

CHApp::CHApp() { theApp = this; }

CHApp::~CHApp() {
  if (theApp == this) theApp = nullptr;
}

ATOM CHApp::Init(HINSTANCE instanceHandle, HINSTANCE prevInstanceHandle, wchar_t* cmdLine, int show) {
  instance = instanceHandle;
  prevInstance = prevInstanceHandle;
  commandLine = cmdLine;
  showCommand = show;
  return RegisterWindowClass(instance);
}

void CHApp::EnsureCommonControls() {
  static const bool initialised = [] {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
    return ::InitCommonControlsEx(&controls) != FALSE;
  }();
  (void)initialised;
}

ATOM CHApp::RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = &CHWindow::WindowRouter;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  // The program's icon in both sizes, for the taskbar button and Alt+Tab;
  // none where the module has no icon (the test programs). Shared: the
  // system keeps them for the life of the process.
  wc.hIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                                             ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED));
  wc.hIconSm =
      static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                                      ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  // System colour brush number 5 (COLOR_MENU + 1); our windows paint
  // themselves, so it only shows before the first paint.
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(5));
  wc.lpszClassName = CHWindow::kClassName;
  const ATOM atom = ::RegisterClassExW(&wc);
  if (atom || ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return atom;
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  const ATOM known = static_cast<ATOM>(::GetClassInfoExW(instance, CHWindow::kClassName, &existing));
  // A class of that name with another procedure is not ours to share.
  return existing.lpfnWndProc == &CHWindow::WindowRouter ? known : 0;
}

int CHApp::Run() {
  MSG message{};
  int exitCode = 0;
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      exitCode = static_cast<int>(message.wParam);
      break;
    }
    if (got == -1) {
      // Only an invalid filter window makes GetMessageW fail, and we pass
      // none; should it happen anyway, leave instead of spinning.
      exitCode = -1;
      break;
    }
    bool consumed = false;
    for (HWND window = message.hwnd; window && !consumed; window = ::GetParent(window)) {
      CHWindow* object = CHWindow::FromHandle(window);
      consumed = object && ::IsWindow(object->GetHwnd()) && object->PreTranslateMessage(&message);
    }
    if (!consumed) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  ExitInstance();
  return exitCode;
}

}  // namespace pv
