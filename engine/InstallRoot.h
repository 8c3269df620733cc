#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// GetDriveTypeW's value for a fixed disk.
inline constexpr unsigned kDriveFixed = 3;
// Below this much free space another drive loses against a roomier system drive.
inline constexpr std::uint64_t kRoomyDrive = 0x280000000ull;  // 10 GiB

// What the probe learned about one drive root.
struct DriveProbe {
  std::wstring root;  // "D:\"
  unsigned type = 0;  // GetDriveTypeW
  bool readOnly = false;
  bool probeSucceeded = false;  // a file could be written there and the free space read
  std::uint64_t bytesFree = 0;  // available to the caller
};

// The folder under which the default installation folder is made: the
// roomiest fixed, writable drive other than the system drive ("E:"), unless
// it has under 10 GiB free while the system drive has more, or it is the
// drive of Program Files: then the Program Files folder. Drives are taken in
// the given order; on equal space the earlier one stays.
std::wstring ChooseInstallRootFrom(const std::vector<DriveProbe>& drives, std::wstring_view windowsFolder,
                                   std::wstring_view programFilesFolder);

}  // namespace pv
