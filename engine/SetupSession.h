#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "app/EngineResult.h"
#include "app/SetupConfig.h"
#include "engine/Product.h"
#include "json/JValue.h"
#include "ui/CHThread.h"
#include "ui/Handles.h"

namespace pv {

// Posted to the window when the install or the removal has finished, and when
// the install failed.
inline constexpr UINT WM_SETUP_FINISHED = WM_APP + 0x401;
inline constexpr UINT WM_SETUP_FAILED = WM_APP + 0x402;

// The state the engines share with the installer window. The window derives
// from it and connects the hooks to its controls; workers touch the window
// only through these hooks, the progress values and posted messages.
//
// Which thread touches what:
// - The UI thread writes installDir, desktopIcon, quickLaunch, installMode,
//   silent, update, channel and config before it starts the worker, and not
//   again while the worker runs; the worker reads them as its input. Starting
//   the thread is the hand-off.
// - The worker writes lastRunPath and instRun before it posts
//   WM_SETUP_FINISHED; the UI thread reads them only after that message.
// - Either thread: progressTarget, installResult and closing (atomics); the
//   bar's position only through SetProgress / SetProgressPos with
//   progressLock held; the status text only through ShowStatus (the label's
//   own lock). No worker calls a control or the window by any other path.
// - resultCode and worker belong to the UI thread.
class SetupSession {
 public:
  SetupSession() = default;
  SetupSession(const SetupSession&) = delete;
  SetupSession& operator=(const SetupSession&) = delete;
  virtual ~SetupSession() = default;

  // The window the engines post to.
  virtual HWND SessionWindow() const = 0;
  // Position of the progress bar in use; called with progressLock held.
  virtual int ProgressPos() const = 0;
  virtual void SetProgressPos(int pos) = 0;
  // The status label's text; the label guards it with its own lock, so this
  // may be called from any thread. Nothing happens without a label.
  virtual void ShowStatus(const wchar_t* text) = 0;
  // Starts the 100 ms timer that creeps the bar towards progressTarget.
  virtual void StartProgressTimer() = 0;

  // Sets the bar to `pos` under the lock, then raises the target to `target`.
  void SetProgress(int pos, int target) {
    {
      pv::Lock lock(progressLock);
      SetProgressPos(pos);
    }
    progressTarget = target;
  }

  std::wstring installDir;  // without trailing backslash
  // The desktop-icon and quick-launch choices, taken as plain values when
  // the work starts (the worker never reads a control).
  bool desktopIcon = true;
  bool quickLaunch = true;
  int installMode = 1;  // 0: uninstall
  int silent = 0;       // "/q"
  int update = 0;       // "/update"
  // "/downgrade", or the window's user agreed: an install may replace a
  // newer registered version.
  bool allowDowngrade = false;
  int channel = pv::product::kChannel;
  JValue config;             // the install configuration (install mode)
  JValue instRun;            // "instrun", run when the install is done
  std::wstring lastRunPath;  // started from the done page
  std::atomic<int> progressTarget{0};
  pv::CriticalSection progressLock;
  CHThread worker;  // the install worker
  // Set when the window goes away: a removal under way stops its deletion.
  std::atomic<bool> closing{false};
  // What the last install returned; a quiet run exits with it. A failure
  // until the worker stores its result: a worker that never started, or a
  // wait that ended before it, must not read as success.
  std::atomic<int> installResult{kPkgInvalid};
  // The exit code the work decided, or -1 before: a quiet run's result once
  // its work is done, or 1 for a removal stopped half way. Kept apart from
  // the quit message, which a window whose creation fails after its
  // creation handler ran the work never gets to its loop.
  int resultCode = -1;
};

}  // namespace pv
