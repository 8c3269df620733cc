#pragma once

#include <memory>

#include "ui/CHApp.h"

namespace pv {

class CLMainBox;

// The setup program's application object: creates the main box and its
// window, and destroys it when the message loop has ended.
class CHPivsetApp : public CHApp {
 public:
  CHPivsetApp();
  ~CHPivsetApp() override;

  bool InitInstance() override;
  bool ExitInstance() override;
  CHWindow* GetMainWindow() override;

  // The process's exit code: a quiet run's result once its work is done,
  // whatever became of the window; otherwise `loopCode`, the message
  // loop's. Without a loop (start-up failed) a quiet run that did no work
  // reports a failure.
  int ExitCode(int loopCode) const;
  int ExitCodeWithoutLoop() const;

 private:
  void KeepQuietResult();

  // Deleted in ExitInstance, once the loop its WM_DESTROY ended has run out,
  // so no message of the window's last moments reaches a deleted box.
  std::unique_ptr<CLMainBox> mainBox_;
  int resultCode_ = -1;
};

}  // namespace pv
