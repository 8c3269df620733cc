#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <thread>

#include "engine/DesktopShell.h"
#include "tests/engine/EngineTestSupport.h"

using namespace pv;

using pvtest::Exists;
using pvtest::ScratchFolder;

namespace {

bool AppearsWithin(const std::wstring& path, DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 50) {
    if (Exists(path)) return true;
    ::Sleep(50);
  }
  return Exists(path);
}

// Both ways start the program with its parameters. Which way Open takes
// depends on the shell running the desktop: Windows' own has the interface
// chain, Wine's may not, and then the direct call must still start it.
TEST(DesktopShell, OpenStartsTheProgramOneWayOrTheOther) {
  ScratchFolder scratch;
  const std::wstring cmd = L"C:\\windows\\system32\\cmd.exe";
  const DesktopShell::Route route = DesktopShell::Open(cmd, L"/c echo open> \"" + scratch / L"open.txt" + L"\"");
  ASSERT_NE(route, DesktopShell::Route::kFailed);
  RecordProperty("route", route == DesktopShell::Route::kDesktop ? "desktop" : "direct");
  std::printf("route taken: %s\n", route == DesktopShell::Route::kDesktop ? "desktop shell" : "direct");
  EXPECT_TRUE(AppearsWithin(scratch / L"open.txt", 20000));

  EXPECT_TRUE(DesktopShell::OpenDirectly(cmd, L"/c echo direct> \"" + scratch / L"direct.txt" + L"\""));
  EXPECT_TRUE(AppearsWithin(scratch / L"direct.txt", 20000));
  EXPECT_FALSE(DesktopShell::OpenDirectly(scratch / L"missing.exe", L""));

  // Without a COM apartment of its own the thread gets one for the call and
  // none is left behind.
  std::thread([&] {
    DesktopShell::OpenThroughDesktop(cmd, L"/c echo thread> \"" + scratch / L"thread.txt" + L"\"");
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    EXPECT_EQ(::CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED);
  }).join();
  // Let the shell's starts end before the scratch folder goes.
  ::Sleep(500);
}

}  // namespace
