#include "app/RunLog.h"

#include <windows.h>

#include <shellapi.h>

#include <vector>

#include "app/CommandLine.h"
#include "engine/FileOps.h"
#include "engine/FilePaths.h"
#include "engine/Product.h"
#include "engine/SetupLog.h"
#include "engine/Texts.h"
#include "ui/Handles.h"

namespace pv {

namespace {

std::wstring& LogPath() {
  static std::wstring path;
  return path;
}

std::wstring SystemVersion() {
  // GetVersionEx answers what the manifest declares; the kernel's own call
  // tells the real build.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  using WineVersionFn = const char*(CDECL*)();
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  OSVERSIONINFOW info{sizeof info};
  std::wstring text = L"Windows";
  if (auto get = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
      get && get(&info) == 0) {
    text += L" " + std::to_wstring(info.dwMajorVersion) + L"." + std::to_wstring(info.dwMinorVersion) + L"." +
            std::to_wstring(info.dwBuildNumber);
  }
  if (auto wine =
          reinterpret_cast<WineVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version")))) {
    const char* version = wine();
    text += L" (Wine " + std::wstring(version, version + std::char_traits<char>::length(version)) + L")";
  }
  return text;
}

LONG WINAPI WriteLogOnCrash(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD* record = exception ? exception->ExceptionRecord : nullptr;
  SetupLog::Crashed(record ? record->ExceptionCode : 0, record ? record->ExceptionAddress : nullptr);
  return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void RefuseLog(const std::wstring& file, bool quiet) {
  const DWORD error = ::GetLastError();
  if (!quiet) {
    const std::wstring text = Text(TextId::kLogFailed, {{L"file", file}}) + L"\n\n" + SetupLog::ErrorText(error);
    ::MessageBoxW(nullptr, text.c_str(), nullptr, MB_ICONERROR);
  }
  ::ExitProcess(kLogOpenFailed);
}

}  // namespace

const std::wstring& RunLogPath() { return LogPath(); }

void OpenRunLog() {
  std::vector<std::wstring> args;
  int count = 0;
  if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    UniqueLocal owner(reinterpret_cast<HLOCAL>(argv));
    for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
  }
  const CommandLineOptions options = ParseCommandLine(args);
  const std::wstring& file = options.logFile;
  if (file.empty()) return;
  std::wstring absolute(MAX_PATH, L'\0');
  DWORD length = ::GetFullPathNameW(file.c_str(), static_cast<DWORD>(absolute.size()), absolute.data(), nullptr);
  if (length >= absolute.size()) {
    absolute.resize(length);
    length = ::GetFullPathNameW(file.c_str(), static_cast<DWORD>(absolute.size()), absolute.data(), nullptr);
  }
  if (length == 0 || length >= absolute.size()) RefuseLog(file, options.quiet);
  absolute.resize(length);
  LogPath() = absolute;
  const std::size_t cut = absolute.find_last_of(L'\\');
  if (cut != std::wstring::npos && cut > 2) EnsureFolder(absolute.substr(0, cut));
  if (!SetupLog::Open(absolute)) RefuseLog(absolute, options.quiet);
  ::SetUnhandledExceptionFilter(WriteLogOnCrash);
  SetupLog::Line(std::wstring(L"Pivset ") + PIVSET_VERSION_W + L" for " + product::kDisplayName + L" " +
                 product::kVersion + L", on " + SystemVersion());
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  SetupLog::Line(std::wstring(L"program: ") + self + L", process " + std::to_wstring(::GetCurrentProcessId()));
  SetupLog::Line(std::wstring(L"command line: ") + ::GetCommandLineW());
}

}  // namespace pv
