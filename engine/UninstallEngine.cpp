#include "engine/UninstallEngine.h"

#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "app/Package.h"
#include "app/SetupConfig.h"
#include "engine/FileOps.h"
#include "engine/FilePaths.h"
#include "engine/PathText.h"
#include "engine/Processes.h"
#include "engine/Product.h"
#include "engine/SetupLog.h"
#include "engine/Shortcuts.h"
#include "engine/UninstallRegistration.h"
#include "ui/CHThread.h"
#include "ui/Handles.h"
#include "ui/StringConverter.h"

namespace pv {

namespace {

// The full path without trailing backslashes (a drive root keeps its own).
std::wstring Normalized(const std::wstring& path) { return pv::WithoutTrailingSeparators(pv::FullPath(path)); }

std::wstring DecodedPath(const JValue& element) { return pv::WithBackslashes(ToWide(DecodeDocumentPath(element))); }

bool HasExtension(const std::wstring& path, const wchar_t* ext) {
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  const std::size_t dot = name.find_last_of(L'.');
  return dot != std::wstring::npos && ::lstrcmpiW(name.c_str() + dot, ext) == 0;
}

// A root the document may name: a full path with a drive or share, and not a
// drive root, a system folder or a user's folder, whatever the document says.
bool UsableRoot(const std::wstring& root) { return !::PathIsRelativeW(root.c_str()) && !pv::IsProtectedFolder(root); }

// How long a removal asked to stop is waited for: it looks at the request
// between files, and one file takes at most the 100 ms after ending the
// programs that hold it, plus their look-up.
constexpr DWORD kRemoverStopWaitMs = 3000;

// Waits for the file-deletion thread while handling the window's messages.
// The window going away meanwhile (`closing`, or a WM_QUIT) asks the thread
// to stop rather than killing it, which could leave a lock it holds (the
// heap's, the loader's) taken for good; it is waited for a bounded time and
// a quit taken here is posted again for the application's loop. The flag
// is what counts: under Wine the closing's quit was seen not to reach this
// loop before the deletion had ended. False when the thread did not end in
// time; it must then be left running with what it uses.
bool WaitForRemover(CHThread& remover, const std::atomic<bool>& closing) {
  HANDLE thread = remover.GetHandle();
  if (!thread) return remover.Wait(0);
  while (!closing) {
    const DWORD woke = ::MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) return remover.Wait(0);
    if (woke != WAIT_OBJECT_0 + 1) break;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        remover.stopRequested = true;
        const bool ended = remover.Wait(kRemoverStopWaitMs);
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return ended;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
      if (closing) break;
    }
  }
  remover.stopRequested = true;
  return remover.Wait(kRemoverStopWaitMs);
}

}  // namespace

void RemoveFiles(const JValue* document, std::wstring root, const std::atomic<bool>* stop) {
  const auto stopped = [stop] { return stop && stop->load(); };
  const JValue files = document->Find(SetupKeys::kFiles);
  const JValue folders = document->Find(SetupKeys::kFolders);
  for (int i = 0; i < files.Count(); ++i) {
    if (stopped()) return;
    const std::wstring path = DecodedPath(files.Element(i));
    // A damaged or forged document must not reach outside the product.
    if (!PathInside(path, root)) continue;
    if (HasExtension(path, L".exe") || HasExtension(path, L".dll")) {
      std::wstring user;
      if (pv::FindHolder(path, user)) {
        KillProcessesByName(user);
        ::Sleep(100);
      }
    }
    if (::DeleteFileW(path.c_str())) {
      if (SetupLog::Enabled()) SetupLog::Line(L"removed " + path);
    } else if (const DWORD error = ::GetLastError(); error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      SetupLog::Failure(L"removing " + path, error);
    }
  }
  if (stopped()) return;
  DeletePath(root + L"\\unins000.exe");
  for (int i = 0; i < folders.Count(); ++i) {
    if (stopped()) return;
    const std::wstring path = DecodedPath(folders.Element(i));
    if (PathInside(path, root) || pv::SamePathText(Normalized(path), Normalized(root))) {
      if (DeleteTree(path) && SetupLog::Enabled()) SetupLog::Line(L"removed folder " + path);
    }
  }
  if (!stopped() && ::PathIsDirectoryEmptyW(root.c_str())) DeleteTree(root);
}

bool Uninstall(SetupSession& session, const std::wstring& uninstallerPath) {
  const bool ownRun = session.installMode == 0;
  if (ownRun) session.progressTarget = 20;
  const std::wstring path = uninstallerPath.empty() ? ModulePath() : uninstallerPath;
  JValue document;
  if (!ReadSetupConfig(path, document)) return false;
  const std::wstring root = DecodedPath(document.Find(SetupKeys::kSetup).Find(SetupKeys::kRoot));
  if (root.empty() || !UsableRoot(root)) {
    SetupLog::Line(L"FAILED: the uninstall document of " + path + L" names no usable install folder");
    return false;
  }
  SetupLog::Line(L"removing the installation in " + root);

  if (ownRun) RemoveMakerKey();
  session.ShowStatus(L"正在卸载组件");

  const JValue& uninstRun = document.Find(SetupKeys::kUninstRun);
  if (ownRun && uninstRun.Type() == JArray) {
    for (int i = 0; i < uninstRun.Count(); ++i) {
      UniqueProcessInformation started;
      if (!StartProcess(root + L"\\" + ToWide(uninstRun.Element(i).ToText()), started)) continue;
      PumpUntilProcessExits(started.process(), session.SessionWindow());
    }
  }

  if (ownRun) session.SetProgress(20, 50);
  session.ShowStatus(L"正在删除快捷方式...");
  RemoveProductLinks(document.Find(SetupKeys::kSetup).Find(SetupKeys::kShortcut));
  StopProduct();

  session.ShowStatus(L"正在删除文件...");
  if (ownRun) session.SetProgress(50, 100);
  {
    // The thread owns what it reads: one that does not stop in time is left
    // running (the process is ending) and must not outlive its data.
    auto removal = std::make_shared<const JValue>(std::move(document));
    auto remover = std::make_unique<CHThread>();
    if (remover->Start([removal, root](CHThread* self) { RemoveFiles(removal.get(), root, &self->stopRequested); }) &&
        !WaitForRemover(*remover, session.closing))
      remover.release();
  }

  session.ShowStatus(L"正在清理注册表...");
  if (ownRun) {
    pv::Lock lock(session.progressLock);
    session.SetProgressPos(100);
  }
  if (RemoveUninstallRegistration()) SetupLog::Line(std::wstring(L"removed HKLM\\") + product::kUninstallKey);
  if (uninstallerPath.empty()) ::PostMessageW(session.SessionWindow(), WM_SETUP_FINISHED, 0, 0);
  return true;
}

}  // namespace pv
