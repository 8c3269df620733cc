// Holds a file the way a running program holds its image: mapped as an
// executable image, so it can be neither overwritten nor deleted (only
// renamed), yet it appears in no process's module list.
//   pv_image_holder.exe <file> <ready file> <lifetime ms>
// Creates <ready file> once the mapping exists.
#include <windows.h>

#include <cwchar>

#include "ui/Handles.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  // Shared the way the loader shares an image: others may read and rename it.
  HANDLE file = ::CreateFileW(argv[1], GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  HANDLE section = ::CreateFileMappingW(file, nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr);
  if (!section) return 4;
  void* view = ::MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0);
  if (!view) return 5;
  // The mapping stays until the process ends; the ready file is closed at
  // once, so the test can remove it.
  { pv::UniqueFile ready(::CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)); }
  ::Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
  return 0;
}
