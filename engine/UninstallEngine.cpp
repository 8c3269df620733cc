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
#include "engine/Texts.h"
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

namespace {

// Deletes the uninstaller in the install folder. The one the removal was
// started from may still run (it waits for this copy to end and passes on
// its exit code): Windows keeps a running program's file but lets it be
// renamed, so it moves to this copy's folder in the temporary folder and is
// deleted with it at the next start of Windows, and the install folder can
// go now. Across volumes it cannot move: it then stays, with the folder,
// until that restart.
void RemoveUninstallerFile(const std::wstring& path, const std::wstring& expected, bool& scheduleRoot) {
  UniqueFile entry = OpenEntry(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!entry) return;
  const std::wstring opened = OpenedPath(entry.get());
  if (opened.empty() || !SamePathText(opened, expected)) {
    SetupLog::Line(L"left " + path + L": it is reached through a link");
    return;
  }
  if (DeleteOpenEntry(entry.get())) {
    if (SetupLog::Enabled()) SetupLog::Line(L"removed " + path);
    return;
  }
  std::wstring asideFolderFinal;
  UniqueFile asideFolder = OpenFolderBelow(TempFolder(), product::kProductFolder, FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, asideFolderFinal);
  wchar_t number[17];
  ::wsprintfW(number, L"%016I64X", UniqueNumber64());
  const std::wstring name = std::wstring(L"unins000.") + number + L".old";
  const std::wstring aside = TempFolder() + product::kProductFolder + L"\\" + name;
  if (asideFolder && RenameOpenEntry(entry.get(), aside) &&
      SamePathText(OpenedPath(entry.get()), JoinPath(asideFolderFinal, name))) {
    ::MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    // The folder once more after it: the deletions run in the order given,
    // and a folder goes only once empty.
    const std::wstring folder = TempFolder() + product::kProductFolder;
    ::MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    SetupLog::Line(L"moved the running " + path + L" to " + aside + L", deleted at the next start of Windows");
    return;
  }
  ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  scheduleRoot = true;
  SetupLog::Line(L"the running " + path + L" and its folder are deleted at the next start of Windows");
}

// The maker's folder that held the install folder ("Tervaset" in
// "...\Tervaset\Orvane") goes as well once nothing else is in it; a folder
// of another name, or one that still holds something, stays. Only the
// folder the root's own handle showed as its parent is removed.
void RemoveEmptyMakerFolder(const std::wstring& rootFull, const std::wstring& rootFinal) {
  if (PathExists(rootFull)) return;
  const std::size_t cut = rootFull.find_last_of(L'\\');
  const std::size_t cutFinal = rootFinal.find_last_of(L'\\');
  if (cut == std::wstring::npos || cutFinal == std::wstring::npos) return;
  const std::wstring maker = rootFull.substr(0, cut);
  if (::lstrcmpiW(maker.c_str() + maker.find_last_of(L'\\') + 1, product::kMakerFolder) != 0) return;
  if (IsProtectedFolder(maker) || !::PathIsDirectoryEmptyW(maker.c_str())) return;
  if (DeleteTree(maker, rootFinal.substr(0, cutFinal)) && SetupLog::Enabled())
    SetupLog::Line(L"removed the empty folder " + maker);
}

void LogLeft(const std::wstring& path, DWORD error) {
  if (error == kErrorStoppedOnLink) {
    SetupLog::Line(L"left " + path + L": it is a link, or reached through one, that cannot be removed by itself");
  } else if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
    SetupLog::Failure(L"removing " + path, error);
  }
}

}  // namespace

