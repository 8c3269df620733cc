// Process entry of the setup program.
#include <windows.h>

#include "app/CHPivsetApp.h"
#include "app/DllSearch.h"
#include "app/RunLog.h"
#include "engine/SetupLog.h"

using namespace pv;

namespace {

// The one application object; its construction makes it theApp.
CHPivsetApp application;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE prevInstance, LPWSTR commandLine, int showCommand) {
  HardenDllSearch();
  OpenRunLog();
#ifdef PIVSET_TEST_CRASH_AFTER_LOG_OPENS
  // A test build that crashes with a line still buffered: the log's
  // exception filter must write it.
  pv::SetupLog::Line(L"crashing on purpose");
  *static_cast<volatile int*>(nullptr) = 1;
#endif
  if (!theApp->Init(instance, prevInstance, commandLine, showCommand)) {
    pv::SetupLog::Result(application.ExitCodeWithoutLoop());
    return application.ExitCodeWithoutLoop();
  }
  if (!theApp->InitInstance()) {
    pv::SetupLog::Result(application.ExitCodeWithoutLoop());
    return application.ExitCodeWithoutLoop();
  }
  const int code = application.ExitCode(theApp->Run());
  pv::SetupLog::Result(code);
  return code;
}
