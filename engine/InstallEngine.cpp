#include "engine/InstallEngine.h"

#include <shellapi.h>
#include <shlobj.h>

#include "app/CommandLine.h"
#include "app/Package.h"
#include "app/SetupConfig.h"
#include "engine/ArchiveExtractor.h"
#include "engine/DesktopShell.h"
#include "engine/FileOps.h"
#include "engine/FilePaths.h"
#include "engine/PathText.h"
#include "engine/Processes.h"
#include "engine/Product.h"
#include "engine/ProductVersion.h"
#include "engine/Security.h"
#include "engine/SetupLog.h"
#include "engine/Shortcuts.h"
#include "engine/SpecialFolders.h"
#include "engine/Texts.h"
#include "engine/UninstallEngine.h"
#include "engine/UninstallRegistration.h"
#include "ui/Handles.h"
#include "ui/StringConverter.h"

namespace pv {

namespace {

std::wstring DataFolder() {
  const std::wstring user = SpecialFolder(CSIDL_APPDATA, true);
  if (!user.empty() && pv::PathExists(user)) return user + L"\\" + product::kInstallSuffix;
  return SpecialFolder(CSIDL_COMMON_APPDATA, true) + L"\\" + product::kInstallSuffix;
}

// The message of a code, in the run's language.
std::wstring EngineResultMessage(int code) {
  static constexpr TextId kMessages[kEngineResultCount] = {TextId::kResultPackageInvalid, TextId::kResultPackageRead,
                                                           TextId::kResultConfigInvalid,  TextId::kResultConfigRead,
                                                           TextId::kResultContentInvalid, TextId::kResultTempWrite,
                                                           TextId::kResultArchiveRead,    TextId::kResultExtract,
                                                           TextId::kResultVerify,         TextId::kResultDownload};
  return code >= 1 && code <= kEngineResultCount ? Text(kMessages[code - 1]) : std::wstring();
}

// A step that ends the install: recorded with the code's message and the
// thread's last Win32 error, then handed on.
EngineResult Failed(EngineResult code, const wchar_t* step) {
  const DWORD error = ::GetLastError();
  SetupLog::Failure(std::wstring(step) + L": code " + std::to_wstring(code) + L" (" + EngineResultMessage(code) + L")",
                    error);
  return code;
}

}  // namespace

void StartCommandLines(const std::wstring& installDir, const JValue& list) {
  if (list.Type() != JArray) return;
  for (int i = 0; i < list.Count(); ++i) {
    const std::wstring commandLine = installDir + L"\\" + ToWide(list.Element(i).ToText());
    UniqueProcessInformation started;
    if (StartProcess(commandLine, started)) {
      SetupLog::Line(L"started " + commandLine);
    } else {
      SetupLog::Failure(L"starting " + commandLine, ::GetLastError());
    }
  }
}

void RunInstRun(const SetupSession& session) {
  if (session.installMode) StartCommandLines(session.installDir, session.instRun);
}

std::wstring NewerVersionInstalled() {
  const std::wstring installed = ReadDisplayVersion();
  return IsDowngrade(product::kVersion, installed) ? installed : std::wstring();
}

EngineResult Install(SetupSession& s) {
  using namespace SetupKeys;
  // Going back to an older version replaces the newer one only when the
  // run says so; otherwise it ends before anything is read or touched.
  if (!s.allowDowngrade) {
    const std::wstring newer = NewerVersionInstalled();
    if (!newer.empty()) {
      SetupLog::Line(L"FAILED: version " + newer + L" is installed, newer than this " + product::kVersion +
                     L"; \"/downgrade\" replaces it");
      return kNewerVersionInstalled;
    }
  }
  s.progressTarget = 50;

  // The package is read and checked before a previous installation is
  // removed: a damaged or cut installer must fail with the installed product
  // still in place. The archive's checksum (code 9) covers every byte; an
  // archive without one has each entry inflated once here.
  s.SetProgress(50, 55);
  SetupLog::Line(L"install into " + s.installDir + L": reading the package");
  PackageArchive package = ExtractPackageArchive(ModulePath(), s.installDir, [&] { s.SetProgress(55, 60); });
  if (package.result != kEngineOk) return Failed(package.result, L"reading the package");
  SetupLog::Line(package.archiveVerified ? L"package read, archive checksum matches" : L"package read, no checksum");
  ArchiveExtractor extractor(s.installDir);
  if (!extractor.Check(package.zipFile.get(), !package.archiveVerified))
    return Failed(kPkgExtractFailed, L"checking the archive");
  SetupLog::Line(L"archive checked");

  // Remove a previous installation through its own uninstaller's document.
  const std::wstring previous = ReadUninstallString();
  if (!previous.empty() && pv::PathExists(previous)) {
    SetupLog::Line(L"removing the previous installation of " + previous);
    Uninstall(s, previous);
  }
  s.SetProgress(60, 70);

  SetupLog::Line(L"extracting");
  // Everyone gets full control of the install folder before anything is
  // extracted into it, so that every file and folder made there inherits
  // the entry when it is created, and nothing needs it carried down
  // afterwards (a carried-down grant would follow links planted inside).
  const bool prepared = extractor.PrepareInstallFolder();
  if (prepared) GrantEveryoneFullControl(extractor.installFolder());
  const bool extracted = prepared && extractor.Extract(package.zipFile.get());
  package.zipFile.reset();  // closing deletes the temporary archive
  if (!extracted) {
    Failed(kPkgExtractFailed, L"extracting");
    extractor.Rollback();
    SetupLog::Line(L"rolled back what was extracted");
    return kPkgExtractFailed;
  }
  SetupLog::Line(L"extracted " + std::to_wstring(extractor.files().Count()) + L" files");
  s.SetProgress(70, 85);

  const JValue& shortcut = s.config.Find(kShortcut);
  CreateProductLinks(shortcut, s.installDir, s.desktopIcon, s.quickLaunch, [&] { s.SetProgress(85, 100); });

  JValue document =
      BuildUninstallDocument(s.config, ToNarrow(s.installDir), s.channel, extractor.files(), extractor.folders());
  // The uninstaller speaks the language of the install, unless the user's
  // has changed by then.
  JValue& setup = document.Member(kSetup);
  setup.Member(kLanguage) = JValue(ToNarrow(CurrentLanguage().tag));
  setup.Member(kUserLanguage) = JValue(UserLangId());
  // A new file, or the old uninstaller when that is a plain file of its
  // own there: never through a link planted in its place.
  const std::wstring uninstaller = s.installDir + L"\\unins000.exe";
  const std::wstring folderFinal = OpenedPathOf(s.installDir);
  UniqueFile uninstallerFile;
  if (!folderFinal.empty())
    uninstallerFile = OpenForReplace(uninstaller, JoinPath(folderFinal, L"unins000.exe"), 0, true);
  unsigned long long bytesWritten = extractor.bytesWritten();
  if (uninstallerFile && WriteUninstallerImage(package.image, package.locator, document, uninstallerFile.get())) {
    SetupLog::Line(L"wrote " + uninstaller);
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(uninstallerFile.get(), &size)) bytesWritten += static_cast<unsigned long long>(size.QuadPart);
  } else {
    SetupLog::Failure(L"writing " + uninstaller, ::GetLastError());
  }
  uninstallerFile.reset();
  package.image = {};

