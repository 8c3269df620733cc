#pragma once

#include <windows.h>

namespace pv {

class CHWindow;

// The application base: keeps the start-up arguments, registers the
// program's one window class and runs the message loop. The program derives exactly one class from it and defines one
// static instance; constructing it makes it theApp before the entry point runs.
class CHApp {
 public:
  CHApp();
  CHApp(const CHApp&) = delete;
  CHApp& operator=(const CHApp&) = delete;
  virtual ~CHApp();

  virtual bool InitInstance() = 0;
  virtual bool ExitInstance() = 0;
  virtual CHWindow* GetMainWindow() = 0;
  // Stores the entry's arguments and registers the "CHWindow" class; the
  // class atom, or 0 on failure.
  ATOM Init(HINSTANCE instance, HINSTANCE prevInstance, wchar_t* commandLine, int showCommand);
  // Runs until WM_QUIT, then calls ExitInstance; returns the quit code.
  int Run();

  // The module's icon group that the window class shows (the first, which
  // Explorer shows for the file).
  static constexpr int kProgramIconId = 1;

  // Registers the "CHWindow" class for a module, with the module's icon
  // when it has one. A class that this module
  // already registered with our procedure gives its atom again, so tests and
  // helper programs may prepare it more than once.
  static ATOM RegisterWindowClass(HINSTANCE instance);

  // Loads and initialises the common controls, once per process. Called by
  // whatever creates one of their windows (the tooltips): loading them
  // takes from a twentieth to a fifth of a second under Wine, which a
  // window that never shows a tooltip should not pay before its first paint.
  static void EnsureCommonControls();

  int showCommand = 0;
  wchar_t* commandLine = nullptr;  // as given to the entry, not copied
  HINSTANCE instance = nullptr;
  HINSTANCE prevInstance = nullptr;
};

// The one application object of the process (null before it is constructed
// and after it is destroyed).
extern CHApp* theApp;

}  // namespace pv
