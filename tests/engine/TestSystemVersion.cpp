#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "engine/SystemVersion.h"

using namespace pv;

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

// The version the kernel reports, which no compatibility setting changes.
OSVERSIONINFOW KernelVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  FARPROC address = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
  if (address) reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(address))(&info);
  return info;
}

// engine_tests carries the same compatibility declarations as the setup
// program, so the helpers must see what the kernel says.
TEST(SystemVersion, AgreesWithTheKernel) {
  OSVERSIONINFOW kernel = KernelVersion();
  ASSERT_GT(kernel.dwMajorVersion, 0u);
  RecordProperty("kernel_version", std::to_string(kernel.dwMajorVersion) + "." + std::to_string(kernel.dwMinorVersion));
  EXPECT_EQ(pv::IsVistaOrLater(), kernel.dwPlatformId == VER_PLATFORM_WIN32_NT && kernel.dwMajorVersion > 5);
  EXPECT_EQ(pv::IsWindows10(), kernel.dwPlatformId == VER_PLATFORM_WIN32_NT && kernel.dwMajorVersion == 10);
  const char* expected = std::getenv("PIVSET_WIN_VERSION");
  if (expected && std::string(expected) == "win10") {
    EXPECT_TRUE(pv::IsWindows10());
  }
}

}  // namespace
