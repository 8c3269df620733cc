#include "window/CLMainBox.h"

#include "app/Startup.h"
#include "engine/InstallEngine.h"
#include "engine/SystemVersion.h"

CLMainBox::CLMainBox() = default;

CLMainBox::~CLMainBox() {
  // A worker still running is killed with the box; it must not outlive the
  // state it works on.
  worker.Terminate();
}

void CLMainBox::ShowStatus(const wchar_t* text) {
  pv::Lock lock(statusLock_);
  status_ = text ? text : L"";
}

void CLMainBox::StartProgressTimer() {
  if (hwnd) ::SetTimer(hwnd, kProgressTimer, 100, nullptr);
}

LRESULT CLMainBox::OnCreate(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CHWindow::OnCreate(wParam, lParam);
  // On Windows 10 there is no quick launch bar to add the product to.
  quickLaunch_ = !pv::IsWindows10();
  RunStartupChecks(*this);
  ChooseInstallFolder(*this);
  Resize(528, 348);
  CenterWindow();
  RunQuietMode(*this);
  return result;
}

LRESULT CLMainBox::OnDestroy(WPARAM wParam, LPARAM lParam) {
  ::PostQuitMessage(0);
  return CHWindow::OnDestroy(wParam, lParam);
}

LRESULT CLMainBox::OnTimer(WPARAM wParam, LPARAM lParam) {
  if (wParam != kProgressTimer) return CHWindow::OnTimer(wParam, lParam);
  int pos;
  {
    pv::Lock lock(progressLock);
    pos = ProgressPos();
    if (pos < progressTarget) ++pos;
    SetProgressPos(pos);
  }
  if (pos >= 100) ::KillTimer(hwnd, kProgressTimer);
  return 0;
}

LRESULT CLMainBox::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETUP_FINISHED || message == WM_SETUP_FAILED) return 0;
  return CHWindow::DefaultProc(message, wParam, lParam);
}
