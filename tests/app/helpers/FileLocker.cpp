// Holds a file open without sharing write or delete access, as an editor or
// a scanner might: the file can be neither overwritten, deleted nor renamed.
//   pv_file_locker.exe <file> <ready file> <lifetime ms>
#include <windows.h>

#include <cwchar>

#include "ui/Handles.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  // The file stays open until the process ends; the ready file is closed at
  // once, so the test can remove it.
  { pv::UniqueFile ready(::CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)); }
  ::Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
  return 0;
}
