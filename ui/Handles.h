#pragma once

// Owning wrappers for Win32 handles: one small type per kind of handle, each
// knowing its own "no handle" value and how to release it. Borrowed handles
// stay plain handles; only owners use these types.

#include <windows.h>

#include <objbase.h>
#include <utility>

namespace pv {

// `InvalidIsMinusOne` picks INVALID_HANDLE_VALUE as the "no handle" value
// (it cannot be a template argument itself: it is not a constant expression).
template <typename T, auto Close, bool InvalidIsMinusOne = false>
class UniqueAny {
  static T InvalidValue() {
    if constexpr (InvalidIsMinusOne) {
      return reinterpret_cast<T>(static_cast<INT_PTR>(-1));
    } else {
      return T{};
    }
  }

 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueAny() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != InvalidValue(); }
  // Keeps the thread's last error: a caller that reads GetLastError after a
  // failed call may release its handles in between.
  void reset(T value = InvalidValue()) {
    if (value_ != InvalidValue()) {
      const DWORD error = ::GetLastError();
      Close(value_);
      ::SetLastError(error);
    }
    value_ = value;
  }
  T release() { return std::exchange(value_, InvalidValue()); }
  // For out-parameters: releases what is held and hands out the slot.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = InvalidValue();
};

namespace detail {
inline void CloseKernel(HANDLE h) { ::CloseHandle(h); }
inline void CloseFind(HANDLE h) { ::FindClose(h); }
inline void CloseKey(HKEY h) { ::RegCloseKey(h); }
inline void DeleteGdi(HGDIOBJ h) { ::DeleteObject(h); }
inline void DeleteMemDC(HDC h) { ::DeleteDC(h); }
inline void FreeLocal(HLOCAL h) { ::LocalFree(h); }
inline void ReleaseModule(HMODULE h) { ::FreeLibrary(h); }
inline void DestroyIconHandle(HICON h) { ::DestroyIcon(h); }
inline void FreeSidPtr(PSID p) { ::FreeSid(p); }
inline void FreeCoTask(void* p) { ::CoTaskMemFree(p); }
}  // namespace detail

// CreateFile reports failure with INVALID_HANDLE_VALUE, everything else with null.
using UniqueFile = UniqueAny<HANDLE, detail::CloseKernel, true>;
using UniqueHandle = UniqueAny<HANDLE, detail::CloseKernel>;
using UniqueFind = UniqueAny<HANDLE, detail::CloseFind, true>;
using UniqueSnapshot = UniqueAny<HANDLE, detail::CloseKernel, true>;
using UniqueKey = UniqueAny<HKEY, detail::CloseKey>;
using UniqueMemDC = UniqueAny<HDC, detail::DeleteMemDC>;
using UniqueLocal = UniqueAny<HLOCAL, detail::FreeLocal>;
using UniqueModule = UniqueAny<HMODULE, detail::ReleaseModule>;
using UniqueIcon = UniqueAny<HICON, detail::DestroyIconHandle>;
using UniqueSid = UniqueAny<PSID, detail::FreeSidPtr>;
using UniqueCoTaskMem = UniqueAny<void*, detail::FreeCoTask>;

// The process and thread handles CreateProcess fills in, closed together.
class UniqueProcessInformation {
 public:
  UniqueProcessInformation() = default;
  UniqueProcessInformation(const UniqueProcessInformation&) = delete;
  UniqueProcessInformation& operator=(const UniqueProcessInformation&) = delete;
  UniqueProcessInformation(UniqueProcessInformation&& other) noexcept
      : info_(std::exchange(other.info_, PROCESS_INFORMATION{})) {}
  UniqueProcessInformation& operator=(UniqueProcessInformation&& other) noexcept {
    if (this != &other) {
      reset();
      info_ = std::exchange(other.info_, PROCESS_INFORMATION{});
    }
    return *this;
  }
  ~UniqueProcessInformation() { reset(); }

  HANDLE process() const { return info_.hProcess; }
  HANDLE thread() const { return info_.hThread; }
  DWORD processId() const { return info_.dwProcessId; }
  explicit operator bool() const { return info_.hProcess != nullptr; }
  // Keeps the thread's last error, like the other owners.
  void reset() {
    const DWORD error = ::GetLastError();
    if (info_.hThread) ::CloseHandle(info_.hThread);
    if (info_.hProcess) ::CloseHandle(info_.hProcess);
    ::SetLastError(error);
    info_ = PROCESS_INFORMATION{};
  }
  // For CreateProcess: releases what is held and hands out the structure.
  PROCESS_INFORMATION* put() {
    reset();
    return &info_;
  }

 private:
  PROCESS_INFORMATION info_{};
};

