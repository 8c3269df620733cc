#include "engine/InstallEngine.h"

#include <shellapi.h>
#include <shlobj.h>

#include "app/CommandLine.h"
#include "app/Package.h"
#include "app/SetupConfig.h"
#include "engine/ArchiveExtractor.h"
#include "engine/FileOps.h"
#include "engine/Security.h"
#include "engine/Shortcuts.h"
#include "engine/SpecialFolders.h"
#include "engine/UninstallEngine.h"
#include "engine/UninstallRegistration.h"
#include "ui/StringConverter.h"

using namespace pv;

namespace {

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring DataFolder() {
  const std::wstring user = SpecialFolder(CSIDL_APPDATA, true);
  if (!user.empty() && Exists(user)) return user + L"\\Tervaset\\Orvane";
  return SpecialFolder(CSIDL_COMMON_APPDATA, true) + L"\\Tervaset\\Orvane";
}

}  // namespace

void StartCommandLines(const std::wstring& installDir, const JValue& list) {
  if (list.Type() != JArray) return;
  for (int i = 0; i < list.Count(); ++i) {
    std::wstring commandLine = installDir + L"\\" + ToWide(list.Element(i).ToText());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      ::CloseHandle(pi.hThread);
      ::CloseHandle(pi.hProcess);
    }
  }
}

void RunInstRun(const SetupSession& session) {
  if (session.installMode) StartCommandLines(session.installDir, session.instRun);
}

EngineResult Install(SetupSession& s) {
  using namespace SetupKeys;
  s.progressTarget = 50;

  // The package is read and its archive's directory checked before a
  // previous installation is removed: a damaged or cut installer must fail
  // with the installed product still in place.
  PackageArchive package = ExtractPackageArchive(ModulePath(), s.installDir, [&] { s.SetProgress(50, 55); });
  if (package.result != kEngineOk) return package.result;
  ArchiveExtractor extractor(s.installDir);
  if (!extractor.Check(package.zipFile.get())) return kPkgExtractFailed;

  // Remove a previous installation through its own uninstaller's document.
  const std::wstring previous = ReadUninstallString();
  if (!previous.empty() && Exists(previous)) Uninstall(s, previous);
  s.SetProgress(60, 70);

  const bool extracted = extractor.Extract(package.zipFile.get());
  package.zipFile.reset();  // closing deletes the temporary archive
  if (!extracted) {
    extractor.Rollback();
    return kPkgExtractFailed;
  }
  s.SetProgress(70, 85);

  const JValue& shortcut = s.config.Find(kShortcut);
  CreateProductLinks(shortcut, s.installDir, s.desktopIcon, s.quickLaunch);
  s.SetProgress(85, 100);

  const JValue document = BuildUninstallDocument(s.config, ToNarrow(s.installDir), s.channel, extractor.files(),
                                                 extractor.folders());
  WriteUninstallerImage(package.image, package.locator, document, s.installDir);
  package.image = {};

  s.lastRunPath = s.installDir + L"\\" + ToWide(s.config.Find(kLastRun).ToText());
  if (s.config.Has(kInstRun)) s.instRun = s.config.Find(kInstRun);

  const std::wstring dataFolder = DataFolder();
  const JValue& options = s.config.Find(kInstOptions);
  if (options.Type() == JArray && options.Count() > 0) StartCommandLines(s.installDir, options);

  GrantEveryoneFullControl(s.installDir);
  GrantEveryoneFullControl(dataFolder);
  WriteUninstallRegistration(s.installDir, s.channel);
  {
    pv::Lock lock(s.progressLock);
    s.SetProgressPos(100);
  }
  RunInstRun(s);
  ::PostMessageW(s.SessionWindow(), WM_SETUP_FINISHED, 0, 0);
  return kEngineOk;
}

void InstallWorker(SetupSession& session) {
  const EngineResult result = Install(session);
  session.installResult = result;
  if (result != kEngineOk) {
    ::PostMessageW(session.SessionWindow(), WM_SETUP_FAILED, 0, 0);
    session.SetProgressPos(0);
  }
}

void StartSetup(SetupSession& session) {
  session.progressTarget = 0;
  session.StartProgressTimer();
  if (session.installMode) {
    if (!session.worker.IsRunning()) session.worker.Start([&session](CHThread*) { InstallWorker(session); });
    // A quiet run waits for the install, still handling the (hidden)
    // window's messages: a system component that sends one meanwhile (the
    // shell does) would otherwise wait for this thread while it waits.
    if (session.silent && session.worker.IsRunning()) session.worker.WaitPumping();
    return;
  }
  if (!Uninstall(session, std::wstring())) {
    if (!session.silent)
      ::MessageBoxW(session.SessionWindow(), L"卸载出现错误, 操作中止.", L"", MB_ICONERROR);
    ::ExitProcess(1);
  }
}

void LaunchProduct(const std::wstring& lastRunPath) {
  const LaunchCommand command = SplitLaunchCommand(lastRunPath);
  ::ShellExecuteW(nullptr, L"open", command.program.c_str(),
                  command.parameters.empty() ? nullptr : command.parameters.c_str(), nullptr, SW_SHOWNORMAL);
}
