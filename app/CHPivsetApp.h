#pragma once

#include "ui/CHApp.h"

class CLMainBox;

// The setup program's application object: creates the main box and its
// window, and destroys it when the message loop has ended.
class CHPivsetApp : public CHApp {
 public:
  CHPivsetApp() = default;
  ~CHPivsetApp() override;

  bool InitInstance() override;
  bool ExitInstance() override;
  CHWindow* GetMainWindow() override;

 private:
  CLMainBox* mainBox_ = nullptr;
};
