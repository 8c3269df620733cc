#include "ui/CHThread.h"

#include <process.h>

#include <utility>

namespace pv {

namespace {

// TerminateThread only starts the kill; give it this long to finish before
// the object lets go of the thread's data.
constexpr DWORD kKillWaitMs = 5000;

}  // namespace

CHThread::~CHThread() { Terminate(); }

bool CHThread::Start(void* data, Callback function) {
  if (handle_.load()) return false;
  stopRequested = false;
  userData_ = data;
  callback_ = function;
  // Only one form is kept: a callable from an earlier start would otherwise
  // hold its captures alive until the next callable start.
  body_ = nullptr;
  return Launch();
}

bool CHThread::Start(Body callable) {
  if (handle_.load()) return false;
  body_ = std::move(callable);
  // ThreadMain prefers the callback; a callback from an earlier start would
  // otherwise run instead of this body.
  callback_ = nullptr;
  userData_ = nullptr;
  stopRequested = false;
  return Launch();
}

bool CHThread::Launch() {
  Release();
  // Created suspended so that `handle` is stored before the body can run and
  // clear it; otherwise a quick body would leave the object "running" forever.
  unsigned id = 0;
  const auto created = _beginthreadex(nullptr, 0, &CHThread::ThreadMain, this, CREATE_SUSPENDED, &id);
  if (!created) {
    callback_ = nullptr;
    userData_ = nullptr;
    body_ = nullptr;
    return false;
  }
  HANDLE thread = reinterpret_cast<HANDLE>(created);
  owned_.reset(thread);
  ++generation_;
  handle_.store(thread);
  if (::ResumeThread(thread) == static_cast<DWORD>(-1)) {
    ::TerminateThread(thread, 0xFFFFFFFF);
    handle_.store(nullptr);
    Release();
    return false;
  }
  return true;
}

unsigned __stdcall CHThread::ThreadMain(void* argument) {
  auto* self = static_cast<CHThread*>(argument);
  if (self->callback_) {
    self->callback_(self, self->userData_);
  } else if (self->body_) {
    self->body_(self);
  }
  // The last touch of the object: after this the owner may start it again
  // or destroy it.
  self->handle_.exchange(nullptr);
  _endthreadex(0);
  return 0;
}

void CHThread::Terminate() {
  if (handle_.exchange(nullptr)) {
    ::TerminateThread(owned_.get(), 0xFFFFFFFF);
    ::WaitForSingleObject(owned_.get(), kKillWaitMs);
  }
  Release();
}

void CHThread::Release() {
  if (owned_) {
    owned_.reset();
    ++generation_;
  }
}

bool CHThread::Wait(DWORD timeoutMs) {
  if (!owned_) return true;
  if (::GetThreadId(owned_.get()) == ::GetCurrentThreadId()) return false;
  if (::WaitForSingleObject(owned_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
  handle_.store(nullptr);
  Release();
  return true;
}

void CHThread::WaitPumping() {
  if (!handle_.load()) {
    // Ended already; nothing to wait for but its handle to close.
    Release();
    return;
  }
  HANDLE kept = owned_.get();
  // A worker waiting for itself would wait forever.
  if (::GetThreadId(kept) == ::GetCurrentThreadId()) return;
  const unsigned generation = generation_;
  for (;;) {
    // MWMO_INPUTAVAILABLE also wakes for messages that were already queued
    // (and seen) before the wait began, not only for new ones.
    const DWORD result = ::MsgWaitForMultipleObjectsEx(1, &kept, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result == WAIT_OBJECT_0) {
      handle_.store(nullptr);
      Release();
      return;
    }
    if (result != WAIT_OBJECT_0 + 1) {
      Terminate();
      return;
    }
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        Terminate();
        // Put the quit back, code included, so the application's loop ends
        // with what was asked for.
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
      // A handler may have terminated or restarted this thread meanwhile;
      // the handle kept here is then no longer ours to wait on.
      if (generation_ != generation) return;
    }
  }
}

}  // namespace pv
