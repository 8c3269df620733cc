#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "ui/Handles.h"

namespace pv {

// A worker thread that runs either a plain function with user data or a
// callable. The object is idle while `handle` is null; the worker clears it
// itself as its last act, so a finished thread can be started again.
// Start, Terminate and WaitPumping belong to the thread that owns the object;
// the worker only reads stopRequested.
class CHThread {
 public:
  using Callback = void (*)(CHThread* thread, void* userData);
  using Body = std::function<void(CHThread* thread)>;

  CHThread() = default;
  CHThread(const CHThread&) = delete;
  CHThread& operator=(const CHThread&) = delete;
  // Terminates a thread that still runs.
  ~CHThread();

  // Both forms refuse (false) while a thread of this object runs, and when
  // the thread cannot be created.
  bool Start(void* userData, Callback callback);
  bool Start(Body body);

  // Kills a running thread. The abort path only: the thread unwinds nothing,
  // so its locks stay taken, its heap blocks, handles and half-written files
  // stay as they are, and its C runtime data leaks.
  void Terminate();

  // Waits for the thread's end while dispatching the calling thread's
  // messages. A WM_QUIT meanwhile kills the worker and is posted again so the
  // message loop ends too. The object must outlive the wait.
  void WaitPumping();

  // Waits without pumping (up to timeoutMs); true when the thread has ended,
  // and the object is then idle.
  bool Wait(DWORD timeoutMs = INFINITE);

  bool IsRunning() const { return handle_.load() != nullptr; }
  // The running thread's handle (for waiting), or null when idle.
  HANDLE GetHandle() const { return handle_.load() ? owned_.get() : nullptr; }

  // Cleared by every start; a body may poll it and leave when it is set.
  std::atomic<bool> stopRequested{false};

 private:
  static unsigned __stdcall ThreadMain(void* argument);
  bool Launch();
  // Closes the handle of a thread that has ended or been killed.
  void Release();

  // Non-null while a thread started here may be running; the worker swaps
  // it to null (an interlocked exchange) when its body has returned.
  std::atomic<HANDLE> handle_{nullptr};
  // The same thread handle, kept open until the owning thread is done with
  // it, so a wait never races with the worker's own clearing of `handle`.
  pv::UniqueHandle owned_;
  // Counts handle changes, so a wait notices a re-entrant Terminate or Start
  // even when the system hands out the same handle value again.
  unsigned generation_ = 0;

  void* userData_ = nullptr;
  Callback callback_ = nullptr;
  Body body_;
};

}  // namespace pv
