#pragma once

#include <windows.h>

#include "engine/SetupSession.h"
#include "ui/CHWindow.h"

// The installer's window. It runs the start-up sequence while it is being
// created, holds the state the engines share with it, and moves the progress
// bar towards the engines' targets.
class CLMainBox : public CHWindow, public SetupSession {
 public:
  CLMainBox();
  ~CLMainBox() override;

  // SetupSession
  HWND SessionWindow() const override { return hwnd; }
  bool DesktopIconChecked() const override { return desktopIcon_; }
  bool QuickLaunchChecked() const override { return quickLaunch_; }
  int ProgressPos() const override { return progressPos_; }
  void SetProgressPos(int pos) override { progressPos_ = pos; }
  void ShowStatus(const wchar_t* text) override;
  void StartProgressTimer() override;

  // Whether the run is quiet; InitInstance leaves a quiet run's window hidden.
  bool Quiet() const { return silent != 0; }

 protected:
  LRESULT OnCreate(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnDestroy(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnTimer(WPARAM wParam, LPARAM lParam) override;
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  static constexpr UINT_PTR kProgressTimer = 1;

  bool desktopIcon_ = true;
  bool quickLaunch_ = true;
  int progressPos_ = 0;
  std::wstring status_;
  pv::CriticalSection statusLock_;
};
