#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>

#include "engine/InstallRootProbe.h"
#include "tests/engine/EngineTestSupport.h"

using namespace pv;

namespace {

// Probe files are 16 hexadecimal digits without an extension.
int ProbeLikeFiles(const std::wstring& root) {
  int count = 0;
  for (const std::wstring& name : pvtest::Listing(root)) {
    bool hex = name.size() == 16;
    for (wchar_t c : name) hex = hex && std::iswxdigit(c);
    if (hex) ++count;
  }
  return count;
}

TEST(InstallRootProbe, ProbesTheSystemDriveAndLeavesNothingBehind) {
  const int before = ProbeLikeFiles(L"C:\\");
  std::vector<pv::DriveProbe> drives = pv::ProbeDrives();
  ASSERT_FALSE(drives.empty());
  bool sawC = false;
  for (const pv::DriveProbe& drive : drives) {
    if (drive.root != L"C:\\") continue;
    sawC = true;
    EXPECT_EQ(drive.type, static_cast<unsigned>(DRIVE_FIXED));
    EXPECT_TRUE(drive.probeSucceeded);
    EXPECT_GT(drive.bytesFree, 0u);
  }
  EXPECT_TRUE(sawC);
  EXPECT_EQ(ProbeLikeFiles(L"C:\\"), before);

  std::wstring root = pv::ChooseInstallRoot();
  ASSERT_GE(root.size(), 2u);
  EXPECT_EQ(root[1], L':');
  // This 64-bit prefix has both Program Files folders; the default is the
  // 32-bit one, which the 32-bit registry view belongs with.
  EXPECT_EQ(pv::ProgramFilesFolder(), L"C:\\Program Files (x86)");
}

}  // namespace
