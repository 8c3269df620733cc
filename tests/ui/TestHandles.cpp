#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <utility>

#include "ui/Handles.h"

using namespace pv;

namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return ::GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }

// Releasing owners between a failed call and its GetLastError must not
// change what the caller reads.
TEST(Handles, OwnersCloseWithoutTouchingTheLastError) {
  HANDLE raw = NewEvent();
  pv::UniqueHandle event(raw);
  ::SetLastError(ERROR_FILE_NOT_FOUND);
  event.reset();
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(IsOpen(raw));

  // Both handles of a started process go, on reset and on a move over them.
  pv::UniqueProcessInformation started;
  PROCESS_INFORMATION* slot = started.put();
  slot->hProcess = NewEvent();
  slot->hThread = NewEvent();
  const PROCESS_INFORMATION first = *slot;
  ASSERT_TRUE(started);
  pv::UniqueProcessInformation moved(std::move(started));
  EXPECT_FALSE(started);
  EXPECT_EQ(moved.process(), first.hProcess);
  EXPECT_EQ(moved.thread(), first.hThread);
  ::SetLastError(ERROR_ACCESS_DENIED);
  moved.reset();
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(IsOpen(first.hProcess));
  EXPECT_FALSE(IsOpen(first.hThread));
  EXPECT_FALSE(moved);
}

// A selection kept as a member moves with its owner and puts the DC's
// previous object back exactly once, whichever guard ends up holding it.
TEST(Handles, SelectGuardMovesAndPutsThePreviousObjectBackOnce) {
  pv::UniqueMemDC dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  const HGDIOBJ original = ::GetCurrentObject(dc.get(), OBJ_BITMAP);
  pv::UniqueBitmap bitmap(::CreateCompatibleBitmap(dc.get(), 4, 4));
  ASSERT_TRUE(bitmap);

  pv::SelectGuard kept;
  EXPECT_FALSE(kept);
  {
    pv::SelectGuard selected(dc.get(), bitmap.get());
    ASSERT_TRUE(selected);
    kept = std::move(selected);
    EXPECT_FALSE(selected);
  }
  EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
  ::SetLastError(ERROR_INVALID_DATA);
  kept.reset();
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), original);
  EXPECT_FALSE(kept);

  // Nothing to select, or a DC that refuses it, leaves nothing to restore.
  EXPECT_FALSE(pv::SelectGuard(dc.get(), nullptr));
  EXPECT_FALSE(pv::SelectGuard(nullptr, bitmap.get()));
}

// S_OK and S_FALSE are this scope's to balance; a thread in the
// multithreaded apartment keeps it and can still use COM.
TEST(Handles, ComApartmentTellsWhetherItInitialised) {
  std::thread([] {
    {
      pv::ComApartment outer;
      EXPECT_EQ(outer.result(), S_OK);
      EXPECT_TRUE(outer.initialized());
      pv::ComApartment inner;
      EXPECT_EQ(inner.result(), S_FALSE);
      EXPECT_TRUE(inner.initialized());
      EXPECT_TRUE(inner.usable());
    }
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      pv::ComApartment apartment;
      EXPECT_EQ(apartment.result(), RPC_E_CHANGED_MODE);
      EXPECT_FALSE(apartment.initialized());
      EXPECT_TRUE(apartment.usable());
    }
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    ASSERT_EQ(::CoGetApartmentType(&type, &qualifier), S_OK);
    EXPECT_EQ(type, APTTYPE_MTA);
    ::CoUninitialize();
  }).join();
}

// A COM object that counts its references.
class Counted : public IUnknown {
 public:
  explicit Counted(int* released) : released_(released) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ++*released_;
    return --references_;
  }

 private:
  int* released_;
  ULONG references_ = 1;
};

TEST(Handles, ComPtrMoveAssignmentReleasesWhatItHeld) {
  int firstReleased = 0, secondReleased = 0;
  Counted first(&firstReleased), second(&secondReleased);
  pv::ComPtr<IUnknown> a, b;
  *a.put() = &first;
  *b.put() = &second;
  a = std::move(b);
  EXPECT_EQ(firstReleased, 1);
  EXPECT_EQ(secondReleased, 0);
  EXPECT_EQ(a.get(), &second);
  EXPECT_FALSE(b);
  a.reset();
  EXPECT_EQ(secondReleased, 1);
}

}  // namespace
