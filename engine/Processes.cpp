#include "engine/Processes.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

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

// Whether some process may hold the file: open, running from it or with it
// loaded as a module. A program's image and a loaded DLL refuse an open for
// writing (Windows and Wine alike), and any other open handle refuses an
// exclusive one, so an exclusive open for writing that succeeds proves no
// process holds the file. A read-only file fails the open too and counts
// as held: such files get the full search. A missing file is loaded by no
// process: only a program's name can match it.
bool MayBeHeld(const std::wstring& path) {
  UniqueFile probe(
      ::CreateFileW(path.c_str(), FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (probe) return false;
  const DWORD error = ::GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

}  // namespace

// Reads the system's process list directly: a tool-help snapshot reads the
// same list and then copies it into a section of its own, which takes twice
// as long under Wine.
std::optional<std::vector<std::wstring>> RunningProgramNames() {
  using QueryFn = LONG(WINAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return std::nullopt;
  constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<unsigned char> buffer(256 * 1024);
  LONG status;
  for (int attempt = 0;; ++attempt) {
    ULONG needed = 0;
    status = query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status != kLengthMismatch || attempt == 4) break;
    // The list can grow between the two calls.
    buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 64 * 1024));
  }
  if (status < 0) return std::nullopt;
  std::vector<std::wstring> names;
  const auto self = static_cast<ULONG_PTR>(::GetCurrentProcessId());
  for (std::size_t at = 0; at + sizeof(SYSTEM_PROCESS_INFORMATION) <= buffer.size();) {
    const auto* process = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
    const auto id = reinterpret_cast<ULONG_PTR>(process->UniqueProcessId);
    if (id != self && id != 0 && process->ImageName.Buffer)
      names.emplace_back(process->ImageName.Buffer, process->ImageName.Length / sizeof(wchar_t));
    if (process->NextEntryOffset == 0) break;
    at += process->NextEntryOffset;
  }
  return names;
}

namespace {

bool Named(const std::vector<std::wstring>& running, const std::wstring& name) {
  return std::any_of(running.begin(), running.end(), [&](const std::wstring& n) { return SamePathText(n, name); });
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

bool FindHolder(const std::wstring& path, std::wstring& user, const std::optional<std::vector<std::wstring>>* running) {
  if (MayBeHeld(path)) return FindFileUser(path, user);
  const std::optional<std::vector<std::wstring>> now = running ? std::nullopt : RunningProgramNames();
  const std::optional<std::vector<std::wstring>>& names = running ? *running : now;
  if (!names) return FindFileUser(path, user);
  user.clear();
  if (!Named(*names, FileNamePart(path))) return false;
  user = path;
  return true;
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
    if (FindHolder(program, user)) {
      KillProcessesByName(user);
      ::Sleep(500);
    }
  }
}

bool StartProcess(const std::wstring& commandLine, UniqueProcessInformation& started) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring mutableLine = commandLine;
  return ::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          started.put()) != 0;
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
