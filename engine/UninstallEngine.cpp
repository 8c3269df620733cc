#include "engine/UninstallEngine.h"

#include <shlwapi.h>

#include "app/Package.h"
#include "app/SetupConfig.h"
#include "engine/FileOps.h"
#include "engine/FilePaths.h"
#include "engine/Processes.h"
#include "engine/Shortcuts.h"
#include "engine/UninstallRegistration.h"
#include "ui/CHThread.h"
#include "ui/StringConverter.h"

namespace {

// The full path without trailing backslashes (a drive root keeps its own).
std::wstring Normalized(const std::wstring& path) {
  std::wstring full = pv::FullPath(path);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full;
}

std::wstring DecodedPath(const JValue& element) {
  std::wstring path = ToWide(DecodeDocumentPath(element));
  for (auto& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

bool HasExtension(const std::wstring& path, const wchar_t* ext) {
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  const std::size_t dot = name.find_last_of(L'.');
  return dot != std::wstring::npos && ::lstrcmpiW(name.c_str() + dot, ext) == 0;
}

// A root the document may name: a full path with a drive or share, and not a
// drive root, a system folder or a user's folder, whatever the document says.
bool UsableRoot(const std::wstring& root) {
  return !::PathIsRelativeW(root.c_str()) && !pv::IsProtectedFolder(root);
}

// Starts `commandLine` as the whole command line of a new process.
bool StartProcess(const std::wstring& commandLine, PROCESS_INFORMATION& pi) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring mutableLine = commandLine;
  return ::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
}

}  // namespace

using namespace pv;

bool PathInside(const std::wstring& path, const std::wstring& root) {
  const std::wstring full = Normalized(path), base = Normalized(root);
  if (full.empty() || base.empty()) return false;
  return full.size() > base.size() + 1 && full[base.size()] == L'\\' &&
         pv::SamePathText(std::wstring_view(full).substr(0, base.size()), base);
}

void RemoveFiles(const JValue* document, std::wstring root) {
  const JValue files = document->Find(SetupKeys::kFiles);
  const JValue folders = document->Find(SetupKeys::kFolders);
  for (int i = 0; i < files.Count(); ++i) {
    const std::wstring path = DecodedPath(files.Element(i));
    // A damaged or forged document must not reach outside the product.
    if (!PathInside(path, root)) continue;
    if (HasExtension(path, L".exe") || HasExtension(path, L".dll")) {
      std::wstring user;
      if (FindFileUser(path, user)) {
        KillProcessesByName(user);
        ::Sleep(100);
      }
    }
    ::DeleteFileW(path.c_str());
  }
  DeletePath(root + L"\\unins000.exe");
  for (int i = 0; i < folders.Count(); ++i) {
    const std::wstring path = DecodedPath(folders.Element(i));
    if (PathInside(path, root) || pv::SamePathText(Normalized(path), Normalized(root))) DeleteTree(path);
  }
  if (::PathIsDirectoryEmptyW(root.c_str())) DeleteTree(root);
}

bool Uninstall(SetupSession& session, const std::wstring& uninstallerPath) {
  const bool ownRun = session.installMode == 0;
  if (ownRun) session.progressTarget = 20;
  const std::wstring path = uninstallerPath.empty() ? ModulePath() : uninstallerPath;
  JValue document;
  if (!ReadSetupConfig(path, document)) return false;
  const std::wstring root = DecodedPath(document.Find(SetupKeys::kSetup).Find(SetupKeys::kRoot));
  if (root.empty() || !UsableRoot(root)) return false;

  if (ownRun) RemoveMakerKey();
  session.ShowStatus(L"正在卸载组件");

  const JValue& uninstRun = document.Find(SetupKeys::kUninstRun);
  if (ownRun && uninstRun.Type() == JArray) {
    for (int i = 0; i < uninstRun.Count(); ++i) {
      PROCESS_INFORMATION pi{};
      if (!StartProcess(root + L"\\" + ToWide(uninstRun.Element(i).ToText()), pi)) continue;
      PumpUntilProcessExits(pi.hProcess, session.SessionWindow());
      ::CloseHandle(pi.hThread);
      ::CloseHandle(pi.hProcess);
    }
  }

  if (ownRun) session.SetProgress(20, 50);
  session.ShowStatus(L"正在删除快捷方式...");
  RemoveProductLinks(document.Find(SetupKeys::kSetup).Find(SetupKeys::kShortcut));
  StopProduct();

  session.ShowStatus(L"正在删除文件...");
  if (ownRun) session.SetProgress(50, 100);
  {
    CHThread remover;
    if (remover.Start([&document, root](CHThread*) { RemoveFiles(&document, root); })) remover.WaitPumping();
  }

  session.ShowStatus(L"正在清理注册表...");
  if (ownRun) {
    pv::Lock lock(session.progressLock);
    session.SetProgressPos(100);
  }
  RemoveUninstallRegistration();
  if (uninstallerPath.empty()) ::PostMessageW(session.SessionWindow(), WM_SETUP_FINISHED, 0, 0);
  return true;
}
