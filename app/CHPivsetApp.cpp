#include "app/CHPivsetApp.h"

#include <objbase.h>

#include "app/EngineResult.h"
#include "app/Startup.h"
#include "engine/Product.h"
#include "window/CLMainBox.h"

namespace pv {

// Out of line: the header knows CLMainBox only by name.
CHPivsetApp::CHPivsetApp() = default;
CHPivsetApp::~CHPivsetApp() = default;

bool CHPivsetApp::InitInstance() {
  ::CoInitialize(nullptr);
  mainBox_ = std::make_unique<CLMainBox>();
  // A quiet run's window is only the address the engines post to: a
  // message-only window, which the display never hears of.
  HWND parent = QuietRequested() ? HWND_MESSAGE : nullptr;
  mainBox_->Create(parent, nullptr, WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, product::kWindowTitle,
                   L"CHWindow", WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0);
  HWND window = mainBox_->GetHwnd();
  if (!window) {
    KeepQuietResult();
    mainBox_.reset();
    return false;
  }
  // A quiet run has done its work during creation; its window stays hidden
  // while the loop drains the messages before the quit.
  if (!mainBox_->Quiet()) {
    ::ShowWindow(window, showCommand);
    ::UpdateWindow(window);
  }
  return true;
}

bool CHPivsetApp::ExitInstance() {
  KeepQuietResult();
  mainBox_.reset();
  ::CoUninitialize();
  return true;
}

CHWindow* CHPivsetApp::GetMainWindow() { return mainBox_.get(); }

void CHPivsetApp::KeepQuietResult() {
  if (mainBox_ && mainBox_->resultCode >= 0) resultCode_ = mainBox_->resultCode;
}

int CHPivsetApp::ExitCode(int loopCode) const { return resultCode_ >= 0 ? resultCode_ : loopCode; }

int CHPivsetApp::ExitCodeWithoutLoop() const {
  if (resultCode_ >= 0) return resultCode_;
  return QuietRequested() ? kPkgInvalid : 0;
}

}  // namespace pv
