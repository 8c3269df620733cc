#include "app/CHPivsetApp.h"

#include <objbase.h>

#include "window/CLMainBox.h"

CHPivsetApp::~CHPivsetApp() { delete mainBox_; }

bool CHPivsetApp::InitInstance() {
  ::CoInitialize(nullptr);
  mainBox_ = new CLMainBox();
  mainBox_->Create(nullptr, nullptr, WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, L"Pivset", L"CHWindow",
                   WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0);
  HWND window = mainBox_->GetHwnd();
  if (!window) {
    delete mainBox_;
    mainBox_ = nullptr;
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
  delete mainBox_;
  mainBox_ = nullptr;
  ::CoUninitialize();
  return true;
}

CHWindow* CHPivsetApp::GetMainWindow() { return mainBox_; }
