// A DLL planted beside a program under the name of a system DLL: when it is
// loaded it leaves "<its own path>.loaded" behind, so a test can see that the
// loader looked in the program's folder.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH + 8];
    const DWORD n = ::GetModuleFileNameW(instance, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      ::lstrcatW(path, L".loaded");
      HANDLE marker = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
    }
  }
  return TRUE;
}
