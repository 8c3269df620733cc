#include "engine/Processes.h"

#include <tlhelp32.h>

#include "engine/FilePaths.h"
#include "engine/Product.h"
#include "ui/Handles.h"

namespace pv {
namespace {

// Whether the process has a module loaded from `fullPath`. Module lists can
// be unavailable (protected or exiting processes); such processes are then
// only compared by name.
bool ProcessHasModule(DWORD processId, const std::wstring& fullPath) {
  UniqueSnapshot modules;
  // The snapshot fails with ERROR_BAD_LENGTH while the process is loading or
  // unloading modules; a few tries get past that.
  for (int attempt = 0; attempt < 3 && !modules; ++attempt) {
    modules.reset(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
    if (!modules && ::GetLastError() != ERROR_BAD_LENGTH) return false;
  }
  if (!modules) return false;
  MODULEENTRY32W module{};
  module.dwSize = sizeof(module);
  for (BOOL more = ::Module32FirstW(modules.get(), &module); more; more = ::Module32NextW(modules.get(), &module)) {
    if (SamePathText(module.szExePath, fullPath)) return true;
  }
  return false;
}

}  // namespace

bool FindFileUser(const std::wstring& path, std::wstring& user) {
  user.clear();
  std::wstring name = FileNamePart(path);
  if (name.empty()) return false;
  // Module paths are absolute with backslashes; compare like with like.
  std::wstring fullPath = FullPath(path);
  if (fullPath.empty()) fullPath = path;

  UniqueSnapshot processes(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!processes) return false;
  const DWORD self = ::GetCurrentProcessId();
  PROCESSENTRY32W process{};
  process.dwSize = sizeof(process);
  for (BOOL more = ::Process32FirstW(processes.get(), &process); more;
       more = ::Process32NextW(processes.get(), &process)) {
    if (process.th32ProcessID == self || process.th32ProcessID == 0) continue;
    if (SamePathText(process.szExeFile, name)) {
      user = path;
      return true;
    }
    if (ProcessHasModule(process.th32ProcessID, fullPath)) {
      user = process.szExeFile;
      return true;
    }
  }
  return false;
}

int KillProcessesByName(const std::wstring& path) {
  std::wstring name = FileNamePart(path);
  if (name.empty()) return 0;
  UniqueSnapshot processes(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!processes) return 0;
  const DWORD self = ::GetCurrentProcessId();
  int ended = 0;
  PROCESSENTRY32W process{};
  process.dwSize = sizeof(process);
  for (BOOL more = ::Process32FirstW(processes.get(), &process); more;
       more = ::Process32NextW(processes.get(), &process)) {
    if (process.th32ProcessID == self || !SamePathText(process.szExeFile, name)) continue;
    // Terminating needs no more than this right; asking for all of them
    // fails on processes that grant only some.
    UniqueHandle handle(::OpenProcess(PROCESS_TERMINATE, FALSE, process.th32ProcessID));
    if (handle && ::TerminateProcess(handle.get(), 0)) ++ended;
  }
  return ended;
}

void StopProduct() {
  for (const wchar_t* program : {product::kMainProgram}) {
    std::wstring user;
    if (FindFileUser(program, user)) {
      KillProcessesByName(user);
      ::Sleep(500);
    }
  }
}

bool PumpUntilProcessExits(HANDLE process, HWND mainWindow) {
  // WM_QUIT belongs to the thread, not to the window. Windows never hands it
  // to a window filter; Wine does, whatever the filter says, so a WM_QUIT
  // taken here is kept and posted again when the wait is over.
  bool quitTaken = false;
  WPARAM quitCode = 0;
  auto finish = [&](bool ended) {
    if (quitTaken) ::PostQuitMessage(static_cast<int>(quitCode));
    return ended;
  };
  for (;;) {
    DWORD reason = ::MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
    if (reason == WAIT_OBJECT_0) return finish(true);
    if (reason != WAIT_OBJECT_0 + 1) return finish(false);
    // The wait only wakes for input that arrived since the queue was last
    // looked at, so everything that is there now is taken, not one message.
    MSG message;
    while (::PeekMessageW(&message, mainWindow, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quitTaken = true;
        quitCode = message.wParam;
        // Without a window the caller's loop is the only one left: stop.
        if (!mainWindow) return finish(false);
        continue;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

}  // namespace pv
