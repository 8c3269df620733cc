#include "app/Startup.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/CommandLine.h"
#include "app/EngineResult.h"
#include "app/Package.h"
#include "app/RunLog.h"
#include "app/SetupConfig.h"
#include "engine/FileOps.h"
#include "engine/FilePaths.h"
#include "engine/InstallEngine.h"
#include "engine/InstallRootProbe.h"
#include "engine/Product.h"
#include "engine/Security.h"
#include "engine/SetupLog.h"
#include "engine/SystemVersion.h"
#include "engine/UninstallRegistration.h"
#include "ui/Handles.h"
#include "window/CLMainBox.h"

namespace pv {

namespace {

std::vector<std::wstring> CommandLineArgs() {
  std::vector<std::wstring> args;
  int count = 0;
  if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    UniqueLocal owner(reinterpret_cast<HLOCAL>(argv));
    for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
  }
  return args;
}

// A "/D" folder against the current folder ("" is the current folder
// itself); the text as given when the system cannot make it absolute.
std::wstring AbsoluteFolder(const std::wstring& folder) {
  const std::wstring full = pv::FullPath(folder.empty() ? L"." : folder);
  return full.empty() ? folder : full;
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
  SetupLog::Line(L"filtered administrator token: restarting elevated");
  SetupLog::Flush();
  ::ShellExecuteW(nullptr, L"runas", ModulePath().c_str(), parameters.c_str(), L"", SW_SHOWNORMAL);
  ::ExitProcess(0);
}

// Whether `path` names a link rather than an entry of its own: Windows marks
// junctions and symbolic links as reparse points; Wine shows a Unix link to
// a file as that file, whose final path is then not the name's. An entry
// whose final path cannot be had counts as a link.
bool IsLink(const std::wstring& path) {
  const DWORD a = ::GetFileAttributesW(path.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  const std::size_t cut = path.find_last_of(L'\\');
  if (cut == std::wstring::npos) return true;
  const std::wstring parent = pv::FinalPathOf(path.substr(0, cut));
  const std::wstring self = pv::FinalPathOf(path);
  return parent.empty() || self.empty() || !pv::SamePathText(self, parent + path.substr(cut));
}

bool WriteAll(HANDLE file, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + done, piece, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

bool ReadBackEquals(HANDLE file, const std::vector<std::uint8_t>& bytes) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size) || static_cast<std::uint64_t>(size.QuadPart) != bytes.size()) return false;
  std::vector<std::uint8_t> piece(1u << 20);
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!::ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr) || got == 0) return false;
    if (got > bytes.size() - done || std::memcmp(piece.data(), bytes.data() + done, got) != 0) return false;
    done += got;
  }
  return true;
}

