#include <gtest/gtest.h>
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <thread>

#include "engine/FileOps.h"
#include "engine/Shortcuts.h"
#include "engine/SpecialFolders.h"
#include "json/JValue.h"
#include "tests/engine/EngineTestSupport.h"
#include "ui/Handles.h"

using namespace pv;

using pvtest::Exists;
using pvtest::ScratchFolder;

namespace {

JValue Entry(const char* name, const char* file) {
  JValue e;
  e.Member("name") = JValue(name);
  e.Member("file") = JValue(file);
  return e;
}

}  // namespace

TEST(Shortcuts, TargetsTurnSlashesIntoBackslashes) {
  EXPECT_EQ(LinkTarget(L"C:\\P", Entry("n", "bin/x/Orvane.exe")), L"C:\\P\\bin\\x\\Orvane.exe");
  EXPECT_EQ(LinkTarget(L"C:\\P", JValue()), L"C:\\P\\");
}

TEST(Shortcuts, LinksNeedTheirTargetExceptInTheStartMenu) {
  ScratchFolder scratch;
  pvtest::WriteText(scratch / L"Orvane.exe", "x");
  EXPECT_TRUE(CreateLink(scratch / L"Orvane.exe", scratch / L"a.lnk"));
  EXPECT_TRUE(Exists(scratch / L"a.lnk"));
  EXPECT_FALSE(CreateLink(scratch / L"missing.exe", scratch / L"b.lnk"));
  EXPECT_FALSE(Exists(scratch / L"b.lnk"));
  // The Start menu link is saved whatever the target, an empty name included.
  EXPECT_TRUE(CreateStartMenuLink(scratch.path(), L"", scratch / L"missing.exe"));
  EXPECT_TRUE(Exists(scratch / L".lnk"));
}

TEST(Shortcuts, ProductLinksComeAndGoByName) {
  ScratchFolder scratch;
  pvtest::WriteText(scratch / L"Orvane.exe", "x");
  JValue shortcut;
  shortcut.Member("desktop").At(0) = Entry("PvTestLink", "Orvane.exe");
  shortcut.Member("desktop").At(1) = Entry("PvTestMissing", "missing.exe");
  shortcut.Member("desktop").At(2) = Entry("", "Orvane.exe");
  const std::wstring commonDesktop = pv::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  const std::wstring userDesktop = pv::SpecialFolder(CSIDL_DESKTOPDIRECTORY);
  const std::wstring startMenu = StartMenuFolder();
  ASSERT_FALSE(commonDesktop.empty());
  ASSERT_FALSE(startMenu.empty());

  // The install's progress step comes between the desktop and the rest.
  int steps = 0;
  CreateProductLinks(shortcut, scratch.path(), /*desktop=*/true, /*quickLaunch=*/false, [&] {
    ++steps;
    EXPECT_TRUE(Exists(commonDesktop + L"\\PvTestLink.lnk"));
    EXPECT_FALSE(Exists(startMenu + L"\\PvTestLink.lnk"));
  });
  EXPECT_EQ(steps, 1);
  EXPECT_TRUE(Exists(commonDesktop + L"\\PvTestLink.lnk"));
  EXPECT_FALSE(Exists(commonDesktop + L"\\PvTestMissing.lnk"));
  EXPECT_FALSE(Exists(commonDesktop + L"\\.lnk"));
  EXPECT_TRUE(Exists(startMenu + L"\\PvTestLink.lnk"));
  EXPECT_TRUE(Exists(startMenu + L"\\PvTestMissing.lnk"));

  // A link an earlier version left on the user's own desktop goes too.
  if (!userDesktop.empty() && userDesktop != commonDesktop) {
    ASSERT_TRUE(CreateLink(scratch / L"Orvane.exe", userDesktop + L"\\PvTestLink.lnk"));
  }
  RemoveProductLinks(shortcut);
  EXPECT_FALSE(Exists(commonDesktop + L"\\PvTestLink.lnk"));
  EXPECT_FALSE(Exists(userDesktop + L"\\PvTestLink.lnk"));
  EXPECT_FALSE(Exists(startMenu));
}

// The pin verbs are COM handlers: a thread without COM (the install worker)
// gets an apartment for the call, and has none again afterwards.
TEST(Shortcuts, PinningThreadsGetAnApartmentForTheCall) {
  ScratchFolder scratch;
  std::thread([&] {
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    {
      pv::ComApartment apartment;
      EXPECT_EQ(apartment.result(), S_OK);
      ASSERT_EQ(::CoGetApartmentType(&type, &qualifier), S_OK);
      // The main one when no other thread of the process has an apartment.
      EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
    }
    UnpinFromTaskbar(scratch / L"PvTestMissing.lnk");
    PinToTaskbar(scratch / L"PvTestMissing.lnk");
    EXPECT_EQ(::CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED);
    // A thread in the multithreaded apartment keeps it.
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      pv::ComApartment apartment;
      EXPECT_EQ(apartment.result(), RPC_E_CHANGED_MODE);
    }
    ASSERT_EQ(::CoGetApartmentType(&type, &qualifier), S_OK);
    EXPECT_EQ(type, APTTYPE_MTA);
    ::CoUninitialize();
  }).join();
}
