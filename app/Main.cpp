// Process entry of the setup program.
#include <windows.h>

#include "app/CHPivsetApp.h"
#include "app/DllSearch.h"
#include "app/RunLog.h"
#include "engine/SetupLog.h"

namespace {

// The one application object; its construction makes it theApp.
CHPivsetApp application;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE prevInstance, LPWSTR commandLine, int showCommand) {
  HardenDllSearch();
  OpenRunLog();
  if (!theApp->Init(instance, prevInstance, commandLine, showCommand)) return 0;
  if (!theApp->InitInstance()) return 0;
  const int code = theApp->Run();
  pv::SetupLog::Result(code);
  return code;
}
