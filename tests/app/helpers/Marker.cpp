// Leaves a file named by its argument in its own folder, so a test can see
// that the installer or the uninstaller started it.
//   marker.exe <name> [milliseconds to wait before]
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  if (argc >= 3) ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 3;
  std::wstring path(self, n);
  path = path.substr(0, path.find_last_of(L'\\') + 1) + argv[1];
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 4;
  ::CloseHandle(file);
  return 0;
}