// The elevated uninstaller writes the program it then starts elevated into
// the user's temporary folder, which the user (or anything running as the
// user) can change. So: no link as folder or file, an old copy is taken
// away rather than written through, the copy is made as a new file, and it
// is kept open against writing and deleting, with its bytes read back,
// until it has been started. Empty when any of that fails.
pv::UniqueFile WriteRelocatedCopy(const std::wstring& folder, const std::wstring& target) {
  std::vector<std::uint8_t> image;
  if (!ReadWholeFile(ModulePath(), image) || image.empty()) return {};
  if (!pv::IsFolder(folder) || IsLink(folder)) return {};
  if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (IsLink(target) || pv::IsFolder(target)) return {};
    if (!::DeleteFileW(target.c_str())) {
      // A copy still running cannot be deleted, but can be renamed.
      wchar_t number[17];
      ::wsprintfW(number, L"%08X%08X", static_cast<unsigned>(UniqueNumber64() >> 32),
                  static_cast<unsigned>(UniqueNumber64()));
      const std::wstring aside = target + L"." + number + L".old";
      if (!::MoveFileExW(target.c_str(), aside.c_str(), 0)) return {};
      ::MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
  }
  {
    pv::UniqueFile out(
        ::CreateFileW(target.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return {};
    if (!WriteAll(out.get(), image)) {
      FILE_DISPOSITION_INFO disposition{};
      disposition.DeleteFile = TRUE;
      ::SetFileInformationByHandle(out.get(), FileDispositionInfo, &disposition, sizeof disposition);
      return {};
    }
  }
  // Reading is all the start of the program needs; writing and deleting
  // stay refused to everyone while this handle is open.
  pv::UniqueFile held(::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!held) return {};
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(held.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return {};
  const std::wstring folderFinal = pv::FinalPathOf(folder);
  if (folderFinal.empty() || !pv::SamePathText(pv::FinalPath(held.get()), folderFinal + L"\\unins000.exe")) return {};
  if (!ReadBackEquals(held.get(), image)) return {};
  return held;
}

void RefuseRemoval(bool quiet) {
  SetupLog::Failure(L"the uninstaller's copy in the temporary folder could not be made safely", ::GetLastError());
  SetupLog::Result(1);
  if (!quiet) ::MessageBoxW(nullptr, L"卸载出现错误, 操作中止.", L"", MB_ICONERROR);
  ::ExitProcess(1);
}

// The uninstaller cannot delete the install folder while it runs from it:
// it copies itself to "<temp><product folder>\unins000.exe" and restarts
// from there, in that folder, so that it holds nothing of the install folder.
// The copy that runs from there has itself and the folder deleted at the
// next start of Windows, the earliest a running program can be removed.
void RelocateUninstaller(const std::vector<std::wstring>& args, bool quiet) {
  const std::wstring folder = TempFolder() + product::kProductFolder;
  const std::wstring target = folder + L"\\unins000.exe";
  const std::wstring self = ModulePath();
  if (::lstrcmpiW(self.c_str(), target.c_str()) == 0) {
    ::MoveFileExW(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    ::MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return;
  }
  EnsureFolder(folder);
  pv::UniqueFile copy = WriteRelocatedCopy(folder, target);
  if (!copy) RefuseRemoval(quiet);
  const bool vista = IsVistaOrLater();
  const std::wstring parameters = RelaunchParameters(args);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = vista ? L"runas" : L"open";
  info.lpFile = target.c_str();
  info.lpParameters = vista ? parameters.c_str() : nullptr;
  info.lpDirectory = folder.c_str();
  info.nShow = vista ? SW_SHOWNORMAL : SW_SHOW;
  SetupLog::Line(L"the uninstaller restarts from its copy " + target);
  SetupLog::Flush();
  if (!::ShellExecuteExW(&info)) SetupLog::Failure(L"starting " + target, ::GetLastError());
  // Closed in a scope of its own: ExitProcess runs no destructors.
  { UniqueHandle started(info.hProcess); }
  ::ExitProcess(0);
}

}  // namespace

void RunStartupChecks(CLMainBox& box) {
  // The elevated relaunch starts in another folder: it gets the absolute form.
  // The log's file is absolute already (it was opened first).
  const std::vector<std::wstring> args =
      WithLogFile(WithAbsoluteParentFolders(CommandLineArgs(), AbsoluteFolder), RunLogPath());
  const CommandLineOptions options = ParseCommandLine(args);

  RelaunchElevatedIfFiltered(args);

  JValue config;
  if (!ReadSetupConfig(ModulePath(), config) || !config.Has(SetupKeys::kMode)) {
    SetupLog::Failure(L"reading the setup configuration from " + ModulePath(), ::GetLastError());
    // The window's user has seen the message; a quiet run has only its exit
    // code to tell the deployment that nothing was installed.
    const int code = options.quiet ? kPkgInvalid : 0;
    SetupLog::Result(code);
    if (!options.quiet) ::MessageBoxW(nullptr, L"安装包校验失败, 操作终止.", nullptr, MB_ICONERROR);
    ::ExitProcess(code);
  }
  box.installMode = config.Find(SetupKeys::kMode).ToInt();
  SetupLog::Line(std::wstring(L"run: ") + (box.installMode ? L"install" : L"removal") +
                 (options.quiet ? L", quiet" : L", with the window") + (options.update ? L", update" : L""));
  if (box.installMode == 0) RelocateUninstaller(args, options.quiet);

  box.silent = options.quiet ? 1 : 0;
  box.update = options.update ? 1 : 0;
  if (box.installMode != 0) box.config = std::move(config);
  if (options.hasParent) box.installDir = InstallDirUnder(options.parentFolder, product::kInstallSuffix);
}

void ChooseInstallFolder(CLMainBox& box) {
  if (box.installMode == 0 || !box.installDir.empty()) return;
  std::wstring uninstaller = ReadUninstallString();
  if (uninstaller.size() > 520) uninstaller.resize(520);
  const std::wstring previous = FolderOfUninstaller(uninstaller);
  if (!previous.empty() && pv::IsFolder(previous)) {
    box.installDir = previous;
    return;
  }
  box.installDir = InstallDirUnder(ChooseInstallRoot(), product::kInstallSuffix);
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

}  // namespace pv
