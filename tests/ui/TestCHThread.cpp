#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "tests/ui/WindowTestSupport.h"
#include "ui/CHThread.h"
#include "ui/CHWindow.h"
#include "ui/Handles.h"

using namespace pv;

namespace {

constexpr DWORD kPatienceMs = 10000;

pv::UniqueHandle NewEvent() { return pv::UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

// A handle on the calling thread that outlives the CHThread's own, so a test
// can see how the thread ended.
HANDLE OpenSelf() { return ::OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, ::GetCurrentThreadId()); }

DWORD ExitCodeOf(HANDLE thread) {
  EXPECT_EQ(::WaitForSingleObject(thread, kPatienceMs), WAIT_OBJECT_0);
  DWORD code = 12345;
  ::GetExitCodeThread(thread, &code);
  return code;
}

// What a worker saw, and the events it is steered with.
struct Worker {
  pv::UniqueHandle started = NewEvent();
  pv::UniqueHandle release = NewEvent();
  pv::UniqueHandle self;
  CHThread* thread = nullptr;
  void* data = nullptr;
  int stopAtStart = -1;  // -1 before the body ran
};

void BlockUntilReleased(CHThread* thread, void* data) {
  auto* worker = static_cast<Worker*>(data);
  worker->thread = thread;
  worker->data = data;
  worker->stopAtStart = thread->stopRequested;
  worker->self.reset(OpenSelf());
  ::SetEvent(worker->started.get());
  ::WaitForSingleObject(worker->release.get(), INFINITE);
}

using CHThreadTest = WindowTest;

TEST_F(CHThreadTest, CallbackFormRunsAndTheWorkerClearsItsOwnHandle) {
  CHThread thread;
  Worker worker;
  EXPECT_FALSE(thread.IsRunning());
  ASSERT_TRUE(thread.Start(&worker, &BlockUntilReleased));
  ASSERT_EQ(::WaitForSingleObject(worker.started.get(), kPatienceMs), WAIT_OBJECT_0);
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_NE(thread.GetHandle(), nullptr);
  EXPECT_EQ(worker.thread, &thread);
  EXPECT_EQ(worker.data, &worker);

  // Refused while running, in both forms; the refused callable is dropped.
  Worker other;
  EXPECT_FALSE(thread.Start(&other, &BlockUntilReleased));
  auto captured = std::make_shared<int>(0);
  EXPECT_FALSE(thread.Start([captured](CHThread*) { ++*captured; }));
  EXPECT_EQ(captured.use_count(), 1);

  // Once the body returns, the thread ends with code 0 and the object is
  // idle again without anyone waiting for it.
  ::SetEvent(worker.release.get());
  EXPECT_EQ(ExitCodeOf(worker.self.get()), 0u);
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.GetHandle(), nullptr);

  ASSERT_TRUE(thread.Start([captured](CHThread*) { ++*captured; }));
  thread.WaitPumping();
  EXPECT_EQ(*captured, 1);
  EXPECT_FALSE(thread.IsRunning());
}

struct Document {
  int value = 0;
};

// A member function bound with two arguments, as an owner binds its worker.
struct Owner {
  void RemoveFiles(CHThread* thread, Document* document, const std::wstring& root) {
    seenThread = thread;
    seenDocument = document;
    seenRoot = root;
  }
  CHThread* seenThread = nullptr;
  Document* seenDocument = nullptr;
  std::wstring seenRoot;
};

TEST_F(CHThreadTest, CallableFormReceivesItsBoundArguments) {
  CHThread thread;
  Owner owner;
  Document document;
  std::wstring root = L"C:\\Program Files\\Pellio";
  ASSERT_TRUE(thread.Start(std::bind(&Owner::RemoveFiles, &owner, std::placeholders::_1, &document, root)));
  root = L"changed";  // the callable holds its own copy
  thread.WaitPumping();
  EXPECT_EQ(owner.seenThread, &thread);
  EXPECT_EQ(owner.seenDocument, &document);
  EXPECT_EQ(owner.seenRoot, L"C:\\Program Files\\Pellio");
}

TEST_F(CHThreadTest, EachStartRunsItsOwnForm) {
  CHThread thread;
  Worker worker;
  ASSERT_TRUE(thread.Start(&worker, &BlockUntilReleased));
  ::SetEvent(worker.release.get());
  thread.WaitPumping();

  // A callback from the earlier start must not run instead of this body.
  bool bodyRan = false;
  worker.thread = nullptr;
  ASSERT_TRUE(thread.Start([&](CHThread*) { bodyRan = true; }));
  thread.WaitPumping();
  EXPECT_TRUE(bodyRan);
  EXPECT_EQ(worker.thread, nullptr);
}

