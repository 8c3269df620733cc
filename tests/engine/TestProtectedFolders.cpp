#include <gtest/gtest.h>

#include "engine/ProtectedFolders.h"

using namespace pv;

namespace {

pv::ProtectedFolders SampleGuard() {
  return pv::ProtectedFolders({
      L"C:\\Windows", L"C:\\Windows\\System32", L"C:\\Program Files", L"C:\\Program Files (x86)", L"C:\\ProgramData",
      L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", L"C:\\Users",
      L"C:\\Users\\\u00C9mile",  // Émile
      L"C:\\Users\\\u00C9mile\\Documents", L"C:\\Users\\\u00C9mile\\AppData\\Roaming", L"C:\\Users\\Public\\Desktop",
      L"\\\\?\\Z:\\home\\emile",  // a final path, as links resolve
  });
}

TEST(ProtectedFolders, RefusesRootsUnderEverySpelling) {
  const pv::ProtectedFolders guard;  // even with no folders known
  for (const wchar_t* path :
       {L"", L"   ", L"C:\\", L" C:\\ ", L"C:/", L"c:", L"C:", L"C:\\\\", L"\\\\?\\C:\\", L"\\\\.\\C:\\", L"C:\\.",
        L"C:\\..\\..", L"C:\\Windows\\..", L"D:\\x\\..\\", L"\\\\server\\share", L"\\\\server\\share\\",
        L"//server/share/", L"\\\\?\\UNC\\server\\share", L"\\\\server"}) {
    EXPECT_TRUE(guard.Refuses(path)) << "[" << testing::PrintToString(std::wstring(path)) << "]";
  }
}

TEST(ProtectedFolders, RefusesWhatItCannotJudge) {
  const pv::ProtectedFolders guard;
  for (const wchar_t* path :
       {L"Windows\\Temp\\x", L"C:Windows\\x", L"\\Windows\\x", L"\\\\?\\Volume{1234}\\x", L"\\\\.\\PhysicalDrive0\\x",
        L"C:\\Windows::$INDEX_ALLOCATION\\x", L"C:\\Win*\\x", L"C:\\a\\b?c", L"C:\\a\tb\\c"}) {
    EXPECT_TRUE(guard.Refuses(path)) << testing::PrintToString(std::wstring(path));
  }
}

TEST(ProtectedFolders, RefusesProtectedFoldersAndTheirAncestors) {
  const pv::ProtectedFolders guard = SampleGuard();
  for (const wchar_t* path :
       {L"C:\\Windows", L"c:/windows/", L"C:\\WINDOWS\\\\", L"\\\\?\\c:\\windows", L"C:\\Windows.", L"C:\\Windows. . ",
        L"C:\\Program Files\\..\\Windows", L"C:\\Windows\\System32\\.", L"C:\\Program Files (x86)",
        L"C:\\ProgramData\\Microsoft", L"C:\\ProgramData\\Microsoft\\Windows",
        L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu", L"C:\\Users", L"c:\\users\\\u00E9MILE",
        L"C:\\Users\\\u00C9mile\\Documents", L"C:\\Users\\\u00C9mile\\AppData", L"C:\\Users\\Public", L"Z:\\home",
        L"Z:\\home\\EMILE\\"}) {
    EXPECT_TRUE(guard.Refuses(path)) << testing::PrintToString(std::wstring(path));
  }
}

TEST(ProtectedFolders, AllowsProductFoldersBelowThem) {
  const pv::ProtectedFolders guard = SampleGuard();
  for (const wchar_t* path :
       {L"C:\\Program Files\\Tervaset\\Orvane", L"C:\\Program Files\\Tervaset", L"D:\\Tervaset\\Orvane",
        L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tervaset\\Pellio",
        L"C:\\Users\\\u00C9mile\\AppData\\Roaming\\Tervaset\\Orvane", L"C:\\Windowsfoo", L"C:\\Windows2\\x",
        L"\\\\server\\share\\Tervaset", L"\\\\?\\C:\\Program Files\\Tervaset\\Orvane", L"Z:\\home\\emile\\x",
        L" C:\\Tervaset\\Orvane "}) {
    EXPECT_FALSE(guard.Refuses(path)) << testing::PrintToString(std::wstring(path));
  }
}

TEST(ProtectedFolders, CanonicalForm) {
  using pv::ProtectedFolders;
  EXPECT_EQ(ProtectedFolders::Canonical(L" c:/Program Files/./Tervaset/../Tervaset.. /"),
            L"C:\\PROGRAM FILES\\TERVASET");
  EXPECT_EQ(ProtectedFolders::Canonical(L"\\\\?\\UNC\\Srv\\Share\\a"), L"\\\\SRV\\SHARE\\A");
  EXPECT_EQ(ProtectedFolders::Canonical(L"C:\\..\\x"), L"C:\\X");
  // Latin, Greek and Cyrillic letters fold; other scripts compare exactly.
  EXPECT_EQ(ProtectedFolders::Canonical(L"C:\\\u0101\u00FF\u03C9\u0436\u0451\u5B89"),
            L"C:\\\u0100\u0178\u03A9\u0416\u0401\u5B89");
  EXPECT_EQ(ProtectedFolders::Canonical(L"relative"), L"");
  EXPECT_EQ(ProtectedFolders::Canonical(L"C:\\a:b"), L"");
}

TEST(ProtectedFolders, IgnoresUnusableEntriesAndDuplicates) {
  pv::ProtectedFolders guard;
  guard.Add(L"");
  guard.Add(L"relative\\folder");
  guard.Add(L"C:\\Windows");
  guard.Add(L"c:/WINDOWS/");
  EXPECT_EQ(guard.Count(), 1u);
  EXPECT_FALSE(guard.Refuses(L"C:\\relative"));
}

}  // namespace
