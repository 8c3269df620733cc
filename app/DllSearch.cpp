#include "app/DllSearch.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "engine/Texts.h"
#include "ui/Handles.h"

namespace pv {

namespace {

// The DLLs cmake/DelayLoad.cmake delay-loads.
constexpr const wchar_t* kDelayLoaded[] = {
    L"comctl32.dll",
    L"gdiplus.dll",
    L"msimg32.dll",
    L"msvfw32.dll",
    L"oleacc.dll",
#ifdef PIVSET_TEST_MISSING_SYSTEM_DLL
    // A test build stands in for a system that lacks one of them.
    PIVSET_TEST_MISSING_SYSTEM_DLL,
#endif
};

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(buffer, length) + L"\\";
}

bool QuietRun() {
  int count = 0;
  bool quiet = false;
  if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    pv::UniqueLocal owner(reinterpret_cast<HLOCAL>(argv));
    for (int i = 0; i < count; ++i) quiet = quiet || std::wstring(argv[i]) == L"/q";
  }
  return quiet;
}

[[noreturn]] void EndForMissing(const std::wstring& name) {
  if (!QuietRun()) {
    const std::wstring text = Text(TextId::kMissingComponent, {{L"file", name}});
    ::MessageBoxW(nullptr, text.c_str(), nullptr, MB_ICONERROR);
  }
  ::ExitProcess(1);
}

// comctl32 comes through the program's manifest from the side-by-side store
// (version 6), which the loader consults before any folder; loaded from
// System32 by path it would be the old version 5 instead. Only without such
// a redirection is the System32 copy the one to use.
bool RedirectedSideBySide(const wchar_t* name) {
  ACTCTX_SECTION_KEYED_DATA data{};
  data.cbSize = sizeof data;
  return ::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, name, &data) != FALSE;
}

}  // namespace

void HardenDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
#ifdef PIVSET_TEST_HIDE_SET_DEFAULT_DLL_DIRECTORIES
  // A test build that takes the path of a system without the call.
  setDefault = nullptr;
#endif
  const bool restricted = setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Older systems without that call: at least take the current folder out.
  ::SetDllDirectoryW(L"");

  const std::wstring system = SystemFolder();
  for (const wchar_t* name : kDelayLoaded) {
    const std::wstring path = system + name;
    if (restricted) {
      // The search is System32 alone: it only has to find the file there.
      if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && !RedirectedSideBySide(name))
        EndForMissing(name);
      continue;
    }
    // By name only through the manifest's redirection, otherwise by full
    // path; either way the delay-load's later search by name finds it loaded.
    const HMODULE module = RedirectedSideBySide(name)
                               ? ::LoadLibraryW(name)
                               : ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) EndForMissing(name);
  }
}

}  // namespace pv
