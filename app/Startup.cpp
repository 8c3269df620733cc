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
#include "engine/PathText.h"
#include "engine/Product.h"
#include "engine/Security.h"
#include "engine/SetupLog.h"
#include "engine/SystemVersion.h"
#include "engine/Texts.h"
#include "engine/UninstallRegistration.h"
#include "ui/Handles.h"
#include "ui/StringConverter.h"
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

// Starts `file` through the shell and waits for it to end, handling the
// messages other programs send this thread meanwhile (broadcasts must not
// wait for us). The process's exit code, or -1 when it could not be
// started (the last error says why).
int StartAndWait(const wchar_t* verb, const std::wstring& file, const std::wstring& parameters,
                 const std::wstring& folder, int show) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.lpVerb = verb;
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = folder.c_str();
  info.nShow = show;
  if (!::ShellExecuteExW(&info)) return -1;
  UniqueHandle process(info.hProcess);
  if (!process) return 0;  // started through something that hands out no process
  HANDLE waitFor = process.get();
  while (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // handles the sent ones
  }
  DWORD code = 1;
  if (!::GetExitCodeProcess(process.get(), &code)) code = 1;
  return static_cast<int>(code);
}

// Ends the process with the exit code of the relaunched run it waited for.
[[noreturn]] void EndWith(int code) {
  SetupLog::Result(code);
  ::ExitProcess(static_cast<UINT>(code));
}

// A filtered administrator token (elevation type "limited" whose linked token
// is an administrator's) restarts the program elevated with the same
// arguments; this process waits for that run and ends with its exit code,
// so a script that started it learns the result.
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
  const int code = StartAndWait(L"runas", ModulePath(), parameters, L"", SW_SHOWNORMAL);
  // A refused elevation prompt ends the run quietly, with 0, as before.
  if (code < 0) SetupLog::Failure(L"restarting elevated", ::GetLastError());
  EndWith(code < 0 ? 0 : code);
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

// The relocation folder and the copy in it, both held: the folder without
// delete sharing (it cannot be swapped for a link while the copy starts),
// the copy against writing and deleting.
struct RelocatedCopy {
  pv::UniqueFile folder;
  pv::UniqueFile copy;
};

