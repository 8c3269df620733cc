#include "engine/SystemVersion.h"

#include <windows.h>

namespace pv {

namespace {

bool QueryVersion(OSVERSIONINFOW& info) {
  info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  return ::GetVersionExW(&info) != FALSE;
}

}  // namespace

bool IsVistaOrLater() {
  OSVERSIONINFOW info;
  return QueryVersion(info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion > 5;
}

bool IsWindows10() {
  OSVERSIONINFOW info;
  return QueryVersion(info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 10;
}

}  // namespace pv
