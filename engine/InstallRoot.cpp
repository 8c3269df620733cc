#include "engine/InstallRoot.h"

namespace pv {

namespace {

wchar_t UpperAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 0x20) : c; }

// Drive letters are compared without regard to case: the system may report
// "c:\windows" while the drive list says "C:\".
bool SamePrefix(std::wstring_view a, std::wstring_view b, std::size_t length) {
  if (a.size() < length || b.size() < length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

std::wstring ChooseInstallRootFrom(const std::vector<DriveProbe>& drives, std::wstring_view windowsFolder,
                                   std::wstring_view programFilesFolder) {
  std::wstring sysRoot = windowsFolder.size() >= 3 ? std::wstring(windowsFolder.substr(0, 3)) : std::wstring();
  std::wstring best;
  std::uint64_t bestFree = 0;
  std::uint64_t sysFree = 0;

  for (const DriveProbe& drive : drives) {
    if (drive.type != kDriveFixed || drive.readOnly || !drive.probeSucceeded) continue;
    if (!sysRoot.empty() && drive.root.size() == sysRoot.size() && SamePrefix(drive.root, sysRoot, sysRoot.size())) {
      sysFree = drive.bytesFree;
    } else if (drive.bytesFree > bestFree) {
      best = drive.root;
      bestFree = drive.bytesFree;
    }
  }
  if (bestFree < kRoomyDrive && sysFree > kRoomyDrive) best = sysRoot;

  if (programFilesFolder.empty()) {
    // Without a Program Files folder a bare "\Tervaset\Orvane" would follow;
    // a drive letter keeps the default folder absolute.
    if (best.size() >= 2) return best.substr(0, 2);
    return sysRoot.size() >= 2 ? sysRoot.substr(0, 2) : std::wstring();
  }
  if (best.size() < 2 || SamePrefix(best, programFilesFolder, 2)) return std::wstring(programFilesFolder);
  return best.substr(0, 2);
}

}  // namespace pv
