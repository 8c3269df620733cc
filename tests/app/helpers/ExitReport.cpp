// Runs a program and writes how it ended into a file, for tests that must
// tell a program's own exit code from a crash: under Wine the host sees only
// the low byte of the exit code, and an access violation (0xC0000005) ends
// in the same 5 as a program's own code 5.
//   ExitReport.exe <report file> <milliseconds> <program> [args...]
// The report holds "exit <code in hex>", "not started <error>", or, when
// the program was still running after the time given, "timeout" (it is then
// ended); then
// "registered <0|1>": whether the setup program's uninstall key exists in
// either registry view.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "ui/Handles.h"

namespace {

std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  for (wchar_t c : arg) {
    if (c == L'"') out += L'\\';
    out += c;
  }
  return out + L"\"";
}

bool KeyExists(const wchar_t* path) {
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    pv::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, key.put()) == ERROR_SUCCESS) return true;
  }
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  std::wstring commandLine;
  for (int i = 3; i < argc; ++i) commandLine += (i > 3 ? L" " : L"") + Quote(argv[i]);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  pv::UniqueProcessInformation started;
  char line[64];
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        started.put())) {
    std::snprintf(line, sizeof line, "not started %lu\n", static_cast<unsigned long>(::GetLastError()));
  } else if (::WaitForSingleObject(started.process(), static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10))) ==
             WAIT_TIMEOUT) {
    ::TerminateProcess(started.process(), 1);
    ::WaitForSingleObject(started.process(), 5000);
    std::snprintf(line, sizeof line, "timeout\n");
  } else {
    DWORD code = 0;
    ::GetExitCodeProcess(started.process(), &code);
    std::snprintf(line, sizeof line, "exit %08lX\n", static_cast<unsigned long>(code));
  }
  started.reset();
  std::string report = line;
  report += KeyExists(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane") ? "registered 1\n"
                                                                                          : "registered 0\n";
  FILE* out = ::_wfopen(argv[1], L"wb");
  if (!out) return 4;
  std::fwrite(report.data(), 1, report.size(), out);
  std::fclose(out);
  return 0;
}
