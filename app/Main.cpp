// Process entry of the setup program.
#include <windows.h>

#include "app/CHPivsetApp.h"
#include "app/Startup.h"

namespace {

// The one application object; its construction makes it theApp.
CHPivsetApp application;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE prevInstance, LPWSTR commandLine, int showCommand) {
  HardenDllSearch();
  if (!theApp->Init(instance, prevInstance, commandLine, showCommand)) return application.ExitCodeWithoutLoop();
  if (!theApp->InitInstance()) return application.ExitCodeWithoutLoop();
  return application.ExitCode(theApp->Run());
}
