// Leaves a file named by its argument in its own folder, so a test can see
// that the installer or the uninstaller started it; each run adds a line to
// it, so a test can also count the runs. A windows-subsystem
// program, so starting it opens no console window.
//   marker.exe <name> [milliseconds to wait before]
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>

#include "ui/Handles.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  pv::UniqueLocal argvOwner(reinterpret_cast<HLOCAL>(argv));
  if (!argv || argc < 2) return 2;
  if (argc >= 3) ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 3;
  std::wstring path(self, n);
  path = path.substr(0, path.find_last_of(L'\\') + 1) + argv[1];
  argvOwner.reset();
  pv::UniqueFile file;
  // Two runs at once: the second waits for the first's line.
  for (int attempt = 0; attempt < 100; ++attempt) {
    file.reset(::CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
    if (file || ::GetLastError() != ERROR_SHARING_VIOLATION) break;
    ::Sleep(20);
  }
  if (!file) return 4;
  DWORD written = 0;
  ::WriteFile(file.get(), "ran\r\n", 5, &written, nullptr);
  return 0;
}