bool RemoveFiles(const JValue* document, std::wstring root, const std::atomic<bool>* stop) {
  const auto stopped = [stop] { return stop && stop->load(); };
  const JValue files = document->Find(SetupKeys::kFiles);
  const JValue folders = document->Find(SetupKeys::kFolders);
  const std::wstring rootFull = Normalized(root);
  std::wstring rootFinal;
  // Held while the files go, so that the folder cannot be swapped meanwhile.
  UniqueFile rootHeld =
      OpenProductFolder(rootFull, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, rootFinal);
  if (!rootHeld) {
    if (PathExists(rootFull)) {
      // Whatever the names in the document would reach through it is not ours.
      SetupLog::Line(L"FAILED: the install folder " + rootFull +
                     L" is a link, or reached through one: nothing below it is removed");
      if (DeletePath(rootFull)) SetupLog::Line(L"removed the link " + rootFull);
    }
    return true;
  }
  rootFinal = WithoutTrailingSeparators(rootFinal);
  const auto expected = [&](const std::wstring& full) {
    return JoinPath(rootFinal, std::wstring_view(full).substr(rootFull.size() + 1));
  };
  const std::wstring uninstaller = JoinPath(rootFull, L"unins000.exe");
  // The programs running, asked once, at the first program file: a program
  // file nobody holds is only matched by name, and the product was stopped
  // already.
  std::optional<std::optional<std::vector<std::wstring>>> running;

  for (int i = 0; i < files.Count(); ++i) {
    if (stopped()) return false;
    const std::wstring full = Normalized(DecodedPath(files.Element(i)));
    // A damaged or forged document must not reach outside the product.
    if (!IsInsideFolder(full, rootFull) || SamePathText(full, uninstaller)) continue;
    if (HasExtension(full, L".exe") || HasExtension(full, L".dll")) {
      // Opened unshared for writing, a program file is free: it goes at
      // once, by that handle, and programs of its name elsewhere are ended
      // all the same. Otherwise whoever holds it is ended first.
      if (!running) running = RunningProgramNames();
      if (DeleteFileAt(full, expected(full), true)) {
        if (SetupLog::Enabled()) SetupLog::Line(L"removed " + full);
        if (ProgramNamedRuns(*running, full)) KillProcessesByName(full);
        continue;
      }
      const DWORD error = ::GetLastError();
      if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) {
        LogLeft(full, error);
        continue;
      }
      std::wstring user;
      if (pv::FindHolder(full, user, &*running)) {
        KillProcessesByName(user);
        ::Sleep(100);
      }
    }
    if (DeleteFileAt(full, expected(full))) {
      if (SetupLog::Enabled()) SetupLog::Line(L"removed " + full);
    } else {
      LogLeft(full, ::GetLastError());
    }
  }
  rootHeld.reset();

  // The root itself, when the list holds it, goes last, after the
  // uninstaller: a deletion stopped before then leaves the uninstaller for
  // another try.
  bool rootListed = false;
  for (int i = 0; i < folders.Count(); ++i) {
    if (stopped()) return false;
    const std::wstring full = Normalized(DecodedPath(folders.Element(i)));
    if (SamePathText(full, rootFull)) {
      rootListed = true;
      continue;
    }
    if (!IsInsideFolder(full, rootFull) || !PathExists(full)) continue;
    if (DeleteTree(full, expected(full))) {
      if (SetupLog::Enabled()) SetupLog::Line(L"removed folder " + full);
    } else {
      LogLeft(full, ::GetLastError());
    }
  }
  if (stopped()) return false;
  bool scheduleRoot = false;
  RemoveUninstallerFile(uninstaller, expected(uninstaller), scheduleRoot);
  if (rootListed || ::PathIsDirectoryEmptyW(rootFull.c_str())) {
    if (DeleteTree(rootFull, rootFinal) && SetupLog::Enabled()) SetupLog::Line(L"removed folder " + rootFull);
    RemoveEmptyMakerFolder(rootFull, rootFinal);
  }
  if (scheduleRoot) ::MoveFileExW(rootFull.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return true;
}

RemovalResult Uninstall(SetupSession& session, const std::wstring& uninstallerPath) {
  const bool ownRun = session.installMode == 0;
  if (ownRun) session.progressTarget = 20;
  const std::wstring path = uninstallerPath.empty() ? ModulePath() : uninstallerPath;
  JValue document;
  if (!ReadSetupConfig(path, document)) return RemovalResult::kRefused;
  const std::wstring root = DecodedPath(document.Find(SetupKeys::kSetup).Find(SetupKeys::kRoot));
  if (root.empty() || !UsableRoot(root)) {
    SetupLog::Line(L"FAILED: the uninstall document of " + path + L" names no usable install folder");
    return RemovalResult::kRefused;
  }
  SetupLog::Line(L"removing the installation in " + root);

  if (ownRun) RemoveMakerKey();
  session.ShowStatus(Text(TextId::kStatusComponents).c_str());

  const JValue& uninstRun = document.Find(SetupKeys::kUninstRun);
  if (ownRun && uninstRun.Type() == JArray) {
    for (int i = 0; i < uninstRun.Count(); ++i) {
      UniqueProcessInformation started;
      if (!StartProcess(root + L"\\" + ToWide(uninstRun.Element(i).ToText()), started)) continue;
      PumpUntilProcessExits(started.process(), session.SessionWindow());
    }
  }

  if (ownRun) session.SetProgress(20, 50);
  session.ShowStatus(Text(TextId::kStatusShortcuts).c_str());
  RemoveProductLinks(document.Find(SetupKeys::kSetup).Find(SetupKeys::kShortcut));
  StopProduct();

  session.ShowStatus(Text(TextId::kStatusFiles).c_str());
  if (ownRun) session.SetProgress(50, 100);
  bool finished = false;
  {
    // The thread owns what it reads.
    auto removal = std::make_shared<const JValue>(std::move(document));
    auto done = std::make_shared<std::atomic<bool>>(false);
    CHThread remover;
    if (remover.Start([removal, root, done](CHThread* self) {
          *done = RemoveFiles(removal.get(), root, &self->stopRequested);
        })) {
      if (!WaitForRemover(remover, session.closing)) {
        // Still deleting while the process goes away: it ends here, before
        // anything the thread still uses is destroyed. The registration and
        // the uninstaller stay for another try.
        SetupLog::Line(L"the file deletion did not stop in time: the removal ends unfinished");
        SetupLog::Result(1);
        ::TerminateProcess(::GetCurrentProcess(), 1);
      }
      finished = *done;
    } else {
      finished = RemoveFiles(removal.get(), root, &session.closing);
    }
  }
  if (!finished) {
    SetupLog::Line(L"the removal was stopped before it finished: the registration and the uninstaller stay");
    return RemovalResult::kStopped;
  }

  session.ShowStatus(Text(TextId::kStatusRegistry).c_str());
  if (ownRun) {
    pv::Lock lock(session.progressLock);
    session.SetProgressPos(100);
  }
  if (RemoveUninstallRegistration()) SetupLog::Line(std::wstring(L"removed HKLM\\") + product::kUninstallKey);
  if (uninstallerPath.empty()) ::PostMessageW(session.SessionWindow(), WM_SETUP_FINISHED, 0, 0);
  return RemovalResult::kRemoved;
}

}  // namespace pv
