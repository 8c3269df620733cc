// A stand-in for a program that holds product files: loads the DLL named on
// its command line, signals the named event, then waits until it is ended
// or its lifetime is over (so a failed test leaves nothing running).
//   pv_dll_holder.exe <event name or -> <lifetime ms> [dll path]
#include <windows.h>

#include <cwchar>

#include "ui/Handles.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  if (argc >= 4 && !::LoadLibraryW(argv[3])) return 3;
  if (std::wcscmp(argv[1], L"-") != 0) {
    pv::UniqueHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]));
    if (!ready) return 4;
    ::SetEvent(ready.get());
  }
  ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
  return 0;
}
