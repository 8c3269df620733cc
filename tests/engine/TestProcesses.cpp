#include <gtest/gtest.h>

#include <windows.h>

#include "engine/FileOps.h"
#include "engine/FilePaths.h"
#include "engine/Processes.h"
#include "tests/engine/EngineTestSupport.h"
#include "ui/Handles.h"

using namespace pv;

using pvtest::ScratchFolder;

namespace {

const std::wstring& HolderExe() {
  static const std::wstring path = pvtest::WinPath(PV_HOLDER_EXE);
  return path;
}
const std::wstring& TestDll() {
  static const std::wstring path = pvtest::WinPath(PV_TEST_DLL);
  return path;
}

// A running helper program; ended when the object goes, should a test fail
// before it ends the program itself.
class Helper {
 public:
  // Starts `exe` with the DLL (if any) loaded, and waits until it says it is ready.
  Helper(const std::wstring& exe, const std::wstring& dll, DWORD lifetimeMs = 60000) {
    const std::wstring event = L"pv-engine-ready-" + pvtest::Hex(pv::UniqueNumber64());
    pv::UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, event.c_str()));
    std::wstring command = L"\"" + exe + L"\" " + event + L" " + std::to_wstring(lifetimeMs);
    if (!dll.empty()) command += L" \"" + dll + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      ADD_FAILURE() << "cannot start the helper: " << ::GetLastError();
      return;
    }
    process_.reset(info.hProcess);
    pv::UniqueHandle thread(info.hThread);  // not needed
    HANDLE waits[] = {ready.get(), process_.get()};
    if (::WaitForMultipleObjects(2, waits, FALSE, 20000) != WAIT_OBJECT_0) ADD_FAILURE() << "helper never got ready";
  }
  ~Helper() {
    if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.get(), 99);
      ::WaitForSingleObject(process_.get(), 5000);
    }
  }
  HANDLE process() const { return process_.get(); }
  bool EndsWithin(DWORD ms) const { return process_ && ::WaitForSingleObject(process_.get(), ms) == WAIT_OBJECT_0; }
  bool Running() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

 private:
  pv::UniqueHandle process_;
};

// Starts a helper without waiting for a signal, for a lifetime only.
pv::UniqueHandle StartPlain(const std::wstring& exe, DWORD lifetimeMs) {
  std::wstring command = L"\"" + exe + L"\" - " + std::to_wstring(lifetimeMs);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return {};
  }
  pv::UniqueHandle thread(info.hThread);  // not needed
  return pv::UniqueHandle(info.hProcess);
}

TEST(Processes, FindsTheProgramThatLoadedADllAndEndsIt) {
  Helper helper(HolderExe(), TestDll());
  ASSERT_TRUE(helper.Running());
  std::wstring user;
  ASSERT_TRUE(pv::FindFileUser(TestDll(), user));
  EXPECT_TRUE(pv::SamePathText(user, L"pv_dll_holder.exe")) << testing::PrintToString(user);
  // Any spelling of the path finds it: forward slashes, other letter case.
  std::wstring other;
  EXPECT_TRUE(pv::FindFileUser(pvtest::Widen(PV_TEST_DLL), other));
  EXPECT_TRUE(pv::SamePathText(other, L"pv_dll_holder.exe"));
  std::wstring upper = TestDll();
  ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  EXPECT_TRUE(pv::FindFileUser(upper, other));

  EXPECT_GE(pv::KillProcessesByName(user), 1);
  EXPECT_TRUE(helper.EndsWithin(10000));
  EXPECT_FALSE(pv::FindFileUser(TestDll(), user));
  EXPECT_TRUE(user.empty());
}

TEST(Processes, ARunningExecutableReportsItsOwnPath) {
  Helper helper(HolderExe(), L"");
  std::wstring user;
  ASSERT_TRUE(pv::FindFileUser(HolderExe(), user));
  EXPECT_EQ(user, HolderExe());
  EXPECT_EQ(pv::KillProcessesByName(user), 1);
  EXPECT_TRUE(helper.EndsWithin(10000));
}

TEST(Processes, UnusedFilesAndEmptyNamesFindNobody) {
  std::wstring user = L"stale";
  EXPECT_FALSE(pv::FindFileUser(L"", user));
  EXPECT_TRUE(user.empty());
  EXPECT_FALSE(pv::FindFileUser(L"C:\\folder\\", user));
  EXPECT_FALSE(pv::FindFileUser(TestDll(), user));
  EXPECT_FALSE(pv::FindFileUser(L"C:\\no\\such\\program-pv-9F3A.exe", user));
  EXPECT_EQ(pv::KillProcessesByName(L""), 0);
  EXPECT_EQ(pv::KillProcessesByName(L"C:\\no\\such\\program-pv-9F3A.exe"), 0);
}

