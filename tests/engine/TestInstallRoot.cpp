#include <gtest/gtest.h>

#include "engine/InstallRoot.h"

using namespace pv;

namespace {

constexpr std::uint64_t GiB = 1024ull * 1024 * 1024;
constexpr wchar_t kWindows[] = L"C:\\Windows";
constexpr wchar_t kProgramFiles[] = L"C:\\Program Files";

pv::DriveProbe Fixed(const wchar_t* root, std::uint64_t gib) {
  pv::DriveProbe drive;
  drive.root = root;
  drive.type = pv::kDriveFixed;
  drive.probeSucceeded = true;
  drive.bytesFree = gib * GiB;
  return drive;
}

std::wstring Choose(const std::vector<pv::DriveProbe>& drives) {
  return pv::ChooseInstallRootFrom(drives, kWindows, kProgramFiles);
}

TEST(InstallRoot, TakesTheRoomiestOtherDrive) {
  EXPECT_EQ(Choose({Fixed(L"C:\\", 50), Fixed(L"D:\\", 30), Fixed(L"E:\\", 80)}), L"E:");
  // Equal space keeps the earlier drive.
  EXPECT_EQ(Choose({Fixed(L"C:\\", 50), Fixed(L"D:\\", 30), Fixed(L"E:\\", 30)}), L"D:");
  // A small other drive still wins against a small system drive.
  EXPECT_EQ(Choose({Fixed(L"C:\\", 8), Fixed(L"D:\\", 5)}), L"D:");
}

TEST(InstallRoot, PrefersProgramFilesOverASmallOtherDrive) {
  EXPECT_EQ(Choose({Fixed(L"C:\\", 50), Fixed(L"D:\\", 5)}), kProgramFiles);
  // Exactly 10 GiB is not "below".
  EXPECT_EQ(Choose({Fixed(L"C:\\", 50), Fixed(L"D:\\", 10)}), L"D:");
}

TEST(InstallRoot, OneFixedDriveGivesProgramFiles) {
  EXPECT_EQ(Choose({Fixed(L"C:\\", 50)}), kProgramFiles);
  EXPECT_EQ(Choose({}), kProgramFiles);
}

TEST(InstallRoot, NeverChoosesADriveThatFailedTheProbe) {
  pv::DriveProbe full = Fixed(L"E:\\", 900);
  full.probeSucceeded = false;
  pv::DriveProbe readOnly = Fixed(L"F:\\", 900);
  readOnly.readOnly = true;
  pv::DriveProbe removable = Fixed(L"G:\\", 900);
  removable.type = 2;
  EXPECT_EQ(Choose({Fixed(L"C:\\", 50), full, readOnly, removable, Fixed(L"D:\\", 30)}), L"D:");
  EXPECT_EQ(Choose({Fixed(L"C:\\", 50), full, readOnly, removable}), kProgramFiles);
}

TEST(InstallRoot, ProgramFilesElsewhereOrMissing) {
  // Program Files on the chosen drive: the folder itself.
  EXPECT_EQ(pv::ChooseInstallRootFrom({Fixed(L"C:\\", 50), Fixed(L"D:\\", 80)}, kWindows, L"D:\\Programs"),
            L"D:\\Programs");
  // The system drive named in lower case is still the system drive.
  EXPECT_EQ(pv::ChooseInstallRootFrom({Fixed(L"C:\\", 50), Fixed(L"D:\\", 5)}, L"c:\\windows", kProgramFiles),
            kProgramFiles);
  // No Program Files folder: a drive letter rather than an empty text.
  EXPECT_EQ(pv::ChooseInstallRootFrom({Fixed(L"C:\\", 50)}, kWindows, L""), L"C:");
  EXPECT_EQ(pv::ChooseInstallRootFrom({Fixed(L"C:\\", 50), Fixed(L"E:\\", 80)}, kWindows, L""), L"E:");
  EXPECT_EQ(pv::ChooseInstallRootFrom({}, L"", L""), L"");
}

}  // namespace