// GDI objects of one kind each, so a bitmap cannot be put where a font goes.
template <typename T>
using UniqueGdi = UniqueAny<T, detail::DeleteGdi>;
using UniqueBitmap = UniqueGdi<HBITMAP>;
using UniqueBrush = UniqueGdi<HBRUSH>;
using UniqueFont = UniqueGdi<HFONT>;
using UniquePen = UniqueGdi<HPEN>;
using UniqueRegion = UniqueGdi<HRGN>;

// A DC from GetDC keeps its window for ReleaseDC.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint / EndPaint with the PAINTSTRUCT kept for EndPaint.
class PaintDC {
 public:
  explicit PaintDC(HWND window) : window_(window) { dc_ = ::BeginPaint(window, &ps_); }
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;
  ~PaintDC() { ::EndPaint(window_, &ps_); }
  HDC get() const { return dc_; }
  const PAINTSTRUCT& paint() const { return ps_; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

// Selects an object into a DC and puts the previous one back on destruction
// or reset, so a selected object is never deleted. Movable, so an owner of a
// DC can keep its selections as members; it must go before the DC and the
// object it selected.
class SelectGuard {
 public:
  SelectGuard() = default;
  // A null object selects nothing. SelectObject fails with null, or with
  // HGDI_ERROR for a region; either way nothing is held.
  SelectGuard(HDC dc, HGDIOBJ object) {
    if (!dc || !object) return;
    HGDIOBJ previous = ::SelectObject(dc, object);
    if (!previous || previous == HGDI_ERROR) return;
    dc_ = dc;
    previous_ = previous;
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;
  SelectGuard(SelectGuard&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)), previous_(std::exchange(other.previous_, nullptr)) {}
  SelectGuard& operator=(SelectGuard&& other) noexcept {
    if (this != &other) {
      reset();
      dc_ = std::exchange(other.dc_, nullptr);
      previous_ = std::exchange(other.previous_, nullptr);
    }
    return *this;
  }
  ~SelectGuard() { reset(); }

  // Whether something is selected (and will be put back).
  explicit operator bool() const { return previous_ != nullptr; }
  void reset() {
    if (!previous_) return;
    const DWORD error = ::GetLastError();
    ::SelectObject(dc_, previous_);
    ::SetLastError(error);
    dc_ = nullptr;
    previous_ = nullptr;
  }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// A critical section that lives as long as its owner.
class CriticalSection {
 public:
  CriticalSection() { ::InitializeCriticalSection(&cs_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  ~CriticalSection() { ::DeleteCriticalSection(&cs_); }
  void Enter() { ::EnterCriticalSection(&cs_); }
  void Leave() { ::LeaveCriticalSection(&cs_); }
  CRITICAL_SECTION* native() { return &cs_; }

 private:
  CRITICAL_SECTION cs_;
};

// A slim reader/writer lock, taken exclusively through SrwGuard. Unlike a
// critical section under contention, or an event, taking it and waiting on
// a CONDITION_VARIABLE with it need no kernel call while nobody waits (and
// under Wine no server round trip at all: both are futex-based there).
class SrwLock {
 public:
  SrwLock() = default;
  SrwLock(const SrwLock&) = delete;
  SrwLock& operator=(const SrwLock&) = delete;
  SRWLOCK* native() { return &lock_; }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

class SrwGuard {
 public:
  explicit SrwGuard(SrwLock& lock) : lock_(lock) { ::AcquireSRWLockExclusive(lock_.native()); }
  SrwGuard(const SrwGuard&) = delete;
  SrwGuard& operator=(const SrwGuard&) = delete;
  ~SrwGuard() { ::ReleaseSRWLockExclusive(lock_.native()); }
  // Waits on `condition`, the lock released meanwhile and held again after.
  void Wait(CONDITION_VARIABLE& condition) { ::SleepConditionVariableSRW(&condition, lock_.native(), INFINITE, 0); }

 private:
  SrwLock& lock_;
};

class Lock {
 public:
  explicit Lock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock() { cs_.Leave(); }

 private:
  CriticalSection& cs_;
};

// A single-threaded COM apartment for the life of the scope, on the calling
// thread. Nests with an apartment the thread already has; a thread in the
// multithreaded apartment keeps it (and is not uninitialised here).
class ComApartment {
 public:
  ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (initialized()) ::CoUninitialize();
  }
  // S_OK, S_FALSE (already initialised), RPC_E_CHANGED_MODE or a failure.
  HRESULT result() const { return result_; }
  // This scope's call counts (S_OK or S_FALSE) and is balanced on the way
  // out; RPC_E_CHANGED_MODE is not: that apartment belongs to someone else.
  bool initialized() const { return SUCCEEDED(result_); }
  // COM can be used on this thread, in this apartment or in the one it had.
  bool usable() const { return initialized() || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// A COM interface pointer that releases itself.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { reset(); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

}  // namespace pv