TEST(Processes, TheCallerIsNeverEnded) {
  // A namesake of this test program: the helper copied under our name.
  ScratchFolder scratch;
  const std::wstring self = pv::ModulePath();
  const std::wstring namesake = scratch / pv::FileNamePart(self);
  ASSERT_TRUE(::CopyFileW(HolderExe().c_str(), namesake.c_str(), FALSE));
  Helper helper(namesake, L"");
  ASSERT_TRUE(helper.Running());

  std::wstring user;
  ASSERT_TRUE(pv::FindFileUser(self, user));  // the namesake, not this process
  EXPECT_EQ(pv::KillProcessesByName(self), 1);
  EXPECT_TRUE(helper.EndsWithin(10000));
  // Alone now: nothing else to find, nothing to end, and still running.
  EXPECT_FALSE(pv::FindFileUser(self, user));
  EXPECT_EQ(pv::KillProcessesByName(self), 0);
}

TEST(Processes, StopProductEndsTheMainProgram) {
  ScratchFolder scratch;
  const std::wstring product = scratch / L"Orvane.exe";
  ASSERT_TRUE(::CopyFileW(HolderExe().c_str(), product.c_str(), FALSE));
  Helper first(product, L"");
  Helper second(product, L"");
  pv::StopProduct();
  EXPECT_TRUE(first.EndsWithin(10000));
  EXPECT_TRUE(second.EndsWithin(10000));
}

// Counts what reaches a message-only window.
int g_received = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP + 7) {
    ++g_received;
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

class MessageWindow {
 public:
  MessageWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PvEngineTestCounter";
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(0, L"PvEngineTestCounter", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
  }
  ~MessageWindow() {
    if (window_) ::DestroyWindow(window_);
  }
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

bool TakeQuit(WPARAM& code) {
  MSG message;
  if (!::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
  code = message.wParam;
  return true;
}

TEST(Processes, PumpDispatchesTheWindowsMessagesUntilTheProcessEnds) {
  MessageWindow window;
  ASSERT_TRUE(window.get());
  g_received = 0;
  pv::UniqueHandle process = StartPlain(HolderExe(), 300);
  ASSERT_TRUE(process);
  for (int i = 0; i < 3; ++i) ::PostMessageW(window.get(), WM_APP + 7, 0, 0);
  EXPECT_TRUE(pv::PumpUntilProcessExits(process.get(), window.get()));
  EXPECT_EQ(::WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(g_received, 3);
}

TEST(Processes, PumpLeavesWmQuitToTheCaller) {
  MessageWindow window;
  ASSERT_TRUE(window.get());
  WPARAM code = 0;
  // Filtered on the window, the wait goes on to the end of the process and
  // the thread's WM_QUIT stays for the caller's loop.
  {
    g_received = 0;
    pv::UniqueHandle process = StartPlain(HolderExe(), 300);
    ASSERT_TRUE(process);
    ::PostQuitMessage(5);
    ::PostMessageW(window.get(), WM_APP + 7, 0, 0);
    EXPECT_TRUE(pv::PumpUntilProcessExits(process.get(), window.get()));
    EXPECT_EQ(g_received, 1);
    EXPECT_TRUE(TakeQuit(code));
    EXPECT_EQ(code, 5u);
  }
  // Without a window every message is taken; WM_QUIT ends the wait at once
  // and is posted again.
  {
    pv::UniqueHandle process = StartPlain(HolderExe(), 60000);
    ASSERT_TRUE(process);
    ::PostQuitMessage(6);
    EXPECT_FALSE(pv::PumpUntilProcessExits(process.get(), nullptr));
    EXPECT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(TakeQuit(code));
    EXPECT_EQ(code, 6u);
    ::TerminateProcess(process.get(), 0);
  }
}

TEST(Processes, PumpOnABadHandleReturnsAtOnce) {
  EXPECT_FALSE(pv::PumpUntilProcessExits(nullptr, nullptr));
  EXPECT_FALSE(pv::PumpUntilProcessExits(reinterpret_cast<HANDLE>(0x1234), nullptr));
}

}  // namespace
