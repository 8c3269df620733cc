// Process entry of the setup program.
#include <windows.h>

#include "app/Package.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t path[520];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, 520);
  if (n == 0 || n >= 520) return 0;
  JValue config;
  if (!ReadSetupConfig(path, config) || !config.Has("mode")) {
    ::MessageBoxW(nullptr, L"安装包校验失败, 操作终止.", nullptr, MB_ICONERROR);
    return 0;
  }
  return 0;
}