  s.lastRunPath = s.installDir + L"\\" + ToWide(s.config.Find(kLastRun).ToText());
  if (s.config.Has(kInstRun)) s.instRun = s.config.Find(kInstRun);

  const std::wstring dataFolder = DataFolder();
  const JValue& options = s.config.Find(kInstOptions);
  if (options.Type() == JArray && options.Count() > 0) StartCommandLines(s.installDir, options);

  // The data folder (checked for links like the install folder) keeps
  // what is in it as it was; what the product makes there inherits.
  if (pv::PathExists(dataFolder) && !GrantEveryoneFullControl(dataFolder))
    SetupLog::Failure(L"opening the data folder " + dataFolder + L" to everyone", ::GetLastError());
  if (WriteUninstallRegistration(s.installDir, s.channel, bytesWritten))
    SetupLog::Line(std::wstring(L"registered HKLM\\") + product::kUninstallKey);
  else
    SetupLog::Failure(std::wstring(L"registering HKLM\\") + product::kUninstallKey, ::GetLastError());
  {
    pv::Lock lock(s.progressLock);
    s.SetProgressPos(100);
  }
  RunInstRun(s);
  SetupLog::Line(L"install done");
  SetupLog::Flush();
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
  switch (Uninstall(session, std::wstring())) {
    case RemovalResult::kRemoved:
      break;
    case RemovalResult::kRefused:
      SetupLog::Failure(L"removal", ::GetLastError());
      SetupLog::Result(1);
      if (!session.silent)
        ::MessageBoxW(session.SessionWindow(), Text(TextId::kUninstallError).c_str(), L"", MB_ICONERROR);
      ::ExitProcess(1);
    case RemovalResult::kStopped:
      // The window was closed half way: whoever started the removal learns
      // that the product is still there.
      session.resultCode = 1;
      break;
  }
}

void LaunchProduct(const std::wstring& lastRunPath) {
  // The product runs as the desktop's user, not with the installer's token.
  const LaunchCommand command = SplitLaunchCommand(lastRunPath);
  DesktopShell::Open(command.program, command.parameters);
}

}  // namespace pv
