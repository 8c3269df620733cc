#include "app/Startup.h"

#include <windows.h>

#include <shellapi.h>

#include <vector>

#include "app/CommandLine.h"
#include "app/Package.h"
#include "app/SetupConfig.h"
#include "engine/FileOps.h"
#include "engine/InstallEngine.h"
#include "engine/InstallRootProbe.h"
#include "engine/Security.h"
#include "engine/SystemVersion.h"
#include "engine/UninstallRegistration.h"
#include "window/CLMainBox.h"

using namespace pv;

namespace {

std::vector<std::wstring> CommandLineArgs() {
  std::vector<std::wstring> args;
  int count = 0;
  if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
    ::LocalFree(argv);
  }
  return args;
}

bool IsFolder(const std::wstring& path) {
  const DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A filtered administrator token (elevation type "limited" whose linked token
// is an administrator's) restarts the program elevated with the same
// arguments and ends this process, whether or not the start succeeded.
void RelaunchElevatedIfFiltered(const std::vector<std::wstring>& args) {
  if (!IsVistaOrLater()) return;
  pv::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return;
  TOKEN_ELEVATION_TYPE type{};
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size)) return;
  if (type != TokenElevationTypeLimited || !LinkedTokenIsAdmin(token.get())) return;
  const std::wstring parameters = RelaunchParameters(args);
  ::ShellExecuteW(nullptr, L"runas", ModulePath().c_str(), parameters.c_str(), L"", SW_SHOWNORMAL);
  ::ExitProcess(0);
}

// The uninstaller cannot delete the install folder while it runs from it:
// it copies itself to "<temp>Orvane\unins000.exe" and restarts from there.
void RelocateUninstaller(const std::vector<std::wstring>& args) {
  const std::wstring folder = TempFolder() + L"Orvane";
  EnsureFolder(folder);
  const std::wstring target = folder + L"\\unins000.exe";
  const std::wstring self = ModulePath();
  if (::lstrcmpiW(self.c_str(), target.c_str()) == 0) return;
  CopyPath(target, self);
  if (IsVistaOrLater()) {
    const std::wstring parameters = RelaunchParameters(args);
    ::ShellExecuteW(nullptr, L"runas", target.c_str(), parameters.c_str(), L"", SW_SHOWNORMAL);
  } else {
    ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOW);
  }
  ::ExitProcess(0);
}

}  // namespace

void RunStartupChecks(CLMainBox& box) {
  const std::vector<std::wstring> args = CommandLineArgs();
  const CommandLineOptions options = ParseCommandLine(args);

  RelaunchElevatedIfFiltered(args);

  JValue config;
  if (!ReadSetupConfig(ModulePath(), config) || !config.Has(SetupKeys::kMode)) {
    if (!options.quiet) ::MessageBoxW(nullptr, L"安装包校验失败, 操作终止.", nullptr, MB_ICONERROR);
    ::ExitProcess(0);
  }
  box.installMode = config.Find(SetupKeys::kMode).ToInt();
  if (box.installMode == 0) RelocateUninstaller(args);

  box.silent = options.quiet ? 1 : 0;
  box.update = options.update ? 1 : 0;
  if (box.installMode != 0) box.config = std::move(config);
  if (options.hasParent) box.installDir = InstallDirUnder(options.parentFolder);
}

void ChooseInstallFolder(CLMainBox& box) {
  if (box.installMode == 0 || !box.installDir.empty()) return;
  std::wstring uninstaller = ReadUninstallString();
  if (uninstaller.size() > 520) uninstaller.resize(520);
  const std::wstring previous = FolderOfUninstaller(uninstaller);
  if (!previous.empty() && IsFolder(previous)) {
    box.installDir = previous;
    return;
  }
  box.installDir = InstallDirUnder(ChooseInstallRoot());
}

void RunQuietMode(CLMainBox& box) {
  if (!box.silent) return;
  ::ShowWindow(box.GetHwnd(), SW_HIDE);
  // The choices keep their initial states: both on, except that Windows 10
  // has no Quick Launch bar.
  box.desktopIcon = true;
  box.quickLaunch = !IsWindows10();
  StartSetup(box);
  // A failed quiet install ends with its result, so deployment tools see it.
  box.quietExitCode = box.installMode ? box.installResult.load() : 0;
  ::PostQuitMessage(box.quietExitCode);
}

bool QuietRequested() { return ParseCommandLine(CommandLineArgs()).quiet; }

void HardenDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Older systems without that call: at least take the current folder out.
  ::SetDllDirectoryW(L"");
}