TEST_F(CHThreadTest, StartClearsStopRequestedAndTheBodySeesItSet) {
  CHThread thread;
  thread.stopRequested = true;
  int atStart = -1;
  pv::UniqueHandle started = NewEvent();
  ASSERT_TRUE(thread.Start([&](CHThread* self) {
    atStart = self->stopRequested;
    ::SetEvent(started.get());
    while (!self->stopRequested) ::Sleep(1);
  }));
  ASSERT_EQ(::WaitForSingleObject(started.get(), kPatienceMs), WAIT_OBJECT_0);
  thread.stopRequested = true;
  thread.WaitPumping();
  EXPECT_EQ(atStart, 0);
  EXPECT_FALSE(thread.IsRunning());
}

// Answers a private message on the thread that owns the window.
class Answering : public CHWindow {
 public:
  LRESULT OnMessage(UINT message, WPARAM, LPARAM, bool& handled) override {
    if (message == WM_APP + 8) ::SetEvent(posted.get());
    handled = message == WM_APP + 7;
    if (handled) answeredOn = ::GetCurrentThreadId();
    return handled ? 123 : 0;
  }
  DWORD answeredOn = 0;
  pv::UniqueHandle posted = NewEvent();
};

TEST_F(CHThreadTest, WaitPumpingKeepsTheWindowsAnswering) {
  Answering window;
  ASSERT_TRUE(window.Create(nullptr, nullptr, WS_POPUP, L"", CHWindow::kClassName, 0, 0, 0, 10, 10));
  CHThread thread;
  LRESULT reply = 0;
  HWND target = window.GetHwnd();
  // The worker cannot finish before the waiting thread answers it.
  ASSERT_TRUE(thread.Start([&](CHThread*) { reply = ::SendMessageW(target, WM_APP + 7, 0, 0); }));
  thread.WaitPumping();
  EXPECT_EQ(reply, 123);
  EXPECT_EQ(window.answeredOn, ::GetCurrentThreadId());
  EXPECT_FALSE(thread.IsRunning());

  // Waiting for an idle or finished thread returns at once.
  thread.WaitPumping();
  CHThread idle;
  idle.WaitPumping();
  idle.Terminate();
  EXPECT_FALSE(idle.IsRunning());
}

TEST_F(CHThreadTest, WaitPumpingServesMessagesQueuedBeforeTheWait) {
  Answering window;
  ASSERT_TRUE(window.Create(nullptr, nullptr, WS_POPUP, L"", CHWindow::kClassName, 0, 0, 0, 10, 10));
  // Queued and already looked at: a wait for new input alone would not wake.
  ::PostMessageW(window.GetHwnd(), WM_APP + 8, 0, 0);
  MSG peeked;
  ASSERT_TRUE(::PeekMessageW(&peeked, nullptr, 0, 0, PM_NOREMOVE));
  CHThread thread;
  DWORD waited = WAIT_FAILED;
  HANDLE posted = window.posted.get();
  ASSERT_TRUE(thread.Start([&](CHThread*) { waited = ::WaitForSingleObject(posted, 2000); }));
  thread.WaitPumping();
  EXPECT_EQ(waited, WAIT_OBJECT_0);
}

TEST_F(CHThreadTest, QuitDuringWaitPumpingKillsTheWorkerAndIsPostedAgain) {
  for (int code : {0, 7}) {
    DrainMessages();
    CHThread thread;
    Worker worker;
    const DWORD ui = ::GetCurrentThreadId();
    ASSERT_TRUE(thread.Start([&, code](CHThread*) {
      worker.self.reset(OpenSelf());
      ::PostThreadMessageW(ui, WM_QUIT, code, 0);
      ::WaitForSingleObject(worker.release.get(), INFINITE);  // never released
    }));
    thread.WaitPumping();
    EXPECT_FALSE(thread.IsRunning());
    ASSERT_TRUE(worker.self);
    EXPECT_EQ(ExitCodeOf(worker.self.get()), 0xFFFFFFFFu);

    // The quit is queued again with its code, so the application loop ends.
    MSG message;
    ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(code));
  }
}

TEST_F(CHThreadTest, TerminateAndDestructionKillARunningThread) {
  Worker first, second;  // outlive the thread that waits on their events
  {
    CHThread thread;
    ASSERT_TRUE(thread.Start(&first, &BlockUntilReleased));
    ASSERT_EQ(::WaitForSingleObject(first.started.get(), kPatienceMs), WAIT_OBJECT_0);
    thread.Terminate();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(ExitCodeOf(first.self.get()), 0xFFFFFFFFu);

    // Idle again, so it can start anew; this one dies with the object.
    ASSERT_TRUE(thread.Start(&second, &BlockUntilReleased));
    ASSERT_EQ(::WaitForSingleObject(second.started.get(), kPatienceMs), WAIT_OBJECT_0);
    first.self.reset(second.self.release());
  }
  EXPECT_EQ(ExitCodeOf(first.self.get()), 0xFFFFFFFFu);
}

}  // namespace