// The elevated uninstaller writes the program it then starts elevated into
// the user's temporary folder, which the user (or anything running as the
// user) can change. So every object is checked by the handle that is then
// used: the folder is opened as itself and must be no link; an old copy is
// taken away (deleted, or renamed aside when it still runs) after its own
// handle showed it a plain file there; the copy is made as a new file whose
// handle shows it in that folder before anything is written; and it is
// opened again against writing and deleting, with its bytes read back,
// and held so until it has been started. Empty when any of that fails.
RelocatedCopy WriteRelocatedCopy(const std::wstring& folder) {
  std::vector<std::uint8_t> image;
  if (!ReadWholeFile(ModulePath(), image) || image.empty()) return {};
  RelocatedCopy out;
  std::wstring folderFinal;
  out.folder = pv::OpenFolderBelow(TempFolder(), product::kProductFolder, FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, folderFinal);
  if (!out.folder) return {};
  const std::wstring target = folder + L"\\unins000.exe";
  const std::wstring expected = pv::JoinPath(folderFinal, L"unins000.exe");
  if (pv::PathExists(target)) {
    pv::UniqueFile old = pv::OpenEntry(target, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    pv::EntryFacts facts;
    if (!old || !pv::QueryEntry(old.get(), facts) || facts.IsFolder() || !pv::IsEntryAt(old.get(), expected)) return {};
    if (!pv::DeleteOpenEntry(old.get())) {
      // A copy still running cannot be deleted, but can be renamed.
      wchar_t number[17];
      ::wsprintfW(number, L"%016I64X", UniqueNumber64());
      const std::wstring name = std::wstring(L"unins000.exe.") + number + L".old";
      if (!pv::RenameOpenEntry(old.get(), folder + L"\\" + name) ||
          !pv::IsEntryAt(old.get(), pv::JoinPath(folderFinal, name)))
        return {};
      ::MoveFileExW((folder + L"\\" + name).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
  }
  {
    pv::UniqueFile written(
        ::CreateFileW(target.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!written) return {};
    if (!pv::IsEntryAt(written.get(), expected) || !WriteAll(written.get(), image)) {
      pv::DeleteOpenEntry(written.get());
      return {};
    }
  }
  // Reading is all the start of the program needs; writing and deleting
  // stay refused to everyone while this handle is open.
  out.copy.reset(::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!out.copy || !pv::IsEntryAt(out.copy.get(), expected) || !ReadBackEquals(out.copy.get(), image)) return {};
  return out;
}

void RefuseRemoval(bool quiet) {
  SetupLog::Failure(L"the uninstaller's copy in the temporary folder could not be made safely", ::GetLastError());
  SetupLog::Result(1);
  if (!quiet) ::MessageBoxW(nullptr, Text(TextId::kUninstallError).c_str(), L"", MB_ICONERROR);
  ::ExitProcess(1);
}

// The copy that runs from the relocation folder has itself and the folder
// deleted at the next start of Windows, the earliest a running program can
// be removed; only when both are, by their handles, that folder and that
// file, so no link swapped in can have a deletion aimed elsewhere.
void ScheduleOwnDeletion(const std::wstring& folder, const std::wstring& self) {
  std::wstring folderFinal;
  pv::UniqueFile held = pv::OpenFolderBelow(TempFolder(), product::kProductFolder, FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, folderFinal);
  pv::UniqueFile image =
      pv::OpenEntry(self, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!held || !image || !pv::IsEntryAt(image.get(), pv::JoinPath(folderFinal, L"unins000.exe"))) {
    SetupLog::Line(L"the relocation folder " + folder +
                   L" is not the program's own: nothing is scheduled for deletion");
    return;
  }
  ::MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  ::MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// The uninstaller cannot delete the install folder while it runs from it:
// it copies itself to "<temp><product folder>\unins000.exe" and starts the
// copy there, in that folder, so that the copy holds nothing of the install
// folder. This process waits for the copy and ends with its exit code, so
// that whoever started the uninstaller learns the result and finds the
// removal over when it returns; the copy moves this program's running file
// out of the install folder.
void RelocateUninstaller(const std::vector<std::wstring>& args, bool quiet) {
  const std::wstring folder = TempFolder() + product::kProductFolder;
  const std::wstring target = folder + L"\\unins000.exe";
  const std::wstring self = ModulePath();
  if (::lstrcmpiW(self.c_str(), target.c_str()) == 0) {
    ScheduleOwnDeletion(folder, self);
    return;
  }
  EnsureFolder(folder);
  RelocatedCopy copy = WriteRelocatedCopy(folder);
  if (!copy.copy) RefuseRemoval(quiet);
  // Nor may this process hold it while it waits: its current folder
  // (Explorer starts it in the install folder) would keep the folder.
  ::SetCurrentDirectoryW(folder.c_str());
  const bool vista = IsVistaOrLater();
  SetupLog::Line(L"the uninstaller restarts from its copy " + target + L" and waits for it");
  SetupLog::Flush();
  const int code = StartAndWait(vista ? L"runas" : L"open", target, vista ? RelaunchParameters(args) : L"", folder,
                                vista ? SW_SHOWNORMAL : SW_SHOW);
  if (code < 0) {
    const DWORD error = ::GetLastError();
    SetupLog::Failure(L"starting " + target, error);
    // Nothing was removed; a refused elevation prompt needs no message.
    if (error == ERROR_CANCELLED) EndWith(1);
    RefuseRemoval(quiet);
  }
  SetupLog::Line(L"the removal ended with code " + std::to_wstring(code));
  EndWith(code);
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
    if (!options.quiet) ::MessageBoxW(nullptr, Text(TextId::kPackageCheckFailed).c_str(), nullptr, MB_ICONERROR);
    ::ExitProcess(code);
  }
  box.installMode = config.Find(SetupKeys::kMode).ToInt();
  if (box.installMode == 0) {
    const JValue& setup = config.Find(SetupKeys::kSetup);
    const JValue& userLanguage = setup.Find(SetupKeys::kUserLanguage);
    UseInstalledLanguage(ToWide(setup.Find(SetupKeys::kLanguage).ToText()),
                         userLanguage.Type() == JInt ? static_cast<int>(userLanguage.ToInt()) : -1);
  }
  SetupLog::Line(std::wstring(L"language: ") + CurrentLanguage().tag);
  SetupLog::Line(std::wstring(L"run: ") + (box.installMode ? L"install" : L"removal") +
                 (options.quiet ? L", quiet" : L", with the window") + (options.update ? L", update" : L""));
  if (box.installMode == 0) RelocateUninstaller(args, options.quiet);

  box.silent = options.quiet ? 1 : 0;
  box.update = options.update ? 1 : 0;
  box.allowDowngrade = options.downgrade;
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
  if (box.installMode) {
    box.resultCode = box.installResult.load();
  } else if (box.resultCode < 0) {
    box.resultCode = 0;
  }
  ::PostQuitMessage(box.resultCode);
}

bool QuietRequested() { return ParseCommandLine(CommandLineArgs()).quiet; }

}  // namespace pv
